// Offscreen video and dummy audio unless named; a show that ends the process
// (a clock that ran away) fails the run instead of exiting with status 0.
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
