#pragma once
// The layout of an archive file: a 47-byte header, the directory (stored or
// packed), then every member's packed bytes back to back in directory order.
#include <cstdint>

constexpr char kArchiveMagic[30] = {'L', 'i', 'n', 'd', '-', 'H', 'a', 's', 'p', 'e', 'l', ' ', 'C', 'o', 'm',
                                    'p', 'a', 'c', 't', 'e', 'd', ' ', 'C', 'o', 'n', 't', 'e', 'n', 't', 0x1A};
constexpr int32_t kArchiveHeaderSize = 47;
constexpr int32_t kArchiveMinimumSize = 48;
constexpr uint16_t kArchiveVersion = 1;
constexpr uint16_t kNamedArchive = 0;        // sub-header: name, base, note lengths, entry count
constexpr uint16_t kPrioritisedArchive = 5;  // sub-header: priority, note length, entry count
constexpr int32_t kEntryHeaderSize = 16;

// Offsets of the header fields.
constexpr int32_t kKindOffset = 31;
constexpr int32_t kVersionOffset = 33;
constexpr int32_t kDirectoryMethodOffset = 35;
constexpr int32_t kDirectoryPackedOffset = 39;
constexpr int32_t kDirectoryUnpackedOffset = 43;
