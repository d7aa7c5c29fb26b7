#include "test_support.h"

#include <zlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "lib/archive_file_system.h"
#include "lib/stream.h"

void writeFile(const std::string& path, const std::string& bytes) {
    std::filesystem::path file(path);
    if (file.has_parent_path()) std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << bytes;
    ASSERT_TRUE(out.good()) << path;
}

void writeFile(const std::string& path, const Bytes& bytes) {
    writeFile(path, std::string(bytes.begin(), bytes.end()));
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

Bytes bytesOf(const std::string& text) { return Bytes(text.begin(), text.end()); }

Bytes deflateBytes(const Bytes& data) {
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    Bytes packed(size);
    EXPECT_EQ(compress2(packed.data(), &size, data.data(), static_cast<uLong>(data.size()), 9), Z_OK);
    packed.resize(size);
    return packed;
}

std::string readAll(Stream* stream) {
    std::string out;
    char buffer[4096];
    for (int32_t got; (got = stream->read(buffer, sizeof buffer)) > 0;) out.append(buffer, static_cast<size_t>(got));
    return out;
}

int32_t mountBytes(ArchiveFileSystem& fs, const Bytes& bytes, int32_t resident) {
    MemoryStream* stream = new MemoryStream();
    stream->allocate(static_cast<int32_t>(bytes.size()));
    if (!bytes.empty()) std::memcpy(stream->data(), bytes.data(), bytes.size());
    return fs.mount(stream, 1, resident);
}

static void putU32(Bytes& out, size_t value) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

TestMember storedMember(const std::string& name, const std::string& content) {
    return TestMember{name, bytesOf(content), static_cast<uint32_t>(content.size()), 0};
}

TestMember zlibMember(const std::string& name, const std::string& content) {
    return TestMember{name, deflateBytes(bytesOf(content)), static_cast<uint32_t>(content.size()), 2};
}

Bytes TestArchive::directory() const {
    Bytes out;
    std::vector<const std::string*> strings = {&name, &baseName, &note};
    if (kind == 5) {
        putU32(out, priority);
        strings = {&note};
    }
    for (const std::string* text : strings) putU32(out, text->size() + 1);
    putU32(out, members.size());
    for (const std::string* text : strings) out.insert(out.end(), text->c_str(), text->c_str() + text->size() + 1);
    for (const TestMember& member : members) {
        for (size_t value : {member.name.size() + 1, member.packed.size(), size_t(member.unpackedSize),
                             size_t(member.method)})
            putU32(out, value);
        out.insert(out.end(), member.name.c_str(), member.name.c_str() + member.name.size() + 1);
    }
    return out;
}

Bytes archiveWithDirectory(uint16_t kind, uint32_t method, const Bytes& packedDirectory, uint32_t unpackedSize,
                           const Bytes& data) {
    static const char magic[] = "Lind-Haspel Compacted Content\x1A";
    Bytes out(magic, magic + 31);  // with its terminating zero
    out.push_back(static_cast<uint8_t>(kind));
    out.push_back(static_cast<uint8_t>(kind >> 8));
    out.push_back(1);
    out.push_back(0);
    for (size_t value : {size_t(method), packedDirectory.size(), size_t(unpackedSize)}) putU32(out, value);
    out.insert(out.end(), packedDirectory.begin(), packedDirectory.end());
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

Bytes TestArchive::bytes() const {
    Bytes unpacked = directory();
    Bytes data;
    for (const TestMember& member : members) data.insert(data.end(), member.packed.begin(), member.packed.end());
    return archiveWithDirectory(kind, directoryMethod, directoryMethod == 2 ? deflateBytes(unpacked) : unpacked,
                                static_cast<uint32_t>(unpacked.size()), data);
}
