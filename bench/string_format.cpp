// Caption and file-name formatting: the program's strings beside the C library.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cwchar>

#include "font/strings.h"

namespace {

const char kCaption[] = "\xC9t\xE9 \xE0 Velandora, le soir tombe sur les dunes d'or";

void wide_caption(benchmark::State& state) {
    WideString caption;
    for (auto _ : state) {
        benchmark::DoNotOptimize(caption.format(u"%S", kCaption));
        benchmark::DoNotOptimize(caption.data);
    }
}
BENCHMARK(wide_caption);

void swprintf_caption(benchmark::State& state) {
    wchar_t buffer[256];
    for (auto _ : state) {
        benchmark::DoNotOptimize(std::swprintf(buffer, 256, L"%s", kCaption));
        benchmark::DoNotOptimize(buffer);
    }
}
BENCHMARK(swprintf_caption);

void picture_name(benchmark::State& state) {
    String name;
    int number = 100;
    for (auto _ : state) {
        benchmark::DoNotOptimize(name.format("data/images/%04d.wmj", number));
        number = number == 5400 ? 100 : number + 100;
    }
}
BENCHMARK(picture_name);

void snprintf_picture_name(benchmark::State& state) {
    char name[128];
    int number = 100;
    for (auto _ : state) {
        benchmark::DoNotOptimize(std::snprintf(name, sizeof name, "data/images/%04d.wmj", number));
        number = number == 5400 ? 100 : number + 100;
    }
}
BENCHMARK(snprintf_picture_name);

void long_wide_format(benchmark::State& state) {
    const std::u16string body(20000, u'x');
    for (auto _ : state) {
        WideString text;
        benchmark::DoNotOptimize(text.format(u"%s", body.c_str()));
    }
}
BENCHMARK(long_wide_format);

}  // namespace

BENCHMARK_MAIN();
