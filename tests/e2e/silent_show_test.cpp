// A show plays to its end where it cannot be heard: on a machine without a
// sound output, and when the show has no music. Its clock then runs as the
// sound output's would, so a three-picture show ends as the fourth slot
// begins, 20.5 s into the music.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "player_process.h"

namespace fs = std::filesystem;

namespace {

const double kShowSeconds = 20.5;  // 2.5 s before the first slot, then 3 x 6 s
// The end is seen when the process has gone, after its exit, which takes a
// moment more on a loaded machine (Mesa and SDL tear down), seconds under
// heavy load.
const double kExitSeconds = 4.0;
// SDL's dummy driver sleeps whole milliseconds per period of 512 frames
// (11 ms for 11.6 ms of sound), so its clock runs about 5 % fast.
const double kDummyClockRate = 11.61 / 11.0;

int run(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class SilentShow : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/vel_silent_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        directory = pattern;
        ASSERT_EQ(run(std::string(VELKIT_PATH) + " demo " + directory + " --pictures 3 >/dev/null"), 0);
    }
    void TearDown() override { fs::remove_all(directory); }

    void expect_no_message_box(const PlayerRun& player) {
        for (const auto& line : player.stderr_lines)
            EXPECT_EQ(line.second.find("ERROR"), std::string::npos) << line.second;
    }

    std::string directory;
};

}  // namespace

TEST_F(SilentShow, PlaysToItsEndWithoutASoundOutput) {
    const PlayerRun player =
        run_player(VELANDORA_PATH, directory, {"SDL_AUDIODRIVER=no-such-driver"}, 60.0);
    EXPECT_EQ(player.exit_status, 0);
    expect_no_message_box(player);
    // The line comes as the silent output starts, at music time 0.
    const double seconds = player.seconds_after("no sound output: the show plays in silence");
    ASSERT_GE(seconds, 0.0) << "the player did not say that it plays in silence";
    EXPECT_GE(seconds, kShowSeconds);
    EXPECT_LE(seconds, kShowSeconds + kExitSeconds);
}

TEST_F(SilentShow, PlaysToItsEndWithoutMusic) {
    // The same show, loose, without its track.
    const std::string loose = directory + "/loose";
    ASSERT_EQ(run(std::string(VELKIT_PATH) + " unpack " + directory + "/velandora.lcc " + loose), 0);
    ASSERT_TRUE(fs::remove(loose + "/data/audio/velandora.ogg"));
    ASSERT_TRUE(fs::exists(loose + "/data/images/0300.wmj"));

    const PlayerRun player = run_player(VELANDORA_PATH, loose, {"SDL_AUDIODRIVER=dummy"}, 60.0);
    EXPECT_EQ(player.exit_status, 0);
    expect_no_message_box(player);
    EXPECT_FALSE(player.printed("no sound output"));
    // Said at start-up, before the window opens and the music clock starts.
    const double seconds = player.seconds_after("music: data/audio/velandora.ogg: not found, playing silence");
    ASSERT_GE(seconds, 0.0) << "the player did not say that the track is missing";
    EXPECT_GE(seconds, kShowSeconds / kDummyClockRate - 0.2);
    EXPECT_LE(seconds, kShowSeconds + kExitSeconds + 1.0);
}
