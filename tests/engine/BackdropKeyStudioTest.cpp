#include "imaging/BackdropKey.h"

#include "TestUtils.h"

#include <QFile>
#include <QPainter>
#include <QPainterPath>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace lumavo {
namespace {

constexpr int kWidth = 480;
constexpr int kHeight = 640;

// A studio portrait with a known mask: the photo and, per pixel, how much of
// it is the subject (0 to 255).
struct StudioPhoto {
    QImage photo;
    QImage coverage; // Format_Grayscale8
    QColor backdrop; // the backdrop where it is brightest
};

int Channel(double value)
{
    return std::clamp(int(std::lround(value)), 0, 255);
}

// A backdrop lit unevenly (30% darker at the right), a soft shadow to the
// subject's lower right, and a subject drawn antialiased and softened by a
// lens-like blur: dark hair, a skin-coloured face and neck, a shirt. Every
// pixel gets camera grain; the subject gets a little of the backdrop's
// colour as bounced light.
StudioPhoto MakeStudioPhoto(QColor backdrop, QColor shirt, uint32_t seed = 1)
{
    const double w = kWidth;
    const double h = kHeight;
    QImage layer(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    layer.fill(Qt::transparent);
    {
        QPainter painter(&layer);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        QPainterPath body;
        body.moveTo(0.08 * w, h);
        body.cubicTo(0.1 * w, 0.72 * h, 0.2 * w, 0.68 * h, 0.5 * w, 0.68 * h);
        body.cubicTo(0.8 * w, 0.68 * h, 0.9 * w, 0.72 * h, 0.92 * w, h);
        body.closeSubpath();
        painter.setBrush(shirt);
        painter.drawPath(body);
        painter.setBrush(QColor(224, 180, 150));
        painter.drawRect(QRectF(0.42 * w, 0.5 * h, 0.16 * w, 0.2 * h));
        painter.setBrush(QColor(45, 32, 26));
        painter.drawEllipse(QRectF(0.28 * w, 0.16 * h, 0.44 * w, 0.44 * h));
        painter.setBrush(QColor(232, 188, 160));
        painter.drawEllipse(QRectF(0.35 * w, 0.25 * h, 0.3 * w, 0.32 * h));
        // A fringe of hair over the forehead.
        painter.setBrush(QColor(45, 32, 26));
        painter.drawChord(QRectF(0.33 * w, 0.18 * h, 0.34 * w, 0.16 * h), 0, 180 * 16);
    }
    // Lens softness: a 3 x 3 box blur of the premultiplied layer.
    QImage soft = layer;
    for (int y = 1; y < kHeight - 1; ++y) {
        auto* out = reinterpret_cast<uint32_t*>(soft.scanLine(y));
        for (int x = 1; x < kWidth - 1; ++x) {
            uint32_t sums[4] = {};
            for (int dy = -1; dy <= 1; ++dy) {
                const auto* in = reinterpret_cast<const uint32_t*>(layer.constScanLine(y + dy));
                for (int dx = -1; dx <= 1; ++dx)
                    for (int c = 0; c < 4; ++c)
                        sums[c] += (in[x + dx] >> (8 * c)) & 0xFF;
            }
            out[x] = 0;
            for (int c = 0; c < 4; ++c)
                out[x] |= ((sums[c] + 4) / 9) << (8 * c);
        }
    }

    StudioPhoto result;
    result.backdrop = backdrop;
    result.photo = QImage(kWidth, kHeight, QImage::Format_RGB32);
    result.coverage = QImage(kWidth, kHeight, QImage::Format_Grayscale8);
    std::mt19937 random(seed);
    std::normal_distribution<double> grain(0.0, 4.0);
    for (int y = 0; y < kHeight; ++y) {
        const auto* subject = reinterpret_cast<const uint32_t*>(soft.constScanLine(y));
        auto* out = reinterpret_cast<uint32_t*>(result.photo.scanLine(y));
        uchar* mask = result.coverage.scanLine(y);
        for (int x = 0; x < kWidth; ++x) {
            const double falloff = 1.0 - 0.3 * x / (w - 1);
            const double sx = (x - 0.78 * w) / (0.18 * w);
            const double sy = (y - 0.75 * h) / (0.3 * h);
            const double shadow = 1.0 - 0.35 * std::exp(-(sx * sx + sy * sy));
            const double light = falloff * shadow;
            const double back[3] = { backdrop.red() * light, backdrop.green() * light, backdrop.blue() * light };
            const uint32_t s = subject[x];
            const double a = double(s >> 24) / 255.0;
            double rgb[3];
            for (int c = 0; c < 3; ++c) {
                const double front = double((s >> (16 - 8 * c)) & 0xFF); // premultiplied
                const double bounced = front * 0.94 + back[c] * 0.06 * a;
                rgb[c] = bounced + back[c] * (1.0 - a) + grain(random);
            }
            out[x] = 0xFF000000u | uint32_t(Channel(rgb[0])) << 16 | uint32_t(Channel(rgb[1])) << 8
                | uint32_t(Channel(rgb[2]));
            mask[x] = uchar(s >> 24);
        }
    }
    return result;
}

// Pixels whose whole (2 * radius + 1) square has the given coverage: the
// true backdrop or subject away from the antialiased boundary.
std::vector<bool> Interior(const QImage& coverage, uchar value, int radius)
{
    std::vector<bool> inside(size_t(kWidth) * kHeight, false);
    for (int y = radius; y < kHeight - radius; ++y) {
        for (int x = radius; x < kWidth - radius; ++x) {
            bool all = true;
            for (int dy = -radius; dy <= radius && all; ++dy) {
                const uchar* row = coverage.constScanLine(y + dy);
                for (int dx = -radius; dx <= radius && all; ++dx)
                    all = row[x + dx] == value;
            }
            inside[size_t(y) * kWidth + size_t(x)] = all;
        }
    }
    return inside;
}

struct KeyShares {
    double backdropRemoved = 0; // backdrop pixels with alpha < 16
    double subjectKept = 0; // subject pixels with alpha > 240
    double edgesTinted = 0; // visible edge pixels still dominated by the backdrop's channel
    double edgesTintedBefore = 0;
};

// The channel that dominates the backdrop, and how far it stands above the
// other two in a pixel.
int Dominance(uint32_t pixel, int channel)
{
    const int values[3] = { int((pixel >> 16) & 0xFF), int((pixel >> 8) & 0xFF), int(pixel & 0xFF) };
    int others = 0;
    for (int c = 0; c < 3; ++c)
        if (c != channel)
            others = std::max(others, values[c]);
    return values[channel] - others;
}

KeyShares Measure(const StudioPhoto& studio, const QImage& keyed)
{
    const int channel = studio.backdrop.green() >= studio.backdrop.blue() ? 1 : 2;
    const auto backdrop = Interior(studio.coverage, 0, 2);
    const auto subject = Interior(studio.coverage, 255, 2);
    size_t backdropCount = 0, removed = 0, subjectCount = 0, kept = 0, edges = 0, tinted = 0, tintedBefore = 0;
    for (int y = 0; y < kHeight; ++y) {
        const auto* out = reinterpret_cast<const uint32_t*>(keyed.constScanLine(y));
        const auto* in = reinterpret_cast<const uint32_t*>(studio.photo.constScanLine(y));
        const uchar* mask = studio.coverage.constScanLine(y);
        for (int x = 0; x < kWidth; ++x) {
            const size_t i = size_t(y) * kWidth + size_t(x);
            const uint32_t alpha = out[x] >> 24;
            if (backdrop[i]) {
                ++backdropCount;
                removed += alpha < 16;
            } else if (subject[i]) {
                ++subjectCount;
                kept += alpha > 240;
            }
            // Edge pixels that stay visible must not show the backdrop's colour.
            if (mask[x] > 64 && mask[x] < 255 && alpha > 64) {
                ++edges;
                tinted += Dominance(out[x], channel) > 8;
                tintedBefore += Dominance(in[x], channel) > 8;
            }
        }
    }
    KeyShares shares;
    shares.backdropRemoved = double(removed) / double(std::max<size_t>(1, backdropCount));
    shares.subjectKept = double(kept) / double(std::max<size_t>(1, subjectCount));
    shares.edgesTinted = double(tinted) / double(std::max<size_t>(1, edges));
    shares.edgesTintedBefore = double(tintedBefore) / double(std::max<size_t>(1, edges));
    return shares;
}

std::unique_ptr<PhotoImage> KeyAt(const PhotoImage& picture, uint32_t x, uint32_t y)
{
    const auto key = BackdropKey::Start(picture, x, y);
    if (!key)
        return nullptr;
    return key->Render();
}

uint32_t AlphaAt(const QImage& image, int x, int y)
{
    return uint32_t(qAlpha(image.pixel(x, y)));
}

// The measured shares on generated portraits, picked on the bright left side
// or on the backdrop 30% darker at the right. A shadowed corner of the
// backdrop is about half as bright as the brightest patch; grain peaks there
// may leave a pixel in a few hundred faintly visible, hence 0.995 and not 1.
// The subject must stay whole.
TEST(BackdropKeyStudio, KeysGeneratedPortraitsOnGreenAndBlue)
{
    struct Case {
        const char* name;
        QColor backdrop;
        QColor shirt;
        uint32_t pickX;
    };
    const Case cases[] = {
        { "green, white shirt", QColor(40, 170, 75), QColor(236, 236, 240), 20 },
        { "green, dark red shirt", QColor(40, 170, 75), QColor(110, 22, 30), kWidth - 20 },
        { "blue, white shirt", QColor(30, 80, 200), QColor(236, 236, 240), kWidth - 20 },
        { "blue, dark red shirt", QColor(30, 80, 200), QColor(110, 22, 30), 20 },
    };
    uint32_t seed = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const StudioPhoto studio = MakeStudioPhoto(c.backdrop, c.shirt, seed++);
        const auto picture = PhotoImage::Adopt(studio.photo);
        const QImage before = picture->image().copy();
        const auto keyed = KeyAt(*picture, c.pickX, 20);
        ASSERT_TRUE(keyed);
        ASSERT_EQ(keyed->lastStatus(), Ok);
        ASSERT_EQ(keyed->image().format(), QImage::Format_ARGB32);
        ASSERT_EQ(keyed->image().size(), before.size());
        EXPECT_NE(keyed.get(), picture.get());
        EXPECT_EQ(picture->image(), before) << "the source picture must stay as it was";

        const KeyShares shares = Measure(studio, keyed->image());
        std::printf("[ measured ] %s: backdrop removed %.4f, subject kept %.4f, tinted edges %.4f (before %.4f)\n",
            c.name, shares.backdropRemoved, shares.subjectKept, shares.edgesTinted, shares.edgesTintedBefore);
        EXPECT_GE(shares.backdropRemoved, 0.995);
        EXPECT_GE(shares.subjectKept, 0.99);
        EXPECT_GT(shares.edgesTintedBefore, 0.3) << "the generated edges must carry the backdrop's colour";
        EXPECT_LE(shares.edgesTinted, 0.02);
    }
}

// Clicks beside the picture, however far, and pictures without pixels key nothing.
TEST(BackdropKeyStudio, RefusesClicksBesideThePictureAndEmptyPictures)
{
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(qRgb(40, 170, 75));
    const auto picture = PhotoImage::Adopt(image);
    EXPECT_TRUE(KeyAt(*picture, 63, 47));
    EXPECT_FALSE(KeyAt(*picture, 64, 0));
    EXPECT_FALSE(KeyAt(*picture, 0, 48));
    EXPECT_FALSE(KeyAt(*picture, UINT32_MAX, UINT32_MAX));
    const auto empty = PhotoImage::Adopt(QImage());
    EXPECT_FALSE(KeyAt(*empty, 0, 0));
    const auto failed = PhotoImage::FromFile(QStringLiteral("/nonexistent/photo.jpg"));
    EXPECT_FALSE(KeyAt(*failed, 0, 0));
}

// A picture that already has transparency keeps it: the key only takes away.
// Premultiplied pictures key as their straight colours do.
TEST(BackdropKeyStudio, RespectsExistingAlphaAndOtherFormats)
{
    const StudioPhoto studio = MakeStudioPhoto(QColor(40, 170, 75), QColor(110, 22, 30), 9);
    QImage faded = studio.photo.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < kHeight; ++y) {
        auto* line = reinterpret_cast<uint32_t*>(faded.scanLine(y));
        for (int x = 0; x < kWidth / 2; ++x)
            line[x] = (line[x] & 0x00FFFFFFu) | 0x80000000u;
    }
    const auto plain = KeyAt(*PhotoImage::Adopt(faded), 10, 10);
    const auto premultiplied
        = KeyAt(*PhotoImage::Adopt(faded.convertToFormat(QImage::Format_ARGB32_Premultiplied)), 10, 10);
    ASSERT_TRUE(plain && premultiplied);
    const QPoint face(kWidth / 2 - 20, kHeight * 2 / 5);
    const QPoint shirt(kWidth / 4, kHeight - 10);
    const QPoint shirtRight(kWidth * 3 / 4, kHeight - 10);
    const QPoint corner(10, 10);
    for (const PhotoImage* keyed : { plain.get(), premultiplied.get() }) {
        EXPECT_NEAR(AlphaAt(keyed->image(), face.x(), face.y()), 128u, 1u);
        EXPECT_NEAR(AlphaAt(keyed->image(), shirt.x(), shirt.y()), 128u, 1u);
        EXPECT_EQ(AlphaAt(keyed->image(), shirtRight.x(), shirtRight.y()), 255u);
        EXPECT_EQ(AlphaAt(keyed->image(), corner.x(), corner.y()), 0u);
    }
    // As they look (the colour of a transparent pixel is nobody's concern).
    const test::ImageDifference formats
        = test::CompareImages(plain->image().convertToFormat(QImage::Format_ARGB32_Premultiplied),
            premultiplied->image().convertToFormat(QImage::Format_ARGB32_Premultiplied));
    // Premultiplying at alpha 128 rounds colours by a unit, which may move
    // a block of the region's edge to the other side: a few pixels differ.
    EXPECT_LE(formats.meanChannelDelta, 0.5);
    {
        const QImage a = plain->image().convertToFormat(QImage::Format_ARGB32_Premultiplied);
        const QImage b = premultiplied->image().convertToFormat(QImage::Format_ARGB32_Premultiplied);
        size_t far = 0;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
                far += std::max({ std::abs(qAlpha(p) - qAlpha(q)), std::abs(qRed(p) - qRed(q)),
                           std::abs(qGreen(p) - qGreen(q)), std::abs(qBlue(p) - qBlue(q)) })
                    > 20;
            }
        EXPECT_LE(double(far) / (kWidth * kHeight), 0.001) << far;
    }

    // The fourth byte of a 24-bit picture held as RGB32 is padding: what it
    // holds must not pass for alpha.
    QImage padded = studio.photo.copy();
    for (int y = 0; y < kHeight; ++y) {
        auto* line = reinterpret_cast<uint32_t*>(padded.scanLine(y));
        for (int x = 0; x < kWidth; ++x)
            line[x] &= x % 2 ? 0x00FFFFFFu : 0x7FFFFFFFu;
    }
    const auto fromPadded = KeyAt(*PhotoImage::Adopt(padded), 10, 10);
    const auto fromClean = KeyAt(*PhotoImage::Adopt(studio.photo), 10, 10);
    ASSERT_TRUE(fromPadded && fromClean);
    EXPECT_EQ(fromPadded->image(), fromClean->image());

    // A white or grey backdrop has no hue to key on: its colour is keyed by
    // distance instead, without touching the subject's colours.
    QImage grey(200, 160, QImage::Format_RGB32);
    std::mt19937 random(5);
    std::normal_distribution<double> grain(0.0, 4.0);
    for (int y = 0; y < grey.height(); ++y)
        for (int x = 0; x < grey.width(); ++x) {
            const bool disc = (x - 100) * (x - 100) + (y - 80) * (y - 80) < 50 * 50;
            const QColor c = disc ? QColor(224, 180, 150) : QColor(128, 128, 128);
            grey.setPixel(x, y,
                qRgb(Channel(c.red() + grain(random)), Channel(c.green() + grain(random)),
                    Channel(c.blue() + grain(random))));
        }
    const auto neutral = KeyAt(*PhotoImage::Adopt(grey), 5, 5);
    ASSERT_TRUE(neutral);
    size_t backdropCount = 0, removed = 0, discCount = 0, kept = 0;
    for (int y = 0; y < grey.height(); ++y)
        for (int x = 0; x < grey.width(); ++x) {
            const int d2 = (x - 100) * (x - 100) + (y - 80) * (y - 80);
            if (d2 > 53 * 53) {
                ++backdropCount;
                removed += AlphaAt(neutral->image(), x, y) < 16;
            } else if (d2 < 47 * 47) {
                ++discCount;
                kept += neutral->image().pixel(x, y) == grey.pixel(x, y);
            }
        }
    EXPECT_GE(double(removed) / double(backdropCount), 0.995);
    EXPECT_EQ(kept, discCount);
}

// The shipped sample photo, picked on the backdrop beside the head: the
// backdrop goes, the face, hair and shirt stay.
TEST(BackdropKeyStudio, KeysTheSampleGreenBackdropPhoto)
{
    const QString path = test::ProgramDir() + QStringLiteral("/samples/photos/green-backdrop.jpg");
    if (!QFile::exists(path))
        GTEST_SKIP() << "sample photos not built";
    const auto photo = PhotoImage::FromFile(path);
    ASSERT_EQ(photo->lastStatus(), Ok);
    const int w = int(photo->Width());
    const int h = int(photo->Height());
    const auto keyed = KeyAt(*photo, uint32_t(w / 8), uint32_t(h / 3));
    ASSERT_TRUE(keyed);
    const QImage& image = keyed->image();
    for (const QPointF at : { QPointF(0.02, 0.02), QPointF(0.97, 0.03), QPointF(0.05, 0.6), QPointF(0.95, 0.6) })
        EXPECT_EQ(AlphaAt(image, int(at.x() * w), int(at.y() * h)), 0u) << at.x() << "," << at.y();
    // Face, hair at the side, neck, shirt.
    for (const QPointF at : { QPointF(0.5, 0.45), QPointF(0.34, 0.45), QPointF(0.5, 0.62), QPointF(0.5, 0.9) })
        EXPECT_EQ(AlphaAt(image, int(at.x() * w), int(at.y() * h)), 255u) << at.x() << "," << at.y();
}

} // namespace
} // namespace lumavo
