// LZ unpacking against zlib inflate on the same mixed corpus (text, programs,
// fonts, pictures, audio), every file packed on its own as an archive member
// would be: LZ by the kit's packer, zlib at level 9. As in an archive, a
// member that a method would not make smaller is stored by that method.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "kit/lz/lz_pack.h"
#include "lib/lz_unpack.h"

namespace {

const size_t memberLimit = 1 << 20;

struct Member {
    std::vector<uint8_t> data;
    std::vector<uint8_t> lz;
    std::vector<uint8_t> zlib;

    bool lzStored() const { return lz.size() >= data.size(); }
    bool zlibStored() const { return zlib.size() >= data.size(); }
    // The unpacking benchmarks copy such a member on both sides alike (see
    // unpackOrCopy), so neither method gains from the other's choice.
    bool copiedByBoth() const { return lzStored() || zlibStored(); }
    size_t lzArchived() const { return lzStored() ? data.size() : lz.size(); }
    size_t zlibArchived() const { return zlibStored() ? data.size() : zlib.size(); }
};

struct Category {
    std::string name;
    std::vector<Member> members;
};

// Files under root whose names pass the filter, in name order.
template <typename Filter>
std::vector<std::filesystem::path> listFiles(const std::string& root, Filter filter) {
    std::vector<std::filesystem::path> found;
    std::error_code error;
    for (auto it = std::filesystem::recursive_directory_iterator(root, error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
        std::error_code fileError;
        if (it->is_regular_file(fileError) && !it->is_symlink(fileError) && it->file_size(fileError) >= 4096 &&
            filter(it->path())) {
            found.push_back(it->path());
        }
    }
    std::sort(found.begin(), found.end());
    return found;
}

bool hasExtension(const std::filesystem::path& path, std::initializer_list<const char*> extensions) {
    std::string extension = path.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(), ::tolower);
    for (const char* wanted : extensions) {
        if (extension == wanted) return true;
    }
    return false;
}

void addFiles(Category& category, const std::vector<std::filesystem::path>& files, size_t quota) {
    size_t total = 0;
    for (const auto& path : files) {
        if (total >= quota) break;
        std::ifstream file(path, std::ios::binary);
        std::vector<uint8_t> data((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        data.resize(std::min({data.size(), memberLimit, quota - total}));
        if (data.empty()) continue;
        total += data.size();
        category.members.push_back({std::move(data), {}, {}});
    }
}

// Stereo 16-bit music-like PCM: a few detuned partials, an envelope, a little noise.
std::vector<uint8_t> makeAudio(size_t bytes, uint32_t seed) {
    std::vector<uint8_t> data;
    data.reserve(bytes);
    uint32_t noise = seed;
    for (size_t i = 0; data.size() < bytes; i++) {
        double t = i / 44100.0;
        double note = 110.0 * std::pow(2.0, ((i / 22050) % 12 + seed % 5) / 12.0);
        double envelope = std::exp(-3.0 * std::fmod(t, 0.5));
        double value = envelope * (std::sin(2 * M_PI * note * t) + 0.5 * std::sin(2 * M_PI * 2.01 * note * t) +
                                   0.25 * std::sin(2 * M_PI * 3.02 * note * t));
        for (int channel = 0; channel < 2; channel++) {
            noise = noise * 1664525 + 1013904223;
            double dither = ((noise >> 16) / 65536.0 - 0.5) * 0.002;
            auto sample = static_cast<int16_t>(std::lround(9000.0 * (value * (channel ? 0.9 : 1.0) + dither)));
            data.push_back(static_cast<uint8_t>(sample));
            data.push_back(static_cast<uint8_t>(sample >> 8));
        }
    }
    return data;
}

std::vector<uint8_t> zlibPack(const std::vector<uint8_t>& data) {
    uLongf size = compressBound(data.size());
    std::vector<uint8_t> packed(size);
    compress2(packed.data(), &size, data.data(), data.size(), 9);
    packed.resize(size);
    return packed;
}

struct Sums {
    size_t bytes = 0;
    size_t lz = 0;
    size_t zlib = 0;
    size_t lzStored = 0;
    size_t zlibStored = 0;
    size_t lzRaw = 0;
    size_t zlibRaw = 0;

    void add(const Member& member) {
        bytes += member.data.size();
        lz += member.lzArchived();
        zlib += member.zlibArchived();
        lzStored += member.lzStored();
        zlibStored += member.zlibStored();
        lzRaw += member.lz.size();
        zlibRaw += member.zlib.size();
    }

    Sums& operator+=(const Sums& other) {
        bytes += other.bytes;
        lz += other.lz;
        zlib += other.zlib;
        lzStored += other.lzStored;
        zlibStored += other.zlibStored;
        lzRaw += other.lzRaw;
        zlibRaw += other.zlibRaw;
        return *this;
    }
};

void printSums(const std::string& name, size_t files, const Sums& sums) {
    std::string count = files ? std::to_string(files) : "";
    std::string stored = std::to_string(sums.lzStored) + "/" + std::to_string(sums.zlibStored);
    std::fprintf(stderr, "%-9s %5s %10zu %10zu %10zu %6.2f%% %6.2f%% %8s %10zu %10zu\n", name.c_str(), count.c_str(),
                 sums.bytes, sums.lz, sums.zlib, 100.0 * sums.lz / sums.bytes, 100.0 * sums.zlib / sums.bytes,
                 stored.c_str(), sums.lzRaw, sums.zlibRaw);
}

std::vector<Category> buildCorpus() {
    std::vector<Category> corpus(5);
    corpus[0].name = "text";
    addFiles(corpus[0], listFiles("/usr/share/doc", [](const std::filesystem::path& path) {
                 return !hasExtension(path, {".gz", ".xz", ".bz2", ".png", ".jpg", ".gif", ".svg", ".pdf"});
             }), 4 << 20);
    corpus[1].name = "programs";
    addFiles(corpus[1], listFiles("/usr/lib/x86_64-linux-gnu", [](const std::filesystem::path& path) {
                 return path.filename().string().find(".so") != std::string::npos;
             }), 4 << 20);
    // TrueType and OpenType, the fonts the kit bakes; Type 1 outlines are
    // encrypted and pack like random bytes.
    corpus[2].name = "fonts";
    addFiles(corpus[2], listFiles("/usr/share/fonts", [](const std::filesystem::path& path) {
                 return hasExtension(path, {".ttf", ".otf"});
             }), 3 << 20);
    corpus[3].name = "pictures";
    addFiles(corpus[3], listFiles("/usr/share", [](const std::filesystem::path& path) {
                 return hasExtension(path, {".png", ".jpg", ".jpeg"});
             }), 2 << 20);
    corpus[4].name = "audio";
    for (uint32_t seed = 1; seed <= 3; seed++) corpus[4].members.push_back({makeAudio(1 << 20, seed), {}, {}});

    size_t total = 0;
    for (const Category& category : corpus) {
        for (const Member& member : category.members) total += member.data.size();
    }
    if (total < (16u << 20)) {
        // Top up with further programs so the corpus is at least 16 MiB.
        Category extra;
        addFiles(extra, listFiles("/usr/lib/x86_64-linux-gnu", [](const std::filesystem::path& path) {
                     return path.filename().string().find(".so") != std::string::npos;
                 }), (4u << 20) + (16u << 20) - total);
        for (size_t i = 0; i < extra.members.size(); i++) {
            if (i >= corpus[1].members.size()) corpus[1].members.push_back(std::move(extra.members[i]));
        }
    }

    // The headline columns are what an archive holds: a member at its own size
    // when the method would not make it smaller. The raw columns count every
    // member packed; "stored" counts the members each method leaves stored.
    std::fprintf(stderr, "%-9s %5s %10s %10s %10s %7s %7s %8s %10s %10s\n", "corpus", "files", "bytes", "lz",
                 "zlib-9", "lz%", "zlib%", "stored", "lz-raw", "zlib-raw");
    Sums all;
    double lzSeconds = 0;
    double zlibSeconds = 0;
    for (Category& category : corpus) {
        Sums sums;
        for (Member& member : category.members) {
            auto started = std::chrono::steady_clock::now();
            member.lz = lzPack(member.data.data(), member.data.size());
            auto lzDone = std::chrono::steady_clock::now();
            member.zlib = zlibPack(member.data);
            lzSeconds += std::chrono::duration<double>(lzDone - started).count();
            zlibSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - lzDone).count();
            sums.add(member);
        }
        printSums(category.name, category.members.size(), sums);
        all += sums;
    }
    printSums("all", 0, all);
    std::fprintf(stderr, "packing: lz %.2f MB/s, zlib-9 %.2f MB/s\n", all.bytes / 1e6 / lzSeconds,
                 all.bytes / 1e6 / zlibSeconds);
    return corpus;
}

const std::vector<Category>& corpus() {
    static const std::vector<Category> built = buildCorpus();
    return built;
}

// The members of one category, or of all when index is the category count.
std::vector<const Member*> select(size_t index) {
    std::vector<const Member*> members;
    for (size_t i = 0; i < corpus().size(); i++) {
        if (index != corpus().size() && index != i) continue;
        for (const Member& member : corpus()[i].members) members.push_back(&member);
    }
    return members;
}

void setCounters(benchmark::State& state, const std::vector<const Member*>& members, bool lz) {
    size_t unpacked = 0;
    size_t packed = 0;
    for (const Member* member : members) {
        unpacked += member->data.size();
        packed += lz ? member->lzArchived() : member->zlibArchived();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * unpacked));
    state.counters["MB/s"] = benchmark::Counter(static_cast<double>(state.iterations() * unpacked) / 1e6,
                                                benchmark::Counter::kIsRate);
    state.counters["ratio"] = static_cast<double>(packed) / unpacked;
    state.counters["packed"] = static_cast<double>(packed);
    state.counters["unpacked"] = static_cast<double>(unpacked);
}

// A member that either method stores is copied, on both sides, so the two
// timings cover the same work for it; true when it was.
bool copyStored(const Member& member, std::vector<uint8_t>& output) {
    if (!member.copiedByBoth()) return false;
    std::memcpy(output.data(), member.data.data(), member.data.size());
    benchmark::DoNotOptimize(output.data());
    return true;
}

// Unpacks every member once; false when one does not unpack whole.
bool lzUnpackAll(const std::vector<const Member*>& members, std::vector<uint8_t>& output) {
    bool whole = true;
    for (const Member* member : members) {
        if (copyStored(*member, output)) continue;
        int32_t produced = 0;
        LzResult result = lzUnpack(member->lz.data(), static_cast<int32_t>(member->lz.size()), output.data(),
                                   static_cast<int32_t>(member->data.size()), &produced);
        whole = whole && result == LzResult::Complete;
        benchmark::DoNotOptimize(output.data());
    }
    return whole;
}

bool zlibInflateAll(const std::vector<const Member*>& members, std::vector<uint8_t>& output) {
    bool whole = true;
    for (const Member* member : members) {
        if (copyStored(*member, output)) continue;
        // As the archive reader does it: one inflate call with Z_FINISH.
        z_stream stream{};
        inflateInit(&stream);
        stream.next_in = const_cast<Bytef*>(member->zlib.data());
        stream.avail_in = static_cast<uInt>(member->zlib.size());
        stream.next_out = output.data();
        stream.avail_out = static_cast<uInt>(member->data.size());
        whole = whole && inflate(&stream, Z_FINISH) == Z_STREAM_END;
        inflateEnd(&stream);
        benchmark::DoNotOptimize(output.data());
    }
    return whole;
}

void lzUnpackCorpus(benchmark::State& state, size_t index) {
    std::vector<const Member*> members = select(index);
    std::vector<uint8_t> output(memberLimit);
    for (auto _ : state) {
        if (!lzUnpackAll(members, output)) state.SkipWithError("LZ member did not unpack");
    }
    setCounters(state, members, true);
}

void zlibInflateCorpus(benchmark::State& state, size_t index) {
    std::vector<const Member*> members = select(index);
    std::vector<uint8_t> output(memberLimit);
    for (auto _ : state) {
        if (!zlibInflateAll(members, output)) state.SkipWithError("zlib member did not inflate");
    }
    setCounters(state, members, false);
}

// Both methods in every iteration, side by side, so that a busy machine slows
// both alike; which goes first alternates. "lz/zlib" is LZ's speed over
// zlib's (above 1: LZ unpacks faster).
void pairedCorpus(benchmark::State& state, size_t index) {
    std::vector<const Member*> members = select(index);
    std::vector<uint8_t> output(memberLimit);
    double seconds[2] = {0, 0};
    bool lzFirst = true;
    for (auto _ : state) {
        for (int turn = 0; turn < 2; turn++) {
            bool lz = (turn == 0) == lzFirst;
            auto started = std::chrono::steady_clock::now();
            bool whole = lz ? lzUnpackAll(members, output) : zlibInflateAll(members, output);
            seconds[lz ? 0 : 1] += std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
            if (!whole) state.SkipWithError("a member did not unpack");
        }
        lzFirst = !lzFirst;
    }
    double unpacked = 0;
    for (const Member* member : members) unpacked += static_cast<double>(member->data.size());
    double bytes = unpacked * static_cast<double>(state.iterations());
    state.counters["lz MB/s"] = bytes / 1e6 / seconds[0];
    state.counters["zlib MB/s"] = bytes / 1e6 / seconds[1];
    state.counters["lz/zlib"] = seconds[1] / seconds[0];
}

int registerAll() {
    const char* names[] = {"text", "programs", "fonts", "pictures", "audio", "all"};
    for (size_t i = 0; i < 6; i++) {
        std::string name = names[i];
        benchmark::RegisterBenchmark(("LzUnpack/" + name).c_str(), lzUnpackCorpus, i)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("ZlibInflate/" + name).c_str(), zlibInflateCorpus, i)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("Paired/" + name).c_str(), pairedCorpus, i)->Unit(benchmark::kMillisecond);
    }
    return 0;
}

const int registered = registerAll();

}  // namespace

BENCHMARK_MAIN();
