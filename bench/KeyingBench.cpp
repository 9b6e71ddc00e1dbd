// Keying that keeps the subject ("半自动抠像") on a grainy 24-megapixel
// photo: the click, a tolerance change, and a tolerance change as the edit
// window makes it (the keyed picture again and the canvas's new display copy).

#include "BenchPictures.h"
#include "imaging/BackdropKey.h"
#include "imaging/PhotoImage.h"
#include "ui/PhotoEditDlg.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <random>

namespace lumavo {
namespace {

// Keying that keeps the subject, on a grainy 24-megapixel photo: the click
// (the region and the backdrop's colour found once) and a tolerance change
// (a new picture from what the click found).
const PhotoImage& GrainyPhoto()
{
    static const std::unique_ptr<PhotoImage> photo = PhotoImage::Adopt(bench::MakeGrainyPhoto());
    return *photo;
}

void BM_BackdropKeyClick24MP(benchmark::State& state)
{
    const PhotoImage& photo = GrainyPhoto();
    for (auto _ : state) {
        auto key = BackdropKey::Start(photo, 30, 30);
        benchmark::DoNotOptimize(key.get());
    }
}
BENCHMARK(BM_BackdropKeyClick24MP)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_BackdropKeyTolerance24MP(benchmark::State& state)
{
    const auto key = BackdropKey::Start(GrainyPhoto(), 30, 30);
    int tolerance = 40;
    for (auto _ : state) {
        auto keyed = key->Render(tolerance);
        benchmark::DoNotOptimize(keyed.get());
        tolerance = tolerance == 40 ? 60 : 40;
    }
}
BENCHMARK(BM_BackdropKeyTolerance24MP)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_KeyToleranceInEditWindow24MP(benchmark::State& state)
{
    CPhotoEditDlg window;
    window.SetPhoto(GrainyPhoto().Clone());
    window.ArmBackdropPick();
    window.KeyOutBackdropAt(30, 30);
    if (!window.IsKeying()) {
        state.SkipWithError("the click keyed nothing");
        return;
    }
    int tolerance = 40;
    for (auto _ : state) {
        window.SetKeyTolerance(tolerance);
        tolerance = tolerance == 40 ? 60 : 40;
    }
}
BENCHMARK(BM_KeyToleranceInEditWindow24MP)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
} // namespace lumavo
