#include "font/wide_format.h"

#include <cstdio>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace {

// Collects output units; counts everything, stores what fits.
class WideSink {
public:
    WideSink(char16_t* destination, size_t limit) : destination_(destination), limit_(limit) {}

    void put(char16_t unit) {
        if (destination_ && count_ < limit_) destination_[count_] = unit;
        ++count_;
    }
    void repeat(char16_t unit, size_t times) {
        for (size_t i = 0; i < times; ++i) put(unit);
    }
    // ASCII from the C library's own formatting, one unit per byte.
    void put_ascii(const char* text, size_t count) {
        for (size_t i = 0; i < count; ++i) put(char16_t(static_cast<unsigned char>(text[i])));
    }
    size_t finish() {
        if (destination_) destination_[count_ < limit_ ? count_ : limit_] = 0;
        return count_;
    }

private:
    char16_t* destination_;
    size_t limit_;
    size_t count_ = 0;
};

enum class Length { kNone, kChar, kShort, kLong, kLongLong, kMax, kSize, kPtrDiff, kLongDouble, kWide };

struct Conversion {
    bool left = false;   // '-'
    bool plus = false;   // '+'
    bool space = false;  // ' '
    bool alternate = false;  // '#'
    bool zero = false;   // '0'
    int width = -1;
    int precision = -1;
    Length length = Length::kNone;
    char16_t type = 0;
};

bool is_digit(char16_t unit) { return unit >= u'0' && unit <= u'9'; }

// Reads a decimal number; saturates instead of overflowing.
int read_number(const char16_t*& cursor) {
    long value = 0;
    while (is_digit(*cursor)) {
        if (value < 100000000) value = value * 10 + (*cursor - u'0');
        ++cursor;
    }
    return int(value);
}

// Parses the conversion after '%'; `cursor` ends on the conversion letter.
void parse_conversion(const char16_t*& cursor, Conversion& conversion, va_list& arguments) {
    for (;; ++cursor) {
        if (*cursor == u'-') conversion.left = true;
        else if (*cursor == u'+') conversion.plus = true;
        else if (*cursor == u' ') conversion.space = true;
        else if (*cursor == u'#') conversion.alternate = true;
        else if (*cursor == u'0') conversion.zero = true;
        else break;
    }
    if (*cursor == u'*') {
        ++cursor;
        conversion.width = va_arg(arguments, int);
        if (conversion.width < 0) {
            conversion.left = true;
            conversion.width = conversion.width == -2147483647 - 1 ? 2147483647 : -conversion.width;
        }
    } else if (is_digit(*cursor)) {
        conversion.width = read_number(cursor);
    }
    if (*cursor == u'.') {
        ++cursor;
        if (*cursor == u'*') {
            ++cursor;
            conversion.precision = va_arg(arguments, int);
            if (conversion.precision < 0) conversion.precision = -1;
        } else {
            conversion.precision = read_number(cursor);
        }
    }
    switch (*cursor) {
        case u'h':
            ++cursor;
            conversion.length = Length::kShort;
            if (*cursor == u'h') {
                ++cursor;
                conversion.length = Length::kChar;
            }
            break;
        case u'l':
            ++cursor;
            conversion.length = Length::kLong;
            if (*cursor == u'l') {
                ++cursor;
                conversion.length = Length::kLongLong;
            }
            break;
        case u'j': ++cursor; conversion.length = Length::kMax; break;
        case u'z': ++cursor; conversion.length = Length::kSize; break;
        case u't': ++cursor; conversion.length = Length::kPtrDiff; break;
        case u'L': ++cursor; conversion.length = Length::kLongDouble; break;
        case u'w': ++cursor; conversion.length = Length::kWide; break;
        case u'I':
            if (cursor[1] == u'6' && cursor[2] == u'4') {
                cursor += 3;
                conversion.length = Length::kLongLong;
            } else if (cursor[1] == u'3' && cursor[2] == u'2') {
                cursor += 3;
            } else {
                ++cursor;
                conversion.length = Length::kSize;
            }
            break;
        default: break;
    }
    conversion.type = *cursor;
}

// The narrow printf pattern for a numeric conversion, with the argument's
// length normalised to `length_text`.
void build_pattern(char* pattern, const Conversion& conversion, const char* length_text) {
    char* out = pattern;
    *out++ = '%';
    if (conversion.left) *out++ = '-';
    if (conversion.plus) *out++ = '+';
    if (conversion.space) *out++ = ' ';
    if (conversion.alternate) *out++ = '#';
    if (conversion.zero) *out++ = '0';
    if (conversion.width >= 0) out += std::sprintf(out, "%d", conversion.width);
    if (conversion.precision >= 0) out += std::sprintf(out, ".%d", conversion.precision);
    while (*length_text) *out++ = *length_text++;
    *out++ = char(conversion.type);
    *out = 0;
}

// Formats one value with the C library (digits and signs are ASCII in every
// locale's "C" part that these conversions use) and widens it.
template <typename Value>
void put_number(WideSink& sink, const Conversion& conversion, const char* length_text, Value value) {
    char pattern[64];
    build_pattern(pattern, conversion, length_text);
    char small[128];
    const int needed = std::snprintf(small, sizeof small, pattern, value);
    if (needed < 0) return;
    if (size_t(needed) < sizeof small) {
        sink.put_ascii(small, size_t(needed));
        return;
    }
    // A wide field or a long float: format it again at its full size.
    char* large = new char[size_t(needed) + 1];
    std::snprintf(large, size_t(needed) + 1, pattern, value);
    sink.put_ascii(large, size_t(needed));
    delete[] large;
}

void put_signed(WideSink& sink, const Conversion& conversion, va_list& arguments) {
    long long value;
    switch (conversion.length) {
        case Length::kChar: value = static_cast<signed char>(va_arg(arguments, int)); break;
        case Length::kShort: value = static_cast<short>(va_arg(arguments, int)); break;
        case Length::kLong: value = va_arg(arguments, long); break;
        case Length::kLongLong: value = va_arg(arguments, long long); break;
        case Length::kMax: value = va_arg(arguments, intmax_t); break;
        case Length::kSize: value = static_cast<long long>(va_arg(arguments, size_t)); break;
        case Length::kPtrDiff: value = va_arg(arguments, ptrdiff_t); break;
        default: value = va_arg(arguments, int); break;
    }
    put_number(sink, conversion, "ll", value);
}

void put_unsigned(WideSink& sink, const Conversion& conversion, va_list& arguments) {
    unsigned long long value;
    switch (conversion.length) {
        case Length::kChar: value = static_cast<unsigned char>(va_arg(arguments, unsigned)); break;
        case Length::kShort: value = static_cast<unsigned short>(va_arg(arguments, unsigned)); break;
        case Length::kLong: value = va_arg(arguments, unsigned long); break;
        case Length::kLongLong: value = va_arg(arguments, unsigned long long); break;
        case Length::kMax: value = va_arg(arguments, uintmax_t); break;
        case Length::kSize: value = va_arg(arguments, size_t); break;
        case Length::kPtrDiff: value = static_cast<unsigned long long>(va_arg(arguments, ptrdiff_t)); break;
        default: value = va_arg(arguments, unsigned); break;
    }
    put_number(sink, conversion, "ll", value);
}

// Pads a text of `count` units to the field width, on the left unless '-'.
template <typename Unit>
void put_text(WideSink& sink, const Conversion& conversion, const Unit* text, size_t count) {
    const size_t width = conversion.width > 0 ? size_t(conversion.width) : 0;
    const size_t padding = width > count ? width - count : 0;
    if (!conversion.left) sink.repeat(u' ', padding);
    for (size_t i = 0; i < count; ++i) {
        // Narrow text: each byte becomes the unit of the same value, 0..255.
        sink.put(char16_t(static_cast<typename std::make_unsigned<Unit>::type>(text[i])));
    }
    if (conversion.left) sink.repeat(u' ', padding);
}

void put_narrow_string(WideSink& sink, const Conversion& conversion, const char* text) {
    if (!text) text = "(null)";
    size_t count = 0;
    while (text[count] && (conversion.precision < 0 || count < size_t(conversion.precision))) ++count;
    put_text(sink, conversion, text, count);
}

void put_wide_string(WideSink& sink, const Conversion& conversion, const char16_t* text) {
    if (!text) text = u"(null)";
    size_t count = 0;
    while (text[count] && (conversion.precision < 0 || count < size_t(conversion.precision))) ++count;
    put_text(sink, conversion, text, count);
}

}  // namespace

size_t wide_length(const char16_t* text) {
    size_t count = 0;
    if (text)
        while (text[count]) ++count;
    return count;
}

size_t format_wide(char16_t* destination, size_t limit, const char16_t* format, va_list source_arguments) {
    WideSink sink(destination, limit);
    if (!format) return sink.finish();
    va_list arguments;
    va_copy(arguments, source_arguments);
    for (const char16_t* cursor = format; *cursor; ++cursor) {
        if (*cursor != u'%') {
            sink.put(*cursor);
            continue;
        }
        const char16_t* start = cursor++;
        Conversion conversion;
        parse_conversion(cursor, conversion, arguments);
        // In the wide form "%s" and "%c" are wide and "%S" and "%C" narrow;
        // 'h' makes either narrow and 'l' or 'w' makes either wide.
        const bool narrow_form = conversion.type == u'S' || conversion.type == u'C';
        const bool narrow = conversion.length == Length::kShort ||
                            (narrow_form && conversion.length != Length::kLong && conversion.length != Length::kWide);
        switch (conversion.type) {
            case u'%': sink.put(u'%'); break;
            case u'd':
            case u'i': put_signed(sink, conversion, arguments); break;
            case u'u':
            case u'x':
            case u'X':
            case u'o': put_unsigned(sink, conversion, arguments); break;
            case u'p': put_number(sink, conversion, "", va_arg(arguments, void*)); break;
            case u'f':
            case u'F':
            case u'e':
            case u'E':
            case u'g':
            case u'G':
            case u'a':
            case u'A':
                if (conversion.length == Length::kLongDouble)
                    put_number(sink, conversion, "L", va_arg(arguments, long double));
                else
                    put_number(sink, conversion, "", va_arg(arguments, double));
                break;
            case u'c':
            case u'C': {
                const int value = va_arg(arguments, int);
                const char16_t unit = narrow ? char16_t(static_cast<unsigned char>(value)) : char16_t(value);
                put_text(sink, conversion, &unit, 1);
                break;
            }
            case u's':
            case u'S':
                if (narrow) put_narrow_string(sink, conversion, va_arg(arguments, const char*));
                else put_wide_string(sink, conversion, va_arg(arguments, const char16_t*));
                break;
            case u'n':
                // Never writes through the argument.
                (void)va_arg(arguments, void*);
                break;
            default:
                // Unknown or cut off: copy the conversion through as written.
                for (const char16_t* unit = start; unit <= cursor && *unit; ++unit) sink.put(*unit);
                if (!*cursor) --cursor;
                break;
        }
    }
    va_end(arguments);
    return sink.finish();
}
