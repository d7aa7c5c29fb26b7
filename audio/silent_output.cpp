#include "audio/silent_output.h"

#include <chrono>
#include <cstring>
#include <new>

uint64_t silent_bytes_played(uint64_t nanoseconds, uint32_t bytes_per_second) {
    // Whole seconds and the rest apart: nanoseconds times 176400 alone would
    // overflow 64 bits after 29 hours, and a kiosk plays for weeks.
    const uint64_t seconds = nanoseconds / 1000000000u, rest = nanoseconds % 1000000000u;
    return seconds * bytes_per_second + rest * bytes_per_second / 1000000000u;
}

namespace {

using Clock = std::chrono::steady_clock;

// The ring is real memory, so writers fill it as they would a device's; the
// cursor is the bytes the clock says a device would have played since play().
class SilentStreamBuffer : public SoundBuffer {
public:
    SilentStreamBuffer(uint8_t* ring, uint32_t bytes, const SoundFormat& format)
        : ring(ring), size(bytes), format(format), playing(false) {}
    ~SilentStreamBuffer() override { delete[] ring; }

    SoundResult getCurrentPosition(uint32_t* playCursor) override {
        uint64_t played = 0;
        if (playing) {
            const auto elapsed = std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - started);
            // Whole frames only, as a device's cursor moves.
            played = silent_bytes_played(uint64_t(elapsed.count()), format.bytesPerSecond);
            played -= played % format.blockAlign;
        }
        if (playCursor) *playCursor = uint32_t(played % size);
        return SoundOk;
    }

    SoundResult lock(uint32_t offset, uint32_t bytes, void** region1, uint32_t* length1,
                     void** region2, uint32_t* length2, uint32_t flags) override {
        if (flags & kSoundLockEntireBuffer) {
            offset = 0;
            bytes = size;
        }
        if (offset >= size || bytes == 0 || bytes > size || !region1 || !length1) return SoundFailed;
        const uint32_t first = size - offset < bytes ? size - offset : bytes;
        if (bytes > first && !region2) return SoundFailed;
        *region1 = ring + offset;
        *length1 = first;
        if (region2) *region2 = bytes > first ? ring : nullptr;
        if (length2) *length2 = bytes - first;
        return SoundOk;
    }

    SoundResult unlock(void*, uint32_t, void*, uint32_t) override { return SoundOk; }

    SoundResult play() override {
        if (!playing) started = Clock::now();
        playing = true;
        return SoundOk;
    }

    SoundResult restore() override { return SoundOk; }
    SoundResult setFormat(const SoundFormat&) override { return SoundFailed; }

private:
    uint8_t* ring;
    uint32_t size;
    SoundFormat format;
    bool playing;
    Clock::time_point started;
};

class SilentDevice : public SoundDevice {
public:
    SoundResult setCooperativeLevel(void*) override { return SoundOk; }
    SoundBuffer* createPrimaryBuffer() override { return new (std::nothrow) PassivePrimaryBuffer; }
    SoundBuffer* createStreamBuffer(uint32_t bytes, const SoundFormat& format) override {
        if (bytes == 0 || format.blockAlign == 0 || format.bytesPerSecond == 0 ||
            bytes % format.blockAlign != 0)
            return nullptr;
        uint8_t* ring = new (std::nothrow) uint8_t[bytes];
        if (!ring) return nullptr;
        std::memset(ring, 0, bytes);
        SoundBuffer* buffer = new (std::nothrow) SilentStreamBuffer(ring, bytes, format);
        if (!buffer) delete[] ring;
        return buffer;
    }
};

}  // namespace

SoundDevice* create_silent_output() { return new (std::nothrow) SilentDevice; }
