#pragma once
// A plain, slow reading of an LZ stream that counts which tokens it uses.
// It trusts the stream (only for the packer's own output and well-formed
// hand-built streams) and rebuilds the data independently of the unpacker.

#include <cstdint>
#include <vector>

struct TokenCensus {
    // nearZero and nearCopy are the single-byte token's zero-byte form and its
    // copy from 1 to 15 back; matches counts offsets below 128, below 1280,
    // below 32000 and from 32000 on.
    size_t literals = 0, nearZero = 0, nearCopy = 0, shortMatches = 0, repeats = 0, matches[4] = {};
    std::vector<uint8_t> output;
};

inline TokenCensus takeCensus(const std::vector<uint8_t>& packed) {
    TokenCensus census;
    size_t next = 0;
    unsigned tag = 0x80;
    auto byte = [&]() { return packed.at(next++); };
    auto bit = [&]() {
        unsigned result = (tag >> 7) & 1;
        tag = (tag << 1) & 0xFF;
        if (tag == 0) {
            unsigned fresh = byte();
            result = fresh >> 7;
            tag = ((fresh << 1) + 1) & 0xFF;
        }
        return result;
    };
    auto gamma = [&]() {
        uint32_t value = 1;
        do value = 2 * value + bit();
        while (bit());
        return value;
    };
    auto copy = [&](uint32_t offset, uint32_t length) {
        for (uint32_t i = 0; i < length; i++) census.output.push_back(census.output.at(census.output.size() - offset));
    };

    uint32_t last = 0;
    census.output.push_back(byte());
    for (;;) {
        if (!bit()) {
            census.literals++;
            census.output.push_back(byte());
        } else if (!bit()) {
            uint32_t high = gamma();
            if (high == 2) {
                census.repeats++;
                copy(last, gamma());
                continue;
            }
            last = (high - 3) * 256 + byte();
            const uint32_t range = last < 128 ? 0 : last < 1280 ? 1 : last < 32000 ? 2 : 3, bonus[] = {2, 0, 1, 2};
            census.matches[range]++;
            copy(last, gamma() + bonus[range]);
        } else if (!bit()) {
            uint32_t code = byte();
            if (code >> 1 == 0) break;
            census.shortMatches++;
            last = code >> 1;
            copy(last, 2 + (code & 1));
        } else {
            uint32_t offset = 0;
            for (int i = 0; i < 4; i++) offset = 2 * offset + bit();
            if (offset == 0) {
                census.nearZero++;
                census.output.push_back(0);
            } else {
                census.nearCopy++;
                copy(offset, 1);
            }
        }
    }
    return census;
}
