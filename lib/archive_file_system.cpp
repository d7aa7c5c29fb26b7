#include "lib/archive_file_system.h"

#include <cstring>
#include <new>
#include <string>
#include <unordered_set>

#include "lib/ascii.h"
#include "lib/heap.h"
#include "lib/lcc_codec.h"

namespace {

std::string lowered(const char* text) {
    std::string result(text ? text : "");
    for (char& c : result) c = lowerAscii(c);
    return result;
}

}  // namespace

// An entry and its name share one heap block, freed together.
EntryRecord* newEntryRecord(uint32_t nameLength, const char* name) {
    void* block = heapAlloc(sizeof(EntryRecord) + static_cast<size_t>(nameLength) + 1);
    if (!block) return nullptr;
    EntryRecord* entry = new (block) EntryRecord{};
    entry->nameLength = nameLength;
    entry->name = reinterpret_cast<char*>(entry + 1);
    if (nameLength) std::memcpy(entry->name, name, nameLength);
    entry->name[nameLength] = 0;
    return entry;
}

void freeEntryRecord(EntryRecord* entry) { heapFree(entry); }

ArchiveFileSystem::ArchiveFileSystem()
    : primary_(nullptr),
      current_(nullptr),
      currentUnpacked_(0),
      foundNameLength_(0),
      foundPackedSize_(0),
      foundUnpackedSize_(0),
      foundMethod_(0),
      indexStale_(true) {}

ArchiveFileSystem::~ArchiveFileSystem() {
    ArchiveFileSystem::close();
    for (EntryRecord* entry : entries_) {
        freeEntryRecord(entry);
    }
    entries_.clear();
    for (ArchiveRecord* archive : archives_) {
        heapFree(archive->name);
        heapFree(archive->baseName);
        heapFree(archive->note);
        if (archive->ownsStream && archive->stream) {
            archive->stream->close();
            delete archive->stream;
        }
        delete archive;
    }
    archives_.clear();
}

void ArchiveFileSystem::close() {
    if (current_) {
        current_->close();
        delete current_;
        current_ = nullptr;
    }
}

int32_t ArchiveFileSystem::read(void* destination, int32_t count) {
    return current_ ? current_->read(destination, count) : 0;
}

int32_t ArchiveFileSystem::write(const void*, int32_t) { return 0; }

int32_t ArchiveFileSystem::seek(int32_t position) { return current_ ? current_->seek(position) : 0; }

int32_t ArchiveFileSystem::seekRelative(int32_t offset) { return current_ ? current_->seekRelative(offset) : 0; }

int32_t ArchiveFileSystem::seekFromEnd(int32_t offset) { return current_ ? current_->seekFromEnd(offset) : 0; }

int32_t ArchiveFileSystem::flush() { return 1; }

int32_t ArchiveFileSystem::tell() { return current_ ? current_->tell() : 0; }

int32_t ArchiveFileSystem::size() { return current_ ? current_->size() : 0; }

Stream* ArchiveFileSystem::takeCurrent() {
    Stream* stream = current_;
    current_ = nullptr;
    return stream;
}

void ArchiveFileSystem::finishMount() {
    primary_ = nullptr;
    if (archives_.empty()) return;
    primary_ = archives_.front();
    for (ArchiveRecord* archive : archives_) resolve(archive);
    indexStale_ = true;
}

// An archive overrides the archive it names as its base and every archive of
// a smaller priority; those are resolved first, so chains apply bottom up.
void ArchiveFileSystem::resolve(ArchiveRecord* archive) {
    bool overridesNothing = archive->priority == 0 && (!archive->baseName || !*archive->baseName);
    if (overridesNothing || archive->visited) return;
    archive->visited = 1;
    for (ArchiveRecord* other : archives_) {
        if (other == archive) continue;
        bool byName = archive->baseName && other->name && equalNoCase(archive->baseName, other->name);
        if (!byName && !(archive->priority > other->priority)) continue;
        resolve(other);
        primary_ = archive;
        removeOverridden(archive, other);
    }
}

void ArchiveFileSystem::removeOverridden(ArchiveRecord* winner, ArchiveRecord* loser) {
    std::unordered_set<std::string> names;
    for (EntryRecord* entry : entries_) {
        if (entry->archive == winner) names.insert(lowered(entry->name));
    }
    if (names.empty()) return;
    size_t kept = 0;
    for (EntryRecord* entry : entries_) {
        if (entry->archive == loser && names.count(lowered(entry->name))) {
            freeEntryRecord(entry);
            continue;
        }
        entries_[kept++] = entry;
    }
    entries_.resize(kept);
}
