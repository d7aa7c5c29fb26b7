#pragma once
// Opens one archive file for inspection with the player's own mounting code.
#include <memory>
#include <string>

#include "lib/archive_file_system.h"

// The archive at `path` mounted alone (members in directory order), or null
// when it cannot be opened or is not a valid archive; `error` says which.
std::unique_ptr<ArchiveFileSystem> openArchiveFile(const std::string& path, std::string* error);
