// Looking up one plain name: loose files first, then archive members by the
// shortest tail of the name that picks out a single member.
#include <cstring>
#include <string>

#include "lib/archive_file_system.h"
#include "lib/lcc_codec.h"
#include "platform/files.h"

int32_t ArchiveFileSystem::find(const char* name, int32_t wholePath) {
    if (!name || !*name) return 0;
    close();
    std::string converted(name);
    for (char& c : converted) {
        if (c == '\\') c = '/';
    }
    foundNameLength_ = 0;
    size_t slash = converted.rfind('/');
    int32_t baseStart = slash == std::string::npos ? 0 : static_cast<int32_t>(slash + 1);

    if (findOnDisk(converted.c_str(), converted.c_str() + baseStart)) return 1;

    EntryRecord* entry = findEntry(converted.c_str(), baseStart, wholePath);
    if (!entry) return 0;
    return openEntry(entry);
}

int32_t ArchiveFileSystem::findOnDisk(const char* converted, const char* baseName) {
    MappedFileStream* file = new MappedFileStream();
    std::string underData = std::string("DATA/") + baseName;
    // The three names are one lookup: each directory is checked once for it.
    platformBeginNameBatch();
    bool found = file->openMapped(converted) || file->openMapped(underData.c_str()) || file->openMapped(baseName);
    platformEndNameBatch();
    if (found) {
        current_ = file;
        currentUnpacked_ = 0;
        return 1;
    }
    delete file;
    return 0;
}

// One pass per path component, from the base name outward, until a pass finds
// at most one member or the whole name has been tried; ties on the whole name
// go to the primary archive.
EntryRecord* ArchiveFileSystem::findEntry(const char* converted, int32_t baseStart, int32_t wholePath) {
    if (indexStale_) {
        index_.build(entries_);
        indexStale_ = false;
    }
    size_t length = std::strlen(converted);
    size_t start = wholePath ? 0 : static_cast<size_t>(baseStart);
    ArchiveIndex::Range range;
    for (;;) {
        range = index_.match(converted + start, length - start);
        if (range.count() == 0) return nullptr;
        if (range.count() == 1) return index_.entry(range.first);
        if (start == 0) break;
        while (start > 0 && converted[start - 1] == '/') --start;
        while (start > 0 && converted[start - 1] != '/') --start;
    }
    // Several members end with the whole name: those of the last pass.
    // Without a candidate in the primary archive, all of them remain: still
    // more than one.
    EntryRecord* chosen = nullptr;
    for (size_t i = range.first; i < range.last; ++i) {
        if (index_.archive(i) != primary_) continue;
        if (chosen) return nullptr;
        chosen = index_.entry(i);
    }
    return chosen;
}

int32_t ArchiveFileSystem::openEntry(EntryRecord* entry) {
    foundNameLength_ = entry->nameLength;
    foundPackedSize_ = entry->packedSize;
    foundUnpackedSize_ = entry->unpackedSize;
    foundMethod_ = entry->method;
    ArchiveRecord* archive = entry->archive;
    // A damaged archive may claim data beyond its end: such a member is not found.
    if (entry->offset + static_cast<int64_t>(entry->packedSize) > archive->size) return 0;
    if (entry->method != LccStored && !lccCodecForMethod(entry->method)) return 0;

    int32_t packedSize = static_cast<int32_t>(entry->packedSize);
    MemoryStream* packed = new MemoryStream();
    archive->stream->seek(static_cast<int32_t>(entry->offset));
    MemoryStream* resident = archive->memoryResident ? static_cast<MemoryStream*>(archive->stream) : nullptr;
    if (resident) {
        packed->attach(resident->data() + resident->position(), packedSize, 0);
    } else {
        packed->loadFromStream(archive->stream, packedSize);
    }
    packed->seek(0);

    if (entry->method == LccStored) {
        current_ = packed;
        currentUnpacked_ = 0;
    } else {
        LccCodec* codec = lccCodecForMethod(entry->method);
        // Only the bytes actually at hand are handed to the codec.
        current_ = codec->decompress(packed->data(), packed->size(), static_cast<int32_t>(entry->unpackedSize));
        packed->close();
        delete packed;
        currentUnpacked_ = 1;
    }
    return current_ ? 1 : 0;
}
