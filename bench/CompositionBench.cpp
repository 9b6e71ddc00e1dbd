// Recomposition after the layout window's key presses, and the finished
// picture's rendering, on a 24-megapixel photo.

#include "imaging/ImageFiles.h"
#include "imaging/PhotoImage.h"
#include "templates/Caption.h"
#include "templates/Composition.h"
#include "templates/OutputRender.h"
#include "templates/TemplateFolder.h"

#include <QImage>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace lumavo {
namespace {

constexpr int kPhotoWidth = 6000;
constexpr int kPhotoHeight = 4000;
constexpr int kFeather = 24;

QImage MakePhoto()
{
    QImage image(kPhotoWidth, kPhotoHeight, QImage::Format_RGB32);
    for (int y = 0; y < kPhotoHeight; ++y) {
        auto* line = reinterpret_cast<uint32_t*>(image.scanLine(y));
        for (int x = 0; x < kPhotoWidth; ++x) {
            const uint32_t r = uint32_t(x * 255 / kPhotoWidth);
            const uint32_t g = uint32_t(y * 255 / kPhotoHeight);
            const uint32_t b = uint32_t((x ^ y) & 0xFF);
            line[x] = 0xFF000000u | (r << 16) | (g << 8) | b;
        }
    }
    return image;
}

struct Template {
    std::unique_ptr<PhotoImage> background;
    std::unique_ptr<PhotoImage> foreground;
    LayerRect opening;
};

// Background: gradients. Foreground: an opaque patterned frame, the
// opening transparent, feathered semi-transparent edges between.
Template MakeTemplate(int width, int height, const LayerRect& opening)
{
    QImage background(width, height, QImage::Format_RGB32);
    QImage foreground(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        auto* under = reinterpret_cast<uint32_t*>(background.scanLine(y));
        auto* over = reinterpret_cast<uint32_t*>(foreground.scanLine(y));
        for (int x = 0; x < width; ++x) {
            under[x] = 0xFF000000u | (uint32_t(60 + y * 120 / height) << 16) | (uint32_t(x * 200 / width) << 8) | 90u;
            const int inside
                = std::min({ x - opening.left, opening.right - 1 - x, y - opening.top, opening.bottom - 1 - y });
            const uint32_t alpha = inside >= kFeather ? 0u
                : inside < 0                          ? 255u
                                                      : uint32_t(255 - inside * 255 / kFeather);
            over[x] = (alpha << 24) | (uint32_t(140 + (x + y) % 80) << 16) | (uint32_t(110 + x % 40) << 8) | 40u;
        }
    }
    return { PhotoImage::Adopt(std::move(background)), PhotoImage::Adopt(std::move(foreground)), opening };
}

const PhotoImage& Photo()
{
    static const std::unique_ptr<PhotoImage> photo = PhotoImage::Adopt(MakePhoto());
    return *photo;
}

const Template& SmallTemplate()
{
    static const Template t = MakeTemplate(1400, 2100, LayerRect { 100, 150, 700, 950 });
    return t;
}

const Template& LargeTemplate()
{
    // The same proportions of frame and opening on a larger sheet.
    static const Template t = MakeTemplate(2800, 3500, LayerRect { 200, 250, 1400, 1583 });
    return t;
}

class NullCanvas : public CompositeSink {
public:
    void SetImage(const PhotoImage* picture) override { benchmark::DoNotOptimize(picture); }
};

// Arrow keys: a walk right, down, left and up, 5 pixels a press; the
// previous composite is released once the new one has been made.
void RecomposeMove(benchmark::State& state, const Template& (*templateOf)())
{
    const Template& t = templateOf();
    const PhotoImage& photo = Photo();
    NullCanvas canvas;
    Compositor compositor;
    PhotoPlacement placement = PlacePhoto(t.opening, int32_t(photo.Width()), int32_t(photo.Height()));
    auto previous = compositor.ComposeTemplate(&canvas, t.foreground.get(), &photo, t.background.get(), placement);
    const int steps[4][2] = { { 5, 0 }, { 0, 5 }, { -5, 0 }, { 0, -5 } };
    int press = 0;
    for (auto _ : state) {
        const int* step = steps[(press++ / 12) % 4];
        placement = MovePlacement(placement, step[0], step[1]);
        auto composite = compositor.ComposeTemplate(&canvas, t.foreground.get(), &photo, t.background.get(), placement);
        benchmark::DoNotOptimize(composite->image().constBits());
        previous = std::move(composite);
    }
}

// Keypad +: every press a new size; the walk starts over now and then.
void RecomposeZoom(benchmark::State& state, const Template& (*templateOf)())
{
    const Template& t = templateOf();
    const PhotoImage& photo = Photo();
    NullCanvas canvas;
    Compositor compositor;
    const PhotoPlacement start = PlacePhoto(t.opening, int32_t(photo.Width()), int32_t(photo.Height()));
    PhotoPlacement placement = start;
    auto previous = compositor.ComposeTemplate(&canvas, t.foreground.get(), &photo, t.background.get(), placement);
    int press = 0;
    for (auto _ : state) {
        placement = ++press % 40 == 0 ? ZoomPlacement(start, -5) : ZoomPlacement(placement, 5);
        auto composite = compositor.ComposeTemplate(&canvas, t.foreground.get(), &photo, t.background.get(), placement);
        benchmark::DoNotOptimize(composite->image().constBits());
        previous = std::move(composite);
    }
}

// Save: the template read afresh, the layers drawn at full size with the
// caption, written as a JPEG of quality 90.
void RenderAndSave(benchmark::State& state)
{
    const Template& t = SmallTemplate();
    QTemporaryDir folder;
    if (!folder.isValid() || !t.background->image().save(folder.filePath("bs.lmv"), "JPEG", 95)
        || !t.foreground->image().save(folder.filePath("fs.lmv"), "PNG")) {
        state.SkipWithError("cannot write the template files");
        return;
    }
    const TemplateFolder templateFolder = TemplateFolder::FromPath(folder.path());
    const PhotoImage& photo = Photo();
    const PhotoPlacement placement = PlacePhoto(t.opening, int32_t(photo.Width()), int32_t(photo.Height()));
    const QString caption = BuiltInCaptionText();
    const QString output = folder.filePath("out.jpg");
    for (auto _ : state) {
        RenderResult rendered = RenderOutput(templateFolder, &photo, placement, 1400, 2100, caption);
        if (!rendered.picture || SaveImage(rendered.picture, output, 90) != Ok) {
            state.SkipWithError("rendering or saving failed");
            return;
        }
    }
}

const bool registered = [] {
    auto timed = [](benchmark::internal::Benchmark* b) { b->Unit(benchmark::kMillisecond); };
    timed(benchmark::RegisterBenchmark("BM_RecomposeMove/1400x2100", RecomposeMove, &SmallTemplate));
    timed(benchmark::RegisterBenchmark("BM_RecomposeMove/2800x3500", RecomposeMove, &LargeTemplate));
    timed(benchmark::RegisterBenchmark("BM_RecomposeZoom/1400x2100", RecomposeZoom, &SmallTemplate));
    timed(benchmark::RegisterBenchmark("BM_RecomposeZoom/2800x3500", RecomposeZoom, &LargeTemplate));
    timed(benchmark::RegisterBenchmark("BM_RenderOutput/1400x2100", RenderAndSave));
    return true;
}();

} // namespace
} // namespace lumavo
