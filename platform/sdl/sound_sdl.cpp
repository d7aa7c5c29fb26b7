// The looping stream buffer over SDL audio. SDL's callback plays the ring from
// the play cursor in small periods and advances it; between two callbacks the
// cursor is interpolated by the clock, so it moves finely. Writers fill a
// staging copy of the ring, which unlock() copies in while the callback is held
// off, so the callback never sees half-written data.
#include "platform/sound.h"

#include <SDL.h>

#include <cstring>
#include <new>

namespace {

const int kCallbackFrames = 512;

class SdlStreamBuffer : public SoundBuffer {
public:
    SdlStreamBuffer(uint32_t bytes, const SoundFormat& format)
        : ring(nullptr), staging(nullptr), size(bytes), format(format), device(0), playing(false),
          consumed(0), chunkStart(0), chunkBytes(0), chunkCounter(0) {}

    ~SdlStreamBuffer() override {
        if (device) SDL_CloseAudioDevice(device);
        delete[] ring;
        delete[] staging;
    }

    bool create() {
        ring = new (std::nothrow) uint8_t[size];
        staging = new (std::nothrow) uint8_t[size];
        if (!ring || !staging) return false;
        std::memset(ring, 0, size);
        std::memset(staging, 0, size);
        return openDevice();
    }

    SoundResult getCurrentPosition(uint32_t* playCursor) override {
        if (!device || SDL_GetAudioDeviceStatus(device) == SDL_AUDIO_STOPPED) return SoundBufferLost;
        SDL_LockAudioDevice(device);
        uint32_t start = chunkStart, bytes = chunkBytes;
        uint64_t counter = chunkCounter;
        SDL_UnlockAudioDevice(device);
        uint32_t moved = 0;
        if (bytes > 0) {
            double seconds = double(SDL_GetPerformanceCounter() - counter) /
                             double(SDL_GetPerformanceFrequency());
            double played = seconds * format.bytesPerSecond;
            moved = played >= bytes ? bytes : uint32_t(played);
            moved -= moved % format.blockAlign;
        }
        if (playCursor) *playCursor = (start + moved) % size;
        return SoundOk;
    }

    SoundResult lock(uint32_t offset, uint32_t bytes, void** region1, uint32_t* length1,
                     void** region2, uint32_t* length2, uint32_t flags) override {
        if (flags & kSoundLockEntireBuffer) {
            offset = 0;
            bytes = size;
        }
        if (offset >= size || bytes == 0 || bytes > size || !region1 || !length1) return SoundFailed;
        uint32_t first = size - offset < bytes ? size - offset : bytes;
        *region1 = staging + offset;
        *length1 = first;
        if (region2) *region2 = bytes > first ? staging : nullptr;
        if (length2) *length2 = bytes - first;
        if (bytes > first && !region2) return SoundFailed;
        return SoundOk;
    }

    SoundResult unlock(void* region1, uint32_t length1, void* region2, uint32_t length2) override {
        if (!device) return SoundBufferLost;
        SDL_LockAudioDevice(device);
        bool ok = commit(region1, length1) && commit(region2, length2);
        SDL_UnlockAudioDevice(device);
        return ok ? SoundOk : SoundFailed;
    }

    SoundResult play() override {
        if (!device) return SoundBufferLost;
        SDL_LockAudioDevice(device);
        playing = true;
        SDL_UnlockAudioDevice(device);
        SDL_PauseAudioDevice(device, 0);
        return SoundOk;
    }

    SoundResult restore() override {
        // The device went away (unplugged, or the sound server restarted):
        // reopen the default output and carry on from where the cursor was.
        if (device) SDL_CloseAudioDevice(device);
        device = 0;
        if (!openDevice()) return SoundBufferLost;
        if (playing) SDL_PauseAudioDevice(device, 0);
        return SoundOk;
    }

    SoundResult setFormat(const SoundFormat&) override { return SoundFailed; }

private:
    bool openDevice() {
        SDL_AudioSpec want;
        SDL_zero(want);
        want.freq = int(format.samplesPerSecond);
        want.format = AUDIO_S16LSB;
        want.channels = Uint8(format.channels);
        want.samples = kCallbackFrames;
        want.callback = &SdlStreamBuffer::callback;
        want.userdata = this;
        SDL_AudioSpec have;
        device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
        return device != 0;
    }

    bool commit(void* region, uint32_t length) {
        if (!region || length == 0) return true;
        uint8_t* bytes = static_cast<uint8_t*>(region);
        if (bytes < staging || bytes >= staging + size) return false;
        uint32_t offset = uint32_t(bytes - staging);
        if (length > size - offset) return false;
        std::memcpy(ring + offset, bytes, length);
        return true;
    }

    static void SDLCALL callback(void* userdata, Uint8* out, int length) {
        SdlStreamBuffer* self = static_cast<SdlStreamBuffer*>(userdata);
        if (!self->playing || length <= 0) {
            std::memset(out, 0, length > 0 ? size_t(length) : 0);
            return;
        }
        uint32_t start = self->consumed, left = uint32_t(length), at = start;
        while (left > 0) {
            uint32_t part = self->size - at < left ? self->size - at : left;
            std::memcpy(out, self->ring + at, part);
            out += part;
            left -= part;
            at = (at + part) % self->size;
        }
        self->chunkStart = start;
        self->chunkBytes = uint32_t(length) < self->size ? uint32_t(length) : self->size;
        self->chunkCounter = SDL_GetPerformanceCounter();
        self->consumed = at;
    }

    uint8_t* ring;
    uint8_t* staging;
    uint32_t size;
    SoundFormat format;
    SDL_AudioDeviceID device;
    // Shared with the callback; touched only with the device locked.
    bool playing;
    uint32_t consumed;
    uint32_t chunkStart;
    uint32_t chunkBytes;
    uint64_t chunkCounter;
};

class SdlSoundDevice : public SoundDevice {
public:
    ~SdlSoundDevice() override { SDL_QuitSubSystem(SDL_INIT_AUDIO); }

    SoundResult setCooperativeLevel(void*) override { return SoundOk; }

    SoundBuffer* createPrimaryBuffer() override { return new (std::nothrow) PassivePrimaryBuffer; }

    SoundBuffer* createStreamBuffer(uint32_t bytes, const SoundFormat& format) override {
        if (bytes == 0 || format.blockAlign == 0 || bytes % format.blockAlign != 0) return nullptr;
        if (format.formatTag != 1 || format.bitsPerSample != 16) return nullptr;
        SdlStreamBuffer* buffer = new (std::nothrow) SdlStreamBuffer(bytes, format);
        if (buffer && !buffer->create()) {
            delete buffer;
            return nullptr;
        }
        return buffer;
    }
};

} // namespace

SoundDevice* platformOpenSoundDevice() {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return nullptr;
    SoundDevice* device = new (std::nothrow) SdlSoundDevice;
    if (!device) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return device;
}
