#pragma once
// The music output: one looping 16384-byte sound buffer refilled by a
// high-priority thread from a render callback, and the count of music bytes
// played, which is the show's clock.
#include <atomic>
#include <cstdint>

#include "platform/sound.h"
#include "platform/threads.h"

// Fills `frames` interleaved float stereo frames into block; returns frames.
typedef int32_t (*RenderCallback)(void* context, float* block, int32_t frames);

const uint32_t kPlayerBufferBytes = 16384;     // 4096 frames, about 93 ms
const uint32_t kPlayerBlockFrames = 4096;      // the most one refill asks for
const uint32_t kPlayerStepBytes = 32;          // refills come in 8-frame steps
const uint32_t kPlayerLateBytes = 4096;        // a refill this far behind is late
const uint32_t kPlayerWakeMilliseconds = 5;    // the longest the thread sleeps

// Converts float samples to 16 bits: the value nearest to sample x scale,
// limited to -32600..32600. Region 1 takes the first length1 / 2 samples of
// block, region 2 the next length2 / 2; a null region takes nothing.
void to_pcm16(const float* block, float scale, void* region1, uint32_t length1, void* region2,
              uint32_t length2);

// One player. The program uses the global one through the player_* functions;
// tests run their own over a virtual device and drive refills by hand.
class StreamPlayer {
public:
    StreamPlayer();
    ~StreamPlayer();

    // Opens the output on `device` (the player owns it from here on, also on
    // failure), clears the ring, starts it looping and, when startThread is
    // set, starts the refill thread. All bits set on success, 0 on failure.
    uint32_t open(RenderCallback render, void* context, void* window, SoundDevice* device,
                  bool startThread);
    // Stops the thread and releases the output. A thread that does not end
    // within 1000 ms keeps everything it uses; a later close() or open()
    // waits for it again, and open() fails while it runs.
    void close();
    // Music bytes played: negative during the first 16384 bytes.
    int32_t position();
    // Lets the refill thread run now instead of at its next time-out.
    void wake();
    // One refill: writes the part of the ring played since the last refill.
    void refill();
    // The refill thread's body: refills until close() asks it to stop.
    static void thread_main(void* player);

    // Read-only views for tests and diagnostics.
    int32_t written_bytes() const { return written; }
    int32_t reported_position() const { return reported; }
    uint32_t last_write_offset() const { return last_write; }

private:
    void reset();

    SoundBuffer* buffer;
    SoundBuffer* primary;
    SoundDevice* device;
    RenderCallback render;
    void* render_context;
    float scale;
    std::atomic<int32_t> stop;
    PlatformThread* thread;
    void* region1;
    uint32_t length1;
    void* region2;
    uint32_t length2;
    uint32_t cursor;
    uint32_t last_write;
    PlatformEvent* wake_event;
    PlatformLock* lock;
    uint32_t query_cursor;
    int32_t written;
    int32_t reported;
    SoundFormat format;
    float block[kPlayerBlockFrames * 2];
};

// The global player over the machine's default sound device. Where that
// cannot be opened, it says so on stderr and runs on a silent output whose
// clock advances as the device's would have.
uint32_t player_open(RenderCallback render, void* context, void* window);
void player_close();
int32_t player_position();
void player_wake();
