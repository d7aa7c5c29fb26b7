#include "fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <unordered_set>

#include "lib/stream.h"

namespace {
std::string fatalMessage;
bool recording = false;
std::unordered_set<void*>& recordedBlocks() {
    static std::unordered_set<void*> blocks;
    return blocks;
}
}  // namespace

// heapAlloc and heapFree, wrapped by the link like the two below.
extern "C" void* __real__Z9heapAllocm(size_t bytes);
extern "C" void __real__Z8heapFreePv(void* block);

extern "C" void* __wrap__Z9heapAllocm(size_t bytes) {
    void* block = __real__Z9heapAllocm(bytes);
    if (recording && block) recordedBlocks().insert(block);
    return block;
}

extern "C" void __wrap__Z8heapFreePv(void* block) {
    recordedBlocks().erase(block);
    __real__Z8heapFreePv(block);
}

void recordHeapBlocks(bool on) {
    recording = on;
    recordedBlocks().clear();
}

void releaseRecordedBlocks() {
    std::unordered_set<void*> held;
    held.swap(recordedBlocks());
    for (void* block : held) __real__Z8heapFreePv(block);
}

const std::string& lastFatalMessage() { return fatalMessage; }

// Replacements the link puts in place of platformMessageBox and
// platformExitProcess (ld --wrap on their mangled names).
extern "C" void __wrap__Z18platformMessageBoxPKcS0_i(const char* text, const char* caption, int) {
    fatalMessage = std::string(caption ? caption : "") + ": " + (text ? text : "");
}

extern "C" [[noreturn]] void __wrap__Z19platformExitProcessi(int code) { throw FatalExit{code}; }

void enterScratchDirectory() {
    static bool entered = false;
    if (entered) return;
    char pattern[] = "/tmp/velandora-fuzz-XXXXXX";
    if (!mkdtemp(pattern) || chdir(pattern) != 0) {
        std::perror("fuzz: scratch directory");
        std::abort();
    }
    entered = true;
}

int32_t claimedSize(const uint8_t* bytes) {
    const uint32_t value =
        uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
    return int32_t(value % ((1u << 20) + 1));
}

void writeScratchFile(const char* name, const uint8_t* data, size_t size) {
    FILE* file = std::fopen(name, "wb");
    if (!file) {
        std::perror(name);
        std::abort();
    }
    if (size && std::fwrite(data, 1, size, file) != size) std::abort();
    std::fclose(file);
}

uint32_t drainStream(Stream* stream) {
    uint32_t sum = 0;
    int32_t size = stream->size();
    if (size < 0) std::abort();
    uint8_t buffer[4099];
    int32_t piece = 1;
    int32_t total = 0;
    for (;;) {
        int32_t got = stream->read(buffer, piece);
        if (got < 0 || got > piece) std::abort();
        if (got == 0) break;
        for (int32_t i = 0; i < got; ++i) sum = sum * 31 + buffer[i];
        total += got;
        if (total > size) std::abort();  // more bytes than the stream's size
        piece = piece * 7 % 4099 + 1;
    }
    if (stream->seek(0) == 0 && size >= 4) sum += stream->readU32() + stream->readU16();
    stream->seekFromEnd(0);
    if (!stream->atEnd() && size > 0) sum ^= 1;
    return sum;
}
