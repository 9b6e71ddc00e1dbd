#include "BenchPictures.h"
#include "imaging/ImageFiles.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>

namespace {

constexpr int kWidth = 1400;
constexpr int kHeight = 2100;

// A finished portrait at 350 dpi.
std::unique_ptr<lumavo::PhotoImage> MakePortrait()
{
    auto picture = lumavo::PhotoImage::Adopt(lumavo::bench::MakeGrainyPicture(kWidth, kHeight));
    picture->SetResolution(350.0f, 350.0f);
    return picture;
}

// Saving through SaveImage, as the output window does (a cheap shared copy per
// round, since a saved picture is released).
void SaveAs(benchmark::State& state, const char* name, int quality)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QString::fromLatin1(name));
    const auto portrait = MakePortrait();
    for (auto _ : state) {
        auto picture = portrait->Clone();
        if (lumavo::SaveImage(picture, path, quality) != lumavo::Ok)
            state.SkipWithError("save failed");
    }
    state.SetItemsProcessed(state.iterations() * int64_t(kWidth) * kHeight);
}

void BM_SaveJpegQuality90(benchmark::State& state)
{
    SaveAs(state, "portrait.jpg", 90);
}
void BM_SavePng(benchmark::State& state)
{
    SaveAs(state, "portrait.png", 100);
}
void BM_SaveBmp(benchmark::State& state)
{
    SaveAs(state, "portrait.bmp", 90);
}
void BM_SaveTiffLzw(benchmark::State& state)
{
    SaveAs(state, "portrait.tif", 90);
}
BENCHMARK(BM_SaveJpegQuality90)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SavePng)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveBmp)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveTiffLzw)->Unit(benchmark::kMillisecond);

void BM_LoadJpeg(benchmark::State& state)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("portrait.jpg"));
    auto picture = MakePortrait();
    if (lumavo::SaveImage(picture, path, 90) != lumavo::Ok) {
        state.SkipWithError("save failed");
        return;
    }
    for (auto _ : state) {
        const auto loaded = lumavo::PhotoImage::FromFile(path);
        if (loaded->lastStatus() != lumavo::Ok)
            state.SkipWithError("load failed");
        benchmark::DoNotOptimize(loaded.get());
    }
    state.SetItemsProcessed(state.iterations() * int64_t(kWidth) * kHeight);
}
BENCHMARK(BM_LoadJpeg)->Unit(benchmark::kMillisecond);

} // namespace
