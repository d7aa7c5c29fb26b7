#pragma once
// Files for the file system: open with access, disposition and share modes,
// read, write, seek, size, flush, close; read-only whole-file mapping; the
// archives of the working directory.
//
// Names behave as on the show's original platform: '\' and '/' both separate,
// and when the exact path does not exist, every component is matched without
// regard to letter case.
#include <cstdint>
#include <string>
#include <vector>

using PlatformFileHandle = intptr_t;
constexpr PlatformFileHandle kInvalidFileHandle = -1;

// 0 means "no mapping".
using PlatformMappingHandle = intptr_t;

enum PlatformFileAccess {
    PlatformAccessRead = 0,
    PlatformAccessWrite = 1,
    PlatformAccessReadWrite = 2,
    PlatformAccessNone = 3,
};

enum PlatformFileDisposition {
    PlatformOpenExisting = 0,
    PlatformCreateAlways = 1,  // create or truncate
    PlatformOpenAlways = 2,    // open or create
};

// What other openers may do while this one holds the file.
enum PlatformFileShare {
    PlatformShareNone = 0,
    PlatformShareRead = 1,
    PlatformShareWrite = 2,
    PlatformShareReadWrite = 3,
};

enum PlatformSeekOrigin { PlatformSeekBegin = 0, PlatformSeekCurrent = 1, PlatformSeekEnd = 2 };

// kInvalidFileHandle when the file cannot be opened, or when an opener that
// holds it does not share the requested access (or wants an access that this
// opener does not share). A file opened without any sharing is also locked
// against other processes where the system allows it.
PlatformFileHandle platformOpenFile(const char* name, int access, int disposition, int share);

// Bytes transferred; 0 on failure.
int32_t platformReadFile(PlatformFileHandle file, void* destination, int32_t count);
int32_t platformWriteFile(PlatformFileHandle file, const void* source, int32_t count);

// The new position (low 32 bits), or 0xFFFFFFFF (-1) on failure, such as a
// position before the start.
int32_t platformSeekFile(PlatformFileHandle file, int32_t distance, int origin);

// Low 32 bits of the file's size; -1 on failure.
int32_t platformFileSize(PlatformFileHandle file);

// 1 on success.
int32_t platformFlushFile(PlatformFileHandle file);

void platformCloseFile(PlatformFileHandle file);

// A read-only mapping of the whole file; 0 when it cannot be made (an empty
// file has none).
PlatformMappingHandle platformCreateMapping(PlatformFileHandle file);
// The view of the whole mapped file; null on failure.
const void* platformMapView(PlatformMappingHandle mapping);
// Bytes of the file that the mapping holds, fixed when it was made (a file
// that grows afterwards is not read past its view); at most 2^31 - 1.
int32_t platformMappingSize(PlatformMappingHandle mapping);
void platformUnmapView(PlatformMappingHandle mapping, const void* view);
void platformCloseMapping(PlatformMappingHandle mapping);

// Lookups of several names that may count as made at one moment: between
// these calls each directory is checked for changes at most once. Calls nest.
void platformBeginNameBatch();
void platformEndNameBatch();

// Names of the regular files in the working directory that match "*.lcc",
// extension in any letter case, in a stable order.
std::vector<std::string> platformListArchives();
