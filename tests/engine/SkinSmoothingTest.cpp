#include "imaging/SkinSmoothing.h"

#include <QImage>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <random>

namespace lumavo {
namespace {

constexpr uint32_t kSkin = 0xE1B49B; // (225, 180, 155)

uint32_t Rgb(int r, int g, int b)
{
    const auto clamp = [](int v) { return uint32_t(std::clamp(v, 0, 255)); };
    return clamp(r) << 16 | clamp(g) << 8 | clamp(b);
}

double Luma(uint32_t p)
{
    return 0.299 * ((p >> 16) & 0xFF) + 0.587 * ((p >> 8) & 0xFF) + 0.114 * (p & 0xFF);
}

double LumaAt(const QImage& image, int x, int y)
{
    return Luma(image.pixel(x, y));
}

// A face-like test scene, f times 800 x 600: on the left, grey textured hair
// above blemished skin with a dark eye in it; on the right, textured green
// above textured blue. Alpha varies, so that its copying is checked.
struct Scene {
    int width, height;
    int skinRight, hairBottom;
    double eyeX, eyeY, eyeRx, eyeRy;
    QImage image;

    bool InEye(int x, int y) const
    {
        const double dx = (x + 0.5 - eyeX) / eyeRx, dy = (y + 0.5 - eyeY) / eyeRy;
        return dx * dx + dy * dy <= 1.0;
    }
};

Scene MakeScene(int f)
{
    Scene s;
    s.width = 800 * f;
    s.height = 600 * f;
    s.skinRight = 480 * f;
    s.hairBottom = 150 * f;
    s.eyeX = 240.0 * f;
    s.eyeY = 360.0 * f;
    s.eyeRx = 64.0 * f;
    s.eyeRy = 24.0 * f;
    s.image = QImage(s.width, s.height, QImage::Format_ARGB32);
    std::mt19937 random(11);
    std::uniform_int_distribution<int> noise(-16, 16);
    for (int y = 0; y < s.height; ++y) {
        auto* line = reinterpret_cast<uint32_t*>(s.image.scanLine(y));
        for (int x = 0; x < s.width; ++x) {
            const int n = noise(random);
            uint32_t colour;
            if (x < s.skinRight && y < s.hairBottom) {
                const int v = 80 + ((x / (2 * f)) % 3) * 20 + n; // grey strands
                colour = Rgb(v, v, v);
            } else if (x < s.skinRight) {
                colour = s.InEye(x, y) ? Rgb(45 + n / 4, 35 + n / 4, 30 + n / 4)
                                       : Rgb(225 + n, 180 + n + noise(random) / 2, 155 + n);
            } else if (y < s.height / 2) {
                colour = Rgb(60 + n, 140 + noise(random), 60 + n);
            } else {
                colour = Rgb(40 + n, 80 + noise(random), 200 + n);
            }
            line[x] = uint32_t(255 - (x * 7 + y * 3) % 96) << 24 | colour;
        }
    }
    // Reddish blemishes of a few pixels scattered over the skin.
    std::uniform_int_distribution<int> px(0, s.skinRight - 1), py(s.hairBottom, s.height - 1);
    const int spot = 2 * f;
    for (int i = 0; i < 1500; ++i) {
        const int cx = px(random), cy = py(random);
        for (int y = std::max(s.hairBottom, cy - spot); y <= std::min(s.height - 1, cy + spot); ++y)
            for (int x = std::max(0, cx - spot); x <= std::min(s.skinRight - 1, cx + spot); ++x)
                if (!s.InEye(x, y) && (x - cx) * (x - cx) + (y - cy) * (y - cy) <= spot * spot) {
                    const QRgb p = s.image.pixel(x, y);
                    s.image.setPixel(x, y, (p & 0xFF000000u) | Rgb(qRed(p) + 5, qGreen(p) - 28, qBlue(p) - 22));
                }
    }
    return s;
}

// Mean over 8 x 8 blocks of the luminance's standard deviation in the block.
double LocalDeviation(const QImage& image, int left, int top, int right, int bottom)
{
    double total = 0.0;
    int blocks = 0;
    for (int by = top; by + 8 <= bottom; by += 8)
        for (int bx = left; bx + 8 <= right; bx += 8) {
            double sum = 0.0, squares = 0.0;
            for (int y = by; y < by + 8; ++y)
                for (int x = bx; x < bx + 8; ++x) {
                    const double v = LumaAt(image, x, y);
                    sum += v;
                    squares += v * v;
                }
            total += std::sqrt(std::max(0.0, squares / 64 - (sum / 64) * (sum / 64)));
            ++blocks;
        }
    return total / blocks;
}

// Mean luminance step across the eye's left and right outline (adjacent
// pixels), over the rows of its middle half.
double EyeContrast(const Scene& s, const QImage& image)
{
    double total = 0.0;
    int count = 0;
    for (int y = int(s.eyeY - s.eyeRy / 2); y < int(s.eyeY + s.eyeRy / 2); ++y) {
        int first = 0;
        while (!s.InEye(first, y))
            ++first;
        int last = first;
        while (s.InEye(last + 1, y))
            ++last;
        total += LumaAt(image, first - 1, y) - LumaAt(image, first, y);
        total += LumaAt(image, last + 1, y) - LumaAt(image, last, y);
        count += 2;
    }
    return total / count;
}

// Mean luminance step from the last hair row to the first skin row, away from the sides.
double HairlineContrast(const Scene& s, const QImage& image)
{
    double total = 0.0;
    int count = 0;
    for (int x = s.width / 20; x < s.skinRight - s.width / 20; ++x, ++count)
        total += LumaAt(image, x, s.hairBottom) - LumaAt(image, x, s.hairBottom - 1);
    return total / count;
}

struct Difference {
    int maxDelta = 0;
    double meanDelta = 0.0;
};

Difference Compare(const QImage& a, const QImage& b, const QRect& area)
{
    Difference d;
    double total = 0.0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            for (int delta : { qRed(p) - qRed(q), qGreen(p) - qGreen(q), qBlue(p) - qBlue(q) }) {
                d.maxDelta = std::max(d.maxDelta, std::abs(delta));
                total += std::abs(delta);
            }
        }
    d.meanDelta = total / (3.0 * area.width() * area.height());
    return d;
}

// At 800 x 600 the filter runs at full resolution; at 2400 x 1800 on
// reduced planes, which must not cost sharpness or leak off the skin.
TEST(SkinSmoothingTest, SmoothsSkinKeepsEdgesAndLeavesTheRestAlone)
{
    for (int f : { 1, 3 }) {
        SCOPED_TRACE(f);
        const Scene s = MakeScene(f);
        auto source = PhotoImage::Adopt(s.image);
        const QImage before = s.image.copy();
        const auto smoothed = SmoothSkin(*source);
        ASSERT_TRUE(smoothed);
        ASSERT_EQ(smoothed->lastStatus(), Ok);
        EXPECT_TRUE(source->image() == before);
        const QImage& after = smoothed->image();
        ASSERT_EQ(after.size(), before.size());
        EXPECT_EQ(smoothed->Format(), PixelFormat32bppARGB);

        // Blemished skin, clear of the eye and the hairline.
        const int left = 20 * f, right = 160 * f, top = 200 * f, bottom = 580 * f;
        const double roughBefore = LocalDeviation(before, left, top, right, bottom);
        const double roughAfter = LocalDeviation(after, left, top, right, bottom);
        EXPECT_LT(roughAfter, 0.5 * roughBefore) << roughBefore << " -> " << roughAfter;
        // The skin's colour stays where it was.
        const Difference skinShift = Compare(before, after, QRect(left, top, right - left, bottom - top));
        EXPECT_LT(skinShift.meanDelta, 12.0);

        const double eyeBefore = EyeContrast(s, before), eyeAfter = EyeContrast(s, after);
        EXPECT_NEAR(eyeAfter, eyeBefore, 0.05 * eyeBefore);
        const double hairBefore = HairlineContrast(s, before), hairAfter = HairlineContrast(s, after);
        EXPECT_NEAR(hairAfter, hairBefore, 0.05 * hairBefore);

        // Hair, green and blue away from the skin are not touched.
        const int margin = 40 * f;
        for (const QRect& area : { QRect(0, 0, s.skinRight, s.hairBottom - margin),
                 QRect(s.skinRight + margin, 0, s.width - s.skinRight - margin, s.height) }) {
            const Difference d = Compare(before, after, area);
            EXPECT_LE(d.maxDelta, 1);
            EXPECT_LT(d.meanDelta, 0.05);
        }
        bool alphaKept = true;
        for (int y = 0; y < s.height && alphaKept; ++y)
            for (int x = 0; x < s.width && alphaKept; ++x)
                alphaKept = qAlpha(after.pixel(x, y)) == qAlpha(before.pixel(x, y));
        EXPECT_TRUE(alphaKept);
    }
}

TEST(SkinSmoothingTest, HandlesEmptyTinyAndOtherFormats)
{
    EXPECT_FALSE(SmoothSkin(*PhotoImage::Adopt(QImage(), InvalidParameter)));

    // Flat skin has nothing to smooth, at any size (window clipping and
    // interpolation at the borders must not shift it).
    for (const QSize size : { QSize(1, 1), QSize(7, 1), QSize(1, 9), QSize(3, 2), QSize(2401, 5), QSize(5, 3001) }) {
        QImage flat(size, QImage::Format_ARGB32);
        flat.fill(0xFF000000u | kSkin);
        const auto result = SmoothSkin(*PhotoImage::Adopt(flat));
        ASSERT_TRUE(result);
        EXPECT_EQ(result->image().size(), size);
        const Difference d = Compare(flat, result->image(), QRect(QPoint(0, 0), size));
        EXPECT_LE(d.maxDelta, 1) << size.width() << "x" << size.height();
    }

    // 24-bit pictures are held as RGB32 whose padding byte may hold anything;
    // packed RGB888 takes the converting path. Both come out opaque and smoothed.
    std::mt19937 random(5);
    std::uniform_int_distribution<int> noise(-20, 20);
    auto blank = PhotoImage::Blank(300, 200, PixelFormat24bppRGB);
    ASSERT_EQ(blank->lastStatus(), Ok);
    QImage& padded = blank->mutableImage();
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 300; ++x) {
            const int n = noise(random);
            reinterpret_cast<uint32_t*>(padded.scanLine(y))[x] = Rgb(225 + n, 180 + n, 155 + n);
        }
    const QImage packed = padded.convertToFormat(QImage::Format_RGB888);
    for (const auto& picture : { std::move(blank), PhotoImage::Adopt(packed) }) {
        const auto result = SmoothSkin(*picture);
        ASSERT_TRUE(result);
        const QImage& out = result->image();
        EXPECT_EQ(out.format(), QImage::Format_ARGB32);
        bool opaque = true;
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 300; ++x)
                opaque = opaque && qAlpha(out.pixel(x, y)) == 255;
        EXPECT_TRUE(opaque);
        EXPECT_LT(LocalDeviation(out, 0, 0, 300, 200), 0.5 * LocalDeviation(packed, 0, 0, 300, 200));
    }
}

// Mean RGB distance between the mean colour inside a disc and the mean
// colour of the ring around it (from r to 2r): how much a spot stands out.
double SpotContrast(const QImage& image, QPoint centre, int r)
{
    double in[3] = {}, out[3] = {};
    int inCount = 0, outCount = 0;
    for (int y = centre.y() - 2 * r; y <= centre.y() + 2 * r; ++y)
        for (int x = centre.x() - 2 * r; x <= centre.x() + 2 * r; ++x) {
            const int d2 = (x - centre.x()) * (x - centre.x()) + (y - centre.y()) * (y - centre.y());
            const QRgb p = image.pixel(x, y);
            const double c[3] = { double(qRed(p)), double(qGreen(p)), double(qBlue(p)) };
            if (d2 <= r * r * 0.6) {
                for (int k = 0; k < 3; ++k)
                    in[k] += c[k];
                ++inCount;
            } else if (d2 >= r * r * 1.6 && d2 <= 4 * r * r) {
                for (int k = 0; k < 3; ++k)
                    out[k] += c[k];
                ++outCount;
            }
        }
    double sum = 0;
    for (int k = 0; k < 3; ++k) {
        const double d = in[k] / inCount - out[k] / outCount;
        sum += d * d;
    }
    return std::sqrt(sum);
}

// A face of grainy skin 1200 pixels wide with a red spot and a brown mole
// 1.5% of its width across, a dark eye and a thin eyebrow: the spots fade
// into the skin, the eye and the eyebrow stay. With a face box given, only
// the face and the neck under it are touched.
TEST(SkinSmoothingTest, BlemishesFadeFeaturesStay)
{
    constexpr int w = 1600, h = 1800, faceWidth = 1200;
    const QRect face(200, 200, faceWidth, 1300);
    const int spot = int(0.015 * faceWidth); // 18 pixels
    const QPoint red(500, 900), mole(1000, 1100), outside(1565, 300), eye(600, 700), brow(1000, 560);
    QImage image(w, h, QImage::Format_RGB32);
    std::mt19937 random(3);
    std::normal_distribution<double> grain(0.0, 5.0);
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<uint32_t*>(image.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const double g = grain(random);
            double r = 228, gr = 184, b = 160;
            const auto within = [&](QPoint c, double radius) {
                return (x - c.x()) * (x - c.x()) + (y - c.y()) * (y - c.y()) <= radius * radius;
            };
            if (within(red, spot / 2.0) || within(outside, spot / 2.0)) {
                r = 226, gr = 150, b = 134;
            } else if (within(mole, spot / 2.0)) {
                r = 170, gr = 120, b = 100;
            } else if (std::abs(x - eye.x()) < 90 && std::abs(y - eye.y()) < 30) {
                r = 50, gr = 38, b = 32;
            } else if (std::abs(x - brow.x()) < 120 && std::abs(y - brow.y()) < 6) {
                r = 110, gr = 78, b = 62;
            }
            line[x] = 0xFF000000u | Rgb(int(r + g), int(gr + g), int(b + g));
        }
    }
    const auto picture = PhotoImage::Adopt(image);
    const QRect eyeArea(eye.x() - 80, eye.y() - 25, 160, 50);
    const QRect browArea(brow.x() - 100, brow.y() - 3, 200, 6);
    const auto meanLuma = [](const QImage& im, const QRect& area) {
        double sum = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                sum += LumaAt(im, x, y);
        return sum / (double(area.width()) * area.height());
    };
    const double skinLuma = Luma(Rgb(228, 184, 160));
    for (const bool withFace : { false, true }) {
        SCOPED_TRACE(withFace ? "face box given" : "no face box");
        const auto smoothed = withFace ? SmoothSkin(*picture, { face }) : SmoothSkin(*picture);
        ASSERT_TRUE(smoothed);
        const QImage& after = smoothed->image();
        for (const QPoint at : { red, mole }) {
            const double before = SpotContrast(image, at, spot / 2), now = SpotContrast(after, at, spot / 2);
            std::printf("[ measured ] blemish contrast %.1f -> %.1f\n", before, now);
            EXPECT_LT(now, 0.35 * before) << at.x() << "," << at.y();
        }
        // The spot beside the face: untouched when the faces are known.
        const double outsideBefore = SpotContrast(image, outside, spot / 2);
        const double outsideAfter = SpotContrast(after, outside, spot / 2);
        if (withFace)
            EXPECT_NEAR(outsideAfter, outsideBefore, 0.05 * outsideBefore);
        else
            EXPECT_LT(outsideAfter, 0.35 * outsideBefore);
        // Eye and eyebrow keep their depth against the skin.
        for (const QRect& area : { eyeArea, browArea }) {
            const double before = skinLuma - meanLuma(image, area), now = skinLuma - meanLuma(after, area);
            EXPECT_GT(now, 0.9 * before) << area.x() << "," << area.y();
        }
        EXPECT_EQ(picture->image(), image);
    }
}

TEST(SkinSmoothingTest, SkinLikelihoodSeparatesSkinFromOtherColours)
{
    for (uint32_t skin : { Rgb(240, 210, 195), kSkin, Rgb(200, 150, 120), Rgb(120, 80, 60) })
        EXPECT_GT(SkinLikelihood(skin), 0.9f) << std::hex << skin;
    for (uint32_t other : { Rgb(60, 140, 60), Rgb(40, 80, 200), Rgb(128, 128, 128), Rgb(255, 255, 255), Rgb(0, 0, 0),
             Rgb(50, 35, 28), Rgb(230, 60, 40) })
        EXPECT_EQ(SkinLikelihood(other), 0.0f) << std::hex << other;
}

} // namespace
} // namespace lumavo
