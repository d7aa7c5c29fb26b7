#pragma once
// The program's narrow and wide strings. Every allocation leaves 128 characters
// of headroom, so a string can grow a little or take a longer value without a
// new allocation; `format` writes in place whenever the result fits.
#include <cstdarg>
#include <cstdint>

// Headroom added to the needed length on every allocation.
constexpr uint32_t kStringHeadroom = 128;
// Size of the first scratch buffer of `format`, and the step it grows by.
constexpr uint32_t kFormatScratchStep = 8192;

class String {
public:
    String();
    String(const char* text);  // null counts as empty
    String(const String& other);
    String& operator=(const String& other);
    ~String();

    void assign(const String& other);
    // Makes room for `count` more characters.
    void reserve(uint32_t count);
    void append(const String& other);
    // printf-style; returns the number of characters produced.
    int32_t format(const char* format_text, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;
    int32_t format_list(const char* format_text, va_list arguments);

    char* data;         // the text, followed by a terminating 0; owned
    uint32_t length;    // characters before the terminator
    uint32_t capacity;  // characters that fit without reallocation, terminator not counted
};

String operator+(const String& a, const String& b);

// UTF-16 text: 16-bit code units on every platform.
class WideString {
public:
    WideString();
    WideString(const char16_t* text);  // null counts as empty
    WideString(const WideString& other);
    WideString& operator=(const WideString& other);
    ~WideString();

    void assign(const WideString& other);
    void reserve(uint32_t count);
    void append(const WideString& other);
    // Wide printf-style formatting (see wide_format.h for the conversions):
    // "%S" takes a narrow string and widens each byte to one unit of the same
    // value, "%s" takes a wide (char16_t) string. Returns the units produced.
    int32_t format(const char16_t* format_text, ...);
    int32_t format_list(const char16_t* format_text, va_list arguments);

    char16_t* data;
    uint32_t length;
    uint32_t capacity;
};

WideString operator+(const WideString& a, const WideString& b);
