// Name resolution from arbitrary strings: alternatives split at '|', "res:"
// names, backslashes, case, "DATA/" for base names and names longer than the
// resolver's buffers, over a scratch directory that holds a small mounted
// archive ("names.lcc") and a few loose files (prepared by the fuzz run, see
// scripts/fuzz.sh). The first input byte picks the lookup mode.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz_support.h"
#include "lib/file_system.h"
#include "lib/stream.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const char* root = std::getenv("VEL_FUZZ_NAMES_ROOT");
    if (root && chdir(root) != 0) std::abort();
    mountArchives();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > 4096) return 0;
    std::string name(reinterpret_cast<const char*>(data + 1), size - 1);
    name = name.c_str();  // up to the first zero, as a C string
    // Names that leave the scratch directory could reach the machine's
    // devices (a terminal, a pipe), which the player never names.
    if (!name.empty() && (name[0] == '/' || name[0] == '\\')) return 0;
    if (name.find("..") != std::string::npos) return 0;
    const int32_t mode = data[0] % 3;
    runUntilFatal([&] {
        int32_t size = -1;
        int32_t compressed = -1;
        Stream* stream = openFileEx(name.c_str(), &size, mode, &compressed);
        if (!stream) return;
        if (size != stream->size()) std::abort();
        if (compressed != 0 && compressed != 1) std::abort();
        drainStream(stream);
        delete stream;
    });
    return 0;
}
