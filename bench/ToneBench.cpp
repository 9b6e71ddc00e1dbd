#include "imaging/ToneFilters.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <random>

namespace {

constexpr int32_t kWidth = 6000;
constexpr int32_t kHeight = 4000;

// A 24-megapixel photo's worth of varied pixels.
std::unique_ptr<uint32_t[]> MakePixels()
{
    const size_t count = size_t(kWidth) * kHeight;
    std::unique_ptr<uint32_t[]> pixels(new uint32_t[count]);
    std::mt19937 random(7);
    for (size_t i = 0; i < count; ++i)
        pixels[i] = 0xFF000000u | (random() & 0x00FFFFFFu);
    return pixels;
}

void BM_Sepia(benchmark::State& state)
{
    const auto pixels = MakePixels();
    for (auto _ : state) {
        lumavo::SepiaFilter(kWidth, kHeight, pixels.get());
        benchmark::DoNotOptimize(pixels.get());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * int64_t(kWidth) * kHeight);
}
BENCHMARK(BM_Sepia)->Unit(benchmark::kMillisecond);

void BM_BlackWhite(benchmark::State& state)
{
    const auto pixels = MakePixels();
    for (auto _ : state) {
        lumavo::BlackWhiteFilter(kWidth, kHeight, pixels.get());
        benchmark::DoNotOptimize(pixels.get());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * int64_t(kWidth) * kHeight);
}
BENCHMARK(BM_BlackWhite)->Unit(benchmark::kMillisecond);

} // namespace
