#pragma once
// Finds the entries whose names end with a given tail, without regard to ASCII
// letter case, in logarithmic time: the lowercased names are kept reversed and
// sorted, so every tail is a contiguous run of them.
#include <cstddef>
#include <string>
#include <vector>

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

private:
    struct Item {
        std::string reversed;  // lowercased name, last character first
        EntryRecord* entry;
    };
    std::vector<Item> items_;
};
