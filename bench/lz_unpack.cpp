// LZ unpacking against zlib inflate on the same mixed corpus (text, programs,
// fonts, pictures, audio), every file packed on its own as an archive member
// would be: LZ by the kit's packer, zlib at level 9.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
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

    // The last two columns count a member that packs larger than it is at its
    // own size, for both methods: an archive can hold such a member stored.
    std::fprintf(stderr, "%-9s %7s %10s %10s %10s %7s %7s %10s %10s\n", "corpus", "files", "bytes", "lz", "zlib-9",
                 "lz%", "zlib%", "lz|stored", "zlib|stored");
    size_t all[5] = {0, 0, 0, 0, 0};
    for (Category& category : corpus) {
        size_t sums[5] = {0, 0, 0, 0, 0};
        for (Member& member : category.members) {
            member.lz = lzPack(member.data.data(), member.data.size());
            member.zlib = zlibPack(member.data);
            sums[0] += member.data.size();
            sums[1] += member.lz.size();
            sums[2] += member.zlib.size();
            sums[3] += std::min(member.lz.size(), member.data.size());
            sums[4] += std::min(member.zlib.size(), member.data.size());
        }
        std::fprintf(stderr, "%-9s %7zu %10zu %10zu %10zu %6.2f%% %6.2f%% %10zu %10zu\n", category.name.c_str(),
                     category.members.size(), sums[0], sums[1], sums[2], 100.0 * sums[1] / sums[0],
                     100.0 * sums[2] / sums[0], sums[3], sums[4]);
        for (int i = 0; i < 5; i++) all[i] += sums[i];
    }
    std::fprintf(stderr, "%-9s %7s %10zu %10zu %10zu %6.2f%% %6.2f%% %10zu %10zu\n", "all", "", all[0], all[1],
                 all[2], 100.0 * all[1] / all[0], 100.0 * all[2] / all[0], all[3], all[4]);
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
        packed += lz ? member->lz.size() : member->zlib.size();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * unpacked));
    state.counters["MB/s"] = benchmark::Counter(static_cast<double>(state.iterations() * unpacked) / 1e6,
                                                benchmark::Counter::kIsRate);
    state.counters["ratio"] = static_cast<double>(packed) / unpacked;
    state.counters["packed"] = static_cast<double>(packed);
    state.counters["unpacked"] = static_cast<double>(unpacked);
}

void lzUnpackCorpus(benchmark::State& state, size_t index) {
    std::vector<const Member*> members = select(index);
    std::vector<uint8_t> output(memberLimit);
    for (auto _ : state) {
        for (const Member* member : members) {
            int32_t produced = 0;
            LzResult result = lzUnpack(member->lz.data(), static_cast<int32_t>(member->lz.size()), output.data(),
                                       static_cast<int32_t>(member->data.size()), &produced);
            if (result != LzResult::Complete) state.SkipWithError("LZ member did not unpack");
            benchmark::DoNotOptimize(output.data());
        }
    }
    setCounters(state, members, true);
}

void zlibInflateCorpus(benchmark::State& state, size_t index) {
    std::vector<const Member*> members = select(index);
    std::vector<uint8_t> output(memberLimit);
    for (auto _ : state) {
        for (const Member* member : members) {
            // As the archive reader does it: one inflate call with Z_FINISH.
            z_stream stream{};
            inflateInit(&stream);
            stream.next_in = const_cast<Bytef*>(member->zlib.data());
            stream.avail_in = static_cast<uInt>(member->zlib.size());
            stream.next_out = output.data();
            stream.avail_out = static_cast<uInt>(member->data.size());
            int result = inflate(&stream, Z_FINISH);
            inflateEnd(&stream);
            if (result != Z_STREAM_END) state.SkipWithError("zlib member did not inflate");
            benchmark::DoNotOptimize(output.data());
        }
    }
    setCounters(state, members, false);
}

int registerAll() {
    const char* names[] = {"text", "programs", "fonts", "pictures", "audio", "all"};
    for (size_t i = 0; i < 6; i++) {
        std::string name = names[i];
        benchmark::RegisterBenchmark(("LzUnpack/" + name).c_str(), lzUnpackCorpus, i)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("ZlibInflate/" + name).c_str(), zlibInflateCorpus, i)
            ->Unit(benchmark::kMillisecond);
    }
    return 0;
}

const int registered = registerAll();

}  // namespace

BENCHMARK_MAIN();
