#include "imaging/PhotoImage.h"
#include "imaging/ScaledLoad.h"

#include <QImage>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdint>

namespace {

// A 24-megapixel camera-like JPEG, written once per process.
const QString& CameraPhoto()
{
    static QTemporaryDir dir;
    static const QString path = [] {
        QImage photo(6000, 4000, QImage::Format_RGB32);
        uint32_t state = 12345;
        for (int y = 0; y < photo.height(); ++y) {
            auto* line = reinterpret_cast<uint32_t*>(photo.scanLine(y));
            for (int x = 0; x < photo.width(); ++x) {
                state = state * 1664525u + 1013904223u;
                const uint32_t grain = (state >> 28) & 15;
                const uint32_t r = ((x / 7) % 200) + grain;
                const uint32_t g = ((y / 5) % 200) + grain;
                const uint32_t b = (((x + y) / 11) % 200) + grain;
                line[x] = 0xFF000000u | (r << 16) | (g << 8) | b;
            }
        }
        const QString file = dir.filePath("camera.jpg");
        photo.save(file, "JPEG", 92);
        return file;
    }();
    return path;
}

// The photo as the layout window loads it: decoded at full size.
void BM_LoadPhotoFullSize(benchmark::State& state)
{
    const QString& path = CameraPhoto();
    for (auto _ : state) {
        auto photo = lumavo::PhotoImage::FromFile(path);
        benchmark::DoNotOptimize(photo->Width());
    }
}
BENCHMARK(BM_LoadPhotoFullSize)->Unit(benchmark::kMillisecond);

// The photo as lumavo-cli render loads it for the 4R opening (600 x 400 drawn).
void BM_LoadPhotoForDrawing(benchmark::State& state)
{
    const QString& path = CameraPhoto();
    for (auto _ : state) {
        auto loaded = lumavo::LoadForDrawing(path, 600, 400);
        benchmark::DoNotOptimize(loaded.picture->Width());
    }
}
BENCHMARK(BM_LoadPhotoForDrawing)->Unit(benchmark::kMillisecond);

} // namespace
