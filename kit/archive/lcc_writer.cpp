#include "kit/archive/lcc_writer.h"

#include <zlib.h>

#include <cstring>
#include <limits>
#include <stdexcept>

#include "kit/lz/lz_pack.h"
#include "lib/archive_format.h"

namespace {

void putU16(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void putU32(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

uint32_t sizeField(size_t size) {
    if (size > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
        throw std::runtime_error("too large for an archive (2 GiB at most)");
    }
    return static_cast<uint32_t>(size);
}

// A string with its terminating zero, the length counting it.
void putString(std::vector<uint8_t>& out, const std::string& text) {
    out.insert(out.end(), text.begin(), text.end());
    out.push_back(0);
}

std::vector<uint8_t> deflateBytes(const std::vector<uint8_t>& data) {
    uLongf bound = compressBound(static_cast<uLong>(data.size()));
    std::vector<uint8_t> packed(bound);
    if (compress2(packed.data(), &bound, data.data(), static_cast<uLong>(data.size()), Z_BEST_COMPRESSION) != Z_OK) {
        throw std::runtime_error("zlib could not pack the data");
    }
    packed.resize(bound);
    return packed;
}

}  // namespace

int parseLccMethod(const std::string& text) {
    if (text == "stored") return 0;
    if (text == "lz") return 1;
    if (text == "zlib") return 2;
    return -1;
}

std::string lccMethodName(uint32_t method) {
    switch (method) {
        case 0: return "stored";
        case 1: return "lz";
        case 2: return "zlib";
        default: return "method" + std::to_string(method);
    }
}

std::vector<uint8_t> lccPackBytes(uint32_t method, const std::vector<uint8_t>& data) {
    switch (method) {
        case 0: return data;
        case 1: return lzPack(data.data(), data.size());
        case 2: return deflateBytes(data);
        default: throw std::runtime_error("unknown packing method " + std::to_string(method));
    }
}

namespace {

struct PackedMember {
    uint32_t method;
    std::vector<uint8_t> bytes;
};

// A member taking the archive's method is stored when packing would not make
// it smaller: it then costs no more room and opens without unpacking. A
// method given for the member itself is used as it is.
PackedMember packMember(const LccArchiveLayout& layout, const LccMember& member) {
    if (member.method >= 0) {
        uint32_t method = static_cast<uint32_t>(member.method);
        return {method, lccPackBytes(method, member.data)};
    }
    std::vector<uint8_t> bytes = lccPackBytes(layout.memberMethod, member.data);
    if (bytes.size() >= member.data.size()) return {0, member.data};
    return {layout.memberMethod, std::move(bytes)};
}

}  // namespace

std::vector<uint8_t> buildLccArchive(const LccArchiveLayout& layout, const std::vector<LccMember>& members) {
    std::vector<PackedMember> packed;
    packed.reserve(members.size());
    for (const LccMember& member : members) {
        sizeField(member.data.size());
        packed.push_back(packMember(layout, member));
    }

    std::vector<uint8_t> directory;
    if (layout.prioritised) {
        putU32(directory, layout.priority);
        putU32(directory, sizeField(layout.note.size() + 1));
        putU32(directory, sizeField(members.size()));
        putString(directory, layout.note);
    } else {
        putU32(directory, sizeField(layout.name.size() + 1));
        putU32(directory, sizeField(layout.baseName.size() + 1));
        putU32(directory, sizeField(layout.note.size() + 1));
        putU32(directory, sizeField(members.size()));
        putString(directory, layout.name);
        putString(directory, layout.baseName);
        putString(directory, layout.note);
    }
    for (size_t i = 0; i < members.size(); ++i) {
        putU32(directory, sizeField(members[i].name.size() + 1));
        putU32(directory, sizeField(packed[i].bytes.size()));
        putU32(directory, sizeField(members[i].data.size()));
        putU32(directory, packed[i].method);
        putString(directory, members[i].name);
    }
    std::vector<uint8_t> packedDirectory = lccPackBytes(layout.directoryMethod, directory);

    std::vector<uint8_t> archive(kArchiveMagic, kArchiveMagic + sizeof kArchiveMagic);
    archive.push_back(0);  // terminator of the magic string
    putU16(archive, layout.prioritised ? kPrioritisedArchive : kNamedArchive);
    putU16(archive, kArchiveVersion);
    putU32(archive, layout.directoryMethod);
    putU32(archive, sizeField(packedDirectory.size()));
    putU32(archive, sizeField(directory.size()));
    archive.insert(archive.end(), packedDirectory.begin(), packedDirectory.end());
    for (const PackedMember& member : packed) archive.insert(archive.end(), member.bytes.begin(), member.bytes.end());
    sizeField(archive.size());
    return archive;
}
