// An archive from arbitrary bytes: mounted from memory (as mountArchives does
// with a mapped file) and from a stream read piecewise, then every member is
// looked up by name and opened and read, whatever its method. A damaged
// packed member reaches the fatal report (exit 666), which is an expected end.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "lib/archive_file_system.h"
#include "lib/stream.h"

namespace {

void readEveryMember(ArchiveFileSystem& fileSystem) {
    std::vector<EntryRecord*> entries = fileSystem.entries();
    for (EntryRecord* entry : entries) {
        runUntilFatal([&] {
            if (!fileSystem.openEntry(entry)) return;
            Stream* member = fileSystem.takeCurrent();
            if (!member) std::abort();
            drainStream(member);
            delete member;
        });
        if (!entry->name) continue;
        std::string name(entry->name, strnlen(entry->name, 512));
        runUntilFatal([&] {
            if (!fileSystem.find(name.c_str(), 1)) return;
            delete fileSystem.takeCurrent();
        });
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    // A copy of exactly the input's size, so a read past the archive's end is seen.
    std::vector<uint8_t> bytes(data, data + size);
    for (int32_t resident = 1; resident >= 0; --resident) {
        ArchiveFileSystem fileSystem;
        MemoryStream* stream = new MemoryStream(bytes.empty() ? nullptr : bytes.data(),
                                                static_cast<int32_t>(bytes.size()), 0);
        // A packed directory that does not unpack is the fatal report too.
        int32_t mounted = 0;
        if (!runUntilFatal([&] { mounted = fileSystem.mount(stream, 1, resident); }) || !mounted) continue;
        fileSystem.finishMount();
        readEveryMember(fileSystem);
    }
    return 0;
}
