// The soak test's two halves (scripts/soak.sh runs them around the player):
//   soak_show make DIR N    writes DIR/velandora.lcc, a show of N pictures (the
//                           demo's pictures over and over) with music for all of them
//   soak_show check RAW N   reads what SDL's disk audio driver wrote (16-bit
//                           stereo at 44100 Hz) and finds gaps and repeated blocks
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "kit/archive/lcc_writer.h"
#include "kit/demo/audio_buffer.h"
#include "kit/demo/demo_show.h"
#include "kit/demo/music.h"
#include "kit/image/image_file.h"

namespace {

const int kRing = 16384;          // the player's ring: a late refill replays it
const int kBytesPerSecond = 176400;

int make_show(const std::string& directory, int pictures) {
    DemoShowOptions options;
    std::vector<LccMember> demo = build_demo_members(options);
    std::vector<LccMember> members;
    std::vector<const LccMember*> demo_pictures;
    for (const LccMember& member : demo)
        if (member.name.rfind("data/images/", 0) == 0) demo_pictures.push_back(&member);
    for (int k = 0; k < pictures; ++k) {
        char name[64];
        std::snprintf(name, sizeof name, "data/images/%04d.wmj", (k + 1) * 100);
        members.push_back({name, demo_pictures[size_t(k) % demo_pictures.size()]->data, 0});
    }
    std::string error;
    std::vector<uint8_t> music = encode_ogg_vorbis(compose_demo_music(pictures), 0.3f, &error);
    if (music.empty()) {
        std::fprintf(stderr, "soak_show: music: %s\n", error.c_str());
        return 1;
    }
    for (const LccMember& member : demo) {
        if (member.name.rfind("data/images/", 0) == 0) continue;
        if (member.name == "data/audio/velandora.ogg") {
            members.push_back({member.name, music, 0});
        } else if (member.name == "data/text/velandora.txt") {
            // The demo's captions, over and over, one line per picture.
            std::string lines(member.data.begin(), member.data.end()), all;
            while (int(std::count(all.begin(), all.end(), '\n')) < pictures) all += lines;
            members.push_back({member.name, std::vector<uint8_t>(all.begin(), all.end()), 1});
        } else {
            members.push_back(member);
        }
    }
    LccArchiveLayout layout;
    layout.name = "velandora";
    layout.directoryMethod = 2;
    std::filesystem::create_directories(directory);
    writeFileBytes(directory + "/velandora.lcc", buildLccArchive(layout, members));
    return 0;
}

int check_sound(const std::string& path, int pictures) {
    const std::vector<uint8_t> bytes = readFileBytes(path);
    const double seconds = double(bytes.size()) / kBytesPerSecond;
    const double show_seconds = 2.5 + 6.0 * pictures;
    const double music_seconds = demo_music_seconds(pictures);
    std::printf("sound: %.1f s written, show %.1f s, music %.1f s\n", seconds, show_seconds, music_seconds);
    int faults = 0;
    if (seconds < show_seconds) {
        std::printf("FAULT: the sound ends %.1f s before the show\n", show_seconds - seconds);
        ++faults;
    }
    // A gap: 50 ms or more of exact silence while the music plays.
    // Up to a second before the show ends: what the device plays while the
    // process ends is not part of the show.
    const double heard_seconds = std::min(music_seconds, show_seconds) - 1.0;
    const size_t frames = bytes.size() / 4, from = 44100, to = size_t(heard_seconds * 44100);
    const int16_t* samples = reinterpret_cast<const int16_t*>(bytes.data());
    size_t run = 0, gaps = 0, longest = 0;
    for (size_t f = from; f < frames && f < to; ++f) {
        run = samples[2 * f] == 0 && samples[2 * f + 1] == 0 ? run + 1 : 0;
        if (run == 2205) ++gaps;
        if (run > longest) longest = run;
    }
    std::printf("gaps of 50 ms or more: %zu (longest silence %.1f ms)\n", gaps, longest / 44.1);
    faults += int(gaps);
    // A repeated block: a refill that came too late lets the device play the
    // ring's previous lap again, 16384 bytes that equal those one ring before.
    const size_t block = 2048;
    size_t repeats = 0;
    double last_repeat = -1.0;
    for (size_t at = 44100 * 4; at + block <= bytes.size() && at < to * 4; at += block) {
        const uint8_t* here = bytes.data() + at;
        bool silent = true;
        for (size_t i = 0; i < block && silent; ++i) silent = here[i] == 0;
        if (!silent && std::memcmp(here, here - kRing, block) == 0) {
            const double when = double(at) / kBytesPerSecond;
            if (when - last_repeat > 0.1) std::printf("  a repeated lap from %.3f s\n", when);
            last_repeat = when;
            ++repeats;
        }
    }
    std::printf("blocks that repeat the ring's previous lap: %zu\n", repeats);
    faults += int(repeats);
    return faults == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && !std::strcmp(argv[1], "make")) return make_show(argv[2], std::atoi(argv[3]));
    if (argc == 4 && !std::strcmp(argv[1], "check")) return check_sound(argv[2], std::atoi(argv[3]));
    std::fprintf(stderr, "usage: soak_show make DIR N | soak_show check RAW N\n");
    return 1;
}
