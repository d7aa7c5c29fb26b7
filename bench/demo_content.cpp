// The demo show's generators, which CI runs on every build through velkit
// demo: one picture, the music for three pictures, its Vorbis encoding.
#include <benchmark/benchmark.h>

#include "kit/demo/demo_pictures.h"
#include "kit/demo/music.h"

static void BM_PaintPicture(benchmark::State& state) {
    const int index = int(state.range(0));
    for (auto _ : state) benchmark::DoNotOptimize(make_demo_picture(index, 1024, 512).rgb.data());
    state.SetLabel(demo_picture_name(index));
}
BENCHMARK(BM_PaintPicture)->DenseRange(0, 7)->Unit(benchmark::kMillisecond);

static void BM_ComposeMusic(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(compose_demo_music(3).samples.data());
}
BENCHMARK(BM_ComposeMusic)->Unit(benchmark::kMillisecond);

static void BM_EncodeVorbis(benchmark::State& state) {
    StereoBuffer music = compose_demo_music(3);
    std::string error;
    for (auto _ : state) benchmark::DoNotOptimize(encode_ogg_vorbis(music, 0.3f, &error).size());
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(music.samples.size() * 2));
}
BENCHMARK(BM_EncodeVorbis)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
