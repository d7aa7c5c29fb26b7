#include "test_support.h"

#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <cstdlib>
#include <fstream>

#include "lib/stream.h"

void ScratchDirectory::SetUp() {
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    previous_ = cwd;
    char pattern[] = "/tmp/vel_lib_test_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    path_ = pattern;
    ASSERT_EQ(chdir(path_.c_str()), 0);
}

void ScratchDirectory::TearDown() {
    ASSERT_EQ(chdir(previous_.c_str()), 0);
    std::error_code error;
    std::filesystem::remove_all(path_, error);
    ASSERT_FALSE(error) << error.message();
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    writeFile(path, std::string(bytes.begin(), bytes.end()));
}

std::vector<uint8_t> bytesOf(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

void putU32(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

static void putU16(std::vector<uint8_t>& out, uint16_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

static void putString(std::vector<uint8_t>& out, const std::string& text) {
    out.insert(out.end(), text.begin(), text.end());
    out.push_back(0);
}

std::vector<uint8_t> deflateBytes(const std::vector<uint8_t>& data) {
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    std::vector<uint8_t> packed(size);
    EXPECT_EQ(compress2(packed.data(), &size, data.data(), static_cast<uLong>(data.size()), 9), Z_OK);
    packed.resize(size);
    return packed;
}

TestMember storedMember(const std::string& name, const std::string& content) {
    return TestMember{name, bytesOf(content), static_cast<uint32_t>(content.size()), 0};
}

TestMember zlibMember(const std::string& name, const std::string& content) {
    return TestMember{name, deflateBytes(bytesOf(content)), static_cast<uint32_t>(content.size()), 2};
}

std::vector<uint8_t> TestArchive::directory() const {
    std::vector<uint8_t> out;
    if (kind == 5) {
        putU32(out, priority);
        putU32(out, static_cast<uint32_t>(note.size() + 1));
        putU32(out, static_cast<uint32_t>(members.size()));
        putString(out, note);
    } else {
        putU32(out, static_cast<uint32_t>(name.size() + 1));
        putU32(out, static_cast<uint32_t>(baseName.size() + 1));
        putU32(out, static_cast<uint32_t>(note.size() + 1));
        putU32(out, static_cast<uint32_t>(members.size()));
        putString(out, name);
        putString(out, baseName);
        putString(out, note);
    }
    for (const TestMember& member : members) {
        putU32(out, static_cast<uint32_t>(member.name.size() + 1));
        putU32(out, static_cast<uint32_t>(member.packed.size()));
        putU32(out, member.unpackedSize);
        putU32(out, member.method);
        putString(out, member.name);
    }
    return out;
}

std::vector<uint8_t> archiveWithDirectory(uint16_t kind, uint32_t method, const std::vector<uint8_t>& packedDirectory,
                                          uint32_t unpackedSize, const std::vector<uint8_t>& data) {
    static const char magic[] = "Lind-Haspel Compacted Content\x1A";
    std::vector<uint8_t> out(magic, magic + 30);
    out.push_back(0);
    putU16(out, kind);
    putU16(out, 1);
    putU32(out, method);
    putU32(out, static_cast<uint32_t>(packedDirectory.size()));
    putU32(out, unpackedSize);
    out.insert(out.end(), packedDirectory.begin(), packedDirectory.end());
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

std::vector<uint8_t> TestArchive::bytes() const {
    std::vector<uint8_t> unpacked = directory();
    std::vector<uint8_t> packed = directoryMethod == 2 ? deflateBytes(unpacked) : unpacked;
    std::vector<uint8_t> data;
    for (const TestMember& member : members) data.insert(data.end(), member.packed.begin(), member.packed.end());
    std::vector<uint8_t> out =
        archiveWithDirectory(kind, directoryMethod, packed, static_cast<uint32_t>(unpacked.size()), data);
    out[33] = static_cast<uint8_t>(version);
    out[34] = static_cast<uint8_t>(version >> 8);
    return out;
}

std::string readAll(Stream* stream) {
    std::string out;
    char buffer[4096];
    for (;;) {
        int32_t got = stream->read(buffer, sizeof buffer);
        if (got <= 0) break;
        out.append(buffer, static_cast<size_t>(got));
    }
    return out;
}
