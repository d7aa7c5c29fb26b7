// velkit encode and velkit decode run as real processes.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "kit/encoder/picture_decoding.h"
#include "kit/encoder/picture_encoder.h"
#include "kit/image/image_file.h"
#include "test_pictures.h"
#include "tests/support/process.h"
#include "tests/support/scratch_directory.h"

namespace {

class VelkitPictureCommands : public ::testing::Test {
protected:
    std::string path(const std::string& name) const { return directory_.path() + "/" + name; }

    // Runs velkit with the arguments; returns its exit status and keeps its standard error.
    int velkit(const std::string& arguments) {
        const CommandResult result = run_command(std::string(VELKIT_PATH) + " " + arguments);
        errors_ = result.err;
        return result.status;
    }

    // Every failure is one "velkit: ..." message, exit status 1 and no output file.
    void expectFailure(const std::string& arguments, const std::string& message, const std::string& output) {
        SCOPED_TRACE(arguments);
        std::remove(path(output).c_str());
        EXPECT_EQ(velkit(arguments), 1);
        EXPECT_EQ(errors_.rfind("velkit: ", 0), 0u) << errors_;
        EXPECT_NE(errors_.find(message), std::string::npos) << errors_;
        EXPECT_FALSE(std::ifstream(path(output))) << "left a file";
    }

    ScratchDirectory directory_;
    std::string errors_;
};

}  // namespace

// A PNG encoded at a quality and to a byte budget, decoded to every output
// format; a JPEG and a PPM scaled and cropped to another size.
TEST_F(VelkitPictureCommands, EncodeAndDecodeToEveryOutputFormat) {
    const RgbImage original = smoothPicture(256, 128, 21);
    writeImageFile(path("in.png"), original);
    ASSERT_EQ(velkit("encode " + path("in.png") + " " + path("out.wmj") + " --quality 95"), 0) << errors_;
    EXPECT_EQ(readFileBytes(path("out.wmj")), encodePicture(original, PictureEncodeOptions{95, 0}));
    for (const char* format : {"png", "ppm", "bgr"})
        ASSERT_EQ(velkit("decode " + path("out.wmj") + " " + path("out.") + format), 0) << errors_;
    // The .bgr file is the decoder's picture buffer, byte for byte; PNG and PPM hold it in RGB order.
    const DecodedPicture decoded = decodePictureBytes(readFileBytes(path("out.wmj")));
    ASSERT_TRUE(decoded.ok) << decoded.error;
    EXPECT_EQ(readFileBytes(path("out.bgr")), decoded.bgr);
    const RgbImage png = readImageFile(path("out.png"));
    EXPECT_EQ(png.rgb, toRgbImage(decoded).rgb);
    EXPECT_EQ(readImageFile(path("out.ppm")).rgb, png.rgb);

    const int64_t budget = int64_t(readFileBytes(path("out.wmj")).size() / 2);
    ASSERT_EQ(velkit("encode " + path("in.png") + " " + path("out.wmj") + " --max-bytes " + std::to_string(budget)),
              0) << errors_;
    EXPECT_EQ(readFileBytes(path("out.wmj")), encodePicture(original, PictureEncodeOptions{85, budget}));

    writeFileBytes(path("in.jpg"), encodeJpeg(gradientPicture(300, 200), 90));
    ASSERT_EQ(velkit("encode " + path("in.jpg") + " " + path("a.wmj") + " --size 256x128"), 0) << errors_;
    roundTripBytes(readFileBytes(path("a.wmj")), 256, 128);
    writeImageFile(path("in.ppm"), flatPicture(64, 64, 200, 30, 60));
    ASSERT_EQ(velkit("encode --size 128x64 " + path("in.ppm") + " " + path("b.wmj")), 0) << errors_;
    EXPECT_LE(maxSampleError(roundTripBytes(readFileBytes(path("b.wmj")), 128, 64), flatPicture(128, 64, 200, 30, 60)),
              2);
}

TEST_F(VelkitPictureCommands, EncodeFailuresExitWithAMessage) {
    writeImageFile(path("in.png"), smoothPicture(256, 128, 12));
    writeImageFile(path("odd.png"), flatPicture(100, 70, 1, 2, 3));
    const std::string out = " " + path("out.wmj"), odd = "encode " + path("odd.png") + out;
    const std::string in = "encode " + path("in.png") + out + " ";
    const char* const range = "--quality needs a whole number from 1 to 100";
    const char* const bytes = "--max-bytes needs a whole number of bytes above 0";
    const struct {
        std::string arguments;
        std::string message;
    } cases[] = {
        {odd, "--size"}, {odd + " --size 100x64", "cannot encode 100x64"}, {odd + " --size banana", "WIDTHxHEIGHT"},
        {"encode " + path("missing.png") + out, "missing.png"}, {"encode " + path("odd.png"), "usage"},
        {in + "--quality 0", range}, {in + "--quality 101", range}, {in + "--quality 8.5", range},
        {in + "--quality high", range}, {in + "--quality", range}, {in + "--max-bytes 0", bytes},
        {in + "--max-bytes", bytes}, {in + "--quality 50 --max-bytes 9000", "--quality and --max-bytes exclude"},
        {in + "--speed 3", "unknown option '--speed'"},
        {in + "--max-bytes 387",
         "cannot fit a 256x128 picture into 387 bytes: the smallest such picture (flat grey) takes 388 bytes"},
    };
    for (const auto& c : cases) expectFailure(c.arguments, c.message, "out.wmj");
}

TEST_F(VelkitPictureCommands, UndecodableInputExitsWithAMessage) {
    writeFileBytes(path("size.wmj"), {0x00, 0xC8, 0x01, 0x90, 0, 0, 0, 0});  // 100 x 100: refused
    std::vector<uint8_t> cut = encodePicture(smoothPicture(128, 64, 4));
    cut.resize(cut.size() / 3);
    writeFileBytes(path("cut.wmj"), cut);
    writeFileBytes(path("good.wmj"), encodePicture(smoothPicture(64, 64, 4)));
    for (const char* input : {"size.wmj", "cut.wmj", "nothing.wmj"})
        expectFailure("decode " + path(input) + " " + path("out.png"), input, "out.png");
    expectFailure("decode " + path("good.wmj") + " " + path("out.gif"), "out.gif", "out.gif");
    expectFailure("decode " + path("good.wmj") + " " + path("no/such/dir/out.png"), "no/such/dir", "out.png");
}
