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

#include <vorbis/vorbisenc.h>

#include "audio/loop_mixer.h"
#include "audio/music_stream.h"
#include "audio/stream_player.h"

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

std::vector<unsigned char> encode_track() {
    std::vector<unsigned char> out;
    vorbis_info info;
    vorbis_info_init(&info);
    vorbis_encode_init_vbr(&info, 2, kRate, 0.6f);
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    vorbis_dsp_state dsp;
    vorbis_block block;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block_init(&dsp, &block);
    ogg_stream_state stream;
    ogg_stream_init(&stream, 7);
    ogg_page page;
    auto append = [&out](const ogg_page& p) {
        out.insert(out.end(), p.header, p.header + p.header_len);
        out.insert(out.end(), p.body, p.body + p.body_len);
    };
    ogg_packet a, b, c;
    vorbis_analysis_headerout(&dsp, &comment, &a, &b, &c);
    ogg_stream_packetin(&stream, &a);
    ogg_stream_packetin(&stream, &b);
    ogg_stream_packetin(&stream, &c);
    while (ogg_stream_flush(&stream, &page)) append(page);
    const int total = kTrackSeconds * kRate;
    for (int done = 0; done <= total;) {
        int n = std::min(4096, total - done);
        if (n > 0) {
            float** buffer = vorbis_analysis_buffer(&dsp, n);
            for (int ch = 0; ch < 2; ++ch)
                for (int i = 0; i < n; ++i) buffer[ch][i] = track_sample(ch, done + i);
            vorbis_analysis_wrote(&dsp, n);
            done += n;
        } else {
            vorbis_analysis_wrote(&dsp, 0);
            done += 1;
        }
        while (vorbis_analysis_blockout(&dsp, &block) == 1) {
            vorbis_analysis(&block, nullptr);
            vorbis_bitrate_addblock(&block);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&dsp, &packet)) {
                ogg_stream_packetin(&stream, &packet);
                while (ogg_stream_pageout(&stream, &page)) append(page);
            }
        }
    }
    while (ogg_stream_flush(&stream, &page)) append(page);
    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    return out;
}

void put32(std::vector<unsigned char>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

std::vector<unsigned char> loop_wav(double hz) {
    std::vector<unsigned char> out;
    const uint32_t frames = 11025;
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    put32(out, 36 + frames * 4);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put32(out, 16);
    put32(out, 1 | 2 << 16);
    put32(out, kRate);
    put32(out, kRate * 4);
    put32(out, 4 | 16 << 16);
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    put32(out, frames * 4);
    for (uint32_t i = 0; i < frames; ++i) {
        int16_t v = int16_t(12000 * std::sin(6.283185307 * hz * i / kRate));
        put32(out, uint16_t(v) | uint32_t(uint16_t(v)) << 16);
    }
    return out;
}

void write(const std::string& name, const std::vector<unsigned char>& bytes) {
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
