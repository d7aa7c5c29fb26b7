// velkit make on 100 camera-sized photos (6000 x 4000 JPEG), side by side
// with ImageMagick's `convert -resize 1024x512^ -gravity center -extent
// 1024x512` run on one photo at a time, in one run so that both see the same
// machine. Counters:
//   pictures_per_second   wall-clock rate
//   cpu_s_per_picture     processor time (user + system) per picture, which
//                         the load of other programs on the machine does not change
//   peak_rss_mb           peak resident memory (getrusage ru_maxrss)
// The photos are made by scripts/make-bench-photos.sh (run from here when
// they are missing) in $VEL_BENCH_PHOTOS or build/testdata/bench_photos.
// ImageMagick is optional: without /usr/bin/convert its benchmark is skipped.
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "kit/demo/audio_buffer.h"
#include "kit/image/image_file.h"
#include "kit/make/photo.h"
#include "kit/make/show_maker.h"

namespace fs = std::filesystem;

namespace {

const int kPhotoCount = 100;

std::string buildDirectory() {
    char exe[4096];
    const ssize_t length = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (length <= 0) return "build";
    std::string directory(exe, size_t(length));
    directory = directory.substr(0, directory.find_last_of('/'));  // build/bench
    return directory.substr(0, directory.find_last_of('/'));
}

// The photo files, made by the script when missing; empty on failure.
const std::vector<std::string>& benchPhotos() {
    static std::vector<std::string> photos = [] {
        const char* given = std::getenv("VEL_BENCH_PHOTOS");
        const std::string directory = given ? given : buildDirectory() + "/testdata/bench_photos";
        const std::string command = std::string(VEL_SOURCE_DIR) + "/scripts/make-bench-photos.sh '" + directory +
                                    "' " + std::to_string(kPhotoCount);
        std::vector<std::string> files;
        if (std::system(command.c_str()) != 0) return files;
        for (int i = 1; i <= kPhotoCount; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "/photo_%03d.jpg", i);
            if (fs::exists(directory + name)) files.push_back(directory + name);
        }
        if (files.size() != size_t(kPhotoCount)) files.clear();
        return files;
    }();
    return photos;
}

double processorSeconds(const rusage& usage) {
    return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec + usage.ru_stime.tv_usec / 1e6;
}

struct ChildRun {
    int status = -1;
    double wallSeconds = 0;
    double cpuSeconds = 0;
    double peakMegabytes = 0;
};

// Runs argv as a child process, with its output sent to /dev/null.
ChildRun runChild(const std::vector<std::string>& arguments) {
    ChildRun result;
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        std::vector<char*> argv;
        for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        if (!std::freopen("/dev/null", "w", stdout) || !std::freopen("/dev/null", "w", stderr)) _exit(126);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage = {};
    wait4(child, &status, 0, &usage);
    result.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.cpuSeconds = processorSeconds(usage);
    result.peakMegabytes = usage.ru_maxrss / 1024.0;
    return result;
}

bool haveImageMagick() {
    return std::system("/usr/bin/convert -version 2>/dev/null | grep -q ImageMagick") == 0;
}

std::string scratch() {
    static const std::string directory = [] {
        char pattern[] = "/tmp/vel_bench_make_XXXXXX";
        return std::string(mkdtemp(pattern) ? pattern : "/tmp");
    }();
    return directory;
}

// A song as long as the show of 100 pictures (602.5 s) and a little more,
// written once as Ogg Vorbis.
std::string benchSong() {
    const std::string path = scratch() + "/song.ogg";
    if (fs::exists(path)) return path;
    const size_t frames = size_t(44100 * 610);
    std::string error;
    const std::vector<uint8_t> ogg = encode_ogg_vorbis(
        2, 44100, frames,
        [](int channel, size_t n) {
            const double t = double(n) / 44100;
            return float(0.2 * std::sin(2 * M_PI * (channel ? 330 : 220) * t) * (0.6 + 0.4 * std::sin(t)));
        },
        0.0f, &error);
    writeFileBytes(path, ogg);
    return path;
}

void report(benchmark::State& state, int pictures, double wall, double cpu, double peak) {
    state.counters["pictures_per_second"] = pictures / wall;
    state.counters["cpu_s_per_picture"] = cpu / pictures;
    if (peak > 0) state.counters["peak_rss_mb"] = peak;
}

// The picture work of velkit make (decode at reduced size, fit, encode) on
// all cores, in this process.
void BM_MakeShowPictures(benchmark::State& state) {
    const std::vector<std::string>& files = benchPhotos();
    if (files.empty()) {
        state.SkipWithError("no bench photos (scripts/make-bench-photos.sh failed)");
        return;
    }
    const int threads = int(state.range(0));
    std::vector<PhotoInfo> photos;
    for (const std::string& file : files) photos.push_back(probePhoto(file));
    for (auto _ : state) {
        rusage before, after;
        getrusage(RUSAGE_SELF, &before);
        const auto start = std::chrono::steady_clock::now();
        std::vector<std::vector<uint8_t>> pictures = makeShowPictures(photos, PictureFit::crop, threads);
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        getrusage(RUSAGE_SELF, &after);
        benchmark::DoNotOptimize(pictures.data());
        state.SetIterationTime(wall);
        report(state, int(photos.size()), wall, processorSeconds(after) - processorSeconds(before), 0);
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(photos.size()));
    state.SetLabel(threads ? std::to_string(threads) + " thread(s)" : "one thread per core");
}

// The whole command, as a person runs it: `velkit make show.lcc PHOTOS...
// --music song.ogg` in a process of its own, for its peak memory.
void BM_VelkitMake(benchmark::State& state) {
    const std::vector<std::string>& files = benchPhotos();
    if (files.empty()) {
        state.SkipWithError("no bench photos (scripts/make-bench-photos.sh failed)");
        return;
    }
    const std::string song = benchSong();
    for (auto _ : state) {
        std::vector<std::string> arguments = {VELKIT_PATH, "make", scratch() + "/show.lcc"};
        arguments.insert(arguments.end(), files.begin(), files.end());
        arguments.insert(arguments.end(), {"--music", song});
        const ChildRun run = runChild(arguments);
        if (run.status != 0) {
            state.SkipWithError("velkit make failed");
            return;
        }
        state.SetIterationTime(run.wallSeconds);
        report(state, int(files.size()), run.wallSeconds, run.cpuSeconds, run.peakMegabytes);
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(files.size()));
    state.SetLabel("100 photos, 10 min song, check included");
}

// ImageMagick, one photo at a time, each in its own convert process.
void BM_ImageMagickConvert(benchmark::State& state) {
    const std::vector<std::string>& files = benchPhotos();
    if (files.empty()) {
        state.SkipWithError("no bench photos (scripts/make-bench-photos.sh failed)");
        return;
    }
    if (!haveImageMagick()) {
        state.SkipWithError("ImageMagick's /usr/bin/convert is not installed");
        return;
    }
    for (auto _ : state) {
        double wall = 0, cpu = 0, peak = 0;
        for (const std::string& file : files) {
            const ChildRun run = runChild({"/usr/bin/convert", file, "-resize", "1024x512^", "-gravity", "center",
                                           "-extent", "1024x512", scratch() + "/convert.ppm"});
            if (run.status != 0) {
                state.SkipWithError("convert failed");
                return;
            }
            wall += run.wallSeconds;
            cpu += run.cpuSeconds;
            peak = std::max(peak, run.peakMegabytes);
        }
        state.SetIterationTime(wall);
        report(state, int(files.size()), wall, cpu, peak);
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(files.size()));
    state.SetLabel("convert -resize 1024x512^ -gravity center -extent 1024x512, one photo at a time");
}

}  // namespace

BENCHMARK(BM_MakeShowPictures)->Arg(0)->Arg(1)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_ImageMagickConvert)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_VelkitMake)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

BENCHMARK_MAIN();
