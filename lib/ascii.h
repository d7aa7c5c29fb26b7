#pragma once
// Names in archives and on the original platform compare without regard to
// ASCII letter case; nothing else is folded.

inline char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

inline bool equalNoCase(const char* a, const char* b) {
    if (!a || !b) return false;
    while (*a && lowerAscii(*a) == lowerAscii(*b)) {
        ++a;
        ++b;
    }
    return lowerAscii(*a) == lowerAscii(*b);
}
