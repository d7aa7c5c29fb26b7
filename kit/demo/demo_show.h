#pragma once
// The built-in demo show, assembled into the members of one archive: the
// pictures, the captions, the music, the two loops and the "batang" font.
#include <string>
#include <vector>

#include "kit/archive/lcc_writer.h"

struct DemoShowOptions {
    int pictures = 8;  // 1 .. demo_picture_count()
    std::string font_file = "/usr/share/fonts/truetype/unfonts-core/UnBatang.ttf";
    int font_pixel_size = 20;
    float music_quality = 0.3f;  // Vorbis quality, -0.1 .. 1
};

// Member names and methods: pictures stored (they are already compressed),
// the Vorbis track stored, captions and the font definition LZ, the WAVE
// loops and the font pages zlib. Throws std::runtime_error on failure.
std::vector<LccMember> build_demo_members(const DemoShowOptions& options);

// Writes OUTDIR/velandora.lcc (made when missing); returns its path.
std::string write_demo_show(const std::string& directory, const DemoShowOptions& options);
