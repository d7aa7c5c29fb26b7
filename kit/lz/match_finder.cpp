#include "kit/lz/match_finder.h"

#include <algorithm>

namespace {

// Chained candidates besides the tree's: a few pairs of bytes at offsets
// cheap to code, and more strings of three bytes at any nearer offset.
const uint32_t pairSteps = 4;
const uint32_t pairFarthest = 1280;
const uint32_t tripleSteps = 32;
const uint32_t tripleFarthest = 1 << 16;

uint32_t roundUpToPowerOfTwo(size_t value) {
    uint32_t result = 1;
    while (result < value && result < (1u << 31)) result <<= 1;
    return result;
}

}  // namespace

MatchFinder::MatchFinder(const uint8_t* data, size_t size, uint32_t window, uint32_t niceLength,
                         uint32_t depth)
    : data_(data), size_(size), nice_(niceLength), depth_(depth) {
    uint32_t cycle = roundUpToPowerOfTwo(std::min<size_t>(std::max<size_t>(size, 16), window));
    cycleMask_ = cycle - 1;
    uint32_t hashBits = 10;
    while (hashBits < 20 && (size_t(1) << hashBits) < size) hashBits++;
    hashShift_ = 32 - hashBits;
    head3_.assign(size_t(1) << hashBits, 0);
    head2_.assign(1 << 16, 0);
    tree_.assign(size_t(cycle) * 2, 0);
    chain2_.assign(cycle, 0);
    chain3_.assign(cycle, 0);
}

uint32_t MatchFinder::hash3(size_t position) const {
    const uint8_t* p = data_ + position;
    uint32_t value = p[0] | (p[1] << 8) | (p[2] << 16);
    return (value * 2654435761u) >> hashShift_;
}

void MatchFinder::findMatches(size_t position, LzCandidates& found) {
    found.longest.clear();
    found.others.clear();
    insert(position, &found);
}

void MatchFinder::skip(size_t position) {
    insert(position, nullptr);
}

// Follows a chain from `candidate` (position + 1, 0 for none) and adds the
// matches of at least keyLength bytes (those of the chain's key; a hash may
// also chain other strings) to found.others.
void MatchFinder::addChained(const std::vector<uint32_t>& chain, uint32_t keyLength, uint32_t candidate,
                             size_t position, uint32_t steps, uint32_t farthest, uint32_t lengthLimit,
                             LzCandidates& found) const {
    const uint8_t* current = data_ + position;
    uint32_t here = static_cast<uint32_t>(position + 1);
    for (; steps > 0 && candidate != 0 && here - candidate < farthest && here - candidate <= cycleMask_; steps--) {
        const uint8_t* earlier = data_ + (candidate - 1);
        uint32_t length = 0;
        while (length < lengthLimit && earlier[length] == current[length]) length++;
        if (length >= keyLength) found.others.push_back({length, here - candidate});
        candidate = chain[(candidate - 1) & cycleMask_];
    }
}

void MatchFinder::insert(size_t position, LzCandidates* found) {
    size_t remaining = size_ - position;
    uint32_t* children = &tree_[size_t(position & cycleMask_) * 2];
    if (remaining < 2) {
        children[0] = children[1] = 0;
        return;
    }
    const uint8_t* current = data_ + position;
    uint32_t here = static_cast<uint32_t>(position + 1);
    uint32_t lengthLimit = static_cast<uint32_t>(std::min<size_t>(nice_, remaining));

    uint32_t key2 = current[0] | (current[1] << 8);
    uint32_t previous2 = head2_[key2];
    head2_[key2] = here;
    chain2_[position & cycleMask_] = previous2;
    if (found && previous2 != 0 && here - previous2 <= cycleMask_) {
        found->longest.push_back({2, here - previous2});
        addChained(chain2_, 2, chain2_[(previous2 - 1) & cycleMask_], position, pairSteps, pairFarthest, lengthLimit,
                   *found);
    }
    if (remaining < 3) {
        children[0] = children[1] = 0;
        return;
    }

    uint32_t& head = head3_[hash3(position)];
    uint32_t candidate = head;
    head = here;
    chain3_[position & cycleMask_] = candidate;
    if (found) addChained(chain3_, 3, candidate, position, tripleSteps, tripleFarthest, lengthLimit, *found);

    // Walk down from the newest string, splitting the tree around the current
    // one: smaller strings hang on its left, greater ones on its right.
    uint32_t* smallerSlot = &children[0];
    uint32_t* greaterSlot = &children[1];
    uint32_t smallerLength = 0;
    uint32_t greaterLength = 0;
    uint32_t best = 2;
    for (uint32_t steps = depth_;; steps--) {
        uint32_t distance = here - candidate;
        if (candidate == 0 || steps == 0 || distance > cycleMask_) {
            *smallerSlot = *greaterSlot = 0;
            break;
        }
        uint32_t* pair = &tree_[size_t((candidate - 1) & cycleMask_) * 2];
        const uint8_t* earlier = data_ + (candidate - 1);
        uint32_t length = std::min(smallerLength, greaterLength);
        while (length < lengthLimit && earlier[length] == current[length]) length++;
        if (found) {
            if (length > best) {
                best = length;
                found->longest.push_back({length, distance});
            } else if (length >= 3) {
                found->others.push_back({length, distance});
            }
        }
        if (length == lengthLimit) {
            // Equal as far as we look: the candidate's subtrees become ours.
            *smallerSlot = pair[0];
            *greaterSlot = pair[1];
            break;
        }
        if (earlier[length] < current[length]) {
            *smallerSlot = candidate;
            smallerSlot = &pair[1];
            candidate = *smallerSlot;
            smallerLength = length;
        } else {
            *greaterSlot = candidate;
            greaterSlot = &pair[0];
            candidate = *greaterSlot;
            greaterLength = length;
        }
    }
}
