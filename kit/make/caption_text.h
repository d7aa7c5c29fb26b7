#pragma once
// Caption files as people write them (UTF-8, with or without a byte-order
// mark, LF or CR LF line ends) turned into the file the player reads:
// Latin-1, one caption per line, every line ended by CR LF.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The player's caption limits: at most 50 characters are typed,
// and the caption table has entries for the first 54 lines.
constexpr int kCaptionTypedCharacters = 50;
constexpr int kCaptionTableLines = 54;

struct CaptionText {
    std::vector<std::string> lines;     // Latin-1, without line ends; line k is picture k's caption
    std::vector<std::string> notes;     // characters that were mapped to their Latin-1 or ASCII form
    std::vector<std::string> warnings;  // too long, beyond the pictures or the caption table
    std::string error;                  // "NAME:LINE:COLUMN: ..."; empty when the text converts
};

// Converts the UTF-8 bytes of the file `name` for a show of `pictures`
// pictures. `hasGlyph` tells whether the show's font has a glyph for a
// Latin-1 byte (the player draws byte b as code unit b). A character that
// Latin-1 cannot hold, that the font has no glyph for, or bytes that are
// not UTF-8, give an error naming line, column and character; typographic
// quotes, dashes, the ellipsis and special spaces are mapped with a note;
// letters followed by combining accents are composed.
CaptionText convertCaptions(const std::vector<uint8_t>& utf8, const std::string& name, int pictures,
                            const std::function<bool(uint8_t)>& hasGlyph);

// The caption file's bytes: every line followed by CR LF.
std::string captionFileBytes(const std::vector<std::string>& lines);

// "U+2019 (’)" style description of a code point, for messages (UTF-8).
std::string describeCodePoint(uint32_t code);
