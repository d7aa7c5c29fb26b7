#pragma once
// Match finder over a sliding window. For each position, in order, it
// reports the nearest earlier match of every length it improves on (from a
// binary tree), and besides them matches at other offsets: a parse that can
// choose among offsets of like length can pick the one that repeats later.

#include <cstddef>
#include <cstdint>
#include <vector>

struct LzMatch {
    uint32_t length;
    uint32_t offset;  // distance back from the position, at least 1
};

struct LzCandidates {
    // Strictly increasing lengths, the nearest offset found for each (length
    // 2 only from the nearest pair of bytes); at most niceLength + 1.
    std::vector<LzMatch> longest;
    // Further matches of at least 2 bytes at other offsets, in no order; an
    // offset may also be in `longest`.
    std::vector<LzMatch> others;
};

class MatchFinder {
public:
    // window: largest offset + 1 (rounded to a power of two internally);
    // niceLength: matches stop growing at this length; depth: tree nodes
    // visited per position.
    MatchFinder(const uint8_t* data, size_t size, uint32_t window, uint32_t niceLength, uint32_t depth);

    // Every position from 0 on must be passed exactly once, in order, to
    // either findMatches or skip.
    void findMatches(size_t position, LzCandidates& found);
    void skip(size_t position);

    uint32_t niceLength() const { return nice_; }

private:
    void insert(size_t position, LzCandidates* found);
    uint32_t hash3(size_t position) const;
    void addChained(const std::vector<uint32_t>& chain, uint32_t keyLength, uint32_t candidate, size_t position,
                    uint32_t steps, uint32_t farthest, uint32_t lengthLimit, LzCandidates& found) const;

    const uint8_t* data_;
    size_t size_;
    uint32_t nice_;
    uint32_t depth_;
    uint32_t cycleMask_;
    uint32_t hashShift_;
    std::vector<uint32_t> head3_;   // position + 1 of the newest string per hash, 0 for none
    std::vector<uint32_t> head2_;
    std::vector<uint32_t> tree_;    // two children (position + 1) per window slot
    std::vector<uint32_t> chain2_;  // per window slot: the previous string with the same two bytes
    std::vector<uint32_t> chain3_;  // per window slot: the previous string with the same hash
};
