#include "kit/make/caption_text.h"

#include <cstdio>
#include <map>

namespace {

std::string utf8(uint32_t code) {
    std::string out;
    if (code < 0x80) {
        out += char(code);
    } else if (code < 0x800) {
        out += char(0xC0 | (code >> 6));
        out += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += char(0xE0 | (code >> 12));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    } else {
        out += char(0xF0 | (code >> 18));
        out += char(0x80 | ((code >> 12) & 0x3F));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    }
    return out;
}

// Decodes one UTF-8 sequence at `at`; false (and `length` 1) for bytes that
// are not UTF-8 (overlong forms, surrogates and values past U+10FFFF too).
bool decodeUtf8(const std::vector<uint8_t>& bytes, size_t at, uint32_t* code, size_t* length) {
    const uint8_t first = bytes[at];
    *length = 1;
    if (first < 0x80) {
        *code = first;
        return true;
    }
    int extra;
    uint32_t value, minimum;
    if ((first & 0xE0) == 0xC0) extra = 1, value = first & 0x1F, minimum = 0x80;
    else if ((first & 0xF0) == 0xE0) extra = 2, value = first & 0x0F, minimum = 0x800;
    else if ((first & 0xF8) == 0xF0) extra = 3, value = first & 0x07, minimum = 0x10000;
    else return false;
    if (at + size_t(extra) >= bytes.size()) return false;
    for (int i = 1; i <= extra; ++i) {
        const uint8_t next = bytes[at + size_t(i)];
        if ((next & 0xC0) != 0x80) return false;
        value = value << 6 | (next & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return false;
    *code = value;
    *length = size_t(extra) + 1;
    return true;
}

// Typographic characters people type without noticing, and their Latin-1
// or ASCII forms.
const std::map<uint32_t, std::string>& typographicForms() {
    static const std::map<uint32_t, std::string> forms = {
        {0x2018, "'"}, {0x2019, "'"}, {0x201A, "'"}, {0x201B, "'"}, {0x2032, "'"},    // single quotes, prime
        {0x201C, "\""}, {0x201D, "\""}, {0x201E, "\""}, {0x201F, "\""}, {0x2033, "\""},  // double quotes
        {0x2039, "<"}, {0x203A, ">"},                                                // single guillemets
        {0x2010, "-"}, {0x2011, "-"}, {0x2012, "-"}, {0x2013, "-"}, {0x2014, "-"}, {0x2015, "-"},
        {0x2212, "-"},                                                               // hyphens, dashes, minus
        {0x2026, "..."},                                                             // ellipsis
        {0x2002, " "}, {0x2003, " "}, {0x2004, " "}, {0x2005, " "}, {0x2006, " "}, {0x2007, " "},
        {0x2008, " "}, {0x2009, " "}, {0x200A, " "}, {0x202F, "\xA0"}, {0x205F, " "},  // special spaces
        {0x2022, "\xB7"},                                                            // bullet
        {0x200B, ""}, {0x200C, ""}, {0x200D, ""}, {0x200E, ""}, {0x200F, ""}, {0xFEFF, ""},  // invisible marks
    };
    return forms;
}

// Latin-1 letters as a base letter and a combining accent (the forms that
// text from some systems arrives in).
uint8_t composeLatin1(uint8_t base, uint32_t accent) {
    struct Composed {
        char base;
        uint16_t accent;
        uint8_t letter;
    };
    static const Composed table[] = {
        {'A', 0x300, 0xC0}, {'A', 0x301, 0xC1}, {'A', 0x302, 0xC2}, {'A', 0x303, 0xC3}, {'A', 0x308, 0xC4},
        {'A', 0x30A, 0xC5}, {'C', 0x327, 0xC7}, {'E', 0x300, 0xC8}, {'E', 0x301, 0xC9}, {'E', 0x302, 0xCA},
        {'E', 0x308, 0xCB}, {'I', 0x300, 0xCC}, {'I', 0x301, 0xCD}, {'I', 0x302, 0xCE}, {'I', 0x308, 0xCF},
        {'N', 0x303, 0xD1}, {'O', 0x300, 0xD2}, {'O', 0x301, 0xD3}, {'O', 0x302, 0xD4}, {'O', 0x303, 0xD5},
        {'O', 0x308, 0xD6}, {'U', 0x300, 0xD9}, {'U', 0x301, 0xDA}, {'U', 0x302, 0xDB}, {'U', 0x308, 0xDC},
        {'Y', 0x301, 0xDD}, {'a', 0x300, 0xE0}, {'a', 0x301, 0xE1}, {'a', 0x302, 0xE2}, {'a', 0x303, 0xE3},
        {'a', 0x308, 0xE4}, {'a', 0x30A, 0xE5}, {'c', 0x327, 0xE7}, {'e', 0x300, 0xE8}, {'e', 0x301, 0xE9},
        {'e', 0x302, 0xEA}, {'e', 0x308, 0xEB}, {'i', 0x300, 0xEC}, {'i', 0x301, 0xED}, {'i', 0x302, 0xEE},
        {'i', 0x308, 0xEF}, {'n', 0x303, 0xF1}, {'o', 0x300, 0xF2}, {'o', 0x301, 0xF3}, {'o', 0x302, 0xF4},
        {'o', 0x303, 0xF5}, {'o', 0x308, 0xF6}, {'u', 0x300, 0xF9}, {'u', 0x301, 0xFA}, {'u', 0x302, 0xFB},
        {'u', 0x308, 0xFC}, {'y', 0x301, 0xFD}, {'y', 0x308, 0xFF},
    };
    for (const Composed& entry : table)
        if (uint8_t(entry.base) == base && entry.accent == accent) return entry.letter;
    return 0;
}

// A hint for characters that have a usual stand-in.
std::string hintFor(uint32_t code) {
    switch (code) {
        case 0x20AC: return "; write EUR instead";
        case 0x2122: return "; write (TM) instead";
        case 0x0152: return "; write OE instead";
        case 0x0153: return "; write oe instead";
        case 0x0009: return "; use spaces instead";
        default: return "";
    }
}

std::string latin1Display(const std::string& latin1) {
    std::string out;
    for (char c : latin1) out += utf8(uint8_t(c));
    return out;
}

}  // namespace

std::string describeCodePoint(uint32_t code) {
    char text[32];
    std::snprintf(text, sizeof text, "U+%04X", unsigned(code));
    std::string out = text;
    if (code >= 0x20 && code != 0x7F && !(code >= 0x80 && code < 0xA0) && !(code >= 0x200B && code <= 0x200F))
        out += " '" + utf8(code) + "'";
    else if (code == 0x09)
        out += " (tab)";
    else
        out += " (a control character)";
    return out;
}

CaptionText convertCaptions(const std::vector<uint8_t>& bytes, const std::string& name, int pictures,
                            const std::function<bool(uint8_t)>& hasGlyph) {
    CaptionText result;
    size_t at = 0;
    if (bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) at = 3;
    std::map<uint32_t, int> mapped;  // code point -> first line
    std::map<uint32_t, std::string> mappedTo;
    std::string line;
    int lineNumber = 1, column = 0;
    bool lineOpen = false;  // characters since the last line end
    auto where = [&](int col) { return name + ":" + std::to_string(lineNumber) + ":" + std::to_string(col) + ": "; };
    auto endLine = [&] {
        result.lines.push_back(line);
        line.clear();
        ++lineNumber;
        column = 0;
        lineOpen = false;
    };
    while (at < bytes.size()) {
        uint32_t code = 0;
        size_t length = 1;
        if (!decodeUtf8(bytes, at, &code, &length)) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "0x%02X", bytes[at]);
            result.error = where(column + 1) + "byte " + hex +
                           " is not UTF-8: save the captions as UTF-8 text (nothing was written)";
            return result;
        }
        at += length;
        if (code == '\n') {
            endLine();
            continue;
        }
        if (code == '\r') {
            if (at < bytes.size() && bytes[at] == '\n') ++at;
            endLine();
            continue;
        }
        ++column;
        lineOpen = true;
        // A combining accent after a letter: the composed Latin-1 letter.
        if (code >= 0x300 && code <= 0x36F && !line.empty()) {
            const uint8_t composed = composeLatin1(uint8_t(line.back()), code);
            if (composed) {
                line.back() = char(composed);
                --column;  // the accent is part of the letter's column
                continue;
            }
        }
        std::string latin1;
        const auto form = typographicForms().find(code);
        if (form != typographicForms().end()) {
            latin1 = form->second;
            if (!mapped.count(code)) {
                mapped[code] = lineNumber;
                mappedTo[code] = form->second;
            }
        } else if (code <= 0xFF) {
            latin1 = std::string(1, char(code));
        } else {
            result.error = where(column) + "the character " + describeCodePoint(code) +
                           " cannot be written in Latin-1, the player's caption character set" + hintFor(code) +
                           " (nothing was written)";
            return result;
        }
        for (char c : latin1)
            if (!hasGlyph(uint8_t(c))) {
                result.error = where(column) + "the font has no glyph for the character " +
                               describeCodePoint(uint8_t(c)) + hintFor(uint8_t(c)) + " (nothing was written)";
                return result;
            }
        line += latin1;
    }
    if (lineOpen) endLine();

    for (const auto& entry : mapped) {
        const std::string& to = mappedTo[entry.first];
        result.notes.push_back(name + ":" + std::to_string(entry.second) + ": " + describeCodePoint(entry.first) +
                               (to.empty() ? " left out (it is invisible)"
                                           : " written as '" + latin1Display(to) + "'"));
    }
    const int count = int(result.lines.size());
    for (int k = 0; k < count && k < pictures; ++k) {
        const int characters = int(result.lines[size_t(k)].size());
        if (characters > kCaptionTypedCharacters)
            result.warnings.push_back(name + ":" + std::to_string(k + 1) + ": the caption has " +
                                      std::to_string(characters) + " characters; the player types only the first " +
                                      std::to_string(kCaptionTypedCharacters) + ": \"" +
                                      latin1Display(result.lines[size_t(k)].substr(0, kCaptionTypedCharacters)) +
                                      "\"");
    }
    if (count > pictures) {
        result.warnings.push_back(name + ":" + std::to_string(pictures + 1) + ": " +
                                  std::to_string(count - pictures) + (count - pictures == 1 ? " line" : " lines") +
                                  " beyond the " + std::to_string(pictures) +
                                  " pictures, left out (line k is the caption of picture k)");
        result.lines.resize(size_t(pictures));
    }
    if (int(result.lines.size()) > kCaptionTableLines) {
        int shown = 0;
        for (size_t k = kCaptionTableLines; k < result.lines.size(); ++k) shown += !result.lines[k].empty();
        if (shown)
            result.warnings.push_back(name + ":" + std::to_string(kCaptionTableLines + 1) +
                                      ": the player has captions for the first " +
                                      std::to_string(kCaptionTableLines) + " pictures only; lines " +
                                      std::to_string(kCaptionTableLines + 1) + " to " +
                                      std::to_string(result.lines.size()) + " are not shown");
    }
    return result;
}

std::string captionFileBytes(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& line : lines) {
        out += line;
        out += "\r\n";
    }
    return out;
}
