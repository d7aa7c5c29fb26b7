#pragma once
// Builds LZ streams by hand, bit by bit, independently of the packer: a tag
// byte is reserved in the output when the first of its eight bits is written.

#include <cstdint>
#include <vector>

class StreamBuilder {
public:
    StreamBuilder& byte(uint8_t value) {
        bytes.push_back(value);
        return *this;
    }

    StreamBuilder& bit(int value) {
        if (used == 8) {
            tag = bytes.size();
            bytes.push_back(0);
            used = 0;
        }
        if (value) bytes[tag] |= uint8_t(0x80 >> used);
        used++;
        return *this;
    }

    StreamBuilder& bits(std::initializer_list<int> values) {
        for (int value : values) bit(value);
        return *this;
    }

    // Binary digits after the leading one, each followed by "more follow".
    StreamBuilder& gamma(uint32_t value) {
        int top = 31;
        while (!((value >> top) & 1)) top--;
        for (int i = top - 1; i >= 0; i--) bit((value >> i) & 1).bit(i > 0);
        return *this;
    }

    StreamBuilder& literal(uint8_t value) { return bit(0).byte(value); }
    // `count` literals of distinct-looking values.
    StreamBuilder& literals(size_t count) {
        for (size_t i = 0; i < count; i++) literal(static_cast<uint8_t>((bytes.size() * 2654435761u) >> 13));
        return *this;
    }
    StreamBuilder& nearToken(int offset) {
        bits({1, 1, 1});
        for (int i = 3; i >= 0; i--) bit((offset >> i) & 1);
        return *this;
    }
    StreamBuilder& shortMatch(int offset, int length) {
        return bits({1, 1, 0}).byte(uint8_t(offset << 1 | (length - 2)));
    }
    StreamBuilder& repeatMatch(uint32_t length) { return bits({1, 0}).gamma(2).gamma(length); }
    // codedLength is the gamma number stored, before the offset's bonus.
    StreamBuilder& match(uint32_t offset, uint32_t codedLength) {
        return bits({1, 0}).gamma((offset >> 8) + 3).byte(uint8_t(offset & 0xFF)).gamma(codedLength);
    }
    StreamBuilder& end() { return shortMatch(0, 2); }

    std::vector<uint8_t> bytes;

private:
    size_t tag = 0;
    int used = 8;
};
