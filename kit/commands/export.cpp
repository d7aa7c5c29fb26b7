// velkit export OUT [--fps N] [--size WxH] [--crf Q]: the show of the working
// directory, as the player plays it, into an MP4 or WebM video file.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>

#include "kit/command.h"
#include "kit/export/show_export.h"

namespace {

bool parse_number(const char* text, int low, int high, int* value) {
    char* end = nullptr;
    const long number = std::strtol(text, &end, 10);
    if (end == text || *end || number < low || number > high) return false;
    *value = int(number);
    return true;
}

bool parse_size(const char* text, int* width, int* height) {
    char* end = nullptr;
    const long w = std::strtol(text, &end, 10);
    if (end == text || (*end != 'x' && *end != 'X')) return false;
    const char* rest = end + 1;
    const long h = std::strtol(rest, &end, 10);
    if (end == rest || *end || w <= 0 || h <= 0 || w > 32767 || h > 32767) return false;
    *width = int(w);
    *height = int(h);
    return true;
}

const char kHelp[] =
    "Renders the show in the working directory exactly as the player plays it\n"
    "(pictures, fades, typed captions, the music with its two loops) from music\n"
    "time 0 to the end of the show, into a video file. OUT by extension:\n"
    "  .mp4   H.264 (libx264) + AAC\n"
    "  .webm  VP9 (libvpx-vp9) + Opus\n"
    "\n"
    "options:\n"
    "  --fps N      frames per second (default 30)\n"
    "  --size WxH   the player's window size to render at, even numbers (default 1024x768)\n"
    "  --crf Q      the encoder's constant quality, lower is better (default 18)\n"
    "\n"
    "The file appears only once it is complete. Example:\n"
    "  cd show && velkit export ../show.mp4 --size 1920x1080\n";

int fail(const char* message) {
    std::fprintf(stderr, "velkit: export: %s\n", message);
    return 1;
}

int run_export(int argc, char** argv) {
    ExportOptions options;
    bool have_output = false;
    for (int i = 1; i < argc; ++i) {
        const char* option = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (!std::strcmp(option, "--fps")) {
            if (!value || !parse_number(value, 1, 120, &options.fps)) return fail("--fps needs a number from 1 to 120");
            ++i;
        } else if (!std::strcmp(option, "--size")) {
            if (!value || !parse_size(value, &options.width, &options.height))
                return fail("--size needs WIDTHxHEIGHT, e.g. --size 1920x1080");
            ++i;
        } else if (!std::strcmp(option, "--crf")) {
            if (!value || !parse_number(value, 0, 51, &options.crf)) return fail("--crf needs a number from 0 to 51");
            ++i;
        } else if (option[0] == '-' && option[1]) {
            std::fprintf(stderr, "velkit: export: unknown option %s\n", option);
            return 1;
        } else if (!have_output) {
            options.output = option;
            have_output = true;
        } else {
            std::fprintf(stderr, "velkit: export: unexpected argument '%s'\n", option);
            return 1;
        }
    }
    if (!have_output) return fail("usage: velkit export OUT.mp4|OUT.webm [--fps N] [--size WxH] [--crf Q]");
    try {
        const ExportSummary summary = export_show(options);
        std::printf("%s: %lld frames, %.1f s at %dx%d, %d fps, made in %.1f s (%.1fx real time)\n",
                    options.output.c_str(), (long long)summary.frames, summary.show_seconds, options.width,
                    options.height, options.fps, summary.elapsed_seconds,
                    summary.elapsed_seconds > 0 ? summary.show_seconds / summary.elapsed_seconds : 0.0);
    } catch (const std::exception& e) {
        return fail(e.what());
    }
    return 0;
}

}  // namespace

VELKIT_COMMAND_WITH_HELP(export, "export OUT [--fps N] [--size WxH] [--crf Q]",
                         "renders the show as the player plays it into a video file (.mp4 or .webm)", kHelp,
                         run_export);
