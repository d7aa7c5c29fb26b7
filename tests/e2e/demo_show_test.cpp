// velkit demo writes a show that velandora plays to its end, and velkit
// render draws its frames as the player shows them.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "kit/image/image_file.h"
#include "tests/support/process.h"

namespace fs = std::filesystem;

namespace {

// One demo show (three pictures), made by the ctest fixture or here.
class DemoShow : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        scratch = make_temp_directory("vel_demo");
        made = fs::exists(directory + "/velandora.lcc") ||
               run_command(std::string(VELKIT_PATH) + " demo " + directory + " --pictures 3").status == 0;
    }
    static void TearDownTestSuite() { fs::remove_all(scratch); }
    void SetUp() override { ASSERT_TRUE(made); }

    // The frame at `seconds`; empty when velkit render fails, with its status in `status`.
    static RgbImage render(double seconds, int* status = nullptr) {
        const std::string png = scratch + "/frame.png";
        fs::remove(png);
        const int code = run_command("cd " + directory + " && " + VELKIT_PATH + " render --time " +
                                     std::to_string(seconds) + " " + png).status;
        if (status) *status = code;
        return code == 0 ? readImageFile(png) : RgbImage();
    }
    static int lit_pixels(const RgbImage& image, int top, int bottom) {
        int count = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = 0; x < image.width; ++x) count += image.pixel(x, y)[0] + image.pixel(x, y)[1] > 40;
        return count;
    }

    static inline const std::string directory = VEL_E2E_DEMO_DIR;
    static inline std::string scratch;
    static inline bool made = false;
};

}  // namespace

TEST_F(DemoShow, IsOneArchiveListingEveryFileWithFittingMethods) {
    std::vector<std::string> files;
    for (const auto& entry : fs::directory_iterator(directory)) files.push_back(entry.path().filename());
    EXPECT_EQ(files, std::vector<std::string>{"velandora.lcc"});
    const CommandResult listing = run_command(std::string(VELKIT_PATH) + " ls " + directory + "/velandora.lcc");
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

TEST_F(DemoShow, PlaysToItsEndHeadless) {
    const PlayerRun player = run_player(VELANDORA_PATH, directory, {}, 90.0);
    EXPECT_EQ(player.exit_status, 0);
    EXPECT_FALSE(player.showed_message_box());
    // The show ends 20.5 s into the music; the dummy audio driver's clock runs
    // about 5 % fast (whole-millisecond sleeps). Start-up and exit take seconds
    // on a loaded machine, but a fourth slot would add 6 s.
    EXPECT_GE(player.seconds(), 20.5 * 11.0 / 11.61 - 0.2);
    EXPECT_LE(player.seconds(), 26.0);
}
