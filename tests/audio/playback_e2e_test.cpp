// End to end over SDL's disk audio driver: the program's audio calls play a
// generated track with a loop; the file written is checked sample by sample.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "audio/loop_mixer.h"
#include "audio/music_stream.h"
#include "audio/stream_player.h"
#include "test_files.h"

namespace {

const char* kTrack = "data/audio/velandora.ogg";
const char* kLoop = "data/audio/loop_idle.wav";
const int kTrackFrames = 22050;  // half a second

struct Show {
    MusicStream music;
    LoopMixer mixer{&music};
    Show() {
        music.open_music(kTrack);
        music.mix_hook = &LoopMixer::mix_loops;
        music.mix_context = &mixer;
        mixer.load_loop(kLoop);
        mixer.slots[0].target_volume = 0.15f;
    }
};

// What the output must hold: the same rendered off line in uneven blocks.
std::vector<int16_t> expected_output(size_t frames) {
    Show show;
    show.music.playing = 1;
    std::vector<int16_t> out(2 * frames);
    std::vector<float> block(2 * 4096);
    for (size_t done = 0; done < frames;) {
        int32_t n = int32_t(std::min<size_t>(777, frames - done));
        MusicStream::render_music(&show.music, block.data(), n);
        to_pcm16(block.data(), 32768.0f, &out[2 * done], uint32_t(4 * n), nullptr, 0);
        done += size_t(n);
    }
    return out;
}

// Plays as the main loop does until 0.15 s past the end of the track; the
// samples the disk driver wrote.
std::vector<int16_t> play(const std::string& output) {
    Show show;
    EXPECT_TRUE(show.music.start_music());
    const int32_t wanted = 4 * (kTrackFrames + 6615);
    int32_t previous = player_position();
    EXPECT_LT(previous, 0);
    for (int pass = 0; pass < 1000 && previous < wanted; ++pass) {
        player_wake();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        previous = player_position();
    }
    player_close();
    EXPECT_GE(previous, wanted);  // the clock runs on past the end of the track
    Bytes raw = read_file(output);
    std::vector<int16_t> written(raw.size() / 2);
    if (!written.empty()) std::memcpy(written.data(), raw.data(), written.size() * 2);
    return written;
}

TEST(PlaybackEndToEnd, TheDiskDriverReceivesTheMusicWithTheLoopWithoutGapsOrRepeats) {
    ScratchDirectory scratch;
    scratch.write(kTrack, make_vorbis(2, 44100, kTrackFrames, [](int channel, int frame) {
                      return channel == 0 ? float(0.4 * std::sin(6.283185307179586 * 440.0 * frame / 44100)) : 0.0f;
                  }));
    scratch.write(kLoop, make_wav(std::vector<int16_t>(2000, 20000)));
    std::string output = scratch.path() + "/output.raw";
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", output.c_str(), 1);

    // Rendered first: an open data file is not shared with a second opener.
    const std::vector<int16_t> expected = expected_output(size_t(kTrackFrames) + 4410);

    // A machine so loaded that the refill thread misses a whole ring (93 ms)
    // replays old sound, as any output would; such a run is played again.
    for (int attempt = 1;; ++attempt) {
        const std::vector<int16_t> written = play(output);
        // The music begins where a stretch well inside it is found, at a whole
        // frame, after at least a ring length of silence; then it all follows.
        const auto found = std::search(written.begin(), written.end(), expected.begin() + 4000, expected.begin() + 4512);
        const ptrdiff_t start = found - written.begin() - 4000;
        const bool found_whole = found != written.end() && start >= 16384 / 2 && start % 2 == 0 &&
                                 std::count(written.begin(), written.begin() + start, 0) == start &&
                                 written.size() >= size_t(start) + expected.size() &&
                                 std::equal(expected.begin(), expected.end(), written.begin() + start);
        if (found_whole) break;
        std::printf("playback attempt %d: the music was found at %td of %zu samples\n", attempt, start, written.size());
        ASSERT_LT(attempt, 2) << "the output is not silence followed by the music";
    }
}

}  // namespace
