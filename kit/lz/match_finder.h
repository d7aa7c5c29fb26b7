#pragma once
// Binary-tree match finder over a sliding window: for each position, in
// order, it reports the nearest earlier match of every length it improves on.

#include <cstddef>
#include <cstdint>
#include <vector>

struct LzMatch {
    uint32_t length;
    uint32_t offset;  // distance back from the position, at least 1
};

class MatchFinder {
public:
    // window: largest offset + 1 (rounded to a power of two internally);
    // niceLength: matches stop growing at this length; depth: tree nodes
    // visited per position.
    MatchFinder(const uint8_t* data, size_t size, uint32_t window, uint32_t niceLength, uint32_t depth);

    // Every position from 0 on must be passed exactly once, in order, to
    // either findMatches or skip.
    // Writes matches with strictly increasing lengths (length 2 only from the
    // nearest pair of bytes) and returns how many; at most niceLength + 1.
    size_t findMatches(size_t position, LzMatch* matches);
    void skip(size_t position);

    uint32_t niceLength() const { return nice_; }

private:
    size_t insert(size_t position, LzMatch* matches);
    uint32_t hash3(size_t position) const;

    const uint8_t* data_;
    size_t size_;
    uint32_t nice_;
    uint32_t depth_;
    uint32_t cycleMask_;
    uint32_t hashShift_;
    std::vector<uint32_t> head3_;  // position + 1 of the newest string per hash, 0 for none
    std::vector<uint32_t> head2_;
    std::vector<uint32_t> tree_;   // two children (position + 1) per window slot
};
