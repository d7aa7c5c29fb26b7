#pragma once
// Writes archives: the 47-byte header, the directory (stored or packed) and the
// members' packed bytes in directory order.
#include <cstdint>
#include <string>
#include <vector>

struct LccMember {
    std::string name;  // '/' separators
    std::vector<uint8_t> data;
    // 0 stored, 1 LZ, 2 zlib, used as given; -1 takes the archive's
    // memberMethod, or stored when that would not make the member smaller.
    int method = -1;
};

struct LccArchiveLayout {
    bool prioritised = false;  // kind 5 (priority) instead of kind 0 (name, base)
    std::string name;
    std::string baseName;
    uint32_t priority = 0;
    std::string note;
    uint32_t directoryMethod = 0;  // 0 stored, 1 LZ, 2 zlib
    uint32_t memberMethod = 0;  // for members without a method of their own
};

// Packs `data` with `method` (0 stored, 1 LZ, 2 zlib). Throws std::runtime_error
// when the method is unknown or not available.
std::vector<uint8_t> lccPackBytes(uint32_t method, const std::vector<uint8_t>& data);

// The whole archive file. Throws std::runtime_error on a member too large for
// the format.
std::vector<uint8_t> buildLccArchive(const LccArchiveLayout& layout, const std::vector<LccMember>& members);

// "stored", "lz", "zlib" <-> 0, 1, 2; parse gives -1 for anything else.
int parseLccMethod(const std::string& text);
std::string lccMethodName(uint32_t method);
