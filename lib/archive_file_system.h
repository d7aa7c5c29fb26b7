#pragma once
// The mounted archives and the lookup of names on disk and among their
// members. The file system is itself a stream that forwards to the stream of
// the last successful find.
#include <cstdint>
#include <vector>

#include "lib/archive_index.h"
#include "lib/stream.h"

struct ArchiveRecord {
    Stream* stream;
    int32_t entryCount;
    uint32_t priority;
    char* name;      // null for prioritised archives
    char* baseName;  // null for prioritised archives
    char* note;
    int32_t ownsStream;
    int32_t visited;
    int32_t memoryResident;
    int64_t size;  // the stream's size when mounted; member data must lie within it
};

struct EntryRecord {
    uint32_t nameLength;
    uint32_t packedSize;
    uint32_t unpackedSize;
    uint32_t method;
    char* name;
    ArchiveRecord* archive;
    int64_t offset;
};

// An entry record holding a copy of `nameLength` bytes of `name` (always
// terminated); null when there is no memory. Freed with freeEntryRecord.
EntryRecord* newEntryRecord(uint32_t nameLength, const char* name);
void freeEntryRecord(EntryRecord* entry);

class ArchiveFileSystem : public Stream {
public:
    ArchiveFileSystem();
    ~ArchiveFileSystem() override;

    void close() override;
    int32_t read(void* destination, int32_t count) override;
    int32_t write(const void* source, int32_t count) override;
    int32_t seek(int32_t position) override;
    int32_t seekRelative(int32_t offset) override;
    int32_t seekFromEnd(int32_t offset) override;
    int32_t flush() override;
    int32_t tell() override;
    int32_t size() override;

    // Adds one archive read from `stream`; 0 when it is not a valid archive
    // (an owned stream is then destroyed).
    int32_t mount(Stream* stream, int32_t ownsStream, int32_t memoryResident);
    // Resolves overrides and chooses the primary archive.
    void finishMount();
    // Looks up one plain name; on success the stream is left in current.
    int32_t find(const char* name, int32_t wholePath);

    // Opens one entry of the list into current (1), or fails (0) when its data
    // lies beyond its archive or its method is unknown.
    int32_t openEntry(EntryRecord* entry);
    // Hands over the stream of the last successful find (null when none).
    Stream* takeCurrent();
    int32_t currentUnpacked() const { return currentUnpacked_; }

    const std::vector<ArchiveRecord*>& archives() const { return archives_; }
    const std::vector<EntryRecord*>& entries() const { return entries_; }
    const ArchiveRecord* primary() const { return primary_; }

    // The kept fields of the last entry that find reached.
    uint32_t foundNameLength() const { return foundNameLength_; }
    uint32_t foundPackedSize() const { return foundPackedSize_; }
    uint32_t foundUnpackedSize() const { return foundUnpackedSize_; }
    uint32_t foundMethod() const { return foundMethod_; }

private:
    void resolve(ArchiveRecord* archive);
    void removeOverridden(ArchiveRecord* winner, ArchiveRecord* loser);
    int32_t findOnDisk(const char* converted, const char* baseName);
    EntryRecord* findEntry(const char* converted, int32_t baseStart, int32_t wholePath);

    std::vector<ArchiveRecord*> archives_;
    std::vector<EntryRecord*> entries_;
    ArchiveRecord* primary_;
    Stream* current_;
    int32_t currentUnpacked_;
    uint32_t foundNameLength_;
    uint32_t foundPackedSize_;
    uint32_t foundUnpackedSize_;
    uint32_t foundMethod_;
    ArchiveIndex index_;
    bool indexStale_;
};

// The process-wide file system; null until mountArchives has run.
ArchiveFileSystem* archiveFileSystem();
