#include "imaging/GeometricEdits.h"

#include "TestUtils.h"
#include "imaging/PixelAccess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <functional>

namespace lumavo {
namespace {

// Each pixel names its own position: red/green the column, blue the row.
std::unique_ptr<PhotoImage> NumberedPicture(int width, int height, PixelFormat format = PixelFormat32bppARGB)
{
    auto picture = PhotoImage::Blank(width, height, format);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture->mutableImage().setPixel(x, y, qRgb(x >> 8, x & 0xFF, y));
    return picture;
}

QPoint Origin(const QImage& image, int x, int y)
{
    const QRgb pixel = image.pixel(x, y);
    return { qRed(pixel) << 8 | qGreen(pixel), qBlue(pixel) };
}

TEST(GeometricEditsTest, TurnsAndFlipsMapEveryPixel)
{
    const int w = 7;
    const int h = 4;
    using Mapping = std::function<QPoint(int x, int y)>;
    struct Case {
        RotateFlipType code;
        bool swapsSides;
        Mapping source; // the old pixel that lands at new (x, y)
    };
    const Case cases[] = {
        { RotateNoneFlipNone, false, [](int x, int y) { return QPoint(x, y); } },
        { Rotate90FlipNone, true, [&](int x, int y) { return QPoint(y, h - 1 - x); } },
        { Rotate180FlipNone, false, [&](int x, int y) { return QPoint(w - 1 - x, h - 1 - y); } },
        { Rotate270FlipNone, true, [&](int x, int y) { return QPoint(w - 1 - y, x); } },
        { RotateNoneFlipX, false, [&](int x, int y) { return QPoint(w - 1 - x, y); } },
        { Rotate90FlipX, true, [](int x, int y) { return QPoint(y, x); } },
        { RotateNoneFlipY, false, [&](int x, int y) { return QPoint(x, h - 1 - y); } },
        { Rotate270FlipX, true, [&](int x, int y) { return QPoint(w - 1 - y, h - 1 - x); } },
    };
    for (const Case& c : cases) {
        auto picture = NumberedPicture(w, h);
        picture->SetResolution(300, 200);
        const PhotoImage* object = picture.get();
        EXPECT_EQ(RotateFlip(*picture, c.code), Ok);
        EXPECT_EQ(picture.get(), object);
        EXPECT_EQ(picture->lastStatus(), Ok);
        ASSERT_EQ(picture->Width(), uint32_t(c.swapsSides ? h : w)) << c.code;
        ASSERT_EQ(picture->Height(), uint32_t(c.swapsSides ? w : h)) << c.code;
        EXPECT_EQ(picture->Format(), PixelFormat32bppARGB);
        EXPECT_EQ(picture->HorizontalResolution(), 300.0f);
        for (int y = 0; y < int(picture->Height()); ++y)
            for (int x = 0; x < int(picture->Width()); ++x)
                ASSERT_EQ(Origin(picture->image(), x, y), c.source(x, y))
                    << "code " << c.code << " at " << x << "," << y;
    }
}

TEST(GeometricEditsTest, TurnsKeepFormatAndUndoEachOther)
{
    // A 400 x 300 photo: turned left its top-left pixel ends bottom-left,
    // turned right it ends top-right.
    auto left = NumberedPicture(400, 300, PixelFormat24bppRGB);
    left->mutableImage().setPixel(0, 0, qRgb(255, 0, 0));
    auto right = left->Clone();
    const QImage start = left->image().copy();
    RotateFlip(*left, Rotate270FlipNone);
    EXPECT_EQ(left->Width(), 300u);
    EXPECT_EQ(left->Height(), 400u);
    EXPECT_EQ(left->Format(), PixelFormat24bppRGB);
    EXPECT_EQ(left->image().pixel(0, 399), qRgb(255, 0, 0));
    RotateFlip(*right, Rotate90FlipNone);
    EXPECT_EQ(right->image().pixel(299, 0), qRgb(255, 0, 0));

    // Left then right, four turns one way, two flips of one kind: back to the start.
    RotateFlip(*left, Rotate90FlipNone);
    EXPECT_EQ(left->image(), start);
    for (int turn = 0; turn < 4; ++turn)
        RotateFlip(*right, Rotate270FlipNone);
    RotateFlip(*right, Rotate270FlipNone);
    EXPECT_EQ(right->image(), start);
    for (RotateFlipType flip : { RotateNoneFlipX, RotateNoneFlipY }) {
        RotateFlip(*left, flip);
        EXPECT_NE(left->image(), start);
        RotateFlip(*left, flip);
        EXPECT_EQ(left->image(), start);
    }

    // Indexed pictures are turned as well and stay indexed.
    auto indexed = PhotoImage::Blank(3, 2, PixelFormat8bppIndexed);
    QImage& palette = indexed->mutableImage();
    palette.setColorTable({ qRgb(0, 0, 0), qRgb(255, 255, 255) });
    palette.fill(0);
    palette.setPixel(0, 0, 1);
    EXPECT_EQ(RotateFlip(*indexed, Rotate90FlipNone), Ok);
    EXPECT_EQ(indexed->Format(), PixelFormat8bppIndexed);
    EXPECT_EQ(indexed->Width(), 2u);
    EXPECT_EQ(indexed->image().pixelIndex(1, 0), 1);

    // Unknown codes and failed pictures are refused and recorded.
    auto picture = NumberedPicture(3, 2);
    const QImage before = picture->image().copy();
    EXPECT_EQ(RotateFlip(*picture, RotateFlipType(8)), InvalidParameter);
    EXPECT_EQ(picture->TakeStatus(), InvalidParameter);
    EXPECT_EQ(picture->image(), before);
    auto failed = PhotoImage::FromFile(QString());
    failed->TakeStatus();
    EXPECT_EQ(RotateFlip(*failed, Rotate90FlipNone), InvalidParameter);
    EXPECT_EQ(failed->lastStatus(), InvalidParameter);
}

constexpr QRgb kGrey = 0xFF808080;

std::unique_ptr<PhotoImage> GreyPicture(int width, int height, PixelFormat format, QRgb fill = kGrey)
{
    auto picture = PhotoImage::Blank(width, height, format);
    picture->mutableImage().fill(fill);
    return picture;
}

// Checks a spot whose square has its top-left corner at (left, top): pixels
// well inside the circle are white, pixels well outside it are untouched.
void ExpectSpot(const QImage& image, int left, int top, QRgb untouched)
{
    const double cx = left + 50.0;
    const double cy = top + 50.0;
    int white = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const double dx = x + 0.5 - cx;
            const double dy = y + 0.5 - cy;
            const double distance = std::sqrt(dx * dx + dy * dy);
            const QRgb pixel = image.pixel(x, y);
            if (distance < 49.0)
                ASSERT_EQ(pixel, 0xFFFFFFFFu) << x << "," << y;
            else if (distance > 51.0)
                ASSERT_EQ(pixel, untouched) << x << "," << y;
            else
                ASSERT_TRUE(pixel == 0xFFFFFFFFu || pixel == untouched) << x << "," << y;
            white += pixel == 0xFFFFFFFFu;
        }
    }
    EXPECT_GT(white, 0);
}

TEST(GeometricEditsTest, WhiteSpotPaintsADiscRightOfAndBelowThePick)
{
    auto picture = GreyPicture(300, 200, PixelFormat24bppRGB);
    EXPECT_EQ(&PaintWhiteSpot(*picture, 0, 0), picture.get());
    EXPECT_EQ(picture->Format(), PixelFormat24bppRGB);
    EXPECT_EQ(picture->lastStatus(), Ok);
    EXPECT_EQ(picture->image().pixel(50, 50), 0xFFFFFFFFu);
    EXPECT_EQ(picture->image().pixel(0, 0), kGrey);
    EXPECT_EQ(picture->image().pixel(99, 99), kGrey);
    // The disc reaches the middle of each side of its square, and is round:
    // no anti-aliased grey in between.
    EXPECT_EQ(picture->image().pixel(50, 0), 0xFFFFFFFFu);
    EXPECT_EQ(picture->image().pixel(0, 49), 0xFFFFFFFFu);
    EXPECT_EQ(picture->image().pixel(99, 50), 0xFFFFFFFFu);
    EXPECT_EQ(picture->image().pixel(100, 50), kGrey);
    ExpectSpot(picture->image(), 0, 0, kGrey);

    auto middle = GreyPicture(300, 200, PixelFormat24bppRGB);
    PaintWhiteSpot(*middle, 120, 37);
    ExpectSpot(middle->image(), 120, 37, kGrey);
}

TEST(GeometricEditsTest, WhiteSpotAtTheEdgesAndOutside)
{
    const int w = 250;
    const int h = 180;
    // Centres on the bottom-right and the top-left corner: only the part
    // inside is painted and the size stays.
    for (const QPoint pick : { QPoint(w - 50, h - 50), QPoint(-50, -50), QPoint(-99, 40) }) {
        auto picture = GreyPicture(w, h, PixelFormat24bppRGB);
        PaintWhiteSpot(*picture, pick.x(), pick.y());
        EXPECT_EQ(picture->Width(), uint32_t(w));
        EXPECT_EQ(picture->Height(), uint32_t(h));
        ExpectSpot(picture->image(), pick.x(), pick.y(), kGrey);
    }

    // From (w - 10, h - 10) only the empty corner of the square lies inside.
    auto corner = GreyPicture(w, h, PixelFormat24bppRGB);
    const QImage plain = corner->image().copy();
    PaintWhiteSpot(*corner, w - 10, h - 10);
    EXPECT_EQ(corner->image(), plain);

    // Picks beside the picture arrive as far-off or wrapped coordinates;
    // none of them changes a pixel.
    auto picture = GreyPicture(w, h, PixelFormat32bppARGB);
    const QImage before = picture->image().copy();
    const QPoint outside[] = { QPoint(14316507, 14316507), QPoint(14316507, 10), QPoint(10, -14316507),
        QPoint(INT_MIN, INT_MIN), QPoint(INT_MAX, INT_MAX), QPoint(INT_MIN + 20, 50), QPoint(-100, 0), QPoint(0, -100),
        QPoint(w, 0), QPoint(0, h) };
    for (const QPoint pick : outside) {
        EXPECT_EQ(&PaintWhiteSpot(*picture, pick.x(), pick.y()), picture.get());
        EXPECT_EQ(picture->image(), before) << pick.x() << "," << pick.y();
    }
    EXPECT_EQ(picture->lastStatus(), Ok);
}

TEST(GeometricEditsTest, WhiteSpotByPixelFormat)
{
    // On a transparent ARGB picture the disc is opaque white; the rest stays clear.
    auto clear = GreyPicture(120, 120, PixelFormat32bppARGB, 0x00102030);
    PaintWhiteSpot(*clear, 10, 10);
    EXPECT_EQ(clear->Format(), PixelFormat32bppARGB);
    ExpectSpot(clear->image(), 10, 10, 0x00102030);

    // A tone-filtered picture wraps its pixel array; it is drawn on and turned like any other.
    auto array = std::make_unique<uint32_t[]>(120 * 110);
    std::fill_n(array.get(), 120 * 110, 0x00102030u);
    auto filtered = ImageFromPixels(120, 110, std::move(array));
    PaintWhiteSpot(*filtered, 10, 10);
    ExpectSpot(filtered->image(), 10, 10, 0x00102030);
    RotateFlip(*filtered, Rotate90FlipNone);
    EXPECT_EQ(filtered->Width(), 110u);
    EXPECT_EQ(filtered->image().pixel(110 - 1 - 60, 60), 0xFFFFFFFFu);
}

TEST(GeometricEditsTest, WhiteSpotOnGreyAndPalettePhotosPaintsA32BitCopy)
{
    // Such photos come from files as they are; the spot must show on them.
    test::Sandbox box;
    const QImage photo = test::MakeTestPhoto(160, 140, 4);
    QImage palette = photo.convertToFormat(QImage::Format_Indexed8);
    QImage clearPalette = palette;
    clearPalette.setColor(0, qRgba(1, 2, 3, 0));
    const struct {
        const char* name;
        QImage image;
        const char* format;
        PixelFormat after;
    } files[] = {
        { "grey.jpg", photo.convertToFormat(QImage::Format_Grayscale8), "JPEG", PixelFormat24bppRGB },
        { "palette.png", palette, "PNG", PixelFormat24bppRGB },
        { "clear-palette.png", clearPalette, "PNG", PixelFormat32bppARGB },
        { "palette.bmp", palette, "BMP", PixelFormat24bppRGB },
        { "mono.png", photo.convertToFormat(QImage::Format_Mono), "PNG", PixelFormat24bppRGB },
    };
    for (const auto& f : files) {
        SCOPED_TRACE(f.name);
        ASSERT_TRUE(f.image.save(box.File(f.name), f.format));
        auto picture = PhotoImage::FromFile(box.File(f.name));
        ASSERT_EQ(picture->TakeStatus(), Ok);
        ASSERT_TRUE(picture->Format() == PixelFormat8bppIndexed || picture->Format() == PixelFormat1bppIndexed);
        const QImage before = picture->image().convertToFormat(QImage::Format_ARGB32);
        EXPECT_EQ(&PaintWhiteSpot(*picture, 30, 20), picture.get());
        EXPECT_EQ(picture->lastStatus(), Ok);
        EXPECT_EQ(picture->Format(), f.after);
        const QImage after = picture->image().convertToFormat(QImage::Format_ARGB32);
        EXPECT_EQ(after.pixel(80, 70), 0xFFFFFFFFu);
        // Outside the disc every pixel keeps its colour.
        for (const QPoint p : { QPoint(0, 0), QPoint(29, 19), QPoint(159, 139), QPoint(140, 70), QPoint(80, 125) })
            EXPECT_EQ(after.pixel(p), before.pixel(p)) << p.x() << "," << p.y();
    }
}

} // namespace
} // namespace lumavo
