#include "kit/archive/archive_reader.h"

#include <sys/stat.h>

std::unique_ptr<ArchiveFileSystem> openArchiveFile(const std::string& path, std::string* error) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        *error = "cannot open " + path;
        return nullptr;
    }
    MappedFileStream* stream = new MappedFileStream();
    if (!stream->openMapped(path.c_str())) {
        delete stream;
        *error = "cannot open " + path + " (missing, or in use by another program)";
        return nullptr;
    }
    auto fileSystem = std::make_unique<ArchiveFileSystem>();
    if (!fileSystem->mount(stream, 1, 1)) {
        *error = "not a valid archive: " + path;
        return nullptr;
    }
    return fileSystem;
}
