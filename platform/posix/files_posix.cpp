// POSIX files with the sharing rules of the show's original platform: an
// opener states what others may do while it holds the file, and a conflicting
// open fails. Within the process a registry of open files enforces that; other
// processes are kept out with advisory locks (flock) where the system has them.
#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/posix/path_posix.h"

namespace {

struct OpenRecord {
    dev_t device;
    ino_t inode;
    int access;
    int share;
};

std::map<int, OpenRecord>& openFiles() {
    static std::map<int, OpenRecord> files;
    return files;
}

bool wantsRead(int access) { return access == PlatformAccessRead || access == PlatformAccessReadWrite; }
bool wantsWrite(int access) { return access == PlatformAccessWrite || access == PlatformAccessReadWrite; }

// Whether a new opener with `access`/`share` may join one that holds the file.
bool compatible(const OpenRecord& held, int access, int share) {
    if (wantsRead(access) && !(held.share & PlatformShareRead)) return false;
    if (wantsWrite(access) && !(held.share & PlatformShareWrite)) return false;
    if (wantsRead(held.access) && !(share & PlatformShareRead)) return false;
    if (wantsWrite(held.access) && !(share & PlatformShareWrite)) return false;
    // An opener without any sharing excludes every other one.
    if (held.share == PlatformShareNone || share == PlatformShareNone) return false;
    return true;
}

bool mayOpen(dev_t device, ino_t inode, int access, int share) {
    for (const auto& entry : openFiles()) {
        const OpenRecord& held = entry.second;
        if (held.device == device && held.inode == inode && !compatible(held, access, share)) return false;
    }
    return true;
}

struct Mapping {
    int fd;
    size_t length;
};

}  // namespace

PlatformFileHandle platformOpenFile(const char* name, int access, int disposition, int share) {
    if (!name || !*name) return kInvalidFileHandle;
    int flags;
    switch (access) {
        case PlatformAccessWrite: flags = O_WRONLY; break;
        case PlatformAccessReadWrite: flags = O_RDWR; break;
        default: flags = O_RDONLY; break;
    }
    bool create = disposition == PlatformCreateAlways || disposition == PlatformOpenAlways;
    if (create) {
        // A file cannot be created or truncated without write access here.
        if (!wantsWrite(access)) flags = O_RDWR;
        flags |= O_CREAT;
    }
    flags |= O_CLOEXEC;
    std::string path = platformResolvePath(name, create);
    if (path.empty()) return kInvalidFileHandle;
    int fd = ::open(path.c_str(), flags, 0644);
    if (fd < 0) return kInvalidFileHandle;
    struct stat info;
    if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode) || !mayOpen(info.st_dev, info.st_ino, access, share)) {
        ::close(fd);
        return kInvalidFileHandle;
    }
    int lock = share == PlatformShareNone ? LOCK_EX : LOCK_SH;
    if (flock(fd, lock | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        ::close(fd);
        return kInvalidFileHandle;
    }
    // Truncate only once the open is known to be allowed.
    if (disposition == PlatformCreateAlways && ftruncate(fd, 0) != 0) {
        ::close(fd);
        return kInvalidFileHandle;
    }
    openFiles()[fd] = OpenRecord{info.st_dev, info.st_ino, access, share};
    return fd;
}

int32_t platformReadFile(PlatformFileHandle file, void* destination, int32_t count) {
    auto it = openFiles().find(static_cast<int>(file));
    if (it == openFiles().end() || !wantsRead(it->second.access) || count <= 0) return 0;
    char* out = static_cast<char*>(destination);
    int32_t total = 0;
    while (total < count) {
        ssize_t got = ::read(static_cast<int>(file), out + total, static_cast<size_t>(count - total));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        total += static_cast<int32_t>(got);
    }
    return total;
}

int32_t platformWriteFile(PlatformFileHandle file, const void* source, int32_t count) {
    auto it = openFiles().find(static_cast<int>(file));
    if (it == openFiles().end() || !wantsWrite(it->second.access) || count <= 0) return 0;
    const char* in = static_cast<const char*>(source);
    int32_t total = 0;
    while (total < count) {
        ssize_t put = ::write(static_cast<int>(file), in + total, static_cast<size_t>(count - total));
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) break;
        total += static_cast<int32_t>(put);
    }
    return total;
}

int32_t platformSeekFile(PlatformFileHandle file, int32_t distance, int origin) {
    int whence = origin == PlatformSeekCurrent ? SEEK_CUR : origin == PlatformSeekEnd ? SEEK_END : SEEK_SET;
    off_t position = lseek(static_cast<int>(file), static_cast<off_t>(distance), whence);
    if (position < 0) return -1;
    return static_cast<int32_t>(static_cast<uint32_t>(position));
}

int32_t platformFileSize(PlatformFileHandle file) {
    struct stat info;
    if (fstat(static_cast<int>(file), &info) != 0) return -1;
    return static_cast<int32_t>(static_cast<uint32_t>(info.st_size));
}

int32_t platformFlushFile(PlatformFileHandle file) { return fsync(static_cast<int>(file)) == 0 ? 1 : 0; }

void platformCloseFile(PlatformFileHandle file) {
    if (file == kInvalidFileHandle) return;
    openFiles().erase(static_cast<int>(file));
    ::close(static_cast<int>(file));  // also releases the advisory lock
}

PlatformMappingHandle platformCreateMapping(PlatformFileHandle file) {
    struct stat info;
    if (fstat(static_cast<int>(file), &info) != 0 || info.st_size <= 0) return 0;
    Mapping* mapping = new Mapping{static_cast<int>(file), static_cast<size_t>(info.st_size)};
    return reinterpret_cast<PlatformMappingHandle>(mapping);
}

const void* platformMapView(PlatformMappingHandle handle) {
    Mapping* mapping = reinterpret_cast<Mapping*>(handle);
    if (!mapping) return nullptr;
    void* view = mmap(nullptr, mapping->length, PROT_READ, MAP_PRIVATE, mapping->fd, 0);
    return view == MAP_FAILED ? nullptr : view;
}

int32_t platformMappingSize(PlatformMappingHandle handle) {
    Mapping* mapping = reinterpret_cast<Mapping*>(handle);
    if (!mapping) return 0;
    return mapping->length > size_t(INT32_MAX) ? INT32_MAX : static_cast<int32_t>(mapping->length);
}

void platformUnmapView(PlatformMappingHandle handle, const void* view) {
    Mapping* mapping = reinterpret_cast<Mapping*>(handle);
    if (mapping && view) munmap(const_cast<void*>(view), mapping->length);
}

void platformCloseMapping(PlatformMappingHandle handle) { delete reinterpret_cast<Mapping*>(handle); }

std::vector<std::string> platformListArchives() {
    std::vector<std::string> names;
    DIR* directory = opendir(".");
    if (!directory) return names;
    while (struct dirent* entry = readdir(directory)) {
        size_t length = std::strlen(entry->d_name);
        if (length < 4 || strcasecmp(entry->d_name + length - 4, ".lcc") != 0) continue;
        struct stat info;
        if (stat(entry->d_name, &info) != 0 || !S_ISREG(info.st_mode)) continue;
        names.emplace_back(entry->d_name);
    }
    closedir(directory);
    // The order of the directory listing is the system's; sort so that every
    // run mounts in the same order (letter case aside, as the original did).
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        int order = strcasecmp(a.c_str(), b.c_str());
        return order != 0 ? order < 0 : a < b;
    });
    return names;
}
