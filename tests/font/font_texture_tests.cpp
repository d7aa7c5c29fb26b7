#include <gtest/gtest.h>

#include <vector>

#include "font/gl.h"
#include "font/texture.h"
#include "tests/font/gl_test_context.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Four pixels around the colour key, and a plain colour.
const Bytes kKeyRow = {255, 0, 127, 255, 0, 126, 254, 0, 127, 200, 10, 20};

Bytes convert(const char* name, int32_t width, int32_t height, int32_t mode, bool* ok = nullptr) {
    Bytes rgba(size_t(width) * height * 4, 0xAB);
    const bool result = convert_raw_rgb(name, rgba.data(), width, height, mode);
    if (ok) *ok = result;
    return rgba;
}

GLint texture_parameter(GLenum name) {
    GLint value = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, name, &value);
    return value;
}

Bytes texture_image(uint32_t texture, int width, int height) {
    glBindTexture(GL_TEXTURE_2D, texture);
    Bytes pixels(size_t(width) * height * 4);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

GLint bound_texture() {
    GLint name = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &name);
    return name;
}

class TextureTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { context_ = new GlTestContext; }
    static void TearDownTestSuite() {
        delete context_;
        context_ = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(context_->ok()) << context_->error();
        directory_.write("key.raw", kKeyRow);
    }

    static GlTestContext* context_;
    ScratchDirectory directory_;
};

GlTestContext* TextureTest::context_ = nullptr;

}  // namespace

// The colour key blanks only the exact key; alpha from red; other modes are
// opaque; rows follow each other; a longer file gives its first pixels, a
// short one ends in black (transparent with alpha from red), a missing one is
// transparent black.
TEST_F(TextureTest, ConversionModes) {
    const Bytes opaque = {255, 0, 127, 255, 255, 0, 126, 255, 254, 0, 127, 255, 200, 10, 20, 255};
    const struct {
        const char* name;
        int32_t width, height, mode;
        bool ok;
        Bytes rgba;
    } cases[] = {
        {"key.raw", 4, 1, kAlphaColourKey, true, {0, 0, 0, 0, 255, 0, 126, 255, 254, 0, 127, 255, 200, 10, 20, 255}},
        {"key.raw", 4, 1, kAlphaFromRed, true, {255, 0, 127, 255, 255, 0, 126, 255, 254, 0, 127, 254, 200, 10, 20, 200}},
        {"key.raw", 4, 1, 0, true, opaque},
        {"key.raw", 4, 1, 3, true, opaque},
        {"key.raw", 2, 2, -7, true, opaque},
        {"key.raw", 1, 2, kAlphaFromRed, true, {255, 0, 127, 255, 255, 0, 126, 255}},
        {"key.raw", 3, 2, 0, true, [&] { Bytes b = opaque; b.insert(b.end(), {0, 0, 0, 255, 0, 0, 0, 255}); return b; }()},
        {"key.raw", 5, 1, kAlphaFromRed, true,
         {255, 0, 127, 255, 255, 0, 126, 255, 254, 0, 127, 254, 200, 10, 20, 200, 0, 0, 0, 0}},
        {"no/such/page.raw", 2, 2, 0, false, Bytes(16, 0)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.width) + "x" + std::to_string(c.height) + " mode " +
                     std::to_string(c.mode));
        bool ok = !c.ok;
        EXPECT_EQ(convert(c.name, c.width, c.height, c.mode, &ok), c.rgba);
        EXPECT_EQ(ok, c.ok);
    }
}

TEST_F(TextureTest, UnusableSizesWriteNothing) {
    bool ok = true;
    EXPECT_EQ(convert("key.raw", 0, 5, 0, &ok), Bytes());
    EXPECT_FALSE(ok);
    Bytes untouched(4, 0xAB);
    EXPECT_FALSE(convert_raw_rgb("key.raw", untouched.data(), -1, 1, 0));
    EXPECT_FALSE(convert_raw_rgb("key.raw", untouched.data(), 65536, 65536, 0));
    EXPECT_EQ(untouched, Bytes(4, 0xAB));
}

// Raw pages are converted and filtered linearly with repeat; a missing file
// replaces whatever was there with transparent black.
TEST_F(TextureTest, LoadRawTextureUploadsWithLinearFilteringAndRepeat) {
    GLuint texture = 0;
    glGenTextures(1, &texture);
    load_raw_texture(texture, "key.raw", 2, 2, kAlphaColourKey);
    EXPECT_EQ(bound_texture(), GLint(texture));
    for (GLenum name : {GL_TEXTURE_MAG_FILTER, GL_TEXTURE_MIN_FILTER}) EXPECT_EQ(texture_parameter(name), GL_LINEAR);
    for (GLenum name : {GL_TEXTURE_WRAP_S, GL_TEXTURE_WRAP_T}) EXPECT_EQ(texture_parameter(name), GL_REPEAT);
    EXPECT_EQ(texture_image(texture, 2, 2), convert("key.raw", 2, 2, kAlphaColourKey));
    load_raw_texture(texture, "missing.raw", 2, 2, 0);
    EXPECT_EQ(texture_image(texture, 2, 2), Bytes(16, 0));
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    glDeleteTextures(1, &texture);
}

TEST_F(TextureTest, UploadRgbaUsesNearestFilteringAndClamp) {
    GLuint texture = 0;
    glGenTextures(1, &texture);
    Bytes pixels(3 * 2 * 4);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint8_t(i * 11 + 3);
    const Bytes kept = pixels;
    upload_rgba_texture(texture, pixels.data(), 3, 2);
    EXPECT_EQ(pixels, kept);
    EXPECT_EQ(bound_texture(), GLint(texture));
    for (GLenum name : {GL_TEXTURE_MAG_FILTER, GL_TEXTURE_MIN_FILTER}) EXPECT_EQ(texture_parameter(name), GL_NEAREST);
    for (GLenum name : {GL_TEXTURE_WRAP_S, GL_TEXTURE_WRAP_T}) EXPECT_EQ(texture_parameter(name), GL_CLAMP);
    EXPECT_EQ(texture_image(texture, 3, 2), pixels);
    // A second upload replaces the image.
    const Bytes other(3 * 2 * 4, 0x42);
    upload_rgba_texture(texture, other.data(), 3, 2);
    EXPECT_EQ(texture_image(texture, 3, 2), other);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    glDeleteTextures(1, &texture);
}
