// velkit demo writes a show that velandora plays to its end, also where it
// cannot be heard, and velkit render draws its frames as the player shows them.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/shell.h"
#include "app/show.h"
#include "audio/stream_player.h"
#include "kit/image/image_file.h"
#include "tests/support/process.h"

namespace fs = std::filesystem;

namespace {

const std::string velkit = VELKIT_PATH;
// 2.5 s before the first slot, then 3 x 6 s: the show ends as the fourth slot begins.
const double kShowSeconds = 20.5;
// The end is seen when the process has gone (Mesa and SDL tear down), seconds later under
// load; a fourth slot would add 6 s.
const double kExitSeconds = 5.5;
// SDL's dummy driver sleeps 11 ms for each 11.6 ms period: its clock runs about 5 % fast.
const double kDummyClockRate = 11.61 / 11.0;

// Each test has its own copy of the fixture's demo show (three pictures), as
// a player keeps its archive locked against other processes.
class DemoShow : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        const std::string demo = VEL_E2E_DEMO_DIR "/velandora.lcc";
        if (!fs::exists(demo)) {
            ASSERT_EQ(run_command(velkit + " demo " + VEL_E2E_DEMO_DIR " --pictures 3").status, 0);
        }
        directory = make_temp_directory("vel_demo");
        fs::create_directory(directory + "/show");
        fs::copy_file(demo, show() + "/velandora.lcc");
    }
    void TearDown() override { fs::remove_all(directory); }
    std::string show() const { return directory + "/show"; }

    // The frame at `seconds`; empty when velkit render fails, with its status in `status`.
    RgbImage render(double seconds, int* status = nullptr) const {
        const std::string png = directory + "/frame.png";
        fs::remove(png);
        const int code =
            run_command("cd " + show() + " && " + velkit + " render --time " + std::to_string(seconds) + " " + png)
                .status;
        if (status) *status = code;
        return code == 0 ? readImageFile(png) : RgbImage();
    }
    static int lit_pixels(const RgbImage& image, int top, int bottom) {
        int count = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = 0; x < image.width; ++x) count += image.pixel(x, y)[0] + image.pixel(x, y)[1] > 40;
        return count;
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
    for (const char* name : {"data/images/0100.wmj", "data/images/0300.wmj", "data/text/velandora.txt",
                             "data/audio/velandora.ogg", "data/audio/loop_idle.wav", "data/audio/loop_active.wav",
                             "data/fonts/batang.def", "data/fonts/batang_0.raw", "stored", "lz", "zlib"})
        EXPECT_NE(listing.out.find(name), std::string::npos) << name;
    EXPECT_EQ(listing.out.find("data/images/0400.wmj"), std::string::npos);
}

TEST_F(DemoShow, FramesAtSeveralTimes) {
    // Before the first slot: black.
    RgbImage frame = render(1.0);
    ASSERT_EQ(frame.width, 1024);
    ASSERT_EQ(frame.height, 768);
    EXPECT_EQ(lit_pixels(frame, 0, 768), 0);
    // Half way through the first fade: the picture in rows 128..639, its caption below, black above.
    frame = render(5.75);
    EXPECT_GT(lit_pixels(frame, 128, 630), 100000);
    EXPECT_EQ(lit_pixels(frame, 0, 128), 0);
    EXPECT_GT(lit_pixels(frame, 645, 680), 50);
    // The last slot, and after it the show is over.
    EXPECT_GT(lit_pixels(render(2.5 + 12 + 5.9), 128, 630), 100000);
    int status = 0;
    render(2.5 + 18 + 1, &status);
    EXPECT_EQ(status, 1);
}

struct ShowOver {
    int32_t status, music_bytes;  // the music position when the show ended
};

// The player in this process: instead of ending it, the show's end leaves the player's loop.
TEST_F(DemoShow, EndsWithStatusZeroWhenTheFourthSlotBegins) {
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
    // Not before the fourth slot, and within it: its own first frame ended the show.
    EXPECT_GE(over.music_bytes / 176400.0, kShowSeconds);
    EXPECT_LT(over.music_bytes / 176400.0, kShowSeconds + 6);
}

// Without a sound output the clock runs as the output's would; the line comes at music time 0.
TEST_F(DemoShow, PlaysToItsEndWithoutASoundOutput) {
    const PlayerRun player = run_player(VELANDORA_PATH, show(), {"SDL_AUDIODRIVER=no-such-driver"}, 60.0);
    expect_ended_after(player, "no sound output: the show plays in silence", kShowSeconds, kShowSeconds + kExitSeconds);
}

// Without its track (a loose show) it says so at start-up, before the music clock starts.
TEST_F(DemoShow, PlaysToItsEndWithoutMusic) {
    const std::string loose = directory + "/loose";
    ASSERT_EQ(run_command(velkit + " unpack " + show() + "/velandora.lcc " + loose).status, 0);
    ASSERT_TRUE(fs::remove(loose + "/data/audio/velandora.ogg"));
    ASSERT_TRUE(fs::exists(loose + "/data/images/0300.wmj"));
    const PlayerRun player = run_player(VELANDORA_PATH, loose, {}, 60.0);
    EXPECT_LT(player.seconds_after("no sound output"), 0.0);
    expect_ended_after(player, "music: data/audio/velandora.ogg: not found, playing silence",
                       kShowSeconds / kDummyClockRate - 0.2, kShowSeconds + kExitSeconds);
}
