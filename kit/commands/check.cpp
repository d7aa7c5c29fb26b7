// velkit check [DIR]: what will go wrong when the player plays the show in DIR.
#include <cstdio>
#include <string>

#include "kit/command.h"
#include "kit/make/show_check.h"

namespace {

const char* const kDetails =
    "Looks at the show in DIR (default: the working directory) exactly as the player finds it:\n"
    "loose files first, then the *.lcc archives, with the player's own name resolution. One line\n"
    "for each problem (a picture missing in the middle of the numbering, a picture that does not\n"
    "decode or is not 1024x512, no music or music that is not 44.1 kHz stereo Vorbis, loops the\n"
    "mixer refuses, captions that are not CR LF or hold a byte the font has no glyph for, no font)\n"
    "and each warning (captions past the 50 characters the player types, a song shorter than the\n"
    "show), then a summary: pictures, show length, song length.\n"
    "Exit status 0 when the show will play as authored (warnings aside), 1 when it has a problem.\n";

int run_check(int argc, char** argv) {
    if (argc > 2) {
        std::fprintf(stderr, "velkit: check: usage: velkit check [DIR]\n");
        return 1;
    }
    const std::string directory = argc == 2 ? argv[1] : ".";
    std::printf("velkit check %s:\n", directory.c_str());
    const CheckReport report = checkShowIn(directory);
    printCheckReport(report, stdout);
    std::fflush(stdout);
    return report.playsAsAuthored() ? 0 : 1;
}

}  // namespace

VELKIT_COMMAND_WITH_HELP(check, "check [DIR]",
                         "tells what will go wrong when the player plays the show in DIR (default: here)", kDetails,
                         run_check);
