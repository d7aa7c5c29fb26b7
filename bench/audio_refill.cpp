// One refill of the music output: decode 4096 frames of a real Ogg Vorbis
// track, mix two loops into them and convert to 16 bits. The refill produces
// 4096 / 44100 s = 92.9 ms of sound; "percent_of_playtime" is its cost as a
// share of that (it must stay well under 5).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>


#include "audio/loop_mixer.h"
#include "audio/music_stream.h"
#include "audio/stream_player.h"
#include "kit/demo/audio_buffer.h"

namespace {

const int kRate = 44100;
const int kTrackSeconds = 20;
const int32_t kRefillFrames = 4096;

// Something like music: a few voices with vibrato and a little noise, so the
// encoder spends bits across the spectrum.
float track_sample(int channel, int frame) {
    double t = double(frame) / kRate;
    double vibrato = 1.0 + 0.004 * std::sin(6.283185307 * 5.0 * t);
    double value = 0.20 * std::sin(6.283185307 * 220.0 * vibrato * t + channel) +
                   0.12 * std::sin(6.283185307 * 331.0 * t) + 0.08 * std::sin(6.283185307 * 1250.0 * t) +
                   0.05 * std::sin(6.283185307 * 5200.0 * t * vibrato);
    uint32_t noise = uint32_t(frame) * 2654435761u + uint32_t(channel) * 40503u;
    value += 0.02 * (double(noise >> 8) / double(1u << 24) - 0.5);
    return float(value);
}

std::vector<uint8_t> encode_track() {
    return encode_ogg_vorbis(2, kRate, size_t(kTrackSeconds) * kRate,
                             [](int channel, size_t frame) { return track_sample(channel, int(frame)); }, 0.6f,
                             nullptr);
}

// A quarter-second sine loop, the same on both channels.
std::vector<uint8_t> loop_wav(double hz) {
    StereoBuffer loop;
    loop.rate = kRate;
    loop.resize_frames(11025);
    for (size_t i = 0; i < loop.frames(); ++i)
        loop.samples[2 * i] = loop.samples[2 * i + 1] = float(0.37 * std::sin(6.283185307 * hz * double(i) / kRate));
    return encode_wav16(loop);
}

void write(const std::string& name, const std::vector<uint8_t>& bytes) {
    std::ofstream(name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                 std::streamsize(bytes.size()));
}

// Works in a scratch directory holding the track and the loops.
struct Files {
    std::string previous, directory;
    Files() {
        namespace fs = std::filesystem;
        previous = fs::current_path().string();
        directory = (fs::temp_directory_path() / "vel_bench_audio").string();
        fs::create_directories(directory);
        fs::current_path(directory);
        write("track.ogg", encode_track());
        write("idle.wav", loop_wav(300.0));
        write("active.wav", loop_wav(700.0));
    }
    ~Files() {
        std::filesystem::current_path(previous);
        std::error_code ignored;
        std::filesystem::remove_all(directory, ignored);
    }
};

double thread_cpu_seconds() {
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

void BM_AudioRefill(benchmark::State& state) {
    Files files;
    const int refills_per_track = kTrackSeconds * kRate / kRefillFrames - 1;
    std::vector<float> block(2 * kRefillFrames);
    std::vector<int16_t> ring(2 * kRefillFrames);
    MusicStream* music = nullptr;
    LoopMixer* mixer = nullptr;
    int used = refills_per_track;
    double busy = 0.0;
    for (auto _ : state) {
        if (used == refills_per_track) {
            // Start the track again before it ends, outside the measurement.
            state.PauseTiming();
            delete mixer;
            delete music;
            music = new MusicStream;
            music->open_music("track.ogg");
            mixer = new LoopMixer(music);
            music->mix_hook = &LoopMixer::mix_loops;
            music->mix_context = mixer;
            mixer->load_loop("idle.wav");
            mixer->load_loop("active.wav");
            mixer->set_target_volume(0, 0.15f);
            mixer->set_target_volume(1, 0.15f);
            music->playing = 1;
            used = 0;
            state.ResumeTiming();
        }
        double started = thread_cpu_seconds();
        MusicStream::render_music(music, block.data(), kRefillFrames);
        to_pcm16(block.data(), 32768.0f, ring.data(), 2 * kRefillFrames, ring.data() + kRefillFrames,
                 2 * kRefillFrames);
        benchmark::DoNotOptimize(ring.data());
        busy += thread_cpu_seconds() - started;
        ++used;
    }
    delete mixer;
    delete music;
    const double sound_seconds = double(kRefillFrames) / kRate;
    // Percent of the sound's duration spent producing it (CPU time of the thread).
    state.counters["percent_of_playtime"] =
        100.0 * busy / (double(state.iterations()) * sound_seconds);
}

} // namespace

BENCHMARK(BM_AudioRefill)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
