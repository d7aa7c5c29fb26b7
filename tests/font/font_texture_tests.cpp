// Raw RGB pages converted to RGBA and uploaded as textures.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "font/texture.h"
#include "kit/render/offscreen_gl.h"
#include "tests/support/scratch_directory.h"

namespace {

using Bytes = std::vector<uint8_t>;

class FontTexture : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(gl_.open(64, 64, &error)) << error;
        // Four pixels around the colour key, and a plain colour.
        directory_.write("key.raw", Bytes{255, 0, 127, 255, 0, 126, 254, 0, 127, 200, 10, 20});
        directory_.write("cut.raw", Bytes{255, 0, 127, 255, 0});
    }
    static Bytes texture_image(int width, int height) {
        Bytes pixels(size_t(width) * height * 4);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        return pixels;
    }
    static GLint parameter(GLenum name) {
        GLint value = 0;
        glGetTexParameteriv(GL_TEXTURE_2D, name, &value);
        return value;
    }
    OffscreenGl gl_;
    ScratchDirectory directory_;
};

}  // namespace

// The colour key blanks only the exact key; alpha from red; other modes are
// opaque; rows follow each other; a longer file gives its first pixels, a
// short one ends in black (transparent with alpha from red), a part of a
// pixel included; a missing one is transparent black; sizes that can't be
// held write nothing.
TEST_F(FontTexture, ConvertsRawRgb) {
    const Bytes opaque = {255, 0, 127, 255, 255, 0, 126, 255, 254, 0, 127, 255, 200, 10, 20, 255};
    const Bytes untouched(16, 0xAB);
    const struct {
        const char* name;
        int32_t width, height, mode;
        bool ok;
        Bytes rgba;
    } cases[] = {
        {"key.raw", 4, 1, kAlphaColourKey, true, {0, 0, 0, 0, 255, 0, 126, 255, 254, 0, 127, 255, 200, 10, 20, 255}},
        {"key.raw", 4, 1, kAlphaFromRed, true, {255, 0, 127, 255, 255, 0, 126, 255, 254, 0, 127, 254, 200, 10, 20, 200}},
        {"key.raw", 4, 1, 3, true, opaque},
        {"key.raw", 2, 2, -7, true, opaque},
        {"key.raw", 1, 2, kAlphaFromRed, true, {255, 0, 127, 255, 255, 0, 126, 255}},
        {"key.raw", 3, 2, 0, true, [&] { Bytes b = opaque; b.insert(b.end(), {0, 0, 0, 255, 0, 0, 0, 255}); return b; }()},
        {"cut.raw", 3, 1, kAlphaFromRed, true, {255, 0, 127, 255, 255, 0, 0, 255, 0, 0, 0, 0}},
        {"no/such/page.raw", 2, 2, 0, false, Bytes(16, 0)},
        {"key.raw", 0, 5, 0, false, untouched},
        {"key.raw", 2, -1, 0, false, untouched},
        {"key.raw", 65536, 65536, 0, false, untouched},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.width) + "x" + std::to_string(c.height) + " mode " +
                     std::to_string(c.mode));
        Bytes rgba(c.rgba.size(), 0xAB);
        EXPECT_EQ(convert_raw_rgb(c.name, rgba.data(), c.width, c.height, c.mode), c.ok);
        EXPECT_EQ(rgba, c.rgba);
    }
}

// Raw pages are filtered linearly and repeat, and a missing file makes the
// texture transparent black; RGBA pictures are filtered nearest and clamp.
TEST_F(FontTexture, UploadsWithTheirFilteringAndWrap) {
    GLuint textures[2] = {};
    glGenTextures(2, textures);
    const Bytes pixels = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24};
    for (int raw = 1; raw >= 0; --raw) {
        if (raw) load_raw_texture(textures[1], "key.raw", 2, 2, kAlphaColourKey);
        else upload_rgba_texture(textures[0], pixels.data(), 3, 2);
        GLint bound = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
        EXPECT_EQ(GLuint(bound), textures[raw]);
        EXPECT_EQ(parameter(GL_TEXTURE_MAG_FILTER), raw ? GL_LINEAR : GL_NEAREST);
        EXPECT_EQ(parameter(GL_TEXTURE_MIN_FILTER), raw ? GL_LINEAR : GL_NEAREST);
        EXPECT_EQ(parameter(GL_TEXTURE_WRAP_S), raw ? GL_REPEAT : GL_CLAMP);
        EXPECT_EQ(parameter(GL_TEXTURE_WRAP_T), raw ? GL_REPEAT : GL_CLAMP);
    }
    EXPECT_EQ(texture_image(3, 2), pixels);
    glBindTexture(GL_TEXTURE_2D, textures[1]);
    EXPECT_EQ(texture_image(2, 2), (Bytes{0, 0, 0, 0, 255, 0, 126, 255, 254, 0, 127, 255, 200, 10, 20, 255}));
    load_raw_texture(textures[1], "missing.raw", 2, 2, 0);
    EXPECT_EQ(texture_image(2, 2), Bytes(16, 0));
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    glDeleteTextures(2, textures);
}
