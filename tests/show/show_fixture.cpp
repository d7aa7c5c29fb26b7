#include "tests/show/show_fixture.h"

#include <GL/gl.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <stdexcept>

#include "app/app_state.h"
#include "app/shell.h"
#include "app/show.h"
#include "codec/picture_decoder.h"
#include "kit/encoder/picture_encoder.h"
#include "kit/font_baker/font_baker.h"
#include "lib/file_system.h"
#include "lib/stream.h"

RgbImage test_picture(int seed) {
    RgbImage image(1024, 512);
    for (int y = 0; y < 512; ++y)
        for (int x = 0; x < 1024; ++x) {
            uint8_t* p = image.pixel(x, y);
            p[0] = uint8_t(40 + (x * (seed + 1) / 8 + y / 4) % 180);
            p[1] = uint8_t(60 + (y * (seed + 2) / 6) % 160);
            p[2] = uint8_t(200 - (x / 6 + seed * 40) % 150);
        }
    return image;
}

std::vector<uint8_t> encode_test_picture(const RgbImage& image) { return encodePicture(image); }

namespace {

struct TestPicture {
    std::vector<uint8_t> file;
    RgbImage decoded;
};

const TestPicture& cached_picture(int seed) {
    static std::map<int, TestPicture> made;
    auto found = made.find(seed);
    if (found != made.end()) return found->second;
    TestPicture& picture = made[seed];
    picture.file = encode_test_picture(seed < 0 ? RgbImage(1024, 512) : test_picture(seed));
    std::vector<uint8_t> copy = picture.file;
    MemoryStream stream(copy.data(), int32_t(copy.size()), 0);
    PictureBuffer buffer;
    PictureDecoder decoder;
    if (decoder.decode(stream, buffer) != DecodeResult::decoded) throw std::runtime_error("test picture undecodable");
    picture.decoded = RgbImage(buffer.width, buffer.height);
    for (int i = 0; i < buffer.width * buffer.height; ++i)
        for (int c = 0; c < 3; ++c) picture.decoded.rgb[size_t(i) * 3 + size_t(c)] = buffer.pixels[i * 3 + 2 - c];
    return picture;
}

}  // namespace

const std::vector<uint8_t>& test_picture_file(int seed) { return cached_picture(seed).file; }
const RgbImage& decoded_test_picture(int seed) { return cached_picture(seed).decoded; }

std::string picture_name(int index) {
    char name[64];
    std::snprintf(name, sizeof name, "data/images/%04d.wmj", (index + 1) * 100);
    return name;
}

void write_test_font() {
    static BakedFont font;
    std::string error;
    if (font.glyphs.empty() && !bake_font(VEL_TEST_FONT, 20, &font, &error)) throw std::runtime_error(error);
    if (!write_baked_font(font, "data/fonts", "batang", &error)) throw std::runtime_error(error);
}

int picture_error(const RgbImage& frame, const RgbImage& top, double weight, const RgbImage& under, int rows) {
    int worst = 0;
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < 1024; ++x)
            for (int c = 0; c < 3; ++c) {
                double want = top.pixel(x, y)[c] * weight + under.pixel(x, y)[c] * (1 - weight);
                worst = std::max(worst, int(std::abs(frame.pixel(x, 128 + y)[c] - want) + 0.5));
            }
    return worst;
}

int SceneHarness::end_status_ = -1;

SceneHarness::SceneHarness() {
    std::string error;
    if (!gl_.open(1024, 768, &error)) return;
    app_state = AppState();
    mountArchives();
    init_scene();
    resize_view(1024, 768);
    app_state.mixer = &mixer_;
    end_status_ = -1;
    set_show_end_hook([](int32_t status) { end_status_ = status; });
    ready_ = true;
}

SceneHarness::~SceneHarness() {
    set_show_end_hook(nullptr);
    app_state.mixer = nullptr;
    delete app_state.font;
    app_state.font = nullptr;
}

void SceneHarness::draw(float time, float clear_grey) {
    glClearColor(clear_grey, clear_grey, clear_grey, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glPushMatrix();
    show_frame(time);
    glPopMatrix();
}
