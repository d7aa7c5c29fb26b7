#pragma once
// Name resolution: every data file is opened here, from disk, from a mounted
// archive or from the program's own resources ("res:N").
#include <cstdint>

class Stream;

// Opens `name`; null when it is not found (no message). The caller owns the
// stream and ends it with delete. Mode 0: normal lookup; mode 1: archive
// members must match the whole name; any other mode: a disk file only.
Stream* openFile(const char* name, int32_t* sizeOut = nullptr, int32_t mode = 0);

// As openFile; `compressedOut` receives 1 when the stream was unpacked by a codec.
Stream* openFileEx(const char* name, int32_t* sizeOut, int32_t mode, int32_t* compressedOut);

// Mounts every "*.lcc" archive of the working directory; replaces an earlier mount.
void mountArchives();
