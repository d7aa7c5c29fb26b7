// Reading one archive's header and directory into the file system.
#include <cstring>
#include <vector>

#include "lib/archive_file_system.h"
#include "lib/archive_format.h"
#include "lib/ascii.h"
#include "lib/heap.h"
#include "lib/lcc_codec.h"

namespace {

uint32_t u32At(const uint8_t* bytes) {
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

uint16_t u16At(const uint8_t* bytes) { return static_cast<uint16_t>(bytes[0] | bytes[1] << 8); }

// Reads the unpacked directory; every length is checked against what is
// left before anything of that size is allocated.
class DirectoryReader {
public:
    DirectoryReader(const uint8_t* bytes, int32_t size) : bytes_(bytes), left_(size > 0 ? size : 0) {}

    bool u32(uint32_t* value) {
        if (left_ < 4) return false;
        *value = u32At(bytes_);
        bytes_ += 4;
        left_ -= 4;
        return true;
    }

    // A string of `length` bytes (its terminating zero included); always
    // comes back terminated, even when the stored zero is missing.
    bool string(uint32_t length, char** text) {
        if (length > static_cast<uint32_t>(left_)) return false;
        char* copy = static_cast<char*>(heapAlloc(length + 1));
        if (!copy) return false;
        if (length) std::memcpy(copy, bytes_, length);
        copy[length] = 0;
        bytes_ += length;
        left_ -= static_cast<int32_t>(length);
        *text = copy;
        return true;
    }

    // The next `length` bytes in place; null when fewer are left.
    const char* take(uint32_t length) {
        if (length > static_cast<uint32_t>(left_)) return nullptr;
        const char* bytes = reinterpret_cast<const char*>(bytes_);
        bytes_ += length;
        left_ -= static_cast<int32_t>(length);
        return bytes;
    }

    int32_t left() const { return left_; }

private:
    const uint8_t* bytes_;
    int32_t left_;
};

struct PendingArchive {
    ArchiveRecord* record = nullptr;
    std::vector<EntryRecord*> entries;

    ~PendingArchive() {
        for (EntryRecord* entry : entries) {
            freeEntryRecord(entry);
        }
        if (record) {
            heapFree(record->name);
            heapFree(record->baseName);
            heapFree(record->note);
            delete record;
        }
    }
};

bool readSubHeader(DirectoryReader& reader, uint16_t kind, ArchiveRecord* record, uint32_t* count) {
    if (kind == kNamedArchive) {
        uint32_t nameLength, baseLength, noteLength;
        if (!reader.u32(&nameLength) || !reader.u32(&baseLength) || !reader.u32(&noteLength) || !reader.u32(count)) {
            return false;
        }
        record->priority = 0;
        return reader.string(nameLength, &record->name) && reader.string(baseLength, &record->baseName) &&
               reader.string(noteLength, &record->note);
    }
    if (kind == kPrioritisedArchive) {
        uint32_t noteLength;
        if (!reader.u32(&record->priority) || !reader.u32(&noteLength) || !reader.u32(count)) return false;
        return reader.string(noteLength, &record->note);
    }
    return false;
}

}  // namespace

int32_t ArchiveFileSystem::mount(Stream* stream, int32_t ownsStream, int32_t memoryResident) {
    if (!stream) return 0;
    MemoryStream* resident = memoryResident ? dynamic_cast<MemoryStream*>(stream) : nullptr;
    MemoryStream* directory = nullptr;
    PendingArchive pending;
    auto reject = [&]() -> int32_t {
        if (directory) delete directory;
        if (ownsStream) {
            stream->close();
            delete stream;
        }
        return 0;
    };

    int32_t streamSize = stream->size();
    stream->seek(0);
    if (stream->tell() != 0 || streamSize < kArchiveMinimumSize) return reject();

    uint8_t header[kArchiveHeaderSize];
    if (!stream->readExact(header, kArchiveHeaderSize)) return reject();
    if (std::memcmp(header, kArchiveMagic, sizeof kArchiveMagic) != 0) return reject();
    if (u16At(header + kVersionOffset) != kArchiveVersion) return reject();
    uint16_t kind = u16At(header + kKindOffset);
    uint32_t method = u32At(header + kDirectoryMethodOffset);
    uint32_t packedSize = u32At(header + kDirectoryPackedOffset);
    uint32_t unpackedSize = u32At(header + kDirectoryUnpackedOffset);

    // The directory must lie within the archive, and its unpacked size must be
    // one that a stream can hold.
    int64_t dataStart = static_cast<int64_t>(stream->tell()) + packedSize;
    if (dataStart > streamSize || unpackedSize > 0x7FFFFFFFu) return reject();

    if (method == LccStored) {
        directory = new MemoryStream();
        directory->loadFromStream(stream, static_cast<int32_t>(packedSize));
    } else if (LccCodec* codec = lccCodecForMethod(method)) {
        if (resident && resident->data()) {
            directory = codec->decompress(resident->data() + resident->position(), static_cast<int32_t>(packedSize),
                                          static_cast<int32_t>(unpackedSize));
            stream->seekRelative(static_cast<int32_t>(packedSize));
        } else {
            MemoryStream packed;
            packed.loadFromStream(stream, static_cast<int32_t>(packedSize));
            directory = codec->decompress(packed.data(), packed.size(), static_cast<int32_t>(unpackedSize));
        }
        if (!directory) return reject();
    } else {
        return reject();
    }
    if (stream->tell() != dataStart || directory->size() != static_cast<int32_t>(unpackedSize)) return reject();

    pending.record = new ArchiveRecord{};
    ArchiveRecord* record = pending.record;
    DirectoryReader reader(directory->data(), directory->size());
    uint32_t count = 0;
    if (!readSubHeader(reader, kind, record, &count)) return reject();
    if (kind == kNamedArchive) {
        for (ArchiveRecord* other : archives_) {
            if (other->name && equalNoCase(other->name, record->name)) return reject();
        }
    }

    int32_t entryCount = static_cast<int32_t>(count);
    if (entryCount > 0) {
        // Each entry takes at least its header: a count that cannot fit is
        // refused before anything is reserved for it.
        if (entryCount > reader.left() / kEntryHeaderSize) return reject();
        pending.entries.reserve(static_cast<size_t>(entryCount));
        for (int32_t i = 0; i < entryCount; ++i) {
            uint32_t nameLength, packed, unpacked, entryMethod;
            if (!reader.u32(&nameLength) || !reader.u32(&packed) || !reader.u32(&unpacked) ||
                !reader.u32(&entryMethod)) {
                return reject();
            }
            const char* name = reader.take(nameLength);
            if (!name) return reject();
            EntryRecord* entry = newEntryRecord(nameLength, name);
            if (!entry) return reject();
            entry->packedSize = packed;
            entry->unpackedSize = unpacked;
            entry->method = entryMethod;
            pending.entries.push_back(entry);
        }
    }
    delete directory;
    directory = nullptr;

    record->stream = stream;
    record->entryCount = entryCount > 0 ? entryCount : 0;
    record->ownsStream = ownsStream;
    record->visited = 0;
    record->memoryResident = resident && resident->data() ? 1 : 0;
    record->size = streamSize;
    archives_.push_back(record);
    pending.record = nullptr;

    int64_t offset = dataStart;
    entries_.reserve(entries_.size() + pending.entries.size());
    for (EntryRecord* entry : pending.entries) {
        entry->offset = offset;
        entry->archive = record;
        offset += entry->packedSize;
        entries_.push_back(entry);
    }
    pending.entries.clear();
    indexStale_ = true;
    return 1;
}
