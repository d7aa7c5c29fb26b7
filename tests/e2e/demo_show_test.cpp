// velkit demo writes a show that velandora plays to its end, and velkit
// render draws its frames as the player shows them.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "kit/image/image_file.h"
#include "player_process.h"

namespace fs = std::filesystem;

namespace {

int run(const std::string& command) {
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// One demo show (three pictures) for all tests of this file, made by the
// test fixture, or here when it is missing. Scratch files go beside it.
class DemoShow : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        directory = VEL_E2E_DEMO_DIR;
        char pattern[] = "/tmp/vel_demo_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        scratch = pattern;
        made = fs::exists(directory + "/velandora.lcc") ||
               run(std::string(VELKIT_PATH) + " demo " + directory + " --pictures 3") == 0;
    }
    static void TearDownTestSuite() { fs::remove_all(scratch); }

    static RgbImage render(double seconds, int* exit_code = nullptr) {
        const std::string png = scratch + "/frame.png";
        fs::remove(png);
        int code = run("cd " + directory + " && " + VELKIT_PATH + " render --time " + std::to_string(seconds) +
                       " " + png);
        if (exit_code) *exit_code = code;
        return code == 0 ? readImageFile(png) : RgbImage();
    }

    static int lit_pixels(const RgbImage& image, int top, int bottom) {
        int count = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = 0; x < image.width; ++x) count += image.pixel(x, y)[0] + image.pixel(x, y)[1] > 40;
        return count;
    }

    static std::string directory;
    static std::string scratch;
    static bool made;
};

std::string DemoShow::directory;
std::string DemoShow::scratch;
bool DemoShow::made = false;

}  // namespace

TEST_F(DemoShow, IsOneArchiveAndNothingElse) {
    ASSERT_TRUE(made);
    std::vector<std::string> files;
    for (const auto& entry : fs::directory_iterator(directory)) files.push_back(entry.path().filename());
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0], "velandora.lcc");
}

TEST_F(DemoShow, ListsEveryFileWithFittingMethods) {
    ASSERT_TRUE(made);
    const std::string listing = scratch + "/listing.txt";
    ASSERT_EQ(run(std::string(VELKIT_PATH) + " ls " + directory + "/velandora.lcc > " + listing), 0);
    std::vector<uint8_t> bytes = readFileBytes(listing);
    std::string text(bytes.begin(), bytes.end());
    for (const char* name : {"data/images/0100.wmj", "data/images/0300.wmj", "data/text/velandora.txt",
                             "data/audio/velandora.ogg", "data/audio/loop_idle.wav", "data/audio/loop_active.wav",
                             "data/fonts/batang.def", "data/fonts/batang_0.raw"})
        EXPECT_NE(text.find(name), std::string::npos) << name;
    EXPECT_EQ(text.find("data/images/0400.wmj"), std::string::npos);
    for (const char* method : {"stored", "lz", "zlib"}) EXPECT_NE(text.find(method), std::string::npos) << method;
}

TEST_F(DemoShow, FramesAtSeveralTimes) {
    ASSERT_TRUE(made);
    // Before the first slot: black.
    RgbImage frame = render(1.0);
    ASSERT_EQ(frame.width, 1024);
    ASSERT_EQ(frame.height, 768);
    EXPECT_EQ(lit_pixels(frame, 0, 768), 0);
    // Half way through the first fade: a picture between rows 128 and 639, a
    // caption below it, black above.
    frame = render(5.75);
    EXPECT_GT(lit_pixels(frame, 128, 630), 100000);
    EXPECT_EQ(lit_pixels(frame, 0, 128), 0);
    EXPECT_GT(lit_pixels(frame, 645, 680), 50);
    // The last slot, and after it the show is over.
    frame = render(2.5 + 12 + 5.9);
    EXPECT_GT(lit_pixels(frame, 128, 630), 100000);
    int code = 0;
    render(2.5 + 18 + 1, &code);
    EXPECT_EQ(code, 1);
}

TEST_F(DemoShow, PlaysToItsEndHeadless) {
    ASSERT_TRUE(made);
    const PlayerRun player = run_player(VELANDORA_PATH, directory, {}, 90.0);
    EXPECT_EQ(player.exit_status, 0);
    // The start-up message boxes end with status 0 too: none may have shown.
    for (const auto& line : player.stderr_lines)
        EXPECT_EQ(line.second.find("ERROR"), std::string::npos) << line.second;
    // Three pictures: the show ends 20.5 s into the music, after start-up. The
    // dummy audio driver's clock runs about 5 % fast (whole-millisecond sleeps).
    EXPECT_GE(player.seconds(), 20.5 * 11.0 / 11.61 - 0.2);
    EXPECT_LE(player.seconds(), 24.0);
}
