#pragma once
// Offscreen video and dummy audio unless named; a show that ends the process
// (a clock that ran away) fails the run instead of exiting with status 0. And
// a scratch working directory with the caption font the shell needs to start.
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/show.h"
#include "kit/font_baker/font_baker.h"
#include "tests/support/scratch_directory.h"

inline const bool kHeadless = [] {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    set_show_end_hook([](int32_t status) {
        std::fprintf(stderr, "the show ended the test process (status %d): no shell test lets it\n", int(status));
        std::fflush(stderr);
        std::_Exit(1);
    });
    return true;
}();

class ShowDirectory : public ScratchDirectory {
public:
    // The font as the kit bakes it: one glyph on one grey page.
    ShowDirectory() {
        BakedFont font;
        font.glyphs.push_back({'A', GlyphRecord{0, 0, 8, 12, 0, 1, 0}, 8});
        font.pages.push_back(std::vector<uint8_t>(kBakedPageSize * kBakedPageSize * 3, 0x80));
        write_baked_font(font, path() + "/data/fonts", "batang", nullptr);
    }
};
