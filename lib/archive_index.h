#pragma once
// Finds the entries whose names end with a given tail, without regard to ASCII
// letter case, in logarithmic time: the lowercased names are kept reversed and
// sorted, so every tail is a contiguous run of them.
#include <cstddef>
#include <cstdint>
#include <vector>

struct ArchiveRecord;
struct EntryRecord;

class ArchiveIndex {
public:
    void build(const std::vector<EntryRecord*>& entries);
    void clear();

    // The run of entries ending with `tail` (any case).
    struct Range {
        size_t first;
        size_t last;  // one past
        size_t count() const { return last - first; }
    };
    Range match(const char* tail, size_t length) const;
    EntryRecord* entry(size_t position) const { return items_[position].entry; }
    const ArchiveRecord* archive(size_t position) const { return items_[position].archive; }

private:
    // The first sixteen bytes of a reversed name, big-endian and zero-padded,
    // decide most comparisons without touching the text.
    struct Item {
        uint64_t head;
        uint64_t next;
        uint32_t offset;  // of the reversed name in text_
        uint32_t length;
        EntryRecord* entry;
        const ArchiveRecord* archive;  // the entry's, kept here for scans of long runs
    };
    static void makeKey(const char* reversed, size_t length, uint64_t* head, uint64_t* next);
    int compare(const Item& a, const Item& b) const;
    void sortItems();

    // The keys of every kFenceStride-th item, so that a search walks a small,
    // cached array first and then only a few neighbouring items.
    struct Fence {
        uint64_t head;
        uint64_t next;
    };
    static constexpr size_t kFenceStride = 16;
    struct Query;
    bool before(const Item& item, const Query& query) const;
    bool hasTail(const Item& item, const Query& query) const;
    size_t lowerBound(const Query& query, size_t begin, size_t end) const;
    size_t endOfTail(const Query& query, size_t first, size_t end) const;

    std::vector<Item> items_;
    std::vector<Fence> fences_;
    std::vector<char> text_;  // every reversed, lowercased name back to back
    // Where the names starting with each pair of bytes begin (65537 marks), so
    // that a search only touches its own run.
    std::vector<uint32_t> buckets_;
};
