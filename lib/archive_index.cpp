#include "lib/archive_index.h"

#include <algorithm>
#include <cstring>

#include "lib/archive_file_system.h"
#include "lib/ascii.h"

void ArchiveIndex::clear() {
    items_.clear();
    text_.clear();
    fences_.clear();
    buckets_.clear();
}

namespace {
uint64_t bigEndianWord(const unsigned char* bytes) {
    return static_cast<uint64_t>(bytes[0]) << 56 | static_cast<uint64_t>(bytes[1]) << 48 |
           static_cast<uint64_t>(bytes[2]) << 40 | static_cast<uint64_t>(bytes[3]) << 32 |
           static_cast<uint64_t>(bytes[4]) << 24 | static_cast<uint64_t>(bytes[5]) << 16 |
           static_cast<uint64_t>(bytes[6]) << 8 | static_cast<uint64_t>(bytes[7]);
}
}  // namespace

void ArchiveIndex::makeKey(const char* reversed, size_t length, uint64_t* head, uint64_t* next) {
    unsigned char bytes[16] = {};
    std::memcpy(bytes, reversed, length < 16 ? length : 16);
    *head = bigEndianWord(bytes);
    *next = bigEndianWord(bytes + 8);
}

// Orders as the reversed names compare byte by byte, shorter first on a tie.
int ArchiveIndex::compare(const Item& a, const Item& b) const {
    if (a.head != b.head) return a.head < b.head ? -1 : 1;
    if (a.next != b.next) return a.next < b.next ? -1 : 1;
    if (a.length > 16 && b.length > 16) {
        size_t common = std::min(a.length, b.length) - 16;
        int order = std::memcmp(text_.data() + a.offset + 16, text_.data() + b.offset + 16, common);
        if (order != 0) return order;
    }
    return a.length < b.length ? -1 : a.length > b.length ? 1 : 0;
}

void ArchiveIndex::build(const std::vector<EntryRecord*>& entries) {
    clear();
    size_t total = 0;
    for (EntryRecord* entry : entries) total += std::strlen(entry->name);
    text_.resize(total);
    items_.reserve(entries.size());
    size_t offset = 0;
    for (EntryRecord* entry : entries) {
        size_t length = std::strlen(entry->name);
        char* reversed = text_.data() + offset;
        for (size_t i = 0; i < length; ++i) reversed[i] = lowerAscii(entry->name[length - 1 - i]);
        Item item{0, 0, static_cast<uint32_t>(offset), static_cast<uint32_t>(length), entry, entry->archive};
        makeKey(reversed, length, &item.head, &item.next);
        items_.push_back(item);
        offset += length;
    }
    sortItems();
    buckets_.assign(65537, 0);
    for (const Item& item : items_) ++buckets_[(item.head >> 48) + 1];
    for (size_t i = 1; i < buckets_.size(); ++i) buckets_[i] += buckets_[i - 1];
    fences_.reserve((items_.size() + kFenceStride - 1) / kFenceStride);
    for (size_t i = 0; i < items_.size(); i += kFenceStride) fences_.push_back(Fence{items_[i].head, items_[i].next});
}

// A radix sort on the first eight bytes, then a comparison sort of each run
// that shares them: far fewer comparisons than sorting the names outright.
void ArchiveIndex::sortItems() {
    std::vector<Item> scratch(items_.size());
    for (int shift = 0; shift < 64; shift += 8) {
        size_t counts[257] = {};
        for (const Item& item : items_) ++counts[((item.head >> shift) & 0xFF) + 1];
        if (counts[((items_.empty() ? 0 : items_[0].head >> shift) & 0xFF) + 1] == items_.size()) continue;
        for (int i = 0; i < 256; ++i) counts[i + 1] += counts[i];
        for (const Item& item : items_) scratch[counts[(item.head >> shift) & 0xFF]++] = item;
        items_.swap(scratch);
    }
    auto byName = [this](const Item& a, const Item& b) { return compare(a, b) < 0; };
    for (size_t start = 0; start < items_.size();) {
        size_t end = start + 1;
        while (end < items_.size() && items_[end].head == items_[start].head) ++end;
        if (end - start > 1) std::sort(items_.begin() + static_cast<long>(start), items_.begin() + static_cast<long>(end), byName);
        start = end;
    }
}

namespace {
// The top `bytes` bytes of a key word.
uint64_t topBytes(size_t bytes) { return bytes == 0 ? 0 : bytes >= 8 ? ~0ull : ~0ull << (64 - 8 * bytes); }
}  // namespace

// A tail being looked up: its reversed, lowercased text and its key.
struct ArchiveIndex::Query {
    Item probe;
    const char* key;
    uint64_t headMask;
    uint64_t nextMask;
};

// Whether `item` orders before the query's tail.
bool ArchiveIndex::before(const Item& item, const Query& query) const {
    const Item& probe = query.probe;
    if (item.head != probe.head) return item.head < probe.head;
    if (item.next != probe.next) return item.next < probe.next;
    if (item.length > 16 && probe.length > 16) {
        size_t common = std::min(item.length, probe.length) - 16;
        int order = std::memcmp(text_.data() + item.offset + 16, query.key + 16, common);
        if (order != 0) return order < 0;
    }
    return item.length < probe.length;
}

// Whether `item`'s name ends with the query's tail.
bool ArchiveIndex::hasTail(const Item& item, const Query& query) const {
    const Item& probe = query.probe;
    if (item.length < probe.length || (item.head & query.headMask) != probe.head ||
        (item.next & query.nextMask) != probe.next) {
        return false;
    }
    return probe.length <= 16 ||
           std::memcmp(text_.data() + item.offset + 16, query.key + 16, probe.length - 16) == 0;
}

// The first item of [begin, end) that does not order before the tail: found
// among the fences, then among the few items between two of them.
size_t ArchiveIndex::lowerBound(const Query& query, size_t begin, size_t end) const {
    size_t fenceBegin = (begin + kFenceStride - 1) / kFenceStride;
    size_t fenceEnd = (end + kFenceStride - 1) / kFenceStride;
    size_t low = fenceBegin;
    size_t high = fenceEnd;
    while (low < high) {
        size_t middle = low + (high - low) / 2;
        const Fence& fence = fences_[middle];
        bool isBefore = fence.head != query.probe.head   ? fence.head < query.probe.head
                        : fence.next != query.probe.next ? fence.next < query.probe.next
                                                         : before(items_[middle * kFenceStride], query);
        if (isBefore) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    size_t from = low > fenceBegin ? (low - 1) * kFenceStride + 1 : begin;
    size_t to = low < fenceEnd ? low * kFenceStride : end;
    auto first = std::partition_point(items_.begin() + static_cast<long>(from), items_.begin() + static_cast<long>(to),
                                      [&](const Item& item) { return before(item, query); });
    return static_cast<size_t>(first - items_.begin());
}

// The end of the run of items from `first` on that end with the tail; most
// runs are short, so the search gallops forward from their start.
size_t ArchiveIndex::endOfTail(const Query& query, size_t first, size_t end) const {
    size_t low = first;   // the items before it have the tail
    size_t high = first;  // end, or an item without the tail once the loop ends
    size_t step = 1;
    while (high < end && hasTail(items_[high], query)) {
        low = high + 1;
        high = std::min(end, high + step);
        step *= 2;
    }
    auto last = std::partition_point(items_.begin() + static_cast<long>(low), items_.begin() + static_cast<long>(high),
                                     [&](const Item& item) { return hasTail(item, query); });
    return static_cast<size_t>(last - items_.begin());
}

ArchiveIndex::Range ArchiveIndex::match(const char* tail, size_t length) const {
    char small[256];
    std::vector<char> large;
    char* key = small;
    if (length > sizeof small) {
        large.resize(length);
        key = large.data();
    }
    for (size_t i = 0; i < length; ++i) key[i] = lowerAscii(tail[length - 1 - i]);
    Query query{Item{0, 0, 0, static_cast<uint32_t>(length), nullptr, nullptr}, key, topBytes(length),
                topBytes(length > 8 ? length - 8 : 0)};
    makeKey(key, length, &query.probe.head, &query.probe.next);

    // From two bytes on, every match shares the key's first two bytes.
    size_t begin = 0;
    size_t end = items_.size();
    if (length >= 2 && !buckets_.empty()) {
        begin = buckets_[query.probe.head >> 48];
        end = buckets_[(query.probe.head >> 48) + 1];
    }
    // The names that start with the key come first among those not before it.
    size_t first = lowerBound(query, begin, end);
    return Range{first, endOfTail(query, first, end)};
}
