// The music output: a looping ring refilled behind the play cursor. Data
// written now is heard one ring length later, so `written` starts at minus the
// ring's size and equals the music bytes played at the moment of each refill.
#include "audio/stream_player.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

#include "audio/silent_output.h"

namespace {

int16_t sample_to_pcm16(float sample, float scale) {
    // Nearest value, ties to even; kept short of full scale.
    double value = std::nearbyint(double(sample) * double(scale));
    if (!(value > -32600.0)) return sample == sample ? -32600 : 0;
    if (value > 32600.0) return 32600;
    return int16_t(value);
}

} // namespace

void to_pcm16(const float* block, float scale, void* region1, uint32_t length1, void* region2,
              uint32_t length2) {
    size_t next = 0;
    if (region1) {
        int16_t* out = static_cast<int16_t*>(region1);
        for (uint32_t i = 0; i < length1 / 2; ++i) out[i] = sample_to_pcm16(block[next++], scale);
    }
    if (region2) {
        int16_t* out = static_cast<int16_t*>(region2);
        for (uint32_t i = 0; i < length2 / 2; ++i) out[i] = sample_to_pcm16(block[next++], scale);
    }
}

StreamPlayer::StreamPlayer() { reset(); }

StreamPlayer::~StreamPlayer() {
    // The thread runs on this object: it must have ended before it goes.
    do close();
    while (thread);
}

void StreamPlayer::reset() {
    buffer = nullptr;
    primary = nullptr;
    device = nullptr;
    render = nullptr;
    render_context = nullptr;
    scale = 0.0f;
    stop = 0;
    thread = nullptr;
    region1 = nullptr;
    length1 = 0;
    region2 = nullptr;
    length2 = 0;
    cursor = 0;
    last_write = 0;
    wake_event = nullptr;
    lock = nullptr;
    query_cursor = 0;
    written = 0;
    reported = 0;
    std::memset(&format, 0, sizeof format);
    std::memset(block, 0, sizeof block);
}

uint32_t StreamPlayer::open(RenderCallback renderCallback, void* context, void* window,
                            SoundDevice* soundDevice, bool startThread) {
    close();
    // A refill thread that has not ended still owns this player.
    if (thread) {
        delete soundDevice;
        return 0;
    }
    reset();
    render = renderCallback;
    render_context = context;
    device = soundDevice;
    if (!device || device->setCooperativeLevel(window) != SoundOk) {
        close();
        return 0;
    }
    primary = device->createPrimaryBuffer();
    if (primary) buffer = device->createStreamBuffer(kPlayerBufferBytes, kSoundOutputFormat);
    if (!primary || !buffer) {
        close();
        return 0;
    }
    format = kSoundOutputFormat;
    primary->setFormat(format);

    void* part1 = nullptr;
    void* part2 = nullptr;
    uint32_t bytes1 = 0, bytes2 = 0;
    if (buffer->lock(0, 0, &part1, &bytes1, &part2, &bytes2, kSoundLockEntireBuffer) != SoundOk) {
        close();
        return 0;
    }
    if (part1) std::memset(part1, 0, bytes1);
    if (part2) std::memset(part2, 0, bytes2);
    if (buffer->unlock(part1, bytes1, part2, bytes2) != SoundOk) {
        close();
        return 0;
    }
    written = -int32_t(kPlayerBufferBytes);
    reported = -int32_t(kPlayerBufferBytes);

    wake_event = platformCreateEvent();
    lock = platformCreateLock();
    if (!wake_event || !lock || buffer->play() != SoundOk) {
        close();
        return 0;
    }
    scale = 32768.0f;
    if (startThread) {
        thread = platformStartThread(&StreamPlayer::thread_main, this);
        if (!thread) {
            close();
            return 0;
        }
    }
    return 0xFFFFFFFFu;
}

void StreamPlayer::close() {
    stop = 1;
    if (wake_event) platformSetEvent(wake_event);
    if (thread) {
        // A thread that has not ended may still be inside a refill: all it
        // uses stays as it is, and stop stays set, until it has ended.
        if (!platformWaitThread(thread, 1000)) return;
        platformReleaseThread(thread);
        thread = nullptr;
    }
    if (wake_event) platformDestroyEvent(wake_event);
    wake_event = nullptr;
    if (lock) platformDestroyLock(lock);
    lock = nullptr;
    delete buffer;
    buffer = nullptr;
    delete primary;
    primary = nullptr;
    delete device;
    device = nullptr;
}

void StreamPlayer::thread_main(void* context) {
    StreamPlayer* player = static_cast<StreamPlayer*>(context);
    while (!player->stop) {
        platformWaitEvent(player->wake_event, kPlayerWakeMilliseconds);
        if (player->stop) break;
        player->refill();
    }
}

void StreamPlayer::refill() {
    if (!buffer || !lock) return;
    region1 = nullptr;
    region2 = nullptr;
    length1 = 0;
    length2 = 0;
    platformEnterLock(lock);
    bool locked = false;
    uint32_t count = 0;
    // A lost buffer is restored and the refill tried again; the bytes already
    // counted stay counted, as the ring went on playing meanwhile.
    for (int attempt = 0; attempt < 4; ++attempt) {
        SoundResult result = buffer->getCurrentPosition(&cursor);
        if (result == SoundBufferLost) {
            buffer->restore();
            result = buffer->getCurrentPosition(&cursor);
        }
        if (result != SoundOk) break;
        uint32_t target = (cursor % kPlayerBufferBytes) & ~(kPlayerStepBytes - 1);
        if (target == last_write) break;
        count = target >= last_write ? target - last_write : target + kPlayerBufferBytes - last_write;
        written += int32_t(count);
        SoundResult lockResult =
            buffer->lock(last_write, count, &region1, &length1, &region2, &length2, 0);
        last_write = target;
        if (lockResult == SoundBufferLost) {
            region1 = region2 = nullptr;
            length1 = length2 = 0;
            count = 0;
            buffer->restore();
            continue;
        }
        if (lockResult != SoundOk) {
            // The music is consumed all the same, so it stays in step with the clock.
            region1 = region2 = nullptr;
            length1 = length2 = 0;
        } else {
            locked = true;
        }
        break;
    }
    if (count > 0) {
        int32_t frames = int32_t(count / 4);
        if (render) render(render_context, block, frames);
        if (locked) {
            // Never more than the block holds, whatever the buffer handed out.
            uint32_t limit = count;
            if (length1 > limit) length1 = limit;
            if (length2 > limit - length1) length2 = limit - length1;
            to_pcm16(block, scale, region1, length1, region2, length2);
            buffer->unlock(region1, length1, region2, length2);
        }
    }
    platformLeaveLock(lock);
}

int32_t StreamPlayer::position() {
    if (!buffer || !lock) return reported;
    platformEnterLock(lock);
    if (buffer->getCurrentPosition(&query_cursor) == SoundOk) {
        int32_t distance = int32_t(query_cursor % kPlayerBufferBytes) - int32_t(last_write);
        if (distance < 0) distance += int32_t(kPlayerBufferBytes);
        // Farther than this, the refill thread is late or the cursor lapped the
        // write position: repeat the last answer rather than jump. A thread so
        // late that the cursor went a whole ring length past the write position
        // makes the distance look small again; the clock never goes back.
        if (distance < int32_t(kPlayerLateBytes) && written + distance > reported)
            reported = written + distance;
    }
    int32_t result = reported;
    platformLeaveLock(lock);
    return result;
}

void StreamPlayer::wake() {
    if (wake_event) platformSetEvent(wake_event);
}

namespace {

// The one global player. It lives until the process ends and is never
// destroyed: the refill thread and the device go with the process.
StreamPlayer& the_player() {
    alignas(StreamPlayer) static unsigned char storage[sizeof(StreamPlayer)];
    static StreamPlayer* player = new (storage) StreamPlayer;
    return *player;
}

} // namespace

uint32_t player_open(RenderCallback render, void* context, void* window) {
    StreamPlayer& player = the_player();
    if (player.open(render, context, window, platformOpenSoundDevice(), true)) return 0xFFFFFFFFu;
    // Without a sound output the show still plays, in silence, on a clock
    // that runs as the output would have.
    std::fprintf(stderr, "no sound output: the show plays in silence\n");
    std::fflush(stderr);
    return player.open(render, context, window, create_silent_output(), true);
}

void player_close() { the_player().close(); }

int32_t player_position() { return the_player().position(); }

void player_wake() { the_player().wake(); }
