// The shell tests run without a display: SDL's offscreen video (Mesa
// llvmpipe) and its dummy audio, unless the environment names others.
// No shell test plays a show to its end: a show that ends the process (a
// clock that ran away) fails the test run instead of exiting with status 0.
#include <cstdio>
#include <cstdlib>

#include "app/show.h"

namespace {

void unexpected_show_end(int32_t status) {
    std::fprintf(stderr, "the show ended the test process (status %d): no shell test lets it\n",
                 int(status));
    std::fflush(stderr);
    std::_Exit(1);
}

const bool kHeadless = [] {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    set_show_end_hook(unexpected_show_end);
    return true;
}();

}  // namespace
