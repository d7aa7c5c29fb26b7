#pragma once
// Shared pieces of the fuzz harnesses.
//
// The fatal report ends the player with exit code 666. In the harnesses the
// link wraps platformExitProcess and platformMessageBox (see CMakeLists.txt):
// the exit becomes a FatalExit exception that unwinds back to the harness, so
// reaching the report is an expected outcome instead of the end of the run.
#include <cstddef>
#include <cstdint>
#include <string>

struct FatalExit {
    int code;
};

// Heap blocks (heapAlloc) made since the last call stay on record until
// freed; releaseRecordedBlocks frees those still held. After a fatal report
// the player's process ends and takes its heap with it; a harness whose body
// keeps no block beyond the report uses this to stand in for that end.
void recordHeapBlocks(bool on);
void releaseRecordedBlocks();

// Runs `body`; true when it returned, false when it reached the fatal report
// (which must have used exit code 666, or the harness aborts).
template <typename Body>
bool runUntilFatal(Body body) {
    try {
        body();
        return true;
    } catch (const FatalExit& exit) {
        if (exit.code != 666) __builtin_trap();
        return false;
    }
}

// The message of the last fatal report, empty when none was made.
const std::string& lastFatalMessage();

// Moves the process into a fresh scratch directory (once); files the
// harnesses write go there.
void enterScratchDirectory();

// An unpacked size as the harnesses take it from their input: four bytes,
// little-endian, folded into 0 .. 1 MiB.
int32_t claimedSize(const uint8_t* bytes);

// Writes `size` bytes to `name` in the current directory.
void writeScratchFile(const char* name, const uint8_t* data, size_t size);

// Reads every byte of the stream in irregular pieces and returns a checksum,
// so each byte handed out is looked at.
class Stream;
uint32_t drainStream(Stream* stream);
