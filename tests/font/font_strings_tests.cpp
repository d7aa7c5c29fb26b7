// The narrow and wide strings (the same rules in characters and in UTF-16
// units) and the wide formatter.
#include <gtest/gtest.h>

#include <string>

#include "font/strings.h"
#include "font/wide_format.h"

namespace {

template <typename S>
class Strings : public ::testing::Test {
protected:
    using Unit = std::remove_pointer_t<decltype(S::data)>;
    using Text = std::basic_string<Unit>;
    static Text text(const std::string& ascii) { return Text(ascii.begin(), ascii.end()); }
    static Text of(const S& s) { return Text(s.data, s.length); }
    // s.format("%s", body): the wide form takes a wide string for "%s".
    static int32_t format(S& s, const Text& body) {
        if constexpr (std::is_same_v<Unit, char>) return s.format("%s", body.c_str());
        else return s.format(u"%s", body.c_str());
    }
};
using StringTypes = ::testing::Types<String, WideString>;
TYPED_TEST_SUITE(Strings, StringTypes);

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

// Every string keeps 128 units of headroom beyond what it was made for;
// assigning grows but never shrinks; appending reuses the buffer up to its
// capacity, itself included; reserving copies the terminator.
TYPED_TEST(Strings, CapacityRules) {
    using S = TypeParam;
    const auto text = [](const std::string& ascii) { return TestFixture::text(ascii); };
    S empty, from_null(nullptr), hello(text("hello").c_str());
    EXPECT_EQ(empty.length, 0u);
    EXPECT_EQ(empty.capacity, 128u);
    EXPECT_EQ(empty.data[0], 0);
    EXPECT_EQ(from_null.capacity, 128u);
    EXPECT_EQ(hello.capacity, 133u);
    S copy(hello);
    EXPECT_EQ(copy.capacity, 133u);
    EXPECT_NE(copy.data, hello.data);
    copy.assign(S(text(std::string(200, 'x')).c_str()));
    EXPECT_EQ(copy.capacity, 328u);
    copy.assign(S(text("0123456789").c_str()));
    EXPECT_EQ(TestFixture::of(copy), text("0123456789"));
    EXPECT_EQ(copy.capacity, 328u);

    const auto* before = hello.data;
    hello.append(S(text(std::string(128, 'y')).c_str()));
    EXPECT_EQ(hello.data, before);
    EXPECT_EQ(hello.capacity, 133u);
    EXPECT_EQ(hello.data[133], 0);
    hello.append(S(text("z").c_str()));
    EXPECT_EQ(hello.capacity, 134u + 128u);
    EXPECT_EQ(TestFixture::of(hello), text("hello" + std::string(128, 'y') + "z"));

    S abc(text("abc").c_str());
    abc.append(abc);
    EXPECT_EQ(TestFixture::of(abc), text("abcabc"));
    abc.reserve(125);
    EXPECT_EQ(abc.capacity, 131u);  // 6 + 125 fits
    abc.reserve(200);
    EXPECT_EQ(abc.capacity, 6u + 200u + 128u);
    EXPECT_EQ(abc.data[6], 0);
    const S joined = S(text("data/fonts/").c_str()) + S(text("batang").c_str());
    EXPECT_EQ(TestFixture::of(joined), text("data/fonts/batang"));
    EXPECT_EQ(joined.capacity, 17u + 128u);
}

// Formatting into a string that starts with `initial` characters: the text,
// its length and the capacity, which grows to length + 128 only when needed,
// through a scratch buffer that grows in steps of 8192.
TYPED_TEST(Strings, FormatKeepsOrGrowsTheBuffer) {
    const struct {
        size_t initial;
        std::string body;
        size_t capacity;
    } cases[] = {
        {0, std::string(128, 'q'), 128},
        {0, std::string(129, 'q'), 129 + 128},
        {0, std::string(19995, 'w') + "|1234", 20128},
        {300, "", 428},
        {0, "100 % ready 7%", 128},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.body.size()) + " after " + std::to_string(c.initial));
        TypeParam s(TestFixture::text(std::string(c.initial, 'a')).c_str());
        const auto* before = s.data;
        EXPECT_EQ(TestFixture::format(s, TestFixture::text(c.body)), int32_t(c.body.size()));
        EXPECT_EQ(TestFixture::of(s), TestFixture::text(c.body));
        EXPECT_EQ(s.capacity, c.capacity);
        EXPECT_EQ(s.data[c.body.size()], 0);
        if (c.capacity == 128 + c.initial) {
            EXPECT_EQ(s.data, before);
        }
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
    // Latin-1 bytes become units of the same value, whatever the locale.
    EXPECT_EQ(text.format(u"%S", "\xC9t\xE9 \xE0 Velandora \x80\xFF!"), 19);
    EXPECT_EQ(units(text), u"\u00c9t\u00e9 \u00e0 Velandora \u0080\u00ff!");
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
