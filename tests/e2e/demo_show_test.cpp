// velkit demo writes a show that velandora plays to its end, also where it
// cannot be heard and where its music is missing.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/shell.h"
#include "app/show.h"
#include "audio/stream_player.h"
#include "tests/support/process.h"

namespace fs = std::filesystem;

namespace {

const std::string velkit = VELKIT_PATH;
// 2.5 s before the first slot, then 6 s for each picture: the show ends as the slot after the last begins.
double show_seconds(int pictures) { return 2.5 + 6.0 * pictures; }
// The end is seen when the process has gone (Mesa and SDL tear down), seconds later under
// load; one more slot would add 6 s.
const double kExitSeconds = 5.5;
// SDL's dummy driver sleeps 11 ms for each 11.6 ms period: its clock runs about 5 % fast.
const double kDummyClockRate = 11.61 / 11.0;

// Each test has its own copy of the fixture's demo show (two pictures), as a
// player keeps its archive locked against other processes.
class DemoShow : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        const std::string demo = VEL_E2E_DEMO_DIR "/velandora.lcc";
        if (!fs::exists(demo)) {
            ASSERT_EQ(run_command(velkit + " demo " + VEL_E2E_DEMO_DIR " --pictures 2").status, 0);
        }
        directory = make_temp_directory("vel_demo");
        fs::create_directory(directory + "/show");
        fs::copy_file(demo, show() + "/velandora.lcc");
    }
    void TearDown() override { fs::remove_all(directory); }
    std::string show() const { return directory + "/show"; }

    // The show unpacked into loose files, its second picture taken out: a one-picture show of 8.5 s.
    std::string loose_first_picture() const {
        const std::string loose = directory + "/loose";
        EXPECT_EQ(run_command(velkit + " unpack " + show() + "/velandora.lcc " + loose).status, 0);
        EXPECT_TRUE(fs::remove(loose + "/data/images/0200.wmj"));
        EXPECT_TRUE(fs::exists(loose + "/data/images/0100.wmj"));
        return loose;
    }
    // The player ended with status 0 and no message box, between `low` and `high` seconds after saying `line`.
    static void expect_ended_after(const PlayerRun& player, const char* line, double low, double high) {
        EXPECT_EQ(player.exit_status, 0);
        EXPECT_FALSE(player.showed_message_box());
        const double seconds = player.seconds_after(line);
        ASSERT_GE(seconds, 0.0) << "the player did not say: " << line;
        EXPECT_GE(seconds, low);
        EXPECT_LE(seconds, high);
    }
    std::string directory;
};

}  // namespace

TEST_F(DemoShow, IsOneArchiveListingEveryFileWithFittingMethods) {
    EXPECT_EQ(file_names(VEL_E2E_DEMO_DIR), std::vector<std::string>{"velandora.lcc"});
    const CommandResult listing = run_command(velkit + " ls " + show() + "/velandora.lcc");
    ASSERT_EQ(listing.status, 0) << listing.err;
    for (const char* name : {"data/images/0100.wmj", "data/images/0200.wmj", "data/text/velandora.txt",
                             "data/audio/velandora.ogg", "data/audio/loop_idle.wav", "data/audio/loop_active.wav",
                             "data/fonts/batang.def", "data/fonts/batang_0.raw", "stored", "lz", "zlib"})
        EXPECT_NE(listing.out.find(name), std::string::npos) << name;
    EXPECT_EQ(listing.out.find("data/images/0300.wmj"), std::string::npos);
}

struct ShowOver {
    int32_t status, music_bytes;  // the music position when the show ended
};

// The player in this process: instead of ending it, the show's end leaves the player's loop.
TEST_F(DemoShow, EndsWithStatusZeroWhenTheSlotAfterTheLastBegins) {
    const fs::path previous = fs::current_path();
    fs::current_path(show());
    set_show_end_hook([](int32_t status) { throw ShowOver{status, player_position()}; });
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
    ASSERT_TRUE(ended) << "the player returned without ending the show";
    EXPECT_EQ(over.status, 0);
    // Not before the third slot, and within it: its own first frame ended the show.
    EXPECT_GE(over.music_bytes / 176400.0, show_seconds(2));
    EXPECT_LT(over.music_bytes / 176400.0, show_seconds(3));
}

// Without a sound output the clock runs as the output's would; the line comes at music time 0.
TEST_F(DemoShow, PlaysToItsEndWithoutASoundOutput) {
    const PlayerRun player =
        run_player(VELANDORA_PATH, loose_first_picture(), {"SDL_AUDIODRIVER=no-such-driver"}, 60.0);
    expect_ended_after(player, "no sound output: the show plays in silence", show_seconds(1),
                       show_seconds(1) + kExitSeconds);
}

// Without its track it says so at start-up, before the music clock starts.
TEST_F(DemoShow, PlaysToItsEndWithoutMusic) {
    const std::string loose = loose_first_picture();
    ASSERT_TRUE(fs::remove(loose + "/data/audio/velandora.ogg"));
    const PlayerRun player = run_player(VELANDORA_PATH, loose, {}, 60.0);
    EXPECT_LT(player.seconds_after("no sound output"), 0.0);
    expect_ended_after(player, "music: data/audio/velandora.ogg: not found, playing silence",
                       show_seconds(1) / kDummyClockRate - 0.2, show_seconds(1) + kExitSeconds);
}
