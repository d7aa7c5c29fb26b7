// Picture codec quality against JPEG at the same file size, and encoding
// speed. For each test picture (the 1024 x 512 photo collage, and each test
// photograph scaled and cropped to 1024 x 512) the benchmark times
// encodePicture and reports as counters:
//   wmj_bytes, wmj_luma_psnr   our file and the player decoder's result
//   jpeg_bytes, jpeg_luma_psnr the libjpeg-turbo file (4:2:0, optimised
//                              Huffman tables) of the highest quality whose
//                              size does not exceed wmj_bytes
//   jpeg_quality               that quality
// The photographs come from scripts/fetch-test-photos.sh: set
// VEL_TEST_DATA_DIR, or run from the build tree (build/testdata/photos).
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "kit/encoder/picture_decoding.h"
#include "kit/encoder/picture_encoder.h"
#include "kit/image/collage.h"
#include "bench_photos.h"
#include "kit/image/image_file.h"
#include "kit/image/picture_metrics.h"
#include "kit/image/scale.h"

namespace {


// Picture 0 is the collage, 1 .. 6 the single photographs.
RgbImage testPicture(const std::string& photos, int index) {
    if (index == 0) return makePhotoCollage(photos);
    return scaleAndCrop(readImageFile(photos + "/" + kBenchPhotos[index - 1]), 1024, 512);
}

void BM_PictureQuality(benchmark::State& state) {
    const std::string photos = findBenchPhotos();
    if (photos.empty()) {
        state.SkipWithError("test photographs not found (run scripts/fetch-test-photos.sh, set VEL_TEST_DATA_DIR)");
        return;
    }
    const int index = int(state.range(0));
    const RgbImage picture = testPicture(photos, index);
    std::vector<uint8_t> encoded;
    for (auto _ : state) {
        encoded = encodePicture(picture);
        benchmark::DoNotOptimize(encoded.data());
    }
    state.SetLabel(index == 0 ? "collage" : kBenchPhotos[index - 1]);
    state.SetItemsProcessed(int64_t(state.iterations()) * picture.width * picture.height);

    const DecodedPicture decoded = decodePictureBytes(encoded);
    if (!decoded.ok) {
        state.SkipWithError(("decoding failed: " + decoded.error).c_str());
        return;
    }
    state.counters["wmj_bytes"] = double(encoded.size());
    state.counters["wmj_luma_psnr"] = lumaPsnr(picture, toRgbImage(decoded));

    // The largest JPEG quality that fits into the same number of bytes.
    int low = 1, high = 100, best = 0;
    std::vector<uint8_t> bestJpeg;
    while (low <= high) {
        const int quality = (low + high) / 2;
        std::vector<uint8_t> jpeg = encodeJpeg(picture, quality);
        if (jpeg.size() <= encoded.size()) {
            best = quality;
            bestJpeg.swap(jpeg);
            low = quality + 1;
        } else {
            high = quality - 1;
        }
    }
    if (best > 0) {
        state.counters["jpeg_quality"] = best;
        state.counters["jpeg_bytes"] = double(bestJpeg.size());
        state.counters["jpeg_luma_psnr"] = lumaPsnr(picture, decodeJpeg(bestJpeg));
    }
}

}  // namespace

BENCHMARK(BM_PictureQuality)->DenseRange(0, 6)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
