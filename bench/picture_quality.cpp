// Picture codec quality against JPEG and WebP at the same file size, and
// encoding speed, side by side in one run.
//
// Photographs: the project's test photographs (scripts/fetch-test-photos.sh)
// and photographic wallpapers from Debian packages
// (scripts/fetch-bench-wallpapers.sh, run by this benchmark when they are
// missing), each scaled and centre-cropped to 1024 x 512.
//
// Google Benchmark part: BM_Encode times encodePicture at the default quality
// per photograph (counters: bytes, luma PSNR).
//
// Summary part, after the timings: for each photograph the libjpeg-turbo file
// (4:2:0, optimised Huffman tables) of quality 75 sets the byte budget; ours
// is encoded with maxBytes = that size and WebP (libwebp, method 6) at the
// highest quality not larger. Luma PSNR and mean luma SSIM of each are printed
// per photograph and on average, with the targets (ours at least 1 dB above
// JPEG on average and never below it, mean SSIM above JPEG's), and the mean
// RGB PSNR of each, which shows what the colour keeps. The same is
// done at the sizes of JPEG qualities 30, 50, 75, 85 and 90 for the curves,
// drawn into a PNG (PSNR and SSIM against kilobytes; --plot=PATH, default
// picture_quality.png).
//
// Options before the Google Benchmark ones: --plot=PATH, --points=1 (only the
// quality 75 point, no curves), --no-summary.
#include <benchmark/benchmark.h>
#include <webp/decode.h>
#include <webp/encode.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "bench_photos.h"
#include "kit/encoder/picture_decoding.h"
#include "kit/encoder/picture_encoder.h"
#include "kit/image/image_file.h"
#include "kit/image/picture_metrics.h"
#include "kit/image/scale.h"
#include "plot_png.h"

namespace {

const char* const kWallpapers[] = {"autumn.jpg",      "by_the_water.jpg", "cold_ripple.jpg", "colorful_cups.jpg",
                                   "evening_glow.jpg", "fallen_leaf.jpg",  "kite.jpg",        "path.jpg",
                                   "kleiber.jpg",      "infinite_sea.jpg"};
const int kCurveQualities[] = {30, 50, 75, 85, 90};
const int kTargetPoint = 2;  // JPEG quality 75

struct Photo {
    std::string name;
    RgbImage picture;
};

bool hasWallpapers(const std::string& directory) {
    for (const char* name : kWallpapers)
        if (!std::ifstream(directory + "/" + name)) return false;
    return true;
}

// The wallpapers live beside the test photographs (testdata/wallpapers); the
// fetch script is run once when they are missing.
std::string findWallpapers(const std::string& photos) {
    const std::string testdata = photos.substr(0, photos.find_last_of('/'));
    const std::string directory = testdata + "/wallpapers";
    if (hasWallpapers(directory)) return directory;
#ifdef VEL_SOURCE_DIR
    const std::string command = std::string("'") + VEL_SOURCE_DIR + "/scripts/fetch-bench-wallpapers.sh' '" + testdata + "'";
    if (std::system(command.c_str()) == 0 && hasWallpapers(directory)) return directory;
#endif
    return "";
}

const std::vector<Photo>& photos() {
    static const std::vector<Photo> all = [] {
        std::vector<Photo> list;
        const std::string directory = findBenchPhotos();
        if (directory.empty()) return list;
        for (const char* name : kBenchPhotos)
            list.push_back({name, scaleAndCrop(readImageFile(directory + "/" + name), 1024, 512)});
        const std::string wallpapers = findWallpapers(directory);
        if (wallpapers.empty())
            std::fprintf(stderr, "wallpapers missing: run scripts/fetch-bench-wallpapers.sh BUILD/testdata\n");
        else
            for (const char* name : kWallpapers)
                list.push_back({name, scaleAndCrop(readImageFile(wallpapers + "/" + name), 1024, 512)});
        return list;
    }();
    return all;
}

struct Point {
    double bytes = 0, psnr = 0, ssim = 0, rgbPsnr = 0;
};

Point measure(const RgbImage& original, const RgbImage& decoded, size_t bytes) {
    return {double(bytes), lumaPsnr(original, decoded), lumaSsim(original, decoded), rgbPsnr(original, decoded)};
}

std::vector<uint8_t> encodeWebp(const RgbImage& image, float quality) {
    WebPConfig config;
    WebPPicture picture;
    WebPMemoryWriter writer;
    if (!WebPConfigInit(&config) || !WebPPictureInit(&picture)) throw std::runtime_error("libwebp version mismatch");
    config.quality = quality;
    config.method = 6;
    picture.width = image.width;
    picture.height = image.height;
    WebPMemoryWriterInit(&writer);
    picture.writer = WebPMemoryWrite;
    picture.custom_ptr = &writer;
    const bool ok = WebPPictureImportRGB(&picture, image.rgb.data(), image.width * 3) && WebPEncode(&config, &picture);
    WebPPictureFree(&picture);
    std::vector<uint8_t> bytes(writer.mem, writer.mem + writer.size);
    WebPMemoryWriterClear(&writer);
    if (!ok) throw std::runtime_error("WebP encoding failed");
    return bytes;
}

RgbImage decodeWebp(const std::vector<uint8_t>& bytes) {
    int width = 0, height = 0;
    uint8_t* pixels = WebPDecodeRGB(bytes.data(), bytes.size(), &width, &height);
    if (!pixels) throw std::runtime_error("WebP decoding failed");
    RgbImage image(width, height);
    std::memcpy(image.rgb.data(), pixels, image.rgb.size());
    WebPFree(pixels);
    return image;
}

// WebP at the highest quality (bisected to 1/4 of a step) whose file fits.
Point webpWithin(const RgbImage& picture, size_t budget) {
    double low = 0.0, high = 100.0;
    std::vector<uint8_t> best = encodeWebp(picture, 0.0f);
    for (int step = 0; step < 9; ++step) {
        const double middle = (low + high) / 2;
        std::vector<uint8_t> bytes = encodeWebp(picture, float(middle));
        if (bytes.size() <= budget) {
            low = middle;
            best.swap(bytes);
        } else {
            high = middle;
        }
    }
    return measure(picture, decodeWebp(best), best.size());
}

Point oursWithin(const RgbImage& picture, size_t budget) {
    PictureEncodeOptions options;
    options.maxBytes = int64_t(budget);
    const std::vector<uint8_t> bytes = encodePicture(picture, options);
    const DecodedPicture decoded = decodePictureBytes(bytes);
    if (!decoded.ok) throw std::runtime_error("our picture does not decode: " + decoded.error);
    return measure(picture, toRgbImage(decoded), bytes.size());
}

void BM_Encode(benchmark::State& state) {
    const std::vector<Photo>& all = photos();
    if (all.empty()) {
        state.SkipWithError("test photographs not found (run scripts/fetch-test-photos.sh, set VEL_TEST_DATA_DIR)");
        return;
    }
    const Photo& photo = all[size_t(state.range(0)) % all.size()];
    std::vector<uint8_t> encoded;
    for (auto _ : state) {
        encoded = encodePicture(photo.picture);
        benchmark::DoNotOptimize(encoded.data());
    }
    state.SetLabel(photo.name);
    state.SetItemsProcessed(int64_t(state.iterations()) * photo.picture.width * photo.picture.height);
    const DecodedPicture decoded = decodePictureBytes(encoded);
    if (!decoded.ok) {
        state.SkipWithError(("decoding failed: " + decoded.error).c_str());
        return;
    }
    state.counters["bytes"] = double(encoded.size());
    state.counters["luma_psnr"] = lumaPsnr(photo.picture, toRgbImage(decoded));
}

struct Curves {
    std::string name;
    std::vector<Point> jpeg, ours, webp;
};

void printSummary(const std::vector<Curves>& results) {
    std::printf("\nAt the size of libjpeg-turbo quality 75 (optimised Huffman tables), 1024x512, luma:\n");
    std::printf("%-22s %8s %7s %6s | %8s %7s %6s | %8s %7s %6s | %6s %7s\n", "photo", "jpeg B", "PSNR", "SSIM",
                "ours B", "PSNR", "SSIM", "webp B", "PSNR", "SSIM", "dPSNR", "dSSIM");
    double sums[9] = {}, rgb[3] = {}, worst = 1e9;
    for (const Curves& c : results) {
        const Point& j = c.jpeg[kTargetPoint];
        const Point& o = c.ours[kTargetPoint];
        const Point& w = c.webp[kTargetPoint];
        std::printf("%-22s %8.0f %7.2f %6.4f | %8.0f %7.2f %6.4f | %8.0f %7.2f %6.4f | %+6.2f %+7.4f\n",
                    c.name.c_str(), j.bytes, j.psnr, j.ssim, o.bytes, o.psnr, o.ssim, w.bytes, w.psnr, w.ssim,
                    o.psnr - j.psnr, o.ssim - j.ssim);
        const double values[9] = {j.bytes, j.psnr, j.ssim, o.bytes, o.psnr, o.ssim, w.bytes, w.psnr, w.ssim};
        for (int i = 0; i < 9; ++i) sums[i] += values[i];
        rgb[0] += j.rgbPsnr;
        rgb[1] += o.rgbPsnr;
        rgb[2] += w.rgbPsnr;
        worst = std::min(worst, o.psnr - j.psnr);
    }
    const double n = double(results.size());
    for (double& sum : sums) sum /= n;
    std::printf("%-22s %8.0f %7.2f %6.4f | %8.0f %7.2f %6.4f | %8.0f %7.2f %6.4f | %+6.2f %+7.4f\n", "MEAN",
                sums[0], sums[1], sums[2], sums[3], sums[4], sums[5], sums[6], sums[7], sums[8], sums[4] - sums[1],
                sums[5] - sums[2]);
    std::printf("targets: mean PSNR gain %.2f dB (>= 1.0: %s), worst %.2f dB (>= 0: %s), mean SSIM %.4f vs %.4f (%s)\n",
                sums[4] - sums[1], sums[4] - sums[1] >= 1.0 ? "met" : "NOT met", worst, worst >= 0 ? "met" : "NOT met",
                sums[5], sums[2], sums[5] > sums[2] ? "met" : "NOT met");
    // Colour: the encoder spends few bits on chroma; this shows it still holds.
    std::printf("mean RGB PSNR (colour included): JPEG %.2f dB, ours %.2f dB, WebP %.2f dB\n", rgb[0] / n, rgb[1] / n,
                rgb[2] / n);
    std::printf("WebP (method 6) against ours: %+.2f dB, %+.4f SSIM\n", sums[7] - sums[4], sums[8] - sums[5]);
}

void writePlot(const std::vector<Curves>& results, const std::string& path) {
    const size_t points = results.front().jpeg.size();
    PlotPanel psnr{"LUMA PSNR (DB) AGAINST KB, MEAN OF " + std::to_string(results.size()) + " PHOTOS AT 1024X512",
                   0, 0, 1e9, -1e9, 10, 1, {}};
    PlotPanel ssim{"LUMA SSIM AGAINST KB", 0, 0, 1e9, -1e9, 10, 0.01, {}};
    struct Codec {
        const char* name;
        unsigned char r, g, b;
        std::vector<Point> Curves::*points;
    } codecs[] = {{"OURS", 30, 80, 220, &Curves::ours}, {"JPEG", 220, 40, 40, &Curves::jpeg},
                  {"WEBP", 20, 160, 60, &Curves::webp}};
    double xMax = 0;
    for (const Codec& codec : codecs) {
        PlotSeries meanPsnr{codec.name, codec.r, codec.g, codec.b, {}, {}}, meanSsim = meanPsnr;
        for (size_t p = 0; p < points; ++p) {
            double bytes = 0, db = 0, s = 0;
            for (const Curves& c : results) {
                bytes += (c.*codec.points)[p].bytes;
                db += (c.*codec.points)[p].psnr;
                s += (c.*codec.points)[p].ssim;
            }
            const double n = double(results.size());
            meanPsnr.x.push_back(bytes / n / 1000);
            meanPsnr.y.push_back(db / n);
            meanSsim.x = meanPsnr.x;
            meanSsim.y.push_back(s / n);
            xMax = std::max(xMax, bytes / n / 1000);
            psnr.yMin = std::min(psnr.yMin, db / n);
            psnr.yMax = std::max(psnr.yMax, db / n);
            ssim.yMin = std::min(ssim.yMin, s / n);
            ssim.yMax = std::max(ssim.yMax, s / n);
        }
        psnr.series.push_back(meanPsnr);
        ssim.series.push_back(meanSsim);
    }
    for (PlotPanel* panel : {&psnr, &ssim}) {
        panel->xMax = std::ceil(xMax / 10) * 10;
        panel->yMin = std::floor(panel->yMin / panel->yTick) * panel->yTick;
        panel->yMax = std::ceil(panel->yMax / panel->yTick) * panel->yTick;
    }
    writeImageFile(path, drawPlot({psnr, ssim}, 1000, 500));
    std::printf("curves (mean PSNR and SSIM against mean kilobytes, %zu points per photo) written to %s\n", points,
                path.c_str());
}

void runSummary(const std::string& plotPath, int points) {
    const std::vector<Photo>& all = photos();
    if (all.empty()) {
        std::fprintf(stderr, "summary skipped: test photographs not found\n");
        return;
    }
    std::vector<Curves> results;
    for (const Photo& photo : all) {
        Curves c{photo.name, {}, {}, {}};
        for (int p = 0; p < 5; ++p) {
            if (points == 1 && p != kTargetPoint) continue;
            const std::vector<uint8_t> jpeg = encodeJpeg(photo.picture, kCurveQualities[p]);
            c.jpeg.push_back(measure(photo.picture, decodeJpeg(jpeg), jpeg.size()));
            c.ours.push_back(oursWithin(photo.picture, jpeg.size()));
            c.webp.push_back(webpWithin(photo.picture, jpeg.size()));
        }
        if (points == 1) {  // keep kTargetPoint addressing the quality 75 point
            c.jpeg.insert(c.jpeg.begin(), 2, c.jpeg.front());
            c.ours.insert(c.ours.begin(), 2, c.ours.front());
            c.webp.insert(c.webp.begin(), 2, c.webp.front());
        }
        std::fprintf(stderr, "measured %s\n", photo.name.c_str());
        results.push_back(c);
    }
    printSummary(results);
    if (points == 5) writePlot(results, plotPath);
}

}  // namespace

BENCHMARK(BM_Encode)->DenseRange(0, 15)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    std::string plotPath = "picture_quality.png";
    int points = 5;
    bool summary = true;
    std::vector<char*> rest{argv[0]};
    for (int i = 1; i < argc; ++i) {
        if (!std::strncmp(argv[i], "--plot=", 7))
            plotPath = argv[i] + 7;
        else if (!std::strcmp(argv[i], "--points=1"))
            points = 1;
        else if (!std::strcmp(argv[i], "--no-summary"))
            summary = false;
        else
            rest.push_back(argv[i]);
    }
    int restCount = int(rest.size());
    benchmark::Initialize(&restCount, rest.data());
    if (benchmark::ReportUnrecognizedArguments(restCount, rest.data())) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (summary) runSummary(plotPath, points);
    return 0;
}
