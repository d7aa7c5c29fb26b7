// velkit encode and velkit decode run as real processes.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "kit/encoder/picture_decoding.h"
#include "kit/image/image_file.h"
#include "kit/encoder/picture_encoder.h"
#include "kit/image/picture_metrics.h"
#include "test_pictures.h"

namespace {

class VelkitPictureCommands : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/velkit_picture_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        directory_ = pattern;
    }
    void TearDown() override { std::system(("rm -rf '" + directory_ + "'").c_str()); }

    std::string path(const std::string& name) const { return directory_ + "/" + name; }

    // Runs velkit with the arguments; returns its exit status and keeps its
    // standard error.
    int velkit(const std::string& arguments) {
        const std::string command =
            std::string(VELKIT_PATH) + " " + arguments + " 2>'" + path("stderr.txt") + "' >/dev/null";
        const int status = std::system(command.c_str());
        std::ifstream in(path("stderr.txt"));
        errors_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string directory_;
    std::string errors_;
};

}  // namespace

TEST_F(VelkitPictureCommands, EncodeAndDecodeToEveryOutputFormat) {
    const RgbImage original = smoothPicture(256, 128, 21);
    writeImageFile(path("in.png"), original);
    ASSERT_EQ(velkit("encode " + path("in.png") + " " + path("out.wmj")), 0) << errors_;
    ASSERT_EQ(velkit("decode " + path("out.wmj") + " " + path("out.png")), 0) << errors_;
    ASSERT_EQ(velkit("decode " + path("out.wmj") + " " + path("out.ppm")), 0) << errors_;
    ASSERT_EQ(velkit("decode " + path("out.wmj") + " " + path("out.bgr")), 0) << errors_;

    // The .bgr file is the decoder's picture buffer, byte for byte.
    const DecodedPicture decoded = decodePictureBytes(readFileBytes(path("out.wmj")));
    ASSERT_TRUE(decoded.ok) << decoded.error;
    EXPECT_EQ(readFileBytes(path("out.bgr")), decoded.bgr);

    // PNG and PPM hold the same pixels in RGB order.
    const RgbImage png = readImageFile(path("out.png"));
    const RgbImage ppm = readImageFile(path("out.ppm"));
    EXPECT_EQ(png.width, 256);
    EXPECT_EQ(png.height, 128);
    EXPECT_EQ(png.rgb, toRgbImage(decoded).rgb);
    EXPECT_EQ(ppm.rgb, png.rgb);
    const std::vector<uint8_t> ppmBytes = readFileBytes(path("out.ppm"));
    EXPECT_EQ(std::string(ppmBytes.begin(), ppmBytes.begin() + 2), "P6");
    EXPECT_GE(lumaPsnr(original, png), 40.0);
    // Blue first in the raw bytes: pixel 0 of the PNG is red, green, blue.
    EXPECT_EQ(decoded.bgr[0], png.rgb[2]);
    EXPECT_EQ(decoded.bgr[2], png.rgb[0]);
}

TEST_F(VelkitPictureCommands, SizeScalesAndCropsJpegAndPpmInput) {
    writeFileBytes(path("in.jpg"), encodeJpeg(gradientPicture(300, 200), 90));
    ASSERT_EQ(velkit("encode " + path("in.jpg") + " " + path("a.wmj") + " --size 256x128"), 0) << errors_;
    DecodedPicture decoded = decodePictureBytes(readFileBytes(path("a.wmj")));
    ASSERT_TRUE(decoded.ok) << decoded.error;
    EXPECT_EQ(decoded.width, 256);
    EXPECT_EQ(decoded.height, 128);

    writeImageFile(path("in.ppm"), flatPicture(64, 64, 200, 30, 60));
    ASSERT_EQ(velkit("encode --size 128x64 " + path("in.ppm") + " " + path("b.wmj")), 0) << errors_;
    decoded = decodePictureBytes(readFileBytes(path("b.wmj")));
    ASSERT_TRUE(decoded.ok) << decoded.error;
    EXPECT_EQ(decoded.width, 128);
    EXPECT_EQ(decoded.height, 64);
    EXPECT_LE(maxSampleError(toRgbImage(decoded), flatPicture(128, 64, 200, 30, 60)), 2);
}

TEST_F(VelkitPictureCommands, EncodeFailuresExitWithAMessage) {
    writeImageFile(path("odd.png"), flatPicture(100, 70, 1, 2, 3));
    EXPECT_EQ(velkit("encode " + path("odd.png") + " " + path("x.wmj")), 1);
    EXPECT_NE(errors_.find("velkit: "), std::string::npos) << errors_;
    EXPECT_NE(errors_.find("--size"), std::string::npos) << errors_;

    EXPECT_EQ(velkit("encode " + path("missing.png") + " " + path("x.wmj")), 1);
    EXPECT_NE(errors_.find("velkit: "), std::string::npos) << errors_;

    writeFileBytes(path("junk.png"), std::vector<uint8_t>(100, 0x42));
    EXPECT_EQ(velkit("encode " + path("junk.png") + " " + path("x.wmj")), 1);
    EXPECT_NE(errors_.find("velkit: "), std::string::npos) << errors_;

    std::vector<uint8_t> brokenPng = encodePng(flatPicture(64, 64, 0, 0, 0));
    brokenPng.resize(brokenPng.size() / 2);
    writeFileBytes(path("broken.png"), brokenPng);
    EXPECT_EQ(velkit("encode " + path("broken.png") + " " + path("x.wmj")), 1);
    EXPECT_NE(errors_.find("velkit: "), std::string::npos) << errors_;

    EXPECT_EQ(velkit("encode " + path("odd.png") + " " + path("x.wmj") + " --size 100x64"), 1);
    EXPECT_EQ(velkit("encode " + path("odd.png") + " " + path("x.wmj") + " --size banana"), 1);
    EXPECT_EQ(velkit("encode " + path("odd.png")), 1);
    EXPECT_NE(errors_.find("velkit: "), std::string::npos) << errors_;
}

TEST_F(VelkitPictureCommands, UndecodableInputExitsWithAMessage) {
    // A header of 100 x 100: not a size the decoder takes.
    writeFileBytes(path("size.wmj"), {0x00, 0xC8, 0x01, 0x90, 0, 0, 0, 0});
    EXPECT_EQ(velkit("decode " + path("size.wmj") + " " + path("out.png")), 1);
    EXPECT_NE(errors_.find("velkit: "), std::string::npos) << errors_;

    writeFileBytes(path("empty.wmj"), {});
    EXPECT_EQ(velkit("decode " + path("empty.wmj") + " " + path("out.png")), 1);
    EXPECT_NE(errors_.find("velkit: "), std::string::npos) << errors_;

    std::vector<uint8_t> cut = encodePicture(smoothPicture(128, 64, 4));
    cut.resize(cut.size() / 3);
    writeFileBytes(path("cut.wmj"), cut);
    EXPECT_EQ(velkit("decode " + path("cut.wmj") + " " + path("out.bgr")), 1);
    EXPECT_NE(errors_.find("velkit: "), std::string::npos) << errors_;

    EXPECT_EQ(velkit("decode " + path("nothing.wmj") + " " + path("out.png")), 1);
    EXPECT_NE(errors_.find("velkit: "), std::string::npos) << errors_;

    writeFileBytes(path("good.wmj"), encodePicture(smoothPicture(64, 64, 4)));
    EXPECT_EQ(velkit("decode " + path("good.wmj") + " " + path("out.gif")), 1);
    EXPECT_NE(errors_.find("velkit: "), std::string::npos) << errors_;
    EXPECT_EQ(velkit("decode " + path("good.wmj") + " " + path("no/such/dir/out.png")), 1);
    EXPECT_NE(errors_.find("velkit: "), std::string::npos) << errors_;
}
