#include "imaging/SkinSmoothing.h"

#include <QImage>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <memory>

namespace {

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;

// A 12-megapixel portrait-like photo: a shaded backdrop, a face and neck of
// skin with dark eyes and a hairline, camera grain over everything. The
// smoothing's cost does not depend on the content, but this keeps every
// branch (skin, edges, non-skin) in play.
QImage MakePortrait()
{
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    uint32_t state = 12345;
    const double cx = kWidth / 2.0, cy = kHeight / 2.0, rx = kWidth / 6.0, ry = kHeight / 3.0;
    for (int y = 0; y < kHeight; ++y) {
        auto* line = reinterpret_cast<uint32_t*>(image.scanLine(y));
        for (int x = 0; x < kWidth; ++x) {
            state = state * 1664525u + 1013904223u;
            const int grain = int(state >> 28) - 8;
            const double dx = (x - cx) / rx, dy = (y - cy) / ry;
            const double face = dx * dx + dy * dy;
            const double ex = (std::abs(x - cx) - rx * 0.4) / (rx * 0.15), ey = (y - cy + ry * 0.2) / (ry * 0.06);
            int r, g, b;
            if (face < 1.0 && ex * ex + ey * ey < 1.0) {
                r = 50, g = 40, b = 35;
            } else if (face < 1.0 && dy > -0.7) {
                r = 220 - int(30 * face), g = 175 - int(30 * face), b = 150 - int(25 * face);
            } else if (face < 1.3) {
                r = 70 + (x / 3) % 3 * 15, g = 50 + (x / 3) % 3 * 12, b = 40;
            } else {
                r = 120 + y * 60 / kHeight, g = 125 + y * 50 / kHeight, b = 130 + x * 40 / kWidth;
            }
            const auto clamp = [](int v) { return uint32_t(v < 0 ? 0 : v > 255 ? 255 : v); };
            line[x] = 0xFF000000u | clamp(r + grain) << 16 | clamp(g + grain) << 8 | clamp(b + grain);
        }
    }
    return image;
}

void BM_SmoothSkin12MP(benchmark::State& state)
{
    static const std::unique_ptr<lumavo::PhotoImage> photo = lumavo::PhotoImage::Adopt(MakePortrait());
    for (auto _ : state) {
        auto smoothed = lumavo::SmoothSkin(*photo);
        benchmark::DoNotOptimize(smoothed.get());
    }
    state.SetItemsProcessed(state.iterations() * int64_t(kWidth) * kHeight);
}
BENCHMARK(BM_SmoothSkin12MP)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
