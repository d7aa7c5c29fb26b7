// The player, start-up to end, on a three-picture show made by the kit: the
// show ends with status 0 when the fourth slot begins, 20.5 s into the music.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/shell.h"
#include "app/show.h"
#include "audio/stream_player.h"
#include "kit/demo/demo_show.h"
#include "tests/support/process.h"

namespace fs = std::filesystem;

namespace {

struct ShowOver {
    int32_t status;
    int32_t music_bytes;  // the music position when the show ended
};

// Instead of ending the process, leave the player's loop with the position.
void leave_player(int32_t status) { throw ShowOver{status, player_position()}; }

}  // namespace

TEST(PlayerEnd, EndsWithStatusZeroWhenTheFourthSlotBegins) {
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    const fs::path directory = make_temp_directory("vel_e2e"), previous = fs::current_path();
    ASSERT_FALSE(directory.empty());
    DemoShowOptions options;
    options.pictures = 3;
    write_demo_show(directory.string(), options);
    fs::current_path(directory);
    set_show_end_hook(leave_player);
    bool ended = false;
    ShowOver over{-1, 0};
    try {
        win_main(system_platform());
    } catch (const ShowOver& caught) {
        ended = true;
        over = caught;
    }
    set_show_end_hook(nullptr);
    player_close();
    fs::current_path(previous);
    fs::remove_all(directory);

    ASSERT_TRUE(ended) << "the player returned without ending the show";
    EXPECT_EQ(over.status, 0);
    // Not before the fourth slot, and within it: its own first frame ended the show.
    const double seconds = over.music_bytes / 176400.0;
    RecordProperty("music_seconds_at_end", std::to_string(seconds));
    EXPECT_GE(seconds, 20.5);
    EXPECT_LT(seconds, 26.5);
}
