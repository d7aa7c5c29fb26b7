// velkit ls: lists the members of an archive.
#include <cstdio>
#include <string>

#include "kit/archive/archive_reader.h"
#include "kit/archive/lcc_writer.h"
#include "kit/command.h"

namespace {

int run_ls(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "velkit: ls: usage: velkit ls ARCHIVE\n");
        return 1;
    }
    std::string error;
    auto archive = openArchiveFile(argv[1], &error);
    if (!archive) {
        std::fprintf(stderr, "velkit: ls: %s\n", error.c_str());
        return 1;
    }
    for (const EntryRecord* entry : archive->entries()) {
        std::printf("%-6s %10u %10u %s\n", lccMethodName(entry->method).c_str(), entry->packedSize,
                    entry->unpackedSize, entry->name);
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace

VELKIT_COMMAND(ls, "ls ARCHIVE", "lists an archive's members: method, packed size, unpacked size, name", run_ls);
