// openFile and the process-wide file system.
#include "lib/file_system.h"

#include <cstdlib>
#include <cstring>

#include "lib/archive_file_system.h"
#include "lib/stream.h"
#include "platform/files.h"

namespace {

ArchiveFileSystem* theFileSystem = nullptr;

constexpr size_t kNameCapacity = 256;

bool isResourceName(const char* name) {
    static const char prefix[] = "res:";
    for (int i = 0; i < 4; ++i) {
        char c = name[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[i]) return false;
    }
    return true;
}

}  // namespace

ArchiveFileSystem* archiveFileSystem() { return theFileSystem; }

// Before the archives are mounted, names can still be found on disk.
static ArchiveFileSystem* lookupFileSystem() {
    static ArchiveFileSystem diskOnly;
    return theFileSystem ? theFileSystem : &diskOnly;
}

void mountArchives() {
    delete theFileSystem;
    theFileSystem = new ArchiveFileSystem();
    for (const std::string& name : platformListArchives()) {
        theFileSystem->mount(new MappedFileStream(name.c_str()), 1, 1);
    }
    theFileSystem->finishMount();
}

Stream* openFile(const char* name, int32_t* sizeOut, int32_t mode) { return openFileEx(name, sizeOut, mode, nullptr); }

Stream* openFileEx(const char* name, int32_t* sizeOut, int32_t mode, int32_t* compressedOut) {
    if (compressedOut) *compressedOut = 0;
    if (!name) return nullptr;
    char working[kNameCapacity];
    // The working name is an empty prefix and the name, cut to 255 characters.
    size_t nameLength = 0;
    while (nameLength < kNameCapacity - 1 && name[nameLength]) ++nameLength;
    std::memcpy(working, name, nameLength);
    working[nameLength] = 0;

    if (mode != 0 && mode != 1) {
        FileStream* file = new FileStream();
        if (file->open(working, 0)) {
            if (sizeOut) *sizeOut = file->size();
            return file;
        }
        delete file;
        return nullptr;
    }

    const char* next = working;
    while (next) {
        const char* bar = std::strchr(next, '|');
        size_t length = bar ? static_cast<size_t>(bar - next) : std::strlen(next);
        char alternative[kNameCapacity];
        std::memcpy(alternative, next, length);
        alternative[length] = 0;
        next = bar ? bar + 1 : nullptr;

        if (isResourceName(alternative)) {
            MemoryStream* resource = new MemoryStream();
            if (resource->openResource(static_cast<int32_t>(std::strtol(alternative + 4, nullptr, 10)))) {
                if (sizeOut) *sizeOut = resource->size();
                return resource;
            }
            delete resource;
            continue;
        }
        ArchiveFileSystem* fileSystem = lookupFileSystem();
        if (fileSystem->find(alternative, mode == 1)) {
            if (sizeOut) *sizeOut = fileSystem->size();
            if (compressedOut) *compressedOut = fileSystem->currentUnpacked();
            return fileSystem->takeCurrent();
        }
    }
    return nullptr;
}
