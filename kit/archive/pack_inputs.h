#pragma once
// Turns the PATH arguments of `velkit pack` into archive members.
#include <string>
#include <vector>

#include "kit/archive/lcc_writer.h"

// Every regular file named by `paths` (directories are walked, their files in
// name order), read into a member named by its path relative to `root` with
// '/' separators. Throws std::runtime_error for a missing path, a file outside
// the root, an unreadable file or two members whose names differ only in case.
// The file `output` (the archive being written) is never packed into itself.
std::vector<LccMember> collectPackInputs(const std::vector<std::string>& paths, const std::string& root,
                                         const std::string& output);
