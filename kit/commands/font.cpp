// velkit font FONTFILE OUTDIR --name NAME [--pixel-size N]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "kit/command.h"
#include "kit/font_baker/font_baker.h"

static int font_failure(const std::string& message) {
    std::fprintf(stderr, "velkit: %s\n", message.c_str());
    return 1;
}

static bool parse_pixel_size(const char* text, int* value) {
    char* end = nullptr;
    const long parsed = std::strtol(text, &end, 10);
    if (!*text || *end || parsed < 4 || parsed > 200) return false;
    *value = int(parsed);
    return true;
}

static int run_font(int argc, char** argv) {
    std::string positional[2];
    int positional_count = 0;
    std::string name;
    int pixel_size = kDefaultPixelSize;
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (!std::strcmp(argument, "--name") || !std::strcmp(argument, "--pixel-size")) {
            if (i + 1 >= argc) return font_failure(std::string(argument) + " needs a value");
            const char* value = argv[++i];
            if (!std::strcmp(argument, "--name")) {
                name = value;
            } else if (!parse_pixel_size(value, &pixel_size)) {
                return font_failure(std::string("bad pixel size '") + value + "' (4 to 200)");
            }
        } else if (argument[0] == '-' && argument[1]) {
            return font_failure(std::string("unknown option ") + argument);
        } else if (positional_count < 2) {
            positional[positional_count++] = argument;
        } else {
            return font_failure("usage: velkit font FONTFILE OUTDIR --name NAME [--pixel-size N]");
        }
    }
    if (positional_count != 2 || name.empty())
        return font_failure("usage: velkit font FONTFILE OUTDIR --name NAME [--pixel-size N]");
    if (name.find_first_of("/\\") != std::string::npos) return font_failure("font name must not hold a path: " + name);

    BakedFont font;
    std::string error;
    if (!bake_font(positional[0], pixel_size, &font, &error)) return font_failure(error);
    if (!write_baked_font(font, positional[1], name, &error)) return font_failure(error);
    std::printf("%s: %zu glyphs on %zu page(s), %d pixels, line height %d\n", name.c_str(), font.glyphs.size(),
                font.pages.size(), pixel_size, font.line_height);
    return 0;
}

VELKIT_COMMAND(font, "font FONTFILE OUTDIR --name NAME [--pixel-size N]",
               "bakes a TrueType/OpenType font into the player's bitmap font", run_font);
