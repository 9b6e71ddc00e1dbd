// Skin smoothing on the bundled portrait with the faces the face finder
// gives: the grain of the skin goes right up to the hairline, and the pink
// blouse, close to skin in colour, keeps its texture.

#include "faces/FaceFinder.h"
#include "imaging/SkinSmoothing.h"

#include "TestUtils.h"

#include <QImage>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <deque>
#include <vector>

namespace lumavo {
namespace {

double Luma(QRgb p)
{
    return 0.299 * qRed(p) + 0.587 * qGreen(p) + 0.114 * qBlue(p);
}

// The grain at a pixel: its luminance's distance from the mean of its 5 x 5 square.
double Grain(const QImage& image, int x, int y)
{
    double sum = 0;
    for (int dy = -2; dy <= 2; ++dy)
        for (int dx = -2; dx <= 2; ++dx)
            sum += Luma(image.pixel(x + dx, y + dy));
    return std::abs(Luma(image.pixel(x, y)) - sum / 25);
}

// Within `area`, every pixel's distance (in steps of 4-neighbours, up to
// `limit`) to the nearest dark pixel (hair, eyes, brows), from the photo as it came.
std::vector<int> DistanceToDark(const QImage& image, const QRect& area, int limit)
{
    const int w = area.width(), h = area.height();
    std::vector<int> distance(size_t(w) * h, limit);
    std::deque<int> queue;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (Luma(image.pixel(area.left() + x, area.top() + y)) < 110) {
                distance[size_t(y) * w + x] = 0;
                queue.push_back(y * w + x);
            }
    while (!queue.empty()) {
        const int i = queue.front();
        queue.pop_front();
        const int x = i % w, y = i / w;
        const int next = distance[size_t(i)] + 1;
        if (next >= limit)
            continue;
        for (const auto& [nx, ny] : { std::pair { x - 1, y }, { x + 1, y }, { x, y - 1 }, { x, y + 1 } }) {
            if (nx < 0 || ny < 0 || nx >= w || ny >= h || distance[size_t(ny) * w + nx] <= next)
                continue;
            distance[size_t(ny) * w + nx] = next;
            queue.push_back(ny * w + nx);
        }
    }
    return distance;
}

// Mean grain after over mean grain before, on the pixels chosen.
template <typename Choose>
double GrainKept(const QImage& before, const QImage& after, const QRect& area, Choose choose, int* count = nullptr)
{
    double b = 0, a = 0;
    int n = 0;
    for (int y = area.top() + 2; y < area.bottom() - 2; ++y)
        for (int x = area.left() + 2; x < area.right() - 2; ++x) {
            if (!choose(x, y))
                continue;
            b += Grain(before, x, y);
            a += Grain(after, x, y);
            ++n;
        }
    if (count)
        *count = n;
    return n ? a / b : 1.0;
}

TEST(PortraitSmoothingTest, SkinSmoothsUpToTheHairlineAndTheBlouseKeepsItsTexture)
{
    const QImage photo(test::ProgramDir() + "/samples/photos/portrait-woman.jpg");
    auto finder = FaceFinder::Load(FaceFinder::DefaultFolders(test::ProgramDir()));
    if (photo.isNull() || !finder)
        GTEST_SKIP() << "sample photos or face data not built";
    auto picture = PhotoImage::Adopt(photo.convertToFormat(QImage::Format_RGB32));
    const FaceSearch search = finder->Find(*picture);
    ASSERT_FALSE(search.faces.empty());
    const QRect face = search.faces.front().box;
    std::vector<QRect> faces;
    for (const FoundFace& found : search.faces)
        faces.push_back(found.box);

    const auto smoothed = SmoothSkin(*picture, faces);
    ASSERT_TRUE(smoothed && !smoothed->IsNull());
    const QImage& before = picture->image();
    const QImage after = smoothed->image().convertToFormat(QImage::Format_RGB32);

    // Skin of the face: bright pixels of skin colour; by their distance to
    // the nearest dark pixel (hair, brows, eyes).
    const QRect area = face.intersected(before.rect());
    const int limit = 80;
    const std::vector<int> distance = DistanceToDark(before, area, limit);
    const auto skinAt = [&](int x, int y, int nearest, int farthest) {
        const int d = distance[size_t(y - area.top()) * area.width() + (x - area.left())];
        return d >= nearest && d < farthest && SkinLikelihood(before.pixel(x, y)) > 0.9f;
    };
    int nearCount = 0, farCount = 0;
    const double nearHair = GrainKept(
        before, after, area, [&](int x, int y) { return skinAt(x, y, 4, 24); }, &nearCount);
    const double awayFromHair = GrainKept(
        before, after, area, [&](int x, int y) { return skinAt(x, y, 60, limit); }, &farCount);
    for (const auto& [lo, hi] : { std::pair { 4, 8 }, { 8, 12 }, { 12, 16 }, { 16, 24 }, { 24, 40 }, { 40, 60 } }) {
        int n = 0;
        const double k = GrainKept(
            before, after, area, [&](int x, int y) { return skinAt(x, y, lo, hi); }, &n);
        std::printf("[ measured ] grain kept %d-%d px from the hair: %.2f (%d pixels)\n", lo, hi, k, n);
    }
    ASSERT_GT(nearCount, 2000);
    ASSERT_GT(farCount, 2000);

    // The blouse, below the neck at both sides.
    const int w = before.width(), h = before.height();
    const QRect blouse(int(0.08 * w), int(0.82 * h), int(0.25 * w), int(0.12 * h));
    const QRect blouseRight(int(0.67 * w), int(0.82 * h), int(0.25 * w), int(0.12 * h));
    const auto everywhere = [](int, int) { return true; };
    const double blouseKept = GrainKept(before, after, blouse, everywhere);
    const double blouseRightKept = GrainKept(before, after, blouseRight, everywhere);

    // Without the faces, the blouse counts as skin and loses its texture.
    const auto everywhereSmoothed = SmoothSkin(*picture);
    const double blouseWithoutFaces
        = GrainKept(before, everywhereSmoothed->image().convertToFormat(QImage::Format_RGB32), blouse, everywhere);

    std::printf("[ measured ] blouse grain kept without faces %.2f\n", blouseWithoutFaces);
    std::printf("[ measured ] grain kept: skin near the hairline %.2f, skin away from it %.2f, blouse %.2f / %.2f\n",
        nearHair, awayFromHair, blouseKept, blouseRightKept);
    EXPECT_LT(awayFromHair, 0.6);
    // No band of untouched grain along the hairline.
    EXPECT_LT(nearHair, 0.6);
    EXPECT_LT(nearHair, awayFromHair + 0.1);
    // The hair (and brows, lids) beside the skin keeps its pixels: none is
    // pulled towards the skin's colour.
    size_t dark = 0, pulled = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            if (distance[size_t(y - area.top()) * area.width() + (x - area.left())] != 0)
                continue;
            ++dark;
            const QRgb b = before.pixel(x, y), a = after.pixel(x, y);
            pulled += std::max({ std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                          std::abs(qBlue(a) - qBlue(b)) })
                > 24;
        }
    ASSERT_GT(dark, 10000u);
    std::printf("[ measured ] dark pixels of the face moved by more than 24 levels: %zu of %zu\n", pulled, dark);
    EXPECT_LE(double(pulled) / double(dark), 0.001);
    EXPECT_GT(blouseKept, 0.97);
    EXPECT_GT(blouseRightKept, 0.97);
}

} // namespace
} // namespace lumavo
