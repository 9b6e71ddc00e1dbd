// Semi-automatic keying of a 12-megapixel studio photo: sampling the
// backdrop at the operator's click and keying the whole picture.

#include "BenchPictures.h"
#include "imaging/BackdropKey.h"
#include "imaging/ChromaKey.h"
#include "imaging/PhotoImage.h"

#include <QPainter>

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <random>

namespace lumavo {
namespace {

constexpr int kWidth = 3000;
constexpr int kHeight = 4000;

// A green backdrop darkening to one side with grain, and a subject (hair,
// face, shirt) covering about a third of the picture.
const PhotoImage& StudioPhoto()
{
    static const std::unique_ptr<PhotoImage> photo = [] {
        QImage image(kWidth, kHeight, QImage::Format_RGB32);
        std::mt19937 random(11);
        for (int y = 0; y < kHeight; ++y) {
            auto* line = reinterpret_cast<uint32_t*>(image.scanLine(y));
            for (int x = 0; x < kWidth; ++x) {
                const uint32_t noise = random();
                const int light = 100 - 30 * x / kWidth;
                line[x] = 0xFF000000u | uint32_t(40 * light / 100 + int(noise & 7)) << 16
                    | uint32_t(170 * light / 100 + int((noise >> 3) & 7)) << 8
                    | uint32_t(75 * light / 100 + int((noise >> 6) & 7));
            }
        }
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(236, 236, 240));
        painter.drawEllipse(QRectF(0.1 * kWidth, 0.68 * kHeight, 0.8 * kWidth, 0.7 * kHeight));
        painter.setBrush(QColor(45, 32, 26));
        painter.drawEllipse(QRectF(0.28 * kWidth, 0.16 * kHeight, 0.44 * kWidth, 0.44 * kHeight));
        painter.setBrush(QColor(232, 188, 160));
        painter.drawEllipse(QRectF(0.35 * kWidth, 0.25 * kHeight, 0.3 * kWidth, 0.32 * kHeight));
        painter.end();
        return PhotoImage::Adopt(image);
    }();
    return *photo;
}

void BM_KeyOutBackdrop12MP(benchmark::State& state)
{
    const PhotoImage& photo = StudioPhoto();
    const uint32_t backdrop = SampleBackdropColor(photo, 40, 40).value_or(0xFF28AA4Bu);
    for (auto _ : state) {
        auto keyed = KeyOutBackdrop(photo, backdrop);
        benchmark::DoNotOptimize(keyed.get());
    }
    state.SetItemsProcessed(state.iterations() * int64_t(kWidth) * kHeight);
}
BENCHMARK(BM_KeyOutBackdrop12MP)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SampleBackdropColor(benchmark::State& state)
{
    const PhotoImage& photo = StudioPhoto();
    uint32_t x = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(SampleBackdropColor(photo, x, 100));
        x = (x + 97) % uint32_t(kWidth);
    }
}
BENCHMARK(BM_SampleBackdropColor)->Unit(benchmark::kMicrosecond);

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

} // namespace
} // namespace lumavo
