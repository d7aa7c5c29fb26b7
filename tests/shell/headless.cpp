// The shell tests run without a display: SDL's offscreen video (Mesa
// llvmpipe) and its dummy audio, unless the environment names others.
#include <cstdlib>

namespace {

const bool kHeadless = [] {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    return true;
}();

}  // namespace
