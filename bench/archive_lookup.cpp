// Mounting an archive of 100,000 members and opening 10,000 names through
// openFile: hits by whole path, tails that need more than one pass, misses,
// and whole names that stay ambiguous.
#include <sys/stat.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "kit/archive/lcc_writer.h"
#include "lib/file_system.h"
#include "lib/stream.h"

namespace {

constexpr int kMembers = 100000;
constexpr int kNames = 10000;

std::string format(const char* pattern, int a, int b) {
    char text[128];
    std::snprintf(text, sizeof text, pattern, a, b);
    return text;
}

// Even members have unique base names; odd ones share theirs with 499 others.
std::string memberName(int i) {
    int j = i / 2;
    if (i % 2 == 0) return format("data/d%03d/unique%06d.bin", j % 500, j);
    return format("data/d%03d/shared%03d.png", j / 100, j % 100);
}

std::vector<std::string> lookupNames() {
    std::vector<std::string> names;
    for (int i = 0; i < kNames; ++i) {
        int member = (i * 7919) % kMembers;
        switch (i % 10) {
            case 0: case 1: case 2: case 3:  // hits by whole path
                names.push_back(memberName(member & ~1));
                break;
            case 4: case 5: case 6:  // found on the second pass
                names.push_back(memberName(member | 1));
                break;
            case 7: case 8:  // misses
                names.push_back(format("data/d%03d/missing%05d.bin", i % 500, i));
                break;
            default:  // ambiguous whole names
                names.push_back(format("shared%03d.png", i % 100, 0));
                break;
        }
    }
    return names;
}

// A working directory holding the archive, made once per process.
class BenchDirectory {
public:
    BenchDirectory() {
        char pattern[] = "/tmp/vel_bench_lookup_XXXXXX";
        if (!mkdtemp(pattern)) std::abort();
        path_ = pattern;
        std::vector<LccMember> members;
        members.reserve(kMembers);
        for (int i = 0; i < kMembers; ++i) members.push_back(LccMember{memberName(i), {uint8_t(i), uint8_t(i >> 8)}});
        LccArchiveLayout layout;
        layout.name = "bench";
        std::vector<uint8_t> bytes = buildLccArchive(layout, members);
        std::ofstream(path_ + "/bench.lcc", std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (chdir(path_.c_str()) != 0) std::abort();
        // An installed show was written well before it plays: directory
        // listings younger than two seconds are read again on every lookup.
        sleep(3);
    }
    ~BenchDirectory() {
        if (chdir("/") == 0) std::filesystem::remove_all(path_);
    }

private:
    std::string path_;
};

BenchDirectory& benchDirectory() {
    static BenchDirectory directory;
    return directory;
}

// Hits by whole path and those found on the second pass; misses and
// ambiguous names find nothing.
constexpr int kExpectedFound = kNames / 10 * 7;

int openAll(const std::vector<std::string>& names) {
    int found = 0;
    for (const std::string& name : names) {
        Stream* stream = openFile(name.c_str());
        if (stream) {
            ++found;
            delete stream;
        }
    }
    return found;
}

void BM_MountAndOpen10000(benchmark::State& state) {
    benchDirectory();
    std::vector<std::string> names = lookupNames();
    int found = 0;
    for (auto _ : state) {
        mountArchives();
        found = openAll(names);
        benchmark::DoNotOptimize(found);
    }
    state.counters["found"] = found;
    if (found != kExpectedFound) state.SkipWithError("the lookups found the wrong number of names");
}
BENCHMARK(BM_MountAndOpen10000)->Unit(benchmark::kMillisecond);

void BM_Mount(benchmark::State& state) {
    benchDirectory();
    for (auto _ : state) {
        mountArchives();
        // The member index is built on the first lookup.
        Stream* stream = openFile("data/d000/unique000000.bin");
        delete stream;
    }
}
BENCHMARK(BM_Mount)->Unit(benchmark::kMillisecond);

void BM_Open10000(benchmark::State& state) {
    benchDirectory();
    std::vector<std::string> names = lookupNames();
    mountArchives();
    // The member index belongs to the mount: built before the opens are timed.
    delete openFile("data/d000/unique000000.bin");
    int found = 0;
    for (auto _ : state) {
        found = openAll(names);
        benchmark::DoNotOptimize(found);
    }
    state.counters["found"] = found;
    if (found != kExpectedFound) state.SkipWithError("the lookups found the wrong number of names");
}
BENCHMARK(BM_Open10000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
