#include "lib/archive_index.h"

#include <algorithm>
#include <cstring>

#include "lib/archive_file_system.h"
#include "lib/ascii.h"

void ArchiveIndex::clear() { items_.clear(); }

void ArchiveIndex::build(const std::vector<EntryRecord*>& entries) {
    items_.clear();
    items_.reserve(entries.size());
    for (EntryRecord* entry : entries) {
        size_t length = std::strlen(entry->name);
        std::string reversed(length, '\0');
        for (size_t i = 0; i < length; ++i) reversed[i] = lowerAscii(entry->name[length - 1 - i]);
        items_.push_back(Item{std::move(reversed), entry});
    }
    std::sort(items_.begin(), items_.end(), [](const Item& a, const Item& b) { return a.reversed < b.reversed; });
}

ArchiveIndex::Range ArchiveIndex::match(const char* tail, size_t length) const {
    std::string key(length, '\0');
    for (size_t i = 0; i < length; ++i) key[i] = lowerAscii(tail[length - 1 - i]);
    auto first = std::lower_bound(items_.begin(), items_.end(), key,
                                  [](const Item& item, const std::string& k) { return item.reversed < k; });
    // Every name that starts with the key sorts before the key followed by
    // anything greater; walk the run with a prefix test.
    auto last = std::upper_bound(first, items_.end(), key, [](const std::string& k, const Item& item) {
        return item.reversed.compare(0, k.size(), k) > 0;
    });
    return Range{static_cast<size_t>(first - items_.begin()), static_cast<size_t>(last - items_.begin())};
}
