// velkit demo OUTDIR [--pictures N] [--font FILE]: writes the built-in demo show, packed
// into one archive, ready to play with velandora from OUTDIR.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>

#include "kit/command.h"
#include "kit/demo/demo_pictures.h"
#include "kit/demo/demo_show.h"

static int run_demo(int argc, char** argv) {
    DemoShowOptions options;
    const char* directory = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--pictures")) {
            char* end = nullptr;
            long count = i + 1 < argc ? std::strtol(argv[i + 1], &end, 10) : 0;
            if (i + 1 >= argc || *end || count < 1 || count > demo_picture_count()) {
                std::fprintf(stderr, "velkit: demo: --pictures needs a number from 1 to %d\n", demo_picture_count());
                return 1;
            }
            options.pictures = int(count);
            ++i;
        } else if (!std::strcmp(argv[i], "--font")) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "velkit: demo: --font needs a TrueType/OpenType file\n");
                return 1;
            }
            options.font_file = argv[++i];
        } else if (argv[i][0] == '-' && argv[i][1]) {
            std::fprintf(stderr, "velkit: demo: unknown option %s\n", argv[i]);
            return 1;
        } else if (!directory) {
            directory = argv[i];
        } else {
            std::fprintf(stderr, "velkit: demo: unexpected argument '%s'\n", argv[i]);
            return 1;
        }
    }
    if (!directory) {
        std::fprintf(stderr, "velkit: usage: velkit demo OUTDIR [--pictures N] [--font FILE]\n");
        return 1;
    }
    try {
        auto start = std::chrono::steady_clock::now();
        std::string path = write_demo_show(directory, options);
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("%s: %d pictures, made in %.1f s\n", path.c_str(), options.pictures, seconds);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "velkit: demo: %s\n", e.what());
        return 1;
    }
    return 0;
}

VELKIT_COMMAND(demo, "demo OUTDIR [--pictures N] [--font FILE]", "writes the built-in demo show, packed into one archive", run_demo);
