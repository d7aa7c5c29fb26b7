// velkit export of the demo show (8 pictures, 50.5 s): the whole pipeline
// per container and size, and the player's drawing alone, the one stage that
// cannot be spread over threads (its GL context lives on one thread).
// Counters: show seconds made per second of wall time (x_real_time) and the
// processor seconds of all threads (cpu_s). The demo show is made once in a
// temporary directory, or taken from VEL_BENCH_DEMO_DIR.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/shell.h"
#include "kit/demo/demo_show.h"
#include "kit/export/export_clock.h"
#include "kit/export/offline_player.h"
#include "kit/export/show_export.h"

namespace {

const std::string& demo_directory() {
    static std::string directory = [] {
        if (const char* given = std::getenv("VEL_BENCH_DEMO_DIR")) return std::string(given);
        char pattern[] = "/tmp/vel_bench_export_XXXXXX";
        std::string made = mkdtemp(pattern) ? pattern : "/tmp";
        write_demo_show(made, DemoShowOptions());
        return made;
    }();
    return directory;
}

double cpu_seconds() {
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

void BM_Export(benchmark::State& state, const char* extension, int width, int height) {
    const std::string directory = demo_directory();
    if (chdir(directory.c_str()) != 0) {
        state.SkipWithError("no demo show");
        return;
    }
    ExportOptions options;
    options.output = directory + "/bench." + extension;
    options.width = width;
    options.height = height;
    double show = 0, wall = 0, cpu = 0;
    for (auto _ : state) {
        const double cpu_before = cpu_seconds();
        const ExportSummary summary = export_show(options);
        cpu += cpu_seconds() - cpu_before;
        show += summary.show_seconds;
        wall += summary.elapsed_seconds;
    }
    std::filesystem::remove(options.output);
    state.counters["x_real_time"] = show / wall;
    state.counters["cpu_s"] = cpu / double(state.iterations());
    state.counters["show_s"] = show / double(state.iterations());
}
BENCHMARK_CAPTURE(BM_Export, mp4_1024x768, "mp4", 1024, 768)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_Export, mp4_1920x1080, "mp4", 1920, 1080)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_Export, webm_1024x768, "webm", 1024, 768)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

// Every frame drawn and read back, and the sound made, with no encoding.
void BM_PlayerFramesOnly(benchmark::State& state) {
    const std::string directory = demo_directory();
    if (chdir(directory.c_str()) != 0) {
        state.SkipWithError("no demo show");
        return;
    }
    const int fps = 30;
    std::vector<uint8_t> pixels(size_t(1024) * 768 * 4);
    std::vector<int16_t> sound;
    int64_t frames = 0;
    double cpu = 0;
    for (auto _ : state) {
        const double cpu_before = cpu_seconds();
        OfflinePlayer player;
        player.open(1024, 768);
        for (int64_t frame = 0;; ++frame, ++frames) {
            if (!player.draw(music_seconds(frame_clock_bytes(frame, fps)))) break;
            player.read_bgra(pixels.data());
            sound.clear();
            player.render_sound_until(rendered_by(frame_sample(frame + 1, fps)), sound);
        }
        cpu += cpu_seconds() - cpu_before;
    }
    state.counters["x_real_time"] = benchmark::Counter(double(frames) / fps, benchmark::Counter::kIsRate);
    state.counters["cpu_s"] = cpu / double(state.iterations());
}
BENCHMARK(BM_PlayerFramesOnly)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
