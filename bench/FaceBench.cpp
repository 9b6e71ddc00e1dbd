#include "faces/FaceFinder.h"

#include <QDir>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#ifndef _WIN32
#include <sys/resource.h>
#endif

namespace {

QImage TestPortrait(const char* name)
{
    return QImage(QDir(QStringLiteral(LUMAVO_SOURCE_DIR "/tests/data/faces")).filePath(QString::fromLatin1(name)))
        .convertToFormat(QImage::Format_RGB32);
}

// A real portrait enlarged onto a 24-megapixel studio backdrop, as a
// camera delivers it.
QImage Camera24MP(const char* name, double share)
{
    const QImage portrait = TestPortrait(name);
    QImage photo(6000, 4000, QImage::Format_RGB32);
    photo.fill(QColor(72, 88, 120));
    const double height = 4000 * share;
    const double width = portrait.width() * height / portrait.height();
    QPainter painter(&photo);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRectF((6000 - width) / 2, 4000 - height, width, height), portrait);
    return photo;
}

double ProcessCpuMs()
{
#ifndef _WIN32
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec * 1e3 + usage.ru_utime.tv_usec / 1e3 + usage.ru_stime.tv_sec * 1e3
        + usage.ru_stime.tv_usec / 1e3;
#else
    return 0;
#endif
}

void RunFind(benchmark::State& state, const QImage& photo)
{
    auto finder = lumavo::FaceFinder::Load(lumavo::FaceFinder::DefaultFolders(QString()));
    if (!finder || photo.isNull()) {
        state.SkipWithError("no face detectors or no test portrait");
        return;
    }
    size_t faces = 0;
    const double before = ProcessCpuMs();
    for (auto _ : state) {
        const lumavo::FaceSearch search = finder->Find(photo);
        faces = search.faces.size();
        benchmark::DoNotOptimize(faces);
    }
    state.counters["faces"] = double(faces);
    // The processor time of all threads: on a busy machine the wall time
    // says little, this says what the search costs.
    state.counters["cpu_ms_all_threads"] = benchmark::Counter((ProcessCpuMs() - before) / double(state.iterations()));
}

// One studio portrait: the reduction of the 24 MP photo, the search and the
// eyes, all counted.
void BM_FindFaces24MP(benchmark::State& state)
{
    RunFind(state, Camera24MP("grace_hopper.jpg", 1.0));
}
BENCHMARK(BM_FindFaces24MP)->Unit(benchmark::kMillisecond)->UseRealTime();

// A family of three filling the frame.
void BM_FindFaces24MPFamily(benchmark::State& state)
{
    RunFind(state, Camera24MP("2008_001322.jpg", 1.0));
}
BENCHMARK(BM_FindFaces24MPFamily)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
