// Recomposition after the layout window's key presses, and the finished
// picture's rendering, on a 24-megapixel photo.

#include "BenchPictures.h"
#include "imaging/ImageFiles.h"
#include "imaging/PhotoImage.h"
#include "templates/Caption.h"
#include "templates/Composition.h"
#include "templates/OutputRender.h"
#include "templates/Portrait.h"
#include "templates/TemplateFolder.h"

#include <QImage>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

namespace lumavo {
namespace {

struct Template {
    std::unique_ptr<PhotoImage> background;
    std::unique_ptr<PhotoImage> foreground;
    LayerRect opening;
};

Template MakeTemplate(int width, int height, const LayerRect& opening)
{
    return { PhotoImage::Adopt(bench::MakeBackground(width, height)),
        PhotoImage::Adopt(bench::MakeForeground(width, height, opening)), opening };
}

const PhotoImage& Photo()
{
    static const std::unique_ptr<PhotoImage> photo = PhotoImage::Adopt(bench::MakePhoto());
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

// The template's files in a folder of their own; false after telling the benchmark.
bool WriteTemplateFiles(const Template& t, const QTemporaryDir& folder, benchmark::State& state)
{
    if (!folder.isValid() || !t.background->image().save(folder.filePath("bs.lmv"), "JPEG", 95)
        || !t.foreground->image().save(folder.filePath("fs.lmv"), "PNG")) {
        state.SkipWithError("cannot write the template files");
        return false;
    }
    return true;
}

// Save: the template read afresh, the layers drawn at full size with the
// caption, written as a JPEG of quality 90.
void RenderAndSave(benchmark::State& state)
{
    const Template& t = SmallTemplate();
    QTemporaryDir folder;
    if (!WriteTemplateFiles(t, folder, state))
        return;
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

// The output window's save through the portrait: the template read once,
// the layers in hand reused while the files are unchanged.
void PortraitSave(benchmark::State& state)
{
    const Template& t = SmallTemplate();
    QTemporaryDir folder;
    if (!WriteTemplateFiles(t, folder, state))
        return;
    Portrait portrait;
    if (!portrait.LoadTemplate(TemplateFolder::FromPath(folder.path())).error.isEmpty()) {
        state.SkipWithError("cannot read the template files");
        return;
    }
    const PhotoImage& photo = Photo();
    portrait.SetPhoto(PhotoImage::Adopt(photo.image()));
    portrait.SetPlacement(PlacePhoto(t.opening, int32_t(photo.Width()), int32_t(photo.Height())));
    const QString caption = BuiltInCaptionText();
    const QString output = folder.filePath("out.jpg");
    for (auto _ : state) {
        if (!portrait.Save(output, caption, 90).ok()) {
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
    timed(benchmark::RegisterBenchmark("BM_PortraitSave/1400x2100", PortraitSave));
    return true;
}();

} // namespace
} // namespace lumavo
