// From a key press in the photo layout window to its picture control
// repainted with the new composite, on a 2800 x 3500 template with a
// 24-megapixel photo; and the canvas's own share of that (showing a new
// composite, painting it).

#include "BenchPictures.h"
#include "imaging/PhotoImage.h"
#include "skin/SkinLibrary.h"
#include "templates/Composition.h"
#include "templates/TemplateFolder.h"
#include "ui/PhotoCanvas.h"
#include "ui/PhotoLayoutDlg.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <functional>
#include <memory>

namespace lumavo {
namespace {

constexpr int kTemplateWidth = 2800;
constexpr int kTemplateHeight = 3500;
const LayerRect kOpening { 200, 250, 1400, 1583 };

// bs.lmv, fs.lmv and layer.lmv of a large template, and a 24-megapixel JPEG,
// written once into a temporary folder.
struct Files {
    QTemporaryDir dir;
    QString photo;
    bool ok = false;
};

const Files& TemplateFiles()
{
    static const std::unique_ptr<Files> files = [] {
        auto made = std::make_unique<Files>();
        const QImage background = bench::MakeBackground(kTemplateWidth, kTemplateHeight);
        const QImage foreground = bench::MakeForeground(kTemplateWidth, kTemplateHeight, kOpening);
        const QImage photo = bench::MakePhoto();
        const QString dir = made->dir.path() + "/";
        made->photo = dir + "photo.jpg";
        QFile layer(dir + "layer.lmv");
        made->ok = made->dir.isValid() && background.save(dir + "bs.lmv", "PNG", 90)
            && foreground.save(dir + "fs.lmv", "PNG", 90) && photo.save(made->photo, "JPEG", 90)
            && layer.open(QIODevice::WriteOnly)
            && layer.write(QStringLiteral("[layer]\r\nx=%1\r\ny=%2\r\nwidth=%3\r\nheight=%4\r\n")
                               .arg(kOpening.left)
                               .arg(kOpening.top)
                               .arg(kOpening.right - kOpening.left)
                               .arg(kOpening.bottom - kOpening.top)
                               .toLatin1())
                > 0;
        return made;
    }();
    return *files;
}

// Runs `act` from the event loop once `ready` holds for the active modal window.
void WhenModal(std::function<bool(QWidget*)> ready, std::function<void(QWidget*)> act)
{
    auto* timer = new QTimer;
    timer->setInterval(1);
    QObject::connect(timer, &QTimer::timeout, [timer, ready = std::move(ready), act = std::move(act)] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible() || !ready(modal))
            return;
        timer->stop();
        timer->deleteLater();
        act(modal);
    });
    timer->start();
}

// Counts the canvas's paint events, to make sure each press really repainted it.
class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

// Runs the layout window on the large template, cancels its photo dialog,
// loads the photo through the photo step's loader and then times `press`
// keys, each followed by the canvas's repaint.
void KeyToCanvas(benchmark::State& state, bool zoom)
{
    const Files& files = TemplateFiles();
    if (!files.ok) {
        state.SkipWithError("cannot write the template files");
        return;
    }
    // The window as the program shows it: with its skin.
    static const bool skinned
        = skin::InitSkinLibrary(QString()) && skin::LoadSkinResource(QStringLiteral("lmvface"), QStringLiteral("AAA"));
    if (!skinned) {
        state.SkipWithError("cannot load the skin");
        return;
    }
    CPhotoLayoutDlg window;
    window.SetFolder(TemplateFolder::FromPath(files.dir.path()));
    WhenModal([&](QWidget* modal) { return modal != &window; },
        [&](QWidget* photoDialog) {
            photoDialog->close();
            WhenModal([&](QWidget* modal) { return modal == &window; },
                [&](QWidget*) {
                    CPhotoCanvas* canvas = window.Canvas();
                    PaintCounter counter;
                    canvas->installEventFilter(&counter);
                    if (!window.LoadPhoto(files.photo)) {
                        state.SkipWithError("cannot load the photo");
                        window.reject();
                        return;
                    }
                    canvas->repaint();
                    const PhotoPlacement start = window.Placement();
                    const int moves[4] = { Qt::Key_Right, Qt::Key_Down, Qt::Key_Left, Qt::Key_Up };
                    int press = 0;
                    for (auto _ : state) {
                        int key = moves[(press / 12) % 4];
                        Qt::KeyboardModifiers modifiers = Qt::NoModifier;
                        if (zoom) {
                            key = press % 40 < 20 ? Qt::Key_Plus : Qt::Key_Minus;
                            modifiers = Qt::KeypadModifier;
                        }
                        ++press;
                        // As a held key sends it: an auto-repeated press.
                        QKeyEvent event(QEvent::KeyPress, key, modifiers, QString(), true);
                        QApplication::sendEvent(&window, &event);
                        canvas->repaint();
                    }
                    canvas->removeEventFilter(&counter);
                    if (counter.paints < press + 1)
                        state.SkipWithError("the canvas was not repainted at every press");
                    if (!zoom && press % 48 == 0 && !(window.Placement() == start))
                        state.SkipWithError("the presses did not add up");
                    window.reject();
                });
        });
    window.exec();
}

// The canvas's share: a new composite shown (display copy and scaled view).
void CanvasSetImage(benchmark::State& state)
{
    const Files& files = TemplateFiles();
    TemplatePictures pictures = LoadTemplatePictures(TemplateFolder::FromPath(files.dir.path()));
    auto photo = PhotoImage::FromFile(files.photo);
    if (!pictures.error.isEmpty() || photo->lastStatus() != Ok) {
        state.SkipWithError("cannot load the template");
        return;
    }
    CPhotoCanvas canvas;
    canvas.resize(640, 480);
    Compositor compositor;
    PhotoPlacement placement = PlacePhoto(kOpening, int32_t(photo->Width()), int32_t(photo->Height()));
    auto previous = compositor.ComposeTemplate(
        nullptr, pictures.foreground.get(), photo.get(), pictures.background.get(), placement);
    for (auto _ : state) {
        state.PauseTiming();
        placement = MovePlacement(placement, 5, 0);
        auto composite = compositor.ComposeTemplate(
            nullptr, pictures.foreground.get(), photo.get(), pictures.background.get(), placement);
        previous.reset();
        state.ResumeTiming();
        canvas.SetImage(composite.get());
        previous = std::move(composite);
    }
}

// The canvas's paint alone (scaled view and frame), inside a window.
void CanvasPaint(benchmark::State& state)
{
    QImage picture(kTemplateWidth, kTemplateHeight, QImage::Format_RGB32);
    picture.fill(0xFF808080u);
    auto composite = PhotoImage::Adopt(picture);
    QWidget window;
    window.resize(800, 600);
    auto* canvas = new CPhotoCanvas(&window);
    canvas->setGeometry(80, 60, 640, 480);
    canvas->SetImage(composite.get());
    window.show();
    QApplication::processEvents();
    PaintCounter counter;
    canvas->installEventFilter(&counter);
    int64_t repaints = 0;
    for (auto _ : state) {
        canvas->repaint();
        ++repaints;
    }
    canvas->removeEventFilter(&counter);
    if (counter.paints < repaints)
        state.SkipWithError("the canvas was not repainted");
}

const bool registered = [] {
    auto timed = [](benchmark::internal::Benchmark* b) { b->Unit(benchmark::kMillisecond); };
    timed(benchmark::RegisterBenchmark("BM_KeyToCanvas/2800x3500", KeyToCanvas, false));
    timed(benchmark::RegisterBenchmark("BM_KeyToCanvasZoom/2800x3500", KeyToCanvas, true));
    timed(benchmark::RegisterBenchmark("BM_CanvasSetImage/2800x3500", CanvasSetImage));
    timed(benchmark::RegisterBenchmark("BM_CanvasPaint/2800x3500", CanvasPaint));
    return true;
}();

} // namespace
} // namespace lumavo
