#include "kit/demo/demo_show.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <stdexcept>
#include <thread>

#include "kit/demo/captions.h"
#include "kit/demo/demo_pictures.h"
#include "kit/demo/music.h"
#include "kit/encoder/picture_encoder.h"
#include "kit/font_baker/font_baker.h"
#include "kit/image/image_file.h"

namespace {

const int kMethodStored = 0, kMethodLz = 1, kMethodZlib = 2;


std::vector<uint8_t> encode_demo_picture(int index) {
    DemoImage painted = make_demo_picture(index, 1024, 512);
    RgbImage image;
    image.width = painted.width;
    image.height = painted.height;
    image.rgb = std::move(painted.rgb);
    return encodePicture(image);
}

}  // namespace

std::vector<LccMember> build_demo_members(const DemoShowOptions& options) {
    if (options.pictures < 1 || options.pictures > demo_picture_count())
        throw std::runtime_error("the demo has 1 to " + std::to_string(demo_picture_count()) + " pictures");

    // The music and the pictures take about as long; make them side by side.
    std::vector<uint8_t> music_bytes;
    std::string music_error;
    std::thread music_thread([&] {
        StereoBuffer music = compose_demo_music(options.pictures);
        music_bytes = encode_ogg_vorbis(music, options.music_quality, &music_error);
    });
    std::vector<std::vector<uint8_t>> pictures(size_t(options.pictures));
    std::string picture_error;
    try {
        for (int i = 0; i < options.pictures; ++i) pictures[size_t(i)] = encode_demo_picture(i);
    } catch (const std::exception& e) {
        picture_error = e.what();
    }
    music_thread.join();
    if (!picture_error.empty()) throw std::runtime_error("demo picture: " + picture_error);
    if (music_bytes.empty()) throw std::runtime_error("demo music: " + music_error);

    std::vector<LccMember> members;
    for (int i = 0; i < options.pictures; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "data/images/%04d.wmj", (i + 1) * 100);
        members.push_back(LccMember{name, std::move(pictures[size_t(i)]), kMethodStored});
    }
    std::string captions = demo_captions();
    members.push_back(LccMember{"data/text/velandora.txt", std::vector<uint8_t>(captions.begin(), captions.end()), kMethodLz});
    members.push_back(LccMember{"data/audio/velandora.ogg", std::move(music_bytes), kMethodStored});
    members.push_back(LccMember{"data/audio/loop_idle.wav", encode_wav16(make_idle_loop()), kMethodZlib});
    members.push_back(LccMember{"data/audio/loop_active.wav", encode_wav16(make_active_loop()), kMethodZlib});

    BakedFont font;
    std::string font_error;
    if (!bake_font(options.font_file, options.font_pixel_size, &font, &font_error))
        throw std::runtime_error("demo font: " + font_error);
    members.push_back(LccMember{"data/fonts/batang.def", encode_font_definition(font), kMethodLz});
    for (size_t page = 0; page < font.pages.size(); ++page)
        members.push_back(LccMember{"data/fonts/batang_" + std::to_string(page) + ".raw", font.pages[page], kMethodZlib});
    return members;
}

std::string write_demo_show(const std::string& directory, const DemoShowOptions& options) {
    std::vector<LccMember> members = build_demo_members(options);
    LccArchiveLayout layout;
    layout.name = "velandora";
    layout.note = "Velandora demo show, made by velkit demo";
    layout.directoryMethod = kMethodZlib;
    std::vector<uint8_t> archive = buildLccArchive(layout, members);
    if (mkdir(directory.c_str(), 0777) != 0 && errno != EEXIST)
        throw std::runtime_error("cannot make directory " + directory);
    const std::string path = directory + "/velandora.lcc";
    writeFileBytes(path, archive);
    return path;
}
