#pragma once
// Offscreen video and dummy audio unless named; a show that ends the process
// (a clock that ran away) fails the run instead of exiting with status 0. And
// a scratch working directory with the caption font the shell needs to start.
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/show.h"
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
    // The font: header, page size tables, code table, one glyph record; one grey page.
    ShowDirectory() {
        std::vector<uint8_t> bytes;
        auto put = [&bytes](uint32_t value, int size) {
            for (int i = 0; i < size; ++i) bytes.push_back(uint8_t(value >> (8 * i)));
        };
        put(0, 4);
        put(1, 2);  // pages
        put(1, 2);  // glyphs
        for (uint32_t offset : {24, 28, 32, 36, 256, 256}) put(offset, 4);  // tables, then page width and height
        put('A', 2);
        put(0, 2);
        for (uint32_t value : {0, 0, 8, 12, 0, 1, 0}) put(value, 4);
        write("data/fonts/batang.def", bytes);
        write("data/fonts/batang_0.raw", std::vector<uint8_t>(256 * 256 * 3, 0x80));
    }
};
