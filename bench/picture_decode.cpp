// Picture decoding speed against libjpeg-turbo (TurboJPEG API) at about the
// same file size. For the 1024 x 512 photo collage and each test photograph
// scaled and cropped to 1024 x 512, the benchmark encodes the picture with the
// kit's encoder, and as JPEG (4:2:0) at the quality whose size comes closest
// to it, then times single-threaded decoding of both into blue-green-red
// pixels. Before the Google Benchmark runs it prints a summary: sizes, the
// best processor time of many decodes of each, and the ratio.
// The photographs come from scripts/fetch-test-photos.sh: set
// VEL_TEST_DATA_DIR, or run from the build tree (build/testdata/photos).
#include <benchmark/benchmark.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "codec/colour.h"
#include "codec/dequantise.h"
#include "codec/picture_decoder.h"
#include "codec/synthesis.h"
#include "kit/encoder/picture_encoder.h"
#include "kit/image/collage.h"
#include "kit/image/image_file.h"
#include "kit/image/scale.h"
#include "bench_photos.h"
#include "lib/heap.h"
#include "lib/stream.h"

namespace {

const int kPictures = 7;

struct TestFiles {
    std::string name;
    int width = 0, height = 0;
    std::vector<uint8_t> wmj;
    std::vector<uint8_t> jpeg;
    int jpegQuality = 0;
};

std::vector<uint8_t> compressJpeg(tjhandle handle, const RgbImage& image, int quality) {
    unsigned char* out = nullptr;
    unsigned long size = 0;
    if (tjCompress2(handle, image.rgb.data(), image.width, 0, image.height, TJPF_RGB, &out, &size, TJSAMP_420,
                    quality, TJFLAG_ACCURATEDCT) != 0)
        return {};
    std::vector<uint8_t> bytes(out, out + size);
    tjFree(out);
    return bytes;
}

// The JPEG quality whose file size is nearest to the target.
void matchJpeg(TestFiles& files, const RgbImage& image) {
    tjhandle handle = tjInitCompress();
    long best = -1;
    for (int quality = 5; quality <= 100; ++quality) {
        std::vector<uint8_t> bytes = compressJpeg(handle, image, quality);
        long distance = std::labs(long(bytes.size()) - long(files.wmj.size()));
        if (best < 0 || distance < best) {
            best = distance;
            files.jpeg = bytes;
            files.jpegQuality = quality;
        }
    }
    tjDestroy(handle);
}

const std::vector<TestFiles>& testFiles() {
    static std::vector<TestFiles> files;
    static bool made = false;
    if (made) return files;
    made = true;
    const std::string photos = findBenchPhotos();
    if (photos.empty()) return files;
    for (int index = 0; index < kPictures; ++index) {
        RgbImage image = index == 0 ? makePhotoCollage(photos)
                                    : scaleAndCrop(readImageFile(photos + "/" + kBenchPhotos[index - 1]), 1024, 512);
        TestFiles entry;
        entry.name = index == 0 ? "collage" : kBenchPhotos[index - 1];
        entry.width = image.width;
        entry.height = image.height;
        entry.wmj = encodePicture(image);
        matchJpeg(entry, image);
        files.push_back(entry);
    }
    return files;
}

bool decodeWmj(const std::vector<uint8_t>& bytes, PictureBuffer& picture) {
    MemoryStream stream(const_cast<uint8_t*>(bytes.data()), int32_t(bytes.size()), 0);
    PictureDecoder decoder;
    return decoder.decode(stream, picture) == DecodeResult::decoded;
}

bool decodeJpeg(tjhandle handle, const std::vector<uint8_t>& bytes, std::vector<uint8_t>& bgr, int width,
                int height) {
    return tjDecompress2(handle, bytes.data(), (unsigned long)bytes.size(), bgr.data(), width, 0, height, TJPF_BGR,
                         0) == 0;
}

double threadMilliseconds() {
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) * 1e-6;
}

// Best of many runs of each of two decoders, in processor time of this
// thread, the two taking turns so that both see the same moments of the
// machine: other work on it disturbs the comparison as little as possible.
template <typename DecodeA, typename DecodeB>
std::pair<double, double> bestMillisecondsInTurn(DecodeA decodeA, DecodeB decodeB, int runs) {
    double bestA = 1e30, bestB = 1e30;
    for (int i = 0; i < runs; ++i) {
        double start = threadMilliseconds();
        decodeA();
        bestA = std::min(bestA, threadMilliseconds() - start);
        start = threadMilliseconds();
        decodeB();
        bestB = std::min(bestB, threadMilliseconds() - start);
    }
    return {bestA, bestB};
}

void printSummary() {
    const std::vector<TestFiles>& files = testFiles();
    if (files.empty()) {
        std::printf("test photographs not found (run scripts/fetch-test-photos.sh, set VEL_TEST_DATA_DIR)\n");
        return;
    }
    std::printf("%-22s %9s %9s %4s %9s %9s %6s\n", "picture", "wmj B", "jpeg B", "q", "wmj ms", "jpeg ms",
                "ratio");
    tjhandle handle = tjInitDecompress();
    double sumWmj = 0, sumJpeg = 0;
    for (const TestFiles& f : files) {
        PictureBuffer picture;
        std::vector<uint8_t> bgr(size_t(f.width) * f.height * 3);
        const auto [wmj, jpeg] = bestMillisecondsInTurn([&] { decodeWmj(f.wmj, picture); },
                                                        [&] { decodeJpeg(handle, f.jpeg, bgr, f.width, f.height); },
                                                        100);
        sumWmj += wmj;
        sumJpeg += jpeg;
        std::printf("%-22s %9zu %9zu %4d %9.3f %9.3f %6.2f\n", f.name.c_str(), f.wmj.size(), f.jpeg.size(),
                    f.jpegQuality, wmj, jpeg, wmj / jpeg);
    }
    std::printf("%-22s %9s %9s %4s %9.3f %9.3f %6.2f\n\n", "all", "", "", "", sumWmj, sumJpeg, sumWmj / sumJpeg);
    std::fflush(stdout);
    tjDestroy(handle);
}

bool needFiles(benchmark::State& state, int index) {
    if (int(testFiles().size()) > index) return true;
    state.SkipWithError("test photographs not found (run scripts/fetch-test-photos.sh, set VEL_TEST_DATA_DIR)");
    return false;
}

void BM_DecodeWmj(benchmark::State& state) {
    const int index = int(state.range(0));
    if (!needFiles(state, index)) return;
    const TestFiles& f = testFiles()[size_t(index)];
    PictureBuffer picture;
    for (auto _ : state) {
        if (!decodeWmj(f.wmj, picture)) {
            state.SkipWithError("decoding failed");
            return;
        }
        benchmark::DoNotOptimize(picture.pixels);
    }
    state.SetLabel(f.name);
    state.counters["bytes"] = double(f.wmj.size());
}

void BM_DecodeJpeg(benchmark::State& state) {
    const int index = int(state.range(0));
    if (!needFiles(state, index)) return;
    const TestFiles& f = testFiles()[size_t(index)];
    tjhandle handle = tjInitDecompress();
    std::vector<uint8_t> bgr(size_t(f.width) * f.height * 3);
    for (auto _ : state) {
        if (!decodeJpeg(handle, f.jpeg, bgr, f.width, f.height)) {
            state.SkipWithError("JPEG decoding failed");
            break;
        }
        benchmark::DoNotOptimize(bgr.data());
    }
    tjDestroy(handle);
    state.SetLabel(f.name);
    state.counters["bytes"] = double(f.jpeg.size());
    state.counters["quality"] = f.jpegQuality;
}

// The stages of one decode of the collage, each on its own.
void BM_StageCoefficients(benchmark::State& state) {
    if (!needFiles(state, 0)) return;
    const TestFiles& f = testFiles()[0];
    std::vector<int16_t> plane(size_t(f.width) * f.height);
    PictureDecoder decoder;
    decoder.prepareCoefficientDecoding(f.width, f.height);
    for (auto _ : state) {
        MemoryStream stream(const_cast<uint8_t*>(f.wmj.data()), int32_t(f.wmj.size()), 0);
        decoder.reader.attach(&stream);
        decoder.reader.readBits(15);
        decoder.reader.readBits(15);
        for (int p = 0; p < 3; ++p) decoder.decodePlaneCoefficients(plane.data());
        benchmark::DoNotOptimize(plane.data());
    }
}

// The collage's planes after coefficient decoding and after the column
// synthesis (in bands, as the decoder holds them).
struct CollagePlanes {
    std::vector<std::vector<int16_t>> coded, bands;
};

// Stages A and B of one plane, straight from its coded values, as the decoder runs them.
void synthesizeColumns(const TestFiles& f, int p, const std::vector<int16_t>& coded, std::vector<int16_t>& bands,
                       std::vector<int16_t>& work, LaneScratch& scratch) {
    const PlaneDequantiser dequantiser(f.width, f.height, p == 0 ? 20 : 70);
    synthesizeCodedColumns(dequantiser, coded.data(), bands.data(), f.width, f.height, work.data(), scratch);
}

std::vector<int16_t> columnWork(const TestFiles& f) {
    return std::vector<int16_t>(size_t(f.width) * f.height / 64 + size_t(f.height) * 8);
}

const CollagePlanes& collagePlanes() {
    static CollagePlanes planes;
    if (!planes.coded.empty() || testFiles().empty()) return planes;
    const TestFiles& f = testFiles()[0];
    PictureDecoder decoder;
    decoder.prepareCoefficientDecoding(f.width, f.height);
    MemoryStream stream(const_cast<uint8_t*>(f.wmj.data()), int32_t(f.wmj.size()), 0);
    decoder.reader.attach(&stream);
    decoder.reader.readBits(15);
    decoder.reader.readBits(15);
    std::vector<int16_t> work = columnWork(f);
    LaneScratch scratch;
    scratch.allocate(f.width);
    for (int p = 0; p < 3; ++p) {
        std::vector<int16_t> coded(size_t(f.width) * f.height);
        decoder.decodePlaneCoefficients(coded.data());
        std::vector<int16_t> bands(coded.size());
        synthesizeColumns(f, p, coded, bands, work, scratch);
        planes.coded.push_back(coded);
        planes.bands.push_back(bands);
    }
    return planes;
}

// Dequantisation with stages A and B.
void BM_StageColumns(benchmark::State& state) {
    if (!needFiles(state, 0)) return;
    const TestFiles& f = testFiles()[0];
    const CollagePlanes& planes = collagePlanes();
    std::vector<int16_t> bands(size_t(f.width) * f.height);
    std::vector<int16_t> work = columnWork(f);
    LaneScratch scratch;
    scratch.allocate(f.width);
    for (auto _ : state) {
        for (int p = 0; p < 3; ++p) {
            synthesizeColumns(f, p, planes.coded[size_t(p)], bands, work, scratch);
            benchmark::DoNotOptimize(bands.data());
        }
    }
}

// Stage C.
void BM_StageRows(benchmark::State& state) {
    if (!needFiles(state, 0)) return;
    const TestFiles& f = testFiles()[0];
    const CollagePlanes& planes = collagePlanes();
    std::vector<std::vector<int16_t>> work = planes.bands;
    LaneScratch scratch;
    scratch.allocate(f.width);
    for (auto _ : state) {
        state.PauseTiming();
        work = planes.bands;
        state.ResumeTiming();
        for (auto& plane : work) synthesizeBandRows(plane.data(), 0, f.height / 8, f.width, scratch);
        benchmark::DoNotOptimize(work[0].data());
    }
}

void BM_StageColour(benchmark::State& state) {
    const int count = 1024 * 512;
    std::vector<int16_t> l(count, 100), o(count, -40), g(count, 25);
    std::vector<uint8_t> bgr(size_t(count) * 3);
    for (auto _ : state) {
        convertBandsToBgr(l.data(), o.data(), g.data(), 1024, 512, bgr.data());
        benchmark::DoNotOptimize(bgr.data());
    }
}

}  // namespace

BENCHMARK(BM_DecodeWmj)->DenseRange(0, kPictures - 1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeJpeg)->DenseRange(0, kPictures - 1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StageCoefficients)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StageColumns)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StageRows)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StageColour)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    printSummary();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
