// velkit render --time SECONDS OUT.png: the frame the player shows at that
// music time for the show in the working directory, rendered off screen.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>

#include "kit/command.h"
#include "kit/image/image_file.h"
#include "kit/render/show_render.h"

static int run_render(int argc, char** argv) {
    const char* output = nullptr;
    const char* time_text = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--time")) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "velkit: render: --time needs a number of seconds\n");
                return 1;
            }
            time_text = argv[++i];
        } else if (argv[i][0] == '-' && argv[i][1]) {
            std::fprintf(stderr, "velkit: render: unknown option %s\n", argv[i]);
            return 1;
        } else if (!output) {
            output = argv[i];
        } else {
            std::fprintf(stderr, "velkit: render: unexpected argument '%s'\n", argv[i]);
            return 1;
        }
    }
    if (!output || !time_text) {
        std::fprintf(stderr, "velkit: usage: velkit render --time SECONDS OUT.png\n");
        return 1;
    }
    char* end = nullptr;
    const double seconds = std::strtod(time_text, &end);
    if (end == time_text || *end || !(seconds > -1e6 && seconds < 1e6)) {
        std::fprintf(stderr, "velkit: render: bad time '%s'\n", time_text);
        return 1;
    }
    RgbImage frame;
    std::string error;
    if (render_show_frame(float(seconds), &frame, &error) != RenderResult::rendered) {
        std::fprintf(stderr, "velkit: render: %s\n", error.c_str());
        return 1;
    }
    try {
        writeImageFile(output, frame);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "velkit: render: %s\n", e.what());
        return 1;
    }
    return 0;
}

VELKIT_COMMAND(render, "render --time SECONDS OUT.png", "renders the show's frame at a music time, off screen", run_render);
