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
// grain on everything, a subject of hair, face, eyebrows and a shirt, and on
// the shirt a badge of the backdrop's very colour that must stay.
MaskedPhoto Portrait(QColor backdrop, QColor shirt, uint32_t seed)
{
    constexpr int w = 1200, h = 1600;
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
    std::normal_distribution<double> grain(0.0, 1.6);
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

uint32_t AlphaAt(const QImage& image, double x, double y)
{
    return uint32_t(qAlpha(image.pixel(int(x * image.width()), int(y * image.height()))));
}

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
        const auto picture = PhotoImage::Adopt(m.photo);
        for (const QPoint pick : { QPoint(30, 30), QPoint(1150, 1500) }) {
            const auto key = BackdropKey::Start(*picture, uint32_t(pick.x()), uint32_t(pick.y()));
            ASSERT_TRUE(key);
            const auto keyed = key->Render();
            ASSERT_EQ(keyed->lastStatus(), Ok);
            ASSERT_EQ(keyed->image().format(), QImage::Format_ARGB32);
            const Shares shares = Measure(m, keyed->image());
            std::printf("[ measured ] %s from %d,%d: backdrop removed %.4f, subject kept %.4f\n", c.name, pick.x(),
                pick.y(), shares.removed, shares.kept);
            EXPECT_GE(shares.removed, 0.98);
            EXPECT_GE(shares.kept, 0.995);
            const QImage& out = keyed->image();
            EXPECT_EQ(AlphaAt(out, 0.35, 0.855), 255u) << "badge";
            EXPECT_EQ(AlphaAt(out, 0.43, 0.366), 255u) << "eyebrow";
            EXPECT_EQ(AlphaAt(out, 0.5, 0.2), 255u) << "hair";
        }
        EXPECT_EQ(picture->image(), m.photo) << "the photo stays as it was";
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

// The bundled studio portraits, against the masks the sample generator drew,
// clicked anywhere on the backdrop.
TEST(BackdropKeyTest, KeysTheSamplePortraits)
{
    for (const char* name : { "portrait-man", "portrait-woman" }) {
        SCOPED_TRACE(name);
        const MaskedPhoto m = LoadSample(QString::fromLatin1(name));
        if (m.photo.isNull())
            GTEST_SKIP() << "sample photos not built";
        const auto picture = PhotoImage::Adopt(m.photo);
        const int w = m.photo.width(), h = m.photo.height();
        for (const QPointF at :
            { QPointF(0.03, 0.03), QPointF(0.5, 0.02), QPointF(0.03, 0.55), QPointF(0.97, 0.55), QPointF(0.3, 0.3) }) {
            const int x = int(at.x() * w), y = int(at.y() * h);
            ASSERT_TRUE(m.backdrop[size_t(y) * w + x]);
            const auto key = BackdropKey::Start(*picture, uint32_t(x), uint32_t(y));
            const QImage keyed = key->Render()->image();
            const Shares s = Measure(m, keyed);
            std::printf("[ measured ] %s from %.2f,%.2f: backdrop removed %.4f, subject kept %.4f\n", name, at.x(),
                at.y(), s.removed, s.kept);
            EXPECT_GE(s.kept, 0.99);
            // Eyebrows and eyes are inside the face: never holes.
            for (const QPointF inside : { QPointF(0.42, 0.37), QPointF(0.58, 0.37), QPointF(0.5, 0.42) })
                EXPECT_EQ(AlphaAt(keyed, inside.x(), inside.y()), 255u);
        }
    }
}

} // namespace
} // namespace lumavo
