// velkit cat: opens a name exactly as the player does and prints its bytes.
#include <cstdio>
#include <vector>

#include "kit/command.h"
#include "lib/file_system.h"
#include "lib/stream.h"

namespace {

int run_cat(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "velkit: cat: usage: velkit cat NAME\n");
        return 1;
    }
    mountArchives();
    Stream* stream = openFile(argv[1]);
    if (!stream) {
        std::fprintf(stderr, "velkit: not found: %s\n", argv[1]);
        return 1;
    }
    std::vector<char> buffer(65536);
    bool written = true;
    for (;;) {
        int32_t got = stream->read(buffer.data(), static_cast<int32_t>(buffer.size()));
        if (got <= 0) break;
        if (std::fwrite(buffer.data(), 1, static_cast<size_t>(got), stdout) != static_cast<size_t>(got)) {
            written = false;
            break;
        }
    }
    delete stream;
    if (!written || std::fflush(stdout) != 0) {
        std::fprintf(stderr, "velkit: cat: cannot write to standard output\n");
        return 1;
    }
    return 0;
}

}  // namespace

VELKIT_COMMAND(cat, "cat NAME", "opens NAME as the player would (disk, archives, res:N) and writes its bytes",
               run_cat);
