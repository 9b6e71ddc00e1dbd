#include "templates/Composition.h"

#include "TemplateFixtures.h"
#include "TestUtils.h"
#include "templates/PhotoScaling.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <deque>

namespace lumavo {
namespace {

using test::FuzzyEqual;
using test::MakeBackground;
using test::MakeFrameForeground;
using test::MakeSmoothPhoto;
using test::MakeTestPhoto;

// The three layers drawn plainly with a painter: the reference the
// composition must agree with. Downscaled photos are area-averaged first,
// enlarged ones interpolated bilinearly, as the engine promises.
QImage ReferenceComposite(
    const QImage* foreground, const QImage* photo, const QImage& background, const PhotoPlacement& p)
{
    QImage out(background.size(), QImage::Format_RGB32);
    out.fill(Qt::black);
    QPainter painter(&out);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QPoint(0, 0), background);
    if (photo && p.width > 0 && p.height > 0) {
        if (p.width <= photo->width() && p.height <= photo->height())
            painter.drawImage(
                QPoint(p.x, p.y), photo->scaled(p.width, p.height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        else
            painter.drawImage(QRect(p.x, p.y, p.width, p.height), *photo);
    }
    if (foreground)
        painter.drawImage(QPoint(0, 0), *foreground, QRect(0, 0, background.width(), background.height()));
    return out;
}

std::unique_ptr<PhotoImage> Picture(const QImage& image)
{
    return PhotoImage::Adopt(image);
}

class RecordingCanvas : public CompositeSink {
public:
    void SetImage(const PhotoImage* picture) override
    {
        ++calls;
        last = picture;
    }
    int calls = 0;
    const PhotoImage* last = nullptr;
};

// A photo with an alpha channel: a soft transparent disc and a translucent band.
QImage MakePhotoWithAlpha(int width, int height)
{
    QImage image = MakeSmoothPhoto(width, height, 3).convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<uint32_t*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const double dx = (x - width * 0.5) / width;
            const double dy = (y - height * 0.5) / height;
            const double r = std::sqrt(dx * dx + dy * dy);
            uint32_t alpha = r < 0.15 ? 0u : r < 0.25 ? uint32_t((r - 0.15) * 2550) : 255u;
            if (y > height * 0.8)
                alpha = 120;
            line[x] = (line[x] & 0x00FFFFFFu) | (std::min(alpha, 255u) << 24);
        }
    }
    return image;
}

// The area average in floating point: each target pixel the mean of the
// source area under it, partial pixels counted by their covered share.
QImage ExactAreaAverage(const QImage& source, const QSize& size)
{
    const double sx = double(source.width()) / size.width();
    const double sy = double(source.height()) / size.height();
    QImage out(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            double sums[3] = {};
            for (int j = int(std::floor(y * sy)); j < int(std::ceil((y + 1) * sy)); ++j) {
                const double wy = std::min((y + 1) * sy, j + 1.0) - std::max(y * sy, double(j));
                for (int i = int(std::floor(x * sx)); i < int(std::ceil((x + 1) * sx)); ++i) {
                    const double w = wy * (std::min((x + 1) * sx, i + 1.0) - std::max(x * sx, double(i)));
                    const QRgb p = source.pixel(i, j);
                    sums[0] += w * qRed(p);
                    sums[1] += w * qGreen(p);
                    sums[2] += w * qBlue(p);
                }
            }
            const double area = sx * sy;
            out.setPixel(x, y,
                qRgb(int(std::lround(sums[0] / area)), int(std::lround(sums[1] / area)),
                    int(std::lround(sums[2] / area))));
        }
    }
    return out;
}

} // namespace

TEST(PlacementTest, WorkedExamples)
{
    const LayerRect opening { 100, 150, 700, 950 };
    EXPECT_EQ(PlacePhoto(opening, 3000, 2000), (PhotoPlacement { 100, 350, 600, 400 }));
    EXPECT_EQ(PlacePhoto(opening, 400, 300), (PhotoPlacement { 200, 400, 400, 300 }));
    EXPECT_EQ(PlacePhoto(LayerRect {}, 800, 600), (PhotoPlacement { 0, 0, 0, 0 }));
    EXPECT_EQ(PlacePhoto(LayerRect { 0, 0, 1001, 1001 }, 100, 50), (PhotoPlacement { 450, 475, 100, 50 }));

    PhotoPlacement p { 100, 350, 600, 400 };
    p = MovePlacement(p, 5, 0);
    p = MovePlacement(p, 5, 0);
    EXPECT_EQ(p, (PhotoPlacement { 110, 350, 600, 400 }));
    EXPECT_EQ(ZoomPlacement(p, 5), (PhotoPlacement { 105, 347, 610, 406 }));
    EXPECT_EQ(ZoomPlacement(p, -5), (PhotoPlacement { 115, 353, 590, 394 }));
    EXPECT_EQ(ZoomPlacement(PhotoPlacement { 100, 350, 600, 400 }, -5), (PhotoPlacement { 105, 353, 590, 394 }));

    // Nothing placed yet (width 0) and a placement shrunk past zero: no
    // division by zero, nothing changes.
    EXPECT_EQ(ZoomPlacement(PhotoPlacement {}, 5), PhotoPlacement {});
    EXPECT_EQ(ZoomPlacement(PhotoPlacement { 10, 10, -5, 3 }, -5), (PhotoPlacement { 10, 10, -5, 3 }));
    // Shrinking stops at the floor: the last step is cut short to reach it,
    // a photo already below it only grows.
    EXPECT_EQ(ZoomPlacement(PhotoPlacement { 0, 0, 24, 36 }, -5), (PhotoPlacement { 2, 3, 20, 30 }));
    EXPECT_EQ(ZoomPlacement(PhotoPlacement { 2, 3, 20, 30 }, -5), (PhotoPlacement { 2, 3, 20, 30 }));
    EXPECT_EQ(ZoomPlacement(PhotoPlacement { 0, 0, 8, 8 }, -5), (PhotoPlacement { 0, 0, 8, 8 }));
    EXPECT_EQ(ZoomPlacement(PhotoPlacement { 0, 0, 8, 8 }, 5), (PhotoPlacement { -5, -5, 18, 18 }));
    EXPECT_EQ(ZoomPlacement(PhotoPlacement { 0, 0, 100, 60 }, -1000), (PhotoPlacement { 40, 24, 20, 12 }));
    // Far edges of the 32-bit range stay defined.
    EXPECT_EQ(MovePlacement(PhotoPlacement { INT32_MAX - 2, 0, 10, 10 }, 5, 0).x, INT32_MAX);
    const PhotoPlacement huge { 0, 0, 2, INT32_MAX };
    EXPECT_EQ(ZoomPlacement(huge, 5), huge);
}

TEST(CompositionTest, AgreesWithPaintedLayers)
{
    const QImage background = MakeBackground(240, 320);
    const QImage foreground = MakeFrameForeground(240, 320, QRect(30, 40, 160, 200), 12);
    const QImage photo = MakeSmoothPhoto(600, 400);
    const QImage alphaPhoto = MakePhotoWithAlpha(600, 400);
    const QImage smallPhoto = MakeTestPhoto(50, 40, 7);
    const QImage greyPhoto = MakeSmoothPhoto(600, 400).convertToFormat(QImage::Format_Grayscale8);
    const QImage alphaBackground = MakeBackground(240, 320, QImage::Format_ARGB32);
    const QImage largeForeground = MakeFrameForeground(300, 400, QRect(30, 40, 160, 200), 12);
    const QImage smallForeground = MakeFrameForeground(150, 200, QRect(30, 40, 160, 200), 12);

    struct Case {
        const char* name;
        const QImage* foreground;
        const QImage* photo;
        const QImage* background;
        PhotoPlacement placement;
    };
    const Case cases[] = {
        { "inside", &foreground, &photo, &background, { 30, 80, 150, 100 } },
        { "odd size", &foreground, &photo, &background, { 33, 71, 167, 111 } },
        { "out left and top", &foreground, &photo, &background, { -60, -30, 150, 100 } },
        { "out right and bottom", &foreground, &photo, &background, { 170, 260, 150, 100 } },
        { "wholly outside", &foreground, &photo, &background, { 300, 10, 150, 100 } },
        { "photo with alpha", &foreground, &alphaPhoto, &background, { 20, 60, 180, 120 } },
        { "grey photo", &foreground, &greyPhoto, &background, { 20, 60, 180, 120 } },
        { "photo with alpha enlarged", &foreground, &alphaPhoto, &background, { -100, -50, 700, 500 } },
        { "enlarged", &foreground, &smallPhoto, &background, { 40, 70, 125, 100 } },
        { "larger than composite", &foreground, &photo, &background, { -300, -150, 900, 600 } },
        { "background with alpha", &foreground, &photo, &alphaBackground, { 30, 80, 150, 100 } },
        { "larger foreground", &largeForeground, &photo, &background, { 30, 80, 150, 100 } },
        { "smaller foreground", &smallForeground, &alphaPhoto, &background, { 50, 100, 150, 100 } },
        { "no foreground", nullptr, &photo, &background, { 30, 80, 150, 100 } },
        { "no photo", &foreground, nullptr, &background, { 30, 80, 150, 100 } },
        { "empty placement", &foreground, &photo, &background, {} },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto fg = c.foreground ? Picture(*c.foreground) : nullptr;
        auto ph = c.photo ? Picture(*c.photo) : nullptr;
        auto bg = Picture(*c.background);
        RecordingCanvas canvas;
        const auto composite = ComposeTemplate(&canvas, fg.get(), ph.get(), bg.get(), c.placement);
        ASSERT_TRUE(composite);
        EXPECT_EQ(canvas.calls, 1);
        EXPECT_EQ(canvas.last, composite.get());
        EXPECT_EQ(composite->lastStatus(), Ok);
        EXPECT_EQ(composite->Format(), PixelFormat24bppRGB);
        const QImage expected = ReferenceComposite(c.foreground, c.photo, *c.background, c.placement);
        const test::ImageDifference diff = test::CompareImages(composite->image(), expected);
        EXPECT_TRUE(diff.sameSize);
        EXPECT_LE(diff.maxChannelDelta, 3);
        EXPECT_LE(diff.meanChannelDelta, 0.2);
    }
}

TEST(CompositionTest, MissingLayers)
{
    const auto background = Picture(MakeBackground(64, 48));
    const auto photo = Picture(MakeTestPhoto(32, 32));
    const auto failed = PhotoImage::FromFile(QStringLiteral("/nonexistent/bs.lmv"));
    failed->TakeStatus();

    // No usable background: a failed composite, still handed to the canvas.
    for (const PhotoImage* bg : std::initializer_list<const PhotoImage*> { nullptr, failed.get() }) {
        RecordingCanvas canvas;
        Compositor compositor;
        const auto composite = compositor.ComposeTemplate(&canvas, nullptr, photo.get(), bg, { 0, 0, 32, 32 });
        ASSERT_TRUE(composite);
        EXPECT_TRUE(composite->IsNull());
        EXPECT_NE(composite->lastStatus(), Ok);
        EXPECT_EQ(canvas.calls, 1);
        EXPECT_EQ(canvas.last, composite.get());
    }
    // A failed foreground or photo is left out.
    const auto composite = ComposeTemplate(nullptr, failed.get(), failed.get(), background.get(), { 0, 0, 32, 32 });
    EXPECT_EQ(composite->image(), background->image());
}

// The incremental path (buffers recycled, only the changed area redrawn)
// must give exactly what a fresh composition gives, however the composites
// are held and released.
TEST(CompositionTest, RecycledBuffersMatchFreshComposition)
{
    const auto background = Picture(MakeBackground(200, 260));
    const auto foreground = Picture(MakeFrameForeground(200, 260, QRect(20, 30, 150, 190), 10));
    auto photo = Picture(MakeTestPhoto(900, 600, 5));
    Compositor compositor;
    PhotoPlacement placement = PlacePhoto(LayerRect { 20, 30, 170, 220 }, 900, 600);
    std::deque<std::unique_ptr<PhotoImage>> held;
    const int moves[][2] = { { 5, 0 }, { 0, 5 }, { -5, 0 }, { 0, -5 } };
    for (int step = 0; step < 60; ++step) {
        SCOPED_TRACE(step);
        if (step % 7 == 3)
            placement = ZoomPlacement(placement, step % 2 ? 5 : -5);
        else if (step % 13 == 12)
            placement = MovePlacement(placement, -90, 40); // partly outside, then back
        else
            placement = MovePlacement(placement, moves[step % 4][0] * (1 + step % 3), moves[(step / 4) % 4][1]);
        held.push_back(compositor.ComposeTemplate(nullptr, foreground.get(), photo.get(), background.get(), placement));
        // Mostly the layout window's pattern (the previous one released as
        // the new one arrives); now and then several are held at once.
        const size_t keep = step % 10 < 7 ? 1 : 3;
        while (held.size() > keep)
            held.pop_front();
        const auto fresh = ComposeTemplate(nullptr, foreground.get(), photo.get(), background.get(), placement);
        ASSERT_EQ(held.back()->image(), fresh->image());
    }

    // A placement far larger than the composite is scaled only around what
    // shows; moves within and beyond that window agree with fresh results.
    placement = PhotoPlacement { -400, -300, 1800, 1200 };
    for (int step = 0; step < 12; ++step) {
        SCOPED_TRACE(step);
        placement = step % 4 == 3 ? ZoomPlacement(placement, 5) : MovePlacement(placement, step % 2 ? 5 : -45, 20);
        held.push_back(compositor.ComposeTemplate(nullptr, foreground.get(), photo.get(), background.get(), placement));
        held.pop_front();
        const auto fresh = ComposeTemplate(nullptr, foreground.get(), photo.get(), background.get(), placement);
        ASSERT_EQ(held.back()->image(), fresh->image());
    }

    // An in-place change of the photo is picked up at the same placement.
    photo->mutableImage().fill(QColor(255, 0, 0));
    placement = PhotoPlacement { 40, 60, 90, 60 };
    held.push_back(compositor.ComposeTemplate(nullptr, foreground.get(), photo.get(), background.get(), placement));
    EXPECT_EQ(held.back()->image().pixel(85, 90), qRgb(255, 0, 0));
    const auto fresh = ComposeTemplate(nullptr, foreground.get(), photo.get(), background.get(), placement);
    EXPECT_EQ(held.back()->image(), fresh->image());

    // So is an in-place change of the background.
    held.clear();
    background->mutableImage().fill(QColor(0, 0, 255));
    const auto recomposed
        = compositor.ComposeTemplate(nullptr, foreground.get(), photo.get(), background.get(), placement);
    EXPECT_EQ(recomposed->image(),
        ComposeTemplate(nullptr, foreground.get(), photo.get(), background.get(), placement)->image());
    EXPECT_EQ(recomposed->image().pixel(185, 5), foreground->image().pixel(185, 5) | 0xFF000000u);
    EXPECT_EQ(recomposed->image().pixel(100, 200), qRgb(0, 0, 255));
}

// A composite the caller still holds is never written to again.
TEST(CompositionTest, HeldCompositesStayUnchanged)
{
    const auto background = Picture(MakeBackground(120, 90));
    const auto photo = Picture(MakeTestPhoto(60, 40));
    Compositor compositor;
    std::vector<std::unique_ptr<PhotoImage>> held;
    std::vector<QImage> copies;
    for (int i = 0; i < 6; ++i) {
        held.push_back(
            compositor.ComposeTemplate(nullptr, nullptr, photo.get(), background.get(), { i * 10, 5, 60, 40 }));
        copies.push_back(held.back()->image().copy());
    }
    for (size_t i = 0; i < held.size(); ++i)
        EXPECT_EQ(held[i]->image(), copies[i]) << i;
}

TEST(PhotoScalingTest, ReductionsAverageAndKeepOpacity)
{
    QImage image(4, 2, QImage::Format_ARGB32);
    const uint32_t pixels[]
        = { 0xFF000000u, 0xFF0A0A0Au, 0xFF141414u, 0xFF1E1E1Eu, 0xFF282828u, 0xFF323232u, 0x00FFFFFFu, 0x00FFFFFFu };
    for (int i = 0; i < 8; ++i)
        image.setPixel(i % 4, i / 4, pixels[i]);
    const QImage half = ReduceByHalf(image);
    ASSERT_EQ(half.size(), QSize(2, 1));
    EXPECT_EQ(half.format(), QImage::Format_ARGB32_Premultiplied);
    EXPECT_EQ(half.pixel(0, 0), 0xFF191919u); // (0 + 10 + 40 + 50) / 4 = 25
    EXPECT_EQ(qAlpha(half.pixelColor(1, 0).rgba()), 128); // half of the block is transparent

    // An opaque ARGB32 photo (as the tone filters make) reduces to RGB32.
    const QImage opaque = MakeTestPhoto(64, 48).convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(ReduceByHalf(opaque).format(), QImage::Format_RGB32);
    // Straight from the photo the scaling is the exact area average; through
    // the reductions it stays close (hard edges come out a touch softer).
    const QImage smooth = MakeSmoothPhoto(1200, 800);
    const QImage sharp = MakeTestPhoto(1200, 800);
    for (const QSize size : { QSize(290, 190), QSize(167, 111), QSize(600, 400), QSize(1000, 700) }) {
        SCOPED_TRACE(size.width());
        const QRect whole(QPoint(), size);
        for (const QImage* photo : { &smooth, &sharp }) {
            const QImage exact = ExactAreaAverage(*photo, size);
            PhotoScaler scaler;
            const ScaledPhoto full = scaler.Scale(*photo, size.width(), size.height(), whole, true);
            EXPECT_TRUE(full.opaque);
            EXPECT_TRUE(FuzzyEqual(full.pixels, exact, 1, 0.5));
            const ScaledPhoto reduced = scaler.Scale(*photo, size.width(), size.height(), whole);
            const test::ImageDifference diff = test::CompareImages(reduced.pixels, exact);
            EXPECT_LE(diff.meanChannelDelta, 1.0);
            if (photo == &smooth) {
                EXPECT_LE(diff.maxChannelDelta, 3);
            }
        }
    }
    // A window of the placement is the same part of the whole.
    PhotoScaler scaler;
    const ScaledPhoto whole = scaler.Scale(sharp, 700, 460, QRect(0, 0, 700, 460));
    const ScaledPhoto part = scaler.Scale(sharp, 700, 460, QRect(123, 45, 300, 200));
    EXPECT_EQ(part.pixels, whole.pixels.copy(123, 45, 300, 200));
}

} // namespace lumavo

namespace lumavo {

// Placements the operator can reach by zooming and moving without bound,
// and templates at the smallest size: the photo is cut at the composite's
// edge, nothing else happens.
TEST(CompositionTest, ExtremePlacementsAndTinyTemplates)
{
    QImage red(40, 30, QImage::Format_RGB32);
    red.fill(QColor(250, 10, 10));
    const auto photo = PhotoImage::Adopt(red);
    const auto background = PhotoImage::Adopt(test::MakeBackground(64, 48));
    const auto tiny = PhotoImage::Adopt(test::MakeBackground(1, 1));
    const PhotoPlacement cases[] = {
        // Only the far right end of a placement as wide as the range shows.
        { -(INT32_MAX - 40), -10, INT32_MAX, 30 },
        { -10, -(INT32_MAX - 20), 30, INT32_MAX },
        { INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX },
        { INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX },
        { 0, 0, INT32_MAX, INT32_MAX },
        { 5, 5, 0, 20 },
        { 5, 5, -20, -20 },
    };
    for (const PhotoImage* bg : { background.get(), tiny.get() }) {
        Compositor compositor;
        for (const PhotoPlacement& p : cases) {
            SCOPED_TRACE(
                testing::Message() << bg->Width() << " " << p.x << " " << p.y << " " << p.width << " " << p.height);
            const auto composite = compositor.ComposeTemplate(nullptr, nullptr, photo.get(), bg, p);
            ASSERT_TRUE(composite);
            ASSERT_EQ(composite->image().size(), bg->image().size());
            // Where the placement covers the composite, the photo shows.
            const int64_t left = std::max<int64_t>(p.x, 0);
            const int64_t top = std::max<int64_t>(p.y, 0);
            const int64_t right = std::min<int64_t>(int64_t(p.x) + p.width, bg->Width());
            const int64_t bottom = std::min<int64_t>(int64_t(p.y) + p.height, bg->Height());
            const QRect covered = p.width > 0 && p.height > 0 && left < right && top < bottom
                ? QRect(int(left), int(top), int(right - left), int(bottom - top))
                : QRect();
            for (int y = 0; y < int(bg->Height()); ++y) {
                for (int x = 0; x < int(bg->Width()); ++x) {
                    const QRgb expected = covered.contains(x, y) ? red.pixel(0, 0) : bg->image().pixel(x, y);
                    ASSERT_EQ(composite->image().pixel(x, y), expected) << x << "," << y;
                }
            }
        }
    }
}

} // namespace lumavo
