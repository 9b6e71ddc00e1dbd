// From LoadMovie + Play to the album's first paint with its list in (the
// browser is usable from then on; thumbnails fill in behind), and to the
// last thumbnail made: the four sample templates, and twenty template
// folders copied from them into a local album server without album.xml.

#include "app/AlbumView.h"
#include "app/ShockwaveFlash.h"
#include "platform/ProfileFile.h"
#include "platform/ProgramFolder.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>

namespace lumavo {
namespace {

// Notes the moment of the first paint after the album's list came in.
class FirstPaintWatch : public QObject {
public:
    qint64 paintedAt = -1;
    QElapsedTimer clock;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* album = static_cast<CAlbumView*>(watched);
        if (event->type() == QEvent::Paint && paintedAt < 0 && album->isLoaded())
            paintedAt = clock.nsecsElapsed();
        return false;
    }
};

struct AlbumSetup {
    QTemporaryDir program; // setting.ini naming the template root
    QString server;
    bool ok = false;
};

// The sample templates as they are (count 4), or copied round into twenty
// folders of a server of their own.
std::unique_ptr<AlbumSetup> MakeSetup(int count, const QString& realProgram)
{
    auto setup = std::make_unique<AlbumSetup>();
    const QString samples = realProgram + QLatin1String(kTemplateRootName);
    const QStringList names = QDir(samples).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    if (names.size() < 4)
        return setup;
    QString root = samples;
    setup->server = realProgram;
    if (count != 4) {
        setup->server = setup->program.filePath(QStringLiteral("server"));
        root = setup->program.filePath(QStringLiteral("temple"));
        for (int i = 0; i < count; ++i) {
            const QString from = QDir(samples).filePath(names[i % names.size()]);
            const QString to = QDir(root).filePath(QStringLiteral("模板%1").arg(i + 1, 2, 10, QLatin1Char('0')));
            QDir().mkpath(to);
            for (const QString& file :
                { QStringLiteral("bs.lmv"), QStringLiteral("fs.lmv"), QStringLiteral("layer.lmv") })
                QFile::copy(QDir(from).filePath(file), QDir(to).filePath(file));
        }
        QDir().mkpath(setup->server);
    }
    SetProgramFolderForTesting(setup->program.path());
    setup->ok = WriteProfileString(SettingsPath(), QLatin1String(kSettingsSection), QLatin1String(kTempPathKey), root);
    return setup;
}

void BM_AlbumFirstPaint(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    const QString realProgram = ProgramFolder();
    const std::unique_ptr<AlbumSetup> setup = MakeSetup(count, realProgram);
    if (!setup->ok) {
        state.SkipWithError("the sample templates are missing (build lumavo-samples)");
        SetProgramFolderForTesting(QString());
        return;
    }
    // The first round makes the thumbnails (the copies' cache keys are new
    // for each run); the later rounds find them in the thumbnail cache.
    double firstThumbnailsMs = -1;
    double cachedThumbnailsMs = 0;
    for (auto _ : state) {
        QWidget window;
        window.resize(800, 600);
        CShockwaveFlash control(&window);
        control.setGeometry(80, 60, 640, 460);
        window.show();
        FirstPaintWatch watch;
        watch.clock.start();
        control.LoadMovie(0, setup->server + QStringLiteral("/ablum/loadXml2.swf"));
        auto* album = static_cast<CAlbumView*>(control.Movie());
        album->installEventFilter(&watch);
        control.Play();
        while (watch.paintedAt < 0)
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        state.SetIterationTime(double(watch.paintedAt) * 1e-9);
        auto allMade = [album] {
            for (int i = 0; i < album->count(); ++i) {
                if (!album->HasThumbnail(i))
                    return false;
            }
            return true;
        };
        while (!allMade())
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        const double madeMs = double(watch.clock.nsecsElapsed()) * 1e-6;
        if (firstThumbnailsMs < 0)
            firstThumbnailsMs = madeMs;
        else
            cachedThumbnailsMs += madeMs;
        if (album->count() != count)
            state.SkipWithError("unexpected template count");
    }
    state.counters["thumbnails_first_ms"] = firstThumbnailsMs;
    if (state.iterations() > 1)
        state.counters["thumbnails_cached_ms"] = cachedThumbnailsMs / double(state.iterations() - 1);
    SetProgramFolderForTesting(QString());
}
BENCHMARK(BM_AlbumFirstPaint)->Arg(4)->Arg(20)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

} // namespace
} // namespace lumavo
