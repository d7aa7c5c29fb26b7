// velkit make OUT.lcc PICTURE... --music SONG [options]: a show from a
// person's photographs, captions and song, in one archive.
#include <cstdio>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "kit/command.h"
#include "kit/make/show_maker.h"

namespace {

const char* const kUsage =
    "make OUT.lcc PICTURE... --music SONG [--captions TEXT] [--font FONTFILE] [--loops IDLE.wav ACTIVE.wav] "
    "[--fit crop|blur] [--order name|date] [--quality Q | --max-bytes N]";

const char* const kDetails =
    "PICTURE   picture files or folders (a folder gives its pictures, not recursing):\n"
    "          JPEG, PNG, WebP, HEIC/HEIF, any size; phone photos are turned upright\n"
    "--music SONG      MP3, Ogg Vorbis, Opus, FLAC, WAV, M4A/AAC, ...; converted to 44.1 kHz\n"
    "                  stereo Ogg Vorbis, faded out over the show's last 3 s and cut at its end\n"
    "--captions TEXT   UTF-8 text, line k the caption of picture k (written as the player\n"
    "                  reads it: Latin-1, CR LF)\n"
    "--font FONTFILE   a TrueType/OpenType font (default: UnBatang from fonts-unfonts-core)\n"
    "--loops IDLE.wav ACTIVE.wav   the ambience and the typing sound (default: the demo's)\n"
    "--fit crop        scale and centre-crop to 1024x512 (default)\n"
    "--fit blur        the whole picture over a blurred, darkened copy of itself\n"
    "--order name      by file name, numbers as numbers: IMG_2 before IMG_10 (default)\n"
    "--order date      by the time the photo was taken (EXIF), else the file's time\n"
    "--quality Q       1 .. 100, default 85: higher gives larger pictures that look better\n"
    "--max-bytes N     every picture the best that takes at most N bytes (instead of --quality)\n"
    "\n"
    "The show lasts 2.5 s + 6 s per picture. The plan is printed first, then the progress;\n"
    "OUT.lcc is written at the end (through a temporary file, so an interrupted run leaves\n"
    "none), and then checked as `velkit check` does. Put it beside velandora to play it.\n"
    "\n"
    "example:\n"
    "  velkit make show/holiday.lcc ~/Pictures/holiday --music song.mp3 --captions captions.txt\n";

int usage(const std::string& message) {
    std::fprintf(stderr, "velkit: make: %s\nusage: velkit %s\n", message.c_str(), kUsage);
    return 1;
}

int run_make(int argc, char** argv) {
    MakeOptions options;
    bool qualityGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        auto value = [&](const char* what) -> const char* {
            if (i + 1 >= argc) return nullptr;
            (void)what;
            return argv[++i];
        };
        if (argument == "--music") {
            const char* v = value("SONG");
            if (!v) return usage("--music needs a song file");
            options.music = v;
        } else if (argument == "--captions") {
            const char* v = value("TEXT");
            if (!v) return usage("--captions needs a text file");
            options.captions = v;
        } else if (argument == "--font") {
            const char* v = value("FONTFILE");
            if (!v) return usage("--font needs a TrueType/OpenType file");
            options.font = v;
        } else if (argument == "--loops") {
            if (i + 2 >= argc) return usage("--loops needs two WAV files: IDLE.wav ACTIVE.wav");
            options.idleLoop = argv[++i];
            options.activeLoop = argv[++i];
        } else if (argument == "--fit") {
            const char* v = value("crop|blur");
            if (!v || !parsePictureFit(v, &options.fit)) return usage("--fit is crop or blur");
        } else if (argument == "--order") {
            const char* v = value("name|date");
            if (v && !std::strcmp(v, "name")) options.order = PictureOrder::name;
            else if (v && !std::strcmp(v, "date")) options.order = PictureOrder::date;
            else return usage("--order is name or date");
        } else if (argument == "--threads") {
            const char* v = value("N");
            char* end = nullptr;
            const long n = v ? std::strtol(v, &end, 10) : 0;
            if (!v || *end || n < 1 || n > 256) return usage("--threads needs a number from 1 to 256");
            options.threads = int(n);
        } else if (argument == "--quality") {
            long long quality = 0;
            if (!parse_whole_number(value("Q"), kMinPictureQuality, kMaxPictureQuality, quality))
                return usage("--quality needs a whole number from 1 to 100");
            options.picture.quality = int(quality);
            qualityGiven = true;
        } else if (argument == "--max-bytes") {
            long long bytes = 0;
            if (!parse_whole_number(value("N"), 1, 1LL << 40, bytes))
                return usage("--max-bytes needs a whole number of bytes above 0");
            const int64_t smallest = smallestPictureBytes(kShowPictureWidth, kShowPictureHeight);
            if (bytes < smallest)
                return usage("--max-bytes " + std::to_string(bytes) + " is below the smallest show picture (" +
                             std::to_string(smallest) + " bytes, flat grey)");
            options.picture.maxBytes = bytes;
        } else if (argument == "--no-check") {
            options.check = false;
        } else if (argument.size() > 1 && argument[0] == '-' && argument != "-") {
            return usage("unknown option " + argument);
        } else if (options.output.empty()) {
            options.output = argument;
        } else {
            options.inputs.push_back(argument);
        }
    }
    if (qualityGiven && options.picture.maxBytes > 0)
        return usage("--quality and --max-bytes exclude each other: give one of them");
    if (options.output.empty()) return usage("no OUT.lcc");
    if (options.inputs.empty()) return usage("no pictures");
    if (options.music.empty()) return usage("no song: --music SONG");
    return makeShow(options, stdout, stderr);
}

}  // namespace

VELKIT_COMMAND_WITH_HELP(make, kUsage,
                         "makes a show from photos, a song and captions: one archive that plays beside velandora",
                         kDetails, run_make);
