#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "font/strings.h"
#include "font/wide_format.h"

namespace {

std::u16string units(const WideString& text) { return std::u16string(text.data, text.length); }

// Formats into a buffer of `limit` units through the va_list entry point.
size_t format_into(char16_t* buffer, size_t limit, const char16_t* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    const size_t produced = format_wide(buffer, limit, format, arguments);
    va_end(arguments);
    return produced;
}

}  // namespace

// Every string keeps 128 units of headroom beyond what it was made for; assigning grows but never shrinks.
TEST(String, CapacityRules) {
    String empty, from_null(nullptr), text("hello");
    EXPECT_EQ(empty.length, 0u);
    EXPECT_EQ(empty.capacity, 128u);
    EXPECT_EQ(empty.data[0], 0);
    EXPECT_EQ(from_null.capacity, 128u);
    EXPECT_EQ(text.length, 5u);
    EXPECT_EQ(text.capacity, 133u);
    String copy(text);
    EXPECT_EQ(copy.capacity, 133u);
    EXPECT_STREQ(copy.data, "hello");
    EXPECT_NE(copy.data, text.data);
    text.assign(String(std::string(200, 'x').c_str()));
    EXPECT_EQ(text.length, 200u);
    EXPECT_EQ(text.capacity, 328u);
    EXPECT_EQ(std::string(text.data), std::string(200, 'x'));
    text.assign(String("0123456789"));
    EXPECT_EQ(text.length, 10u);
    EXPECT_EQ(text.capacity, 328u);
    EXPECT_STREQ(text.data, "0123456789");
}

TEST(String, AppendUpToCapacityKeepsTheBuffer) {
    String text("abcde");  // capacity 133
    const char* before = text.data;
    text.append(String(std::string(128, 'y').c_str()));
    EXPECT_EQ(text.length, 133u);
    EXPECT_EQ(text.capacity, 133u);
    EXPECT_EQ(text.data, before);
    EXPECT_EQ(text.data[133], 0);
    text.append(String("z"));
    EXPECT_EQ(text.length, 134u);
    EXPECT_EQ(text.capacity, 134u + 128u);
    EXPECT_EQ(std::string(text.data), "abcde" + std::string(128, 'y') + "z");
}

TEST(String, AppendToItselfReserveAndConcatenate) {
    String text("abc");
    text.append(text);
    EXPECT_STREQ(text.data, "abcabc");
    EXPECT_EQ(text.length, 6u);
    String reserved("abc");
    reserved.reserve(125);
    EXPECT_EQ(reserved.capacity, 131u);  // 3 + 125 fits
    reserved.reserve(200);
    EXPECT_EQ(reserved.capacity, 3u + 200u + 128u);
    EXPECT_STREQ(reserved.data, "abc");  // the terminator is copied
    const String joined = String("data/fonts/") + String("batang");
    EXPECT_STREQ(joined.data, "data/fonts/batang");
    EXPECT_EQ(joined.length, 17u);
    EXPECT_EQ(joined.capacity, 17u + 128u);
}

// Formatting into a string that starts with `initial` characters: the text,
// its length and the capacity, which grows to length + 128 only when needed.
TEST(String, FormatKeepsOrGrowsTheBuffer) {
    struct Case {
        size_t initial;
        std::string body;
        size_t capacity;
    };
    const Case cases[] = {
        {0, "data/images/0300.wmj", 128},         {0, std::string(128, 'q'), 128},
        {0, std::string(129, 'q'), 129 + 128},    {0, std::string(19995, 'w') + "|1234", 20128},
        {300, "", 428},                           {0, "100 % ready 7%", 128},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body.substr(0, 24) + " after " + std::to_string(c.initial));
        String text(std::string(c.initial, 'a').c_str());
        const char* before = text.data;
        EXPECT_EQ(text.format("%s", c.body.c_str()), int32_t(c.body.size()));
        EXPECT_EQ(std::string(text.data), c.body);
        EXPECT_EQ(text.length, c.body.size());
        EXPECT_EQ(text.capacity, c.capacity);
        EXPECT_EQ(text.data[c.body.size()], 0);
        if (c.capacity == 128 + c.initial) {
            EXPECT_EQ(text.data, before);
        }
    }
    String text;
    EXPECT_EQ(text.format("data/images/%04d.wmj|%d%%", 300, 7), 23);
    EXPECT_STREQ(text.data, "data/images/0300.wmj|7%");
}

TEST(WideString, CapacityRulesInUnits) {
    WideString big, empty(nullptr);
    EXPECT_EQ(empty.capacity, 128u);
    big.assign(WideString(std::u16string(200, u'x').c_str()));
    EXPECT_EQ(big.capacity, 328u);
    big.assign(WideString(u"0123456789"));
    EXPECT_EQ(big.capacity, 328u);
    EXPECT_EQ(units(big), u"0123456789");
    WideString text(u"abcde");
    const char16_t* before = text.data;
    text.append(WideString(std::u16string(128, u'y').c_str()));
    EXPECT_EQ(text.data, before);
    EXPECT_EQ(text.capacity, 133u);
    text.append(WideString(u"\u00e9"));
    EXPECT_EQ(text.capacity, 134u + 128u);
    EXPECT_EQ(units(text), u"abcde" + std::u16string(128, u'y') + u"\u00e9");
    const WideString joined = WideString(u"\u00c9t\u00e9") + WideString(u" \u2014 ok");
    EXPECT_EQ(units(joined), u"\u00c9t\u00e9 \u2014 ok");
    EXPECT_EQ(joined.capacity, joined.length + 128u);
}

TEST(WideString, NarrowArgumentBytesBecomeUnitsOfTheSameValue) {
    // Latin-1 bytes, whatever the locale: 0xC9 'E acute', 0xE9, 0xFF, 0x80.
    const char caption[] = "\xC9t\xE9 \xE0 Velandora \x80\xFF!";
    WideString text;
    EXPECT_EQ(text.format(u"%S", caption), int32_t(sizeof caption - 1));
    const std::u16string expected = u"\u00c9t\u00e9 \u00e0 Velandora \u0080\u00ff!";
    EXPECT_EQ(units(text), expected);
    EXPECT_EQ(text.data[text.length], 0);
}

TEST(WideString, FormatKeepsOrGrowsTheBuffer) {
    struct Case {
        size_t initial;
        std::u16string body;
        size_t capacity;
    };
    const Case cases[] = {
        {0, std::u16string(128, u'q'), 128},
        {0, std::u16string(129, u'q'), 257},
        {0, std::u16string(19996, u'\u00e9') + u"1234", 20128},
        {300, u"", 428},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.body.size()) + " units after " + std::to_string(c.initial));
        WideString text(std::u16string(c.initial, u'a').c_str());
        EXPECT_EQ(text.format(u"%s", c.body.c_str()), int32_t(c.body.size()));
        EXPECT_EQ(units(text), c.body);
        EXPECT_EQ(text.capacity, c.capacity);
        EXPECT_EQ(text.data[c.body.size()], 0);
    }
}

TEST(WideFormat, Conversions) {
    WideString text;
    text.format(u"%d|%5d|%-4d|%05d|%+d|%x|%X|%#o|%u|%lld|%hd", -42, 7, 3, 42, 9, 0xbeefu, 0xbeefu, 8u, 4000000000u,
                -9000000000LL, 70000);
    EXPECT_EQ(units(text), u"-42|    7|3   |00042|+9|beef|BEEF|010|4000000000|-9000000000|4464");
    text.format(u"%c%c|%C|%%|%.2f|%e", u'\u00e9', u'\u2014', 0xE9, 2.5, 1000.0);
    EXPECT_EQ(units(text), u"\u00e9\u2014|\u00e9|%|2.50|1.000000e+03");
    text.format(u"[%6S][%-6s][%.3S][%*d][%hs][%ls]", "ab", u"cd", "abcdef", 4, 5, "na", u"wi");
    EXPECT_EQ(units(text), u"[    ab][cd    ][abc][   5][na][wi]");
    text.format(u"%s|%S", static_cast<const char16_t*>(nullptr), static_cast<const char*>(nullptr));
    EXPECT_EQ(units(text), u"(null)|(null)");
    text.format(u"a%qb%");  // unknown conversions are copied through
    EXPECT_EQ(units(text), u"a%qb%");
}

TEST(WideFormat, CutsAtTheLimitButCountsEverything) {
    char16_t buffer[8];
    std::fill(std::begin(buffer), std::end(buffer), u'#');
    EXPECT_EQ(format_into(buffer, 4, u"%S-%d", "abc", 12345), 9u);
    EXPECT_EQ(std::u16string(buffer, 4), u"abc-");
    EXPECT_EQ(buffer[4], 0);
    EXPECT_EQ(buffer[5], u'#');
    EXPECT_EQ(format_into(nullptr, 0, u"%d", 123456), 6u);
    // Nothing is stored at the limit before the end: an argument read from
    // there, behind the fifth unit, still reads as empty.
    char16_t shared[8] = {u'#', u'#', u'#', u'#', 0, u'z', u'z', 0};
    EXPECT_EQ(format_into(shared, 4, u"vwxyz%s", shared + 4), 5u);
    EXPECT_EQ(std::u16string(shared, 4), u"vwxy");
    EXPECT_EQ(shared[4], 0);
}
