#include "imaging/BackdropKey.h"

#include "TestUtils.h"

#include <QFile>
#include <QPainter>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <vector>

namespace lumavo {
namespace {

// Pixels whose whole (2r+1) square has the given mask value: true backdrop
// or subject away from the antialiased outline.
std::vector<uint8_t> Interior(const QImage& mask, bool subject, int radius)
{
    const int w = mask.width(), h = mask.height();
    // Separable minimum (or maximum) of the mask over the square.
    std::vector<uint8_t> rows(size_t(w) * h), out(size_t(w) * h);
    for (int y = 0; y < h; ++y) {
        const uchar* line = mask.constScanLine(y);
        for (int x = 0; x < w; ++x) {
            bool all = true;
            for (int d = -radius; d <= radius && all; ++d) {
                const int v = line[std::clamp(x + d, 0, w - 1)];
                all = subject ? v == 255 : v == 0;
            }
            rows[size_t(y) * w + x] = all;
        }
    }
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            bool all = true;
            for (int d = -radius; d <= radius && all; ++d)
                all = rows[size_t(std::clamp(y + d, 0, h - 1)) * w + x] != 0;
            out[size_t(y) * w + x] = all;
        }
    return out;
}

struct Shares {
    double removed = 0; // of the backdrop, alpha at most 10%
    double kept = 0; // of the subject, alpha at least 90%
};

struct MaskedPhoto {
    QImage photo;
    std::vector<uint8_t> backdrop, subject;
};

Shares Measure(const MaskedPhoto& m, const QImage& keyed)
{
    size_t backdrop = 0, removed = 0, subject = 0, kept = 0;
    const int w = keyed.width();
    for (int y = 0; y < keyed.height(); ++y) {
        const auto* line = reinterpret_cast<const uint32_t*>(keyed.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            const size_t i = size_t(y) * w + x;
            const uint32_t alpha = line[x] >> 24;
            if (m.backdrop[i]) {
                ++backdrop;
                removed += alpha <= 25;
            } else if (m.subject[i]) {
                ++subject;
                kept += alpha >= 230;
            }
        }
    }
    return { double(removed) / double(std::max<size_t>(backdrop, 1)),
        double(kept) / double(std::max<size_t>(subject, 1)) };
}

MaskedPhoto LoadSample(const QString& name)
{
    MaskedPhoto m;
    m.photo = QImage(test::ProgramDir() + "/samples/photos/" + name + ".jpg");
    const QImage mask
        = QImage(test::ProgramDir() + "/samples/masks/" + name + ".png").convertToFormat(QImage::Format_Grayscale8);
    if (m.photo.isNull() || mask.size() != m.photo.size())
        return {};
    m.backdrop = Interior(mask, false, 2);
    m.subject = Interior(mask, true, 2);
    return m;
}

int Channel(double value)
{
    return std::clamp(int(std::lround(value)), 0, 255);
}

// A studio portrait of a known mask, drawn another way than the samples: a
// backdrop lit unevenly (35% darker to the right and towards the bottom),
// grain on everything (of the given spread per channel), a subject of hair, face, eyebrows and a shirt, and on
// the shirt a badge of the backdrop's very colour that must stay.
MaskedPhoto Portrait(QColor backdrop, QColor shirt, uint32_t seed, double grainSpread = 1.6, int w = 1200, int h = 1600)
{
    QImage subject(w, h, QImage::Format_ARGB32_Premultiplied);
    subject.fill(Qt::transparent);
    {
        QPainter p(&subject);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(shirt);
        p.drawEllipse(QRectF(0.1 * w, 0.68 * h, 0.8 * w, 0.7 * h));
        p.setBrush(QColor(225, 180, 150));
        p.drawRect(QRectF(0.42 * w, 0.5 * h, 0.16 * w, 0.22 * h));
        p.setBrush(QColor(40, 30, 25));
        p.drawEllipse(QRectF(0.28 * w, 0.16 * h, 0.44 * w, 0.44 * h));
        p.setBrush(QColor(232, 188, 160));
        p.drawEllipse(QRectF(0.35 * w, 0.26 * h, 0.3 * w, 0.3 * h));
        p.setBrush(QColor(45, 32, 26)); // eyebrows
        p.drawRect(QRectF(0.39 * w, 0.36 * h, 0.08 * w, 0.012 * h));
        p.drawRect(QRectF(0.53 * w, 0.36 * h, 0.08 * w, 0.012 * h));
        p.setBrush(backdrop); // the badge
        p.drawEllipse(QRectF(0.3 * w, 0.82 * h, 0.1 * w, 0.075 * h));
    }
    MaskedPhoto m;
    m.photo = QImage(w, h, QImage::Format_RGB32);
    QImage mask(w, h, QImage::Format_Grayscale8);
    std::mt19937 random(seed);
    std::normal_distribution<double> grain(0.0, grainSpread);
    for (int y = 0; y < h; ++y) {
        const auto* front = reinterpret_cast<const uint32_t*>(subject.constScanLine(y));
        auto* out = reinterpret_cast<uint32_t*>(m.photo.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const double light = 1.0 - 0.2 * x / w - 0.15 * y / h;
            const double a = double(front[x] >> 24) / 255.0;
            double rgb[3];
            const int back[3] = { backdrop.red(), backdrop.green(), backdrop.blue() };
            for (int c = 0; c < 3; ++c)
                rgb[c] = double((front[x] >> (16 - 8 * c)) & 0xFF) + back[c] * light * (1 - a) + grain(random);
            out[x] = 0xFF000000u | uint32_t(Channel(rgb[0])) << 16 | uint32_t(Channel(rgb[1])) << 8
                | uint32_t(Channel(rgb[2]));
            mask.scanLine(y)[x] = uchar(front[x] >> 24);
        }
    }
    m.backdrop = Interior(mask, false, 2);
    m.subject = Interior(mask, true, 2);
    return m;
}

// Keys from a click at (x, y), a share of the picture's size, and checks the
// goals: at least 98% of the backdrop removed, at least 99.5% of the subject
// kept, and the given points of the subject (eyebrows, hair, ...) whole.
QImage ExpectKeyed(const MaskedPhoto& m, QPointF at, const std::vector<QPointF>& whole)
{
    const int w = m.photo.width(), h = m.photo.height();
    const int x = int(at.x() * w), y = int(at.y() * h);
    EXPECT_TRUE(m.backdrop[size_t(y) * w + x]) << "the click is on the backdrop";
    const auto picture = PhotoImage::Adopt(m.photo);
    const auto key = BackdropKey::Start(*picture, uint32_t(x), uint32_t(y));
    if (!key)
        return {};
    const auto keyed = key->Render();
    EXPECT_EQ(keyed->lastStatus(), Ok);
    EXPECT_EQ(keyed->image().format(), QImage::Format_ARGB32);
    const Shares s = Measure(m, keyed->image());
    std::printf(
        "[ measured ] from %.2f,%.2f: backdrop removed %.4f, subject kept %.4f\n", at.x(), at.y(), s.removed, s.kept);
    EXPECT_GE(s.removed, 0.98) << "from " << at.x() << "," << at.y();
    EXPECT_GE(s.kept, 0.995) << "from " << at.x() << "," << at.y();
    // Whole: every pixel in a small square around each point opaque.
    const QImage& out = keyed->image();
    for (const QPointF p : whole) {
        uint32_t least = 255;
        for (int dy = -6; dy <= 6; ++dy)
            for (int dx = -6; dx <= 6; ++dx)
                least = std::min(least, uint32_t(qAlpha(out.pixel(int(p.x() * w) + dx, int(p.y() * h) + dy))));
        EXPECT_EQ(least, 255u) << "at " << p.x() << "," << p.y() << " from " << at.x() << "," << at.y();
    }
    EXPECT_EQ(picture->image(), m.photo) << "the photo stays as it was";
    return out;
}

// The badge of the backdrop's colour on the shirt, an eyebrow and the hair
// of the generated portraits.
const std::vector<QPointF> kPortraitWhole = { QPointF(0.35, 0.855), QPointF(0.43, 0.366), QPointF(0.5, 0.2) };

// Green, blue, grey, white and a coloured paper; picked near a corner and
// low beside the subject. The badge of the backdrop's colour, the eyebrows
// and the dark hair stay; the backdrop goes.
TEST(BackdropKeyTest, KeysGeneratedPortraitsOnEveryBackdrop)
{
    struct Case {
        const char* name;
        QColor backdrop;
        QColor shirt;
    };
    const Case cases[] = {
        { "green", QColor(40, 170, 75), QColor(236, 236, 240) },
        { "blue", QColor(30, 80, 200), QColor(110, 22, 30) },
        { "grey", QColor(128, 130, 134), QColor(60, 62, 70) },
        { "white", QColor(238, 238, 236), QColor(30, 40, 90) },
        { "coloured", QColor(190, 120, 60), QColor(40, 60, 50) },
    };
    uint32_t seed = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const MaskedPhoto m = Portrait(c.backdrop, c.shirt, seed++);
        for (const QPointF at : { QPointF(0.025, 0.02), QPointF(0.96, 0.94) })
            ExpectKeyed(m, at, kPortraitWhole);
    }
}

// Grain that hides small steps (a spread of 3 and 5 levels per channel), on
// a small and a larger picture: the region still grows over the whole
// backdrop and stops at the subject.
TEST(BackdropKeyTest, KeysGrainyPortraits)
{
    for (const double grain : { 3.0, 5.0 })
        for (const QSize size : { QSize(480, 640), QSize(1200, 1600) }) {
            SCOPED_TRACE(testing::Message() << "grain " << grain << ", " << size.width() << " x " << size.height());
            const MaskedPhoto grey
                = Portrait(QColor(128, 130, 134), QColor(60, 62, 70), 21, grain, size.width(), size.height());
            ExpectKeyed(grey, QPointF(0.02, 0.02), kPortraitWhole);
            const MaskedPhoto green
                = Portrait(QColor(40, 170, 75), QColor(236, 236, 240), 22, grain, size.width(), size.height());
            ExpectKeyed(green, QPointF(0.97, 0.5), kPortraitWhole);
        }
}

// A new tolerance gives exactly what a fresh key at that tolerance gives.
TEST(BackdropKeyTest, ToleranceChangeEqualsAFreshKey)
{
    const MaskedPhoto m = Portrait(QColor(128, 130, 134), QColor(100, 104, 110), 7);
    const auto picture = PhotoImage::Adopt(m.photo);
    const auto key = BackdropKey::Start(*picture, 10, 10);
    ASSERT_TRUE(key);
    const QImage high = key->Render(90)->image();
    const QImage low = key->Render(10)->image();
    EXPECT_EQ(low, BackdropKey::Start(*picture, 10, 10)->Render(10)->image());
    EXPECT_EQ(high, BackdropKey::Start(*picture, 10, 10)->Render(90)->image());
    EXPECT_NE(low, high);
}

// The backdrop seen through a ring (between arm and body, say) is not
// connected to the click: a second click adds it, and the ring stays.
TEST(BackdropKeyTest, SecondClickAddsARegion)
{
    QImage image(400, 300, QImage::Format_RGB32);
    image.fill(QColor(40, 170, 75));
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(200, 60, 40), 30));
        p.drawEllipse(QRectF(120, 70, 160, 160));
    }
    const auto picture = PhotoImage::Adopt(image);
    const auto key = BackdropKey::Start(*picture, 5, 5);
    ASSERT_TRUE(key);
    const QImage once = key->Render()->image();
    EXPECT_EQ(qAlpha(once.pixel(20, 280)), 0);
    EXPECT_EQ(qAlpha(once.pixel(200, 150)), 255) << "inside the ring: not connected to the click";
    EXPECT_FALSE(key->AddPick(400, 10));
    ASSERT_TRUE(key->AddPick(200, 150));
    EXPECT_EQ(key->PickCount(), 2);
    const QImage twice = key->Render()->image();
    EXPECT_EQ(qAlpha(twice.pixel(200, 150)), 0);
    EXPECT_EQ(qAlpha(twice.pixel(20, 280)), 0);
    EXPECT_EQ(qAlpha(twice.pixel(200, 70)), 255) << "the ring";
    EXPECT_EQ(qAlpha(twice.pixel(120, 150)), 255) << "the ring";

    EXPECT_FALSE(BackdropKey::Start(*picture, 400, 0));
    EXPECT_FALSE(BackdropKey::Start(*picture, 0, 300));
    EXPECT_FALSE(BackdropKey::Start(*PhotoImage::Adopt(QImage()), 0, 0));
}

// Grain of the given spread added to every channel alike, as the sample
// generator's grain is.
QImage WithGrain(QImage photo, double spread, uint32_t seed)
{
    std::mt19937 random(seed);
    std::normal_distribution<double> grain(0.0, spread);
    for (int y = 0; y < photo.height(); ++y) {
        auto* line = reinterpret_cast<uint32_t*>(photo.scanLine(y));
        for (int x = 0; x < photo.width(); ++x) {
            const double g = grain(random);
            const uint32_t p = line[x];
            line[x] = 0xFF000000u | uint32_t(Channel(((p >> 16) & 0xFF) + g)) << 16
                | uint32_t(Channel(((p >> 8) & 0xFF) + g)) << 8 | uint32_t(Channel((p & 0xFF) + g));
        }
    }
    return photo;
}

// The bundled studio portraits, against the masks the sample generator drew,
// clicked anywhere on the backdrop: corners, top middle, the sides, low
// beside the shoulders and between; as they are and with more grain. The
// man's dark suit meets the darkened backdrop at the lower left within a few
// levels; the woman's hair casts a soft shadow.
TEST(BackdropKeyTest, KeysTheSamplePortraits)
{
    const std::vector<QPointF> clicks = { QPointF(0.03, 0.03), QPointF(0.97, 0.03), QPointF(0.5, 0.02),
        QPointF(0.03, 0.55), QPointF(0.97, 0.55), QPointF(0.02, 0.8), QPointF(0.98, 0.8), QPointF(0.3, 0.3) };
    struct Sample {
        const char* name;
        std::vector<QPointF> whole; // eyebrows, hair
    };
    const Sample samples[] = {
        { "portrait-man", { QPointF(0.42, 0.37), QPointF(0.58, 0.37), QPointF(0.5, 0.26), QPointF(0.4, 0.3) } },
        { "portrait-woman",
            { QPointF(0.42, 0.37), QPointF(0.58, 0.37), QPointF(0.5, 0.26), QPointF(0.335, 0.5),
                QPointF(0.665, 0.5) } },
    };
    for (const Sample& sample : samples) {
        SCOPED_TRACE(sample.name);
        MaskedPhoto m = LoadSample(QString::fromLatin1(sample.name));
        if (m.photo.isNull())
            GTEST_SKIP() << "sample photos not built";
        for (const QPointF at : clicks)
            ExpectKeyed(m, at, sample.whole);
        SCOPED_TRACE("grain 3");
        m.photo = WithGrain(m.photo, 3.0, 5);
        for (const QPointF at : { clicks[0], clicks[5] })
            ExpectKeyed(m, at, sample.whole);
    }
}

// The bundled portraits at other sizes, as a customer's smaller copy comes
// in: scaled smoothly or the quick way, saved as JPEG and read back, keyed
// at the tolerances an operator uses. The man's dark suit differs from the
// dark lower corners of the backdrop in hue rather than lightness, and the
// file keeps hue at half resolution: the smaller the copy, the more blocks
// that edge is smeared over.
TEST(BackdropKeyTest, KeysSmallerCopiesOfTheSamplePortraits)
{
    struct Size {
        double factor;
        Qt::TransformationMode mode;
        int highestTolerance; // the quarter size holds the suit up to 50
    };
    const Size sizes[] = { { 0.25, Qt::SmoothTransformation, 50 }, { 0.4, Qt::FastTransformation, 70 },
        { 0.5, Qt::SmoothTransformation, 70 }, { 0.75, Qt::FastTransformation, 70 } };
    test::Sandbox box;
    for (const char* name : { "portrait-man", "portrait-woman" }) {
        const QImage photo(test::ProgramDir() + "/samples/photos/" + name + ".jpg");
        const QImage mask(test::ProgramDir() + "/samples/masks/" + name + ".png");
        if (photo.isNull() || mask.isNull())
            GTEST_SKIP() << "sample photos not built";
        for (const Size& size : sizes) {
            SCOPED_TRACE(std::string(name) + " at " + std::to_string(size.factor));
            const QSize to(int(photo.width() * size.factor), int(photo.height() * size.factor));
            const QString path = box.File(QStringLiteral("%1-%2.jpg").arg(QLatin1String(name)).arg(to.width()));
            ASSERT_TRUE(photo.scaled(to, Qt::IgnoreAspectRatio, size.mode).save(path, "JPEG", 95));
            const auto copy = PhotoImage::FromFile(path);
            ASSERT_EQ(copy->lastStatus(), Ok);
            MaskedPhoto m;
            m.photo = copy->image().convertToFormat(QImage::Format_RGB32);
            const QImage smallMask = mask.scaled(to, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                                         .convertToFormat(QImage::Format_Grayscale8);
            m.backdrop = Interior(smallMask, false, 2);
            m.subject = Interior(smallMask, true, 2);
            const auto key = BackdropKey::Start(*copy, uint32_t(to.width() * 0.03), uint32_t(to.height() * 0.02));
            ASSERT_TRUE(key);
            for (int tolerance = 30; tolerance <= size.highestTolerance; tolerance += 20) {
                const Shares s = Measure(m, key->Render(tolerance)->image());
                std::printf("[ measured ] %s at %.2f, tolerance %d: backdrop removed %.4f, subject kept %.4f\n", name,
                    size.factor, tolerance, s.removed, s.kept);
                EXPECT_GE(s.kept, 0.995) << "tolerance " << tolerance;
                EXPECT_GE(s.removed, tolerance == 30 ? 0.95 : 0.97) << "tolerance " << tolerance;
            }
        }
    }
}

} // namespace
} // namespace lumavo
