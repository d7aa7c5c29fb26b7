#pragma once
// A small printf-style formatter that writes UTF-16 code units, the same on
// every platform whatever the size of wchar_t and whatever the C locale.
//
// Conversions: %% ; %d %i %u %x %X %o with the flags "-+ #0", width,
// precision ("*" too) and the length modifiers hh h l ll j z t (and I64 as
// a synonym of ll); %c takes a code unit (int), %C a narrow char (as a
// byte); %s takes a char16_t string, %S a narrow string whose every byte
// becomes one unit of the same value 0..255; %p; %f %F %e %E %g %G %a %A.
// An unknown conversion is copied through as written.
#include <cstdarg>
#include <cstddef>
#include <cstdint>

// Formats into `destination`, writing at most `limit` units plus a terminator
// when `limit` units fit (`destination` holds limit + 1 units; null with
// limit 0 only measures). Returns the number of units the whole text needs,
// like vsnprintf, so a result above `limit` means the text was cut.
size_t format_wide(char16_t* destination, size_t limit, const char16_t* format, va_list arguments);

// Length of a zero-terminated UTF-16 string; null counts as empty.
size_t wide_length(const char16_t* text);
