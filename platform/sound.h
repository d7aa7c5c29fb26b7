#pragma once
// Sound output as the music player sees it: a device, a primary buffer and a
// looping stream buffer with a play cursor. The stream buffer is a ring that
// the device plays over and over; the writer locks the part that has just been
// played (one region, or two when it wraps) and fills it.
#include <cstdint>

// The one output format: 16-bit stereo PCM at 44100 Hz.
struct SoundFormat {
    uint16_t formatTag;        // 1: PCM
    uint16_t channels;         // 2
    uint32_t samplesPerSecond; // 44100
    uint32_t bytesPerSecond;   // 176400
    uint16_t blockAlign;       // 4
    uint16_t bitsPerSample;    // 16
};

const SoundFormat kSoundOutputFormat = {1, 2, 44100, 176400, 4, 16};

enum SoundResult {
    SoundOk = 0,
    SoundFailed = 1,
    SoundBufferLost = 2, // the output was taken away; restore() and try again
};

// lock() flag: lock the whole buffer, whatever offset and byte count say.
const uint32_t kSoundLockEntireBuffer = 1;

class SoundBuffer {
public:
    virtual ~SoundBuffer();
    // Offset of the byte now playing (stream buffers; primary buffers fail).
    virtual SoundResult getCurrentPosition(uint32_t* playCursor) = 0;
    // Hands out [offset, offset + bytes) of the ring as one region, or two when
    // it wraps past the end (region2 null, length2 0 otherwise).
    virtual SoundResult lock(uint32_t offset, uint32_t bytes, void** region1, uint32_t* length1,
                             void** region2, uint32_t* length2, uint32_t flags) = 0;
    // Commits what was written into the regions of the last lock.
    virtual SoundResult unlock(void* region1, uint32_t length1, void* region2, uint32_t length2) = 0;
    // Starts playing, looping over the ring.
    virtual SoundResult play() = 0;
    // Brings back a lost buffer (its contents are undefined afterwards).
    virtual SoundResult restore() = 0;
    // Primary buffers: the format the device mixes in.
    virtual SoundResult setFormat(const SoundFormat& format) = 0;
};

// The primary buffer of an output that plays the stream buffer's own format:
// it has no cursor and no data, takes any format and always plays.
class PassivePrimaryBuffer : public SoundBuffer {
public:
    SoundResult getCurrentPosition(uint32_t* playCursor) override;
    SoundResult lock(uint32_t offset, uint32_t bytes, void** region1, uint32_t* length1,
                     void** region2, uint32_t* length2, uint32_t flags) override;
    SoundResult unlock(void* region1, uint32_t length1, void* region2, uint32_t length2) override;
    SoundResult play() override;
    SoundResult restore() override;
    SoundResult setFormat(const SoundFormat& format) override;
};

class SoundDevice {
public:
    virtual ~SoundDevice();
    // window: the program's window (or null); the device plays for it.
    virtual SoundResult setCooperativeLevel(void* window) = 0;
    // Null on failure. The caller deletes the buffers before the device.
    virtual SoundBuffer* createPrimaryBuffer() = 0;
    virtual SoundBuffer* createStreamBuffer(uint32_t bytes, const SoundFormat& format) = 0;
};

// The default output device of the machine; null when there is none.
// The caller deletes it.
SoundDevice* platformOpenSoundDevice();
