#include "TestUtils.h"
#include "imaging/PhotoImage.h"
#include "templates/Composition.h"
#include "ui/PhotoCanvas.h"

#include <QPainter>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace lumavo {
namespace {

// A parent window that records the picks its canvas sends it.
class PickRecorder : public QWidget {
public:
    struct Pick {
        int message;
        uint32_t x;
        uint32_t y;
    };
    std::vector<Pick> picks;

protected:
    bool event(QEvent* event) override
    {
        if (event->type() == PickEvent::Type()) {
            auto* pick = static_cast<PickEvent*>(event);
            picks.push_back({ pick->message(), pick->x(), pick->y() });
            return true;
        }
        return QWidget::event(event);
    }
};

std::unique_ptr<PhotoImage> Solid(int width, int height, QRgb colour, QImage::Format format = QImage::Format_RGB32)
{
    QImage image(width, height, format);
    image.fill(colour);
    return PhotoImage::Adopt(image);
}

// A 500 x 400 canvas in a window, with the pick mode disarmed afterwards.
struct CanvasFixture : ::testing::Test {
    PickRecorder window;
    CPhotoCanvas* canvas = nullptr;
    void SetUp() override
    {
        window.resize(600, 500);
        canvas = new CPhotoCanvas(&window);
        canvas->setGeometry(20, 30, 500, 400);
        window.show();
    }
    void TearDown() override { CPhotoCanvas::SetPickMode(kPickNone); }
    PickRecorder::Pick Click(int x, int y)
    {
        window.picks.clear();
        QTest::mouseClick(canvas, Qt::LeftButton, Qt::NoModifier, QPoint(x, y));
        EXPECT_EQ(window.picks.size(), 1u) << "click at " << x << "," << y;
        return window.picks.empty() ? PickRecorder::Pick { 0, 0, 0 } : window.picks.back();
    }
};

TEST_F(CanvasFixture, FitsCentresAndMapsClicksToPicturePixels)
{
    CPhotoCanvas::SetPickMode(kPickToneTool);
    auto wide = Solid(1000, 600, 0xFF336699u);
    canvas->SetImage(wide.get());
    EXPECT_EQ(canvas->DisplayRect(), QRect(0, 50, 500, 300));
    EXPECT_EQ(canvas->PictureSize(), QSize(1000, 600));
    auto pick = Click(250, 200);
    EXPECT_EQ(pick.message, kPickMessageApp);
    EXPECT_EQ(pick.x, 500u);
    EXPECT_EQ(pick.y, 300u);
    pick = Click(0, 50);
    EXPECT_EQ(pick.x, 0u);
    EXPECT_EQ(pick.y, 0u);
    pick = Click(499, 349);
    EXPECT_EQ(pick.x, 998u);
    EXPECT_EQ(pick.y, 598u);

    // Never enlarged; clicks left of or above the picture wrap around.
    auto small = Solid(300, 200, 0xFF336699u);
    canvas->SetImage(small.get());
    EXPECT_EQ(canvas->DisplayRect(), QRect(100, 100, 300, 200));
    pick = Click(399, 299);
    EXPECT_EQ(pick.x, 299u);
    EXPECT_EQ(pick.y, 199u);
    pick = Click(50, 150);
    EXPECT_EQ(pick.x, 14316507u);
    EXPECT_EQ(pick.y, 50u);
    pick = Click(150, 50);
    EXPECT_EQ(pick.x, 50u);
    EXPECT_EQ(pick.y, 21474786u);
}

TEST_F(CanvasFixture, PickModeDecidesWhatAClickSends)
{
    auto picture = Solid(300, 200, 0xFF000000u);
    canvas->SetImage(picture.get());
    auto clicks = [&](int count) {
        window.picks.clear();
        for (int i = 0; i < count; ++i)
            QTest::mouseClick(canvas, Qt::LeftButton, Qt::NoModifier, QPoint(200, 200));
        return window.picks;
    };
    EXPECT_TRUE(clicks(1).empty());

    CPhotoCanvas::SetPickMode(kPickWhiteSpot);
    auto picks = clicks(2);
    ASSERT_EQ(picks.size(), 2u); // armed until changed: a click does not disarm
    EXPECT_EQ(picks[1].message, kPickMessageUser1);
    EXPECT_EQ(CPhotoCanvas::PickMode(), kPickWhiteSpot);

    // Only 0, 1 and 2 are modes.
    CPhotoCanvas::SetPickMode(3);
    CPhotoCanvas::SetPickMode(-1);
    EXPECT_EQ(CPhotoCanvas::PickMode(), kPickWhiteSpot);
    CPhotoCanvas::SetPickMode(kPickToneTool);
    picks = clicks(1);
    ASSERT_EQ(picks.size(), 1u);
    EXPECT_EQ(picks[0].message, kPickMessageApp);
    QTest::mouseClick(canvas, Qt::RightButton, Qt::NoModifier, QPoint(200, 200));
    EXPECT_EQ(window.picks.size(), 1u);

    // Opening another working window (a new canvas) disarms the pick.
    CPhotoCanvas other;
    EXPECT_EQ(CPhotoCanvas::PickMode(), kPickNone);
    CPhotoCanvas::SetPickMode(kPickToneTool);

    // An empty canvas, and a picture too thin to show, take no clicks.
    auto thin = Solid(2000, 1, 0xFF000000u);
    canvas->SetImage(thin.get());
    EXPECT_EQ(canvas->DisplayRect().height(), 0);
    EXPECT_TRUE(clicks(1).empty());
    canvas->SetImage(nullptr);
    EXPECT_FALSE(canvas->HasPicture());
    EXPECT_TRUE(clicks(1).empty());
    auto failed = PhotoImage::Adopt(QImage(), FileNotFound);
    canvas->SetImage(failed.get());
    EXPECT_FALSE(canvas->HasPicture());
    EXPECT_TRUE(clicks(1).empty());
}

TEST_F(CanvasFixture, DisplayCopyIsOpaqueOverWhiteAndIndependentOfTheCaller)
{
    // Left half transparent, right half half-transparent red.
    QImage translucent(40, 20, QImage::Format_ARGB32);
    translucent.fill(Qt::transparent);
    for (int y = 0; y < 20; ++y)
        for (int x = 20; x < 40; ++x)
            translucent.setPixel(x, y, qRgba(255, 0, 0, 128));
    auto picture = PhotoImage::Adopt(translucent);
    canvas->SetImage(picture.get());
    QImage copy = canvas->DisplayImage();
    ASSERT_EQ(copy.size(), QSize(40, 20));
    EXPECT_FALSE(copy.hasAlphaChannel());
    EXPECT_EQ(copy.pixel(5, 5), 0xFFFFFFFFu);
    const QColor mixed = copy.pixelColor(30, 5);
    EXPECT_EQ(mixed.red(), 255);
    EXPECT_NEAR(mixed.green(), 127, 1);
    EXPECT_NEAR(mixed.blue(), 127, 1);

    // Changing the given pictures in place shows nothing until SetImage again.
    picture->mutableImage().fill(Qt::black);
    EXPECT_EQ(canvas->DisplayImage().pixel(5, 5), 0xFFFFFFFFu);
    auto opaque = Solid(300, 200, 0xFF00FF00u);
    canvas->SetImage(opaque.get());
    {
        auto painter = opaque->Surface();
        ASSERT_TRUE(painter);
        painter->fillRect(0, 0, 300, 200, Qt::blue);
    }
    EXPECT_EQ(canvas->DisplayImage().pixel(150, 100), 0xFF00FF00u);
    EXPECT_EQ(canvas->grab().toImage().pixel(250, 200), 0xFF00FF00u);
    canvas->SetImage(opaque.get());
    EXPECT_EQ(canvas->grab().toImage().pixel(250, 200), 0xFF0000FFu);
}

TEST_F(CanvasFixture, CompositorNeverRecyclesTheCompositeOnShow)
{
    // The canvas shares an opaque composite's pixels instead of copying
    // them; the compositor must then leave that buffer alone even after the
    // layout window has released the composite. Both display paths: a
    // picture shrunk to the canvas, and one shown 1:1.
    for (const QSize size : { QSize(800, 600), QSize(400, 300) }) {
        QImage backdrop(size, QImage::Format_RGB32);
        backdrop.fill(0xFF808080u);
        auto background = PhotoImage::Adopt(backdrop);
        auto photo = Solid(100, 100, 0xFFFF0000u);
        Compositor compositor;
        auto shown = compositor.ComposeTemplate(canvas, nullptr, photo.get(), background.get(), { 0, 0, 100, 100 });
        const QImage before = canvas->DisplayImage().copy();
        const QImage painted = canvas->grab().toImage();
        shown.reset();
        for (int i = 1; i <= 6; ++i) {
            auto next = compositor.ComposeTemplate(
                nullptr, nullptr, photo.get(), background.get(), { 40 * i, 30 * i, 100, 100 });
        }
        EXPECT_EQ(canvas->DisplayImage(), before) << size.width();
        EXPECT_EQ(canvas->grab().toImage(), painted) << size.width();
    }
}

TEST_F(CanvasFixture, PaintsFramedPictureAndLeavesTheRestToTheParent)
{
    QPalette palette = window.palette();
    palette.setColor(QPalette::Window, QColor(0x20, 0xC0, 0x40));
    window.setPalette(palette);
    window.setAutoFillBackground(true);
    auto picture = Solid(300, 200, 0xFFFFFFFFu);
    canvas->SetImage(picture.get());
    const QImage shot = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QPoint origin = canvas->pos();
    auto at = [&](int x, int y) { return shot.pixel(origin + QPoint(x, y)); };
    const QRgb black = 0xFF000000u;
    const QRgb parent = 0xFF20C040u;
    // The frame (100, 100, 300, 200): left and top on the picture, right
    // and bottom one pixel outside it.
    for (int y = 100; y <= 300; ++y) {
        EXPECT_EQ(at(100, y), black) << y;
        EXPECT_EQ(at(400, y), black) << y;
    }
    for (int x = 100; x <= 400; ++x) {
        EXPECT_EQ(at(x, 100), black) << x;
        EXPECT_EQ(at(x, 300), black) << x;
    }
    EXPECT_EQ(at(101, 101), 0xFFFFFFFFu);
    EXPECT_EQ(at(399, 299), 0xFFFFFFFFu);
    EXPECT_EQ(at(401, 150), parent);
    EXPECT_EQ(at(150, 301), parent);
    EXPECT_EQ(at(99, 99), parent);
    EXPECT_EQ(at(5, 5), parent);

    // An empty canvas paints nothing at all.
    canvas->SetImage(nullptr);
    const QImage empty = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(empty.pixel(origin + QPoint(100, 100)), parent);
    EXPECT_EQ(empty.pixel(origin + QPoint(250, 200)), parent);
}

TEST_F(CanvasFixture, ShrunkPictureIsAveragedNotSampled)
{
    // Single-pixel stripes: a good downscale shows them as an even grey,
    // point sampling as solid black or white.
    QImage stripes(1000, 800, QImage::Format_RGB32);
    for (int y = 0; y < stripes.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(stripes.scanLine(y));
        for (int x = 0; x < stripes.width(); ++x)
            line[x] = (x + y) % 2 ? 0xFFFFFFFFu : 0xFF000000u;
    }
    auto picture = PhotoImage::Adopt(stripes);
    canvas->SetImage(picture.get());
    EXPECT_EQ(canvas->DisplayRect(), QRect(0, 0, 500, 400));
    const QImage shot = canvas->grab().toImage();
    for (const QPoint p : { QPoint(100, 100), QPoint(333, 217), QPoint(498, 398) }) {
        const QColor c = shot.pixelColor(p);
        EXPECT_NEAR(c.red(), 128, 12) << p.x() << "," << p.y();
        EXPECT_NEAR(c.green(), 128, 12);
    }
}

} // namespace
} // namespace lumavo
