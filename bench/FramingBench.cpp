// The customer's photo tried in the templates: reading a 24 MP photo once
// (decode, faces, reduced copy) and each template's picture made from it.

#include "framing/TemplateTrial.h"
#include "platform/ProgramFolder.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

using namespace lumavo;

// A real portrait on a 24-megapixel studio backdrop, written as a camera's JPEG.
QString WriteCamera24MP(const QTemporaryDir& folder)
{
    const QImage portrait(QStringLiteral(LUMAVO_SOURCE_DIR "/tests/data/faces/grace_hopper.jpg"));
    if (portrait.isNull())
        return {};
    QImage photo(6000, 4000, QImage::Format_RGB32);
    photo.fill(portrait.pixel(2, 2));
    const double height = 2400;
    const double width = portrait.width() * height / portrait.height();
    {
        QPainter painter(&photo);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRectF((6000 - width) / 2, 1000, width, height), portrait);
    }
    const QString path = folder.filePath(QStringLiteral("camera.jpg"));
    return photo.save(path, "JPEG", 92) ? path : QString();
}

void BM_TrialPhoto24MP(benchmark::State& state)
{
    QTemporaryDir folder;
    const QString path = WriteCamera24MP(folder);
    if (path.isEmpty()) {
        state.SkipWithError("no test portrait");
        return;
    }
    bool found = false;
    for (auto _ : state) {
        const TrialPhoto photo = LoadTrialPhoto(path, true);
        found = photo.subject.has_value();
        benchmark::DoNotOptimize(found);
    }
    state.counters["face"] = found ? 1 : 0;
}
BENCHMARK(BM_TrialPhoto24MP)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

// One album thumbnail (the box the album shows at 800 x 600) per sample template.
void BM_TrialThumbnail(benchmark::State& state)
{
    QTemporaryDir folder;
    const QString path = WriteCamera24MP(folder);
    const QString root = ProgramFolder() + QLatin1String(kTemplateRootName);
    const QStringList names = QDir(root).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    if (path.isEmpty() || names.isEmpty()) {
        state.SkipWithError("no test portrait or no sample templates (build lumavo-samples)");
        return;
    }
    const TrialPhoto photo = LoadTrialPhoto(path, true);
    qsizetype next = 0;
    for (auto _ : state) {
        const auto templ = TemplateFolder::Make(root, names[next++ % names.size()]);
        const TrialPicture picture = MakeTrialPicture(*templ, photo, QSize(184, 158), FramingGoal());
        benchmark::DoNotOptimize(picture.image.constBits());
    }
}
BENCHMARK(BM_TrialThumbnail)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

} // namespace
