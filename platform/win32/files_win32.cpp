// Files over the Win32 kernel: the system itself enforces the share modes and
// matches names without regard to letter case, with '\' and '/' alike.
#include <windows.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "platform/files.h"

namespace {

HANDLE toHandle(PlatformFileHandle file) { return reinterpret_cast<HANDLE>(file); }

DWORD desiredAccess(int access) {
    switch (access) {
        case PlatformAccessRead: return GENERIC_READ;
        case PlatformAccessWrite: return GENERIC_WRITE;
        case PlatformAccessReadWrite: return GENERIC_READ | GENERIC_WRITE;
        default: return 0;
    }
}

DWORD creationDisposition(int disposition) {
    switch (disposition) {
        case PlatformCreateAlways: return CREATE_ALWAYS;
        case PlatformOpenAlways: return OPEN_ALWAYS;
        default: return OPEN_EXISTING;
    }
}

DWORD shareMode(int share) {
    DWORD mode = 0;
    if (share & PlatformShareRead) mode |= FILE_SHARE_READ;
    if (share & PlatformShareWrite) mode |= FILE_SHARE_WRITE;
    return mode;
}

struct Mapping {
    HANDLE file;
    HANDLE section;
    int32_t size;  // the section's size, fixed when it was made
};

}  // namespace

PlatformFileHandle platformOpenFile(const char* name, int access, int disposition, int share) {
    if (!name || !*name) return kInvalidFileHandle;
    // A mapping opener asks for no sharing at all; sequential reading suits it.
    DWORD flags = share == PlatformShareNone && access == PlatformAccessRead ? FILE_FLAG_SEQUENTIAL_SCAN
                                                                              : FILE_ATTRIBUTE_NORMAL;
    HANDLE file = CreateFileA(name, desiredAccess(access), shareMode(share), nullptr,
                              creationDisposition(disposition), flags, nullptr);
    if (file == INVALID_HANDLE_VALUE) return kInvalidFileHandle;
    return reinterpret_cast<PlatformFileHandle>(file);
}

int32_t platformReadFile(PlatformFileHandle file, void* destination, int32_t count) {
    DWORD got = 0;
    if (count <= 0 || !ReadFile(toHandle(file), destination, static_cast<DWORD>(count), &got, nullptr)) return 0;
    return static_cast<int32_t>(got);
}

int32_t platformWriteFile(PlatformFileHandle file, const void* source, int32_t count) {
    DWORD put = 0;
    if (count <= 0 || !WriteFile(toHandle(file), source, static_cast<DWORD>(count), &put, nullptr)) return 0;
    return static_cast<int32_t>(put);
}

int32_t platformSeekFile(PlatformFileHandle file, int32_t distance, int origin) {
    DWORD method = origin == PlatformSeekCurrent ? FILE_CURRENT : origin == PlatformSeekEnd ? FILE_END : FILE_BEGIN;
    return static_cast<int32_t>(SetFilePointer(toHandle(file), distance, nullptr, method));
}

int32_t platformFileSize(PlatformFileHandle file) {
    return static_cast<int32_t>(GetFileSize(toHandle(file), nullptr));
}

int32_t platformFlushFile(PlatformFileHandle file) { return FlushFileBuffers(toHandle(file)) ? 1 : 0; }

void platformCloseFile(PlatformFileHandle file) {
    if (file != kInvalidFileHandle) CloseHandle(toHandle(file));
}

PlatformMappingHandle platformCreateMapping(PlatformFileHandle file) {
    // The section is made exactly as large as the file is now (a read-only
    // section cannot be larger than its file), so the size stays true.
    LARGE_INTEGER bytes;
    if (!GetFileSizeEx(toHandle(file), &bytes) || bytes.QuadPart <= 0) return 0;
    HANDLE section = CreateFileMappingA(toHandle(file), nullptr, PAGE_READONLY, DWORD(bytes.QuadPart >> 32),
                                        DWORD(bytes.QuadPart & 0xFFFFFFFFu), nullptr);
    if (!section) return 0;
    const int32_t size = bytes.QuadPart > INT32_MAX ? INT32_MAX : int32_t(bytes.QuadPart);
    Mapping* mapping = new Mapping{toHandle(file), section, size};
    return reinterpret_cast<PlatformMappingHandle>(mapping);
}

const void* platformMapView(PlatformMappingHandle handle) {
    Mapping* mapping = reinterpret_cast<Mapping*>(handle);
    if (!mapping) return nullptr;
    return MapViewOfFile(mapping->section, FILE_MAP_READ, 0, 0, 0);
}

int32_t platformMappingSize(PlatformMappingHandle handle) {
    Mapping* mapping = reinterpret_cast<Mapping*>(handle);
    return mapping ? mapping->size : 0;
}

void platformUnmapView(PlatformMappingHandle, const void* view) {
    if (view) UnmapViewOfFile(view);
}

void platformCloseMapping(PlatformMappingHandle handle) {
    Mapping* mapping = reinterpret_cast<Mapping*>(handle);
    if (!mapping) return;
    CloseHandle(mapping->section);
    delete mapping;
}

std::vector<std::string> platformListArchives() {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA("*.lcc", &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        // "*.lcc" also matches longer extensions through their short names.
        size_t length = std::strlen(found.cFileName);
        if (length < 4 || _stricmp(found.cFileName + length - 4, ".lcc") != 0) continue;
        names.emplace_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        int order = _stricmp(a.c_str(), b.c_str());
        return order != 0 ? order < 0 : a < b;
    });
    return names;
}

// The system resolves names itself, with no directory cache to keep fresh.
void platformBeginNameBatch() {}
void platformEndNameBatch() {}
