// A show plays to its end where it cannot be heard: without a sound output,
// and without music. Its clock then runs as the sound output's would, so a
// three-picture show ends as the fourth slot begins, 20.5 s into the music.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/support/process.h"

namespace fs = std::filesystem;

namespace {

const double kShowSeconds = 20.5;  // 2.5 s before the first slot, then 3 x 6 s
// The end is seen when the process has gone (Mesa and SDL tear down), seconds later under load.
const double kExitSeconds = 4.0;
// SDL's dummy driver sleeps 11 ms for each 11.6 ms period: its clock runs about 5 % fast.
const double kDummyClockRate = 11.61 / 11.0;

// A copy of the fixture's demo show of its own, so that players run side by side.
class SilentShow : public ::testing::Test {
protected:
    void SetUp() override {
        directory = make_temp_directory("vel_silent");
        const std::string demo = VEL_E2E_DEMO_DIR "/velandora.lcc";
        if (!fs::exists(demo)) {
            ASSERT_EQ(run_command(std::string(VELKIT_PATH) + " demo " + VEL_E2E_DEMO_DIR " --pictures 3").status, 0);
        }
        fs::copy_file(demo, directory + "/velandora.lcc");
    }
    void TearDown() override { fs::remove_all(directory); }
    std::string directory;
};

}  // namespace

TEST_F(SilentShow, PlaysToItsEndWithoutASoundOutput) {
    const PlayerRun player = run_player(VELANDORA_PATH, directory, {"SDL_AUDIODRIVER=no-such-driver"}, 60.0);
    EXPECT_EQ(player.exit_status, 0);
    EXPECT_FALSE(player.showed_message_box());
    // Said as the silent output starts, at music time 0.
    const double seconds = player.seconds_after("no sound output: the show plays in silence");
    ASSERT_GE(seconds, 0.0) << "the player did not say that it plays in silence";
    EXPECT_GE(seconds, kShowSeconds);
    EXPECT_LE(seconds, kShowSeconds + kExitSeconds);
}

TEST_F(SilentShow, PlaysToItsEndWithoutMusic) {
    const std::string loose = directory + "/loose";
    ASSERT_EQ(run_command(std::string(VELKIT_PATH) + " unpack " + directory + "/velandora.lcc " + loose).status, 0);
    ASSERT_TRUE(fs::remove(loose + "/data/audio/velandora.ogg"));
    ASSERT_TRUE(fs::exists(loose + "/data/images/0300.wmj"));
    const PlayerRun player = run_player(VELANDORA_PATH, loose, {"SDL_AUDIODRIVER=dummy"}, 60.0);
    EXPECT_EQ(player.exit_status, 0);
    EXPECT_FALSE(player.showed_message_box());
    EXPECT_LT(player.seconds_after("no sound output"), 0.0);
    // Said at start-up, before the window opens and the music clock starts.
    const double seconds = player.seconds_after("music: data/audio/velandora.ogg: not found, playing silence");
    ASSERT_GE(seconds, 0.0) << "the player did not say that the track is missing";
    EXPECT_GE(seconds, kShowSeconds / kDummyClockRate - 0.2);
    EXPECT_LE(seconds, kShowSeconds + kExitSeconds + 1.0);
}
