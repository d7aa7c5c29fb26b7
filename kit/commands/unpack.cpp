// velkit unpack: extracts every member of an archive below a directory.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "kit/archive/archive_reader.h"
#include "kit/archive/safe_extract.h"
#include "kit/command.h"

namespace {

int fail(const std::string& message) {
    std::fprintf(stderr, "velkit: unpack: %s\n", message.c_str());
    return 1;
}

int run_unpack(int argc, char** argv) {
    if (argc != 2 && argc != 3) return fail("usage: velkit unpack ARCHIVE [DIR]");
    std::string directory = argc == 3 ? argv[2] : ".";
    std::string error;
    auto archive = openArchiveFile(argv[1], &error);
    if (!archive) return fail(error);

    // Check every name before writing anything.
    std::vector<std::vector<std::string>> paths;
    for (const EntryRecord* entry : archive->entries()) {
        paths.push_back(safeMemberPath(entry->name, &error));
        if (paths.back().empty()) return fail(error);
    }
    std::error_code code;
    if (!std::filesystem::exists(directory, code)) {
        if (!std::filesystem::create_directory(directory, code) || code) return fail("cannot create " + directory);
    } else if (!std::filesystem::is_directory(directory, code)) {
        return fail(directory + " is not a directory");
    }

    const std::vector<EntryRecord*>& entries = archive->entries();
    for (size_t i = 0; i < entries.size(); ++i) {
        if (!archive->openEntry(entries[i])) return fail(std::string("damaged member ") + entries[i]->name);
        Stream* stream = archive->takeCurrent();
        MemoryStream* member = static_cast<MemoryStream*>(stream);
        bool written = writeBelow(directory, paths[i], member->data(), static_cast<size_t>(member->size()), &error);
        delete stream;
        if (!written) return fail(error);
    }
    return 0;
}

}  // namespace

VELKIT_COMMAND(unpack, "unpack ARCHIVE [DIR]", "extracts every member below DIR (default: here)", run_unpack);
