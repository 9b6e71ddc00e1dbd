#include "templates/FaceFraming.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

namespace lumavo {
namespace {

// Where the subject lands in the background once placed: photo pixels
// mapped through the placement's own scale.
struct Landing {
    double centreX = 0;
    double eyeY = 0;
    double width = 0;
    double height = 0;
};

Landing Land(const PhotoPlacement& p, int photoWidth, int photoHeight, const FramingSubject& s)
{
    const double sx = double(p.width) / photoWidth;
    const double sy = double(p.height) / photoHeight;
    return { p.x + (s.left + s.width / 2.0) * sx, p.y + s.eyeLine * sy, s.width * sx, s.height * sy };
}

struct Opening {
    LayerRect rect;
    double width() const { return rect.right - rect.left; }
    double height() const { return rect.bottom - rect.top; }
    double centreX() const { return (rect.left + rect.right) / 2.0; }
    double eyeGoal(double share = 0.40) const { return rect.top + share * height(); }
};

void ExpectCovers(const PhotoPlacement& p, const LayerRect& o)
{
    EXPECT_LE(p.x, o.left);
    EXPECT_LE(p.y, o.top);
    EXPECT_GE(int64_t(p.x) + p.width, o.right);
    EXPECT_GE(int64_t(p.y) + p.height, o.bottom);
}

void ExpectProportions(const PhotoPlacement& p, int photoWidth, int photoHeight)
{
    // Each side is rounded once: each may be off by up to a pixel, no more.
    EXPECT_NEAR(double(p.height) * photoWidth, double(p.width) * photoHeight, double(photoWidth) + photoHeight);
}

const Opening kPortraitOpening { { 100, 150, 700, 950 } };
const Opening kLandscapeOpening { { 230, 500, 1880, 1600 } };

TEST(FaceFraming, FaceCentredEyesOnTheLineAtTheSetSize)
{
    struct Case {
        Opening opening;
        int photoWidth, photoHeight;
        FramingSubject face;
        double share;
    };
    const Case cases[] = {
        { kPortraitOpening, 6000, 4000, { 2600, 1200, 600, 600, 1430 }, 0.32 },
        { kPortraitOpening, 4000, 6000, { 1500, 1500, 900, 900, 1840 }, 0.32 },
        { kLandscapeOpening, 6000, 4000, { 2700, 1000, 500, 500, 1190 }, 0.32 },
        { kLandscapeOpening, 3000, 3000, { 1300, 900, 300, 300, 1010 }, 0.25 },
        { kPortraitOpening, 6000, 4000, { 2600, 1200, 600, 600, 1430 }, 0.5 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.share);
        FramingGoal goal;
        goal.faceShare = c.share;
        const auto placement = FramePlacement(c.opening.rect, c.photoWidth, c.photoHeight, c.face, goal);
        ASSERT_TRUE(placement);
        const Landing landed = Land(*placement, c.photoWidth, c.photoHeight, c.face);
        EXPECT_NEAR(landed.centreX, c.opening.centreX(), 1.0);
        EXPECT_NEAR(landed.eyeY, c.opening.eyeGoal(), 1.0);
        EXPECT_NEAR(landed.height, c.share * c.opening.height(), 0.01 * c.opening.height());
        ExpectCovers(*placement, c.opening.rect);
        ExpectProportions(*placement, c.photoWidth, c.photoHeight);
    }
}

// A face near an edge of the photo cannot reach its goal without baring the
// opening: the photo stops at the opening's edge, the face keeps its size.
TEST(FaceFraming, NearAnEdgeCoveringWins)
{
    const Opening& o = kPortraitOpening;
    const int w = 6000, h = 4000;
    struct Case {
        FramingSubject face;
        bool stopsLeft, stopsRight, stopsTop, stopsBottom;
    };
    const Case cases[] = {
        { { 40, 1500, 600, 600, 1730 }, true, false, false, false },
        { { 5380, 1500, 600, 600, 1730 }, false, true, false, false },
        { { 2700, 10, 600, 600, 240 }, false, false, true, false },
        { { 2700, 3390, 600, 600, 3620 }, false, false, false, true },
        { { 5380, 10, 600, 600, 240 }, false, true, true, false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.face.left * 10000 + c.face.top);
        const auto placement = FramePlacement(o.rect, w, h, c.face);
        ASSERT_TRUE(placement);
        const PhotoPlacement& p = *placement;
        ExpectCovers(p, o.rect);
        const Landing landed = Land(p, w, h, c.face);
        EXPECT_NEAR(landed.height, 0.32 * o.height(), 0.01 * o.height());
        if (c.stopsLeft) {
            EXPECT_EQ(p.x, o.rect.left);
            EXPECT_LT(landed.centreX, o.centreX());
        } else if (c.stopsRight) {
            EXPECT_EQ(int64_t(p.x) + p.width, o.rect.right);
            EXPECT_GT(landed.centreX, o.centreX());
        } else {
            EXPECT_NEAR(landed.centreX, o.centreX(), 1.0);
        }
        if (c.stopsTop) {
            EXPECT_EQ(p.y, o.rect.top);
            EXPECT_LT(landed.eyeY, o.eyeGoal());
        } else if (c.stopsBottom) {
            EXPECT_EQ(int64_t(p.y) + p.height, o.rect.bottom);
            EXPECT_GT(landed.eyeY, o.eyeGoal());
        } else {
            EXPECT_NEAR(landed.eyeY, o.eyeGoal(), 1.0);
        }
    }
}

// A photo smaller than the opening, or one whose face already fills it, is
// enlarged until it covers; the face is then larger than asked but centred.
TEST(FaceFraming, SmallPhotoEnlargedToCover)
{
    const Opening& o = kPortraitOpening;
    const FramingSubject face { 150, 80, 100, 100, 118 };
    const auto placement = FramePlacement(o.rect, 400, 300, face);
    ASSERT_TRUE(placement);
    ExpectCovers(*placement, o.rect);
    ExpectProportions(*placement, 400, 300);
    EXPECT_EQ(placement->height, int(o.height()));
    const Landing landed = Land(*placement, 400, 300, face);
    EXPECT_GT(landed.height, 0.32 * o.height());
    EXPECT_NEAR(landed.centreX, o.centreX(), 1.0);

    const FramingSubject wholeFace { 0, 0, 400, 300, 120 };
    const auto filled = FramePlacement(kLandscapeOpening.rect, 400, 300, wholeFace);
    ASSERT_TRUE(filled);
    ExpectCovers(*filled, kLandscapeOpening.rect);
}

// A wide group keeps a margin at the sides instead of its height share.
TEST(FaceFraming, WideGroupFitsAcross)
{
    const Opening& o = kPortraitOpening;
    const FramingSubject group { 1800, 1500, 2400, 400, 1650 };
    const auto placement = FramePlacement(o.rect, 6000, 4000, group);
    ASSERT_TRUE(placement);
    const Landing landed = Land(*placement, 6000, 4000, group);
    EXPECT_LE(landed.width, 0.85 * o.width() + 1.0);
    EXPECT_GE(landed.width, 0.85 * o.width() - 3.0);
    EXPECT_LT(landed.height, 0.32 * o.height());
    EXPECT_NEAR(landed.centreX, o.centreX(), 1.0);
    EXPECT_NEAR(landed.eyeY, o.eyeGoal(), 1.0);
    ExpectCovers(*placement, o.rect);
}

TEST(FaceFraming, NothingToFrame)
{
    const FramingSubject face { 100, 100, 200, 200, 180 };
    EXPECT_FALSE(FramePlacement({ 0, 0, 0, 0 }, 800, 600, face));
    EXPECT_FALSE(FramePlacement({ 700, 950, 100, 150 }, 800, 600, face));
    EXPECT_FALSE(FramePlacement(kPortraitOpening.rect, 0, 600, face));
    EXPECT_FALSE(FramePlacement(kPortraitOpening.rect, 800, 600, { 100, 100, 0, 200, 180 }));
    EXPECT_FALSE(FramePlacement(kPortraitOpening.rect, 800, 600, { 900, 100, 200, 200, 180 }));
    // A photo that would have to grow past the 32-bit range.
    EXPECT_FALSE(FramePlacement({ INT32_MIN, 0, INT32_MAX, 10 }, 1, 1, { 0, 0, 1, 1, 0 }));
    // Unusable shares fall back to the usual ones.
    FramingGoal odd;
    odd.faceShare = std::numeric_limits<double>::quiet_NaN();
    odd.widestShare = -1;
    EXPECT_EQ(FramePlacement(kPortraitOpening.rect, 800, 600, face, odd),
        FramePlacement(kPortraitOpening.rect, 800, 600, face));
}

// Whatever the shapes: the opening is covered, the proportions kept, and on
// each axis the subject is either on its goal or held back by an edge of
// the photo lying on the opening's edge.
TEST(FaceFraming, AlwaysCoversAndGetsAsNearAsItCan)
{
    std::mt19937 random(20240611);
    const auto between = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    for (int i = 0; i < 2000; ++i) {
        const int left = between(-500, 2000), top = between(-500, 2000);
        const LayerRect opening { left, top, left + between(1, 3000), top + between(1, 3000) };
        const int w = between(1, 8000), h = between(1, 8000);
        FramingSubject s;
        s.left = between(-w / 4, w - 1);
        s.top = between(-h / 4, h - 1);
        s.width = std::max(between(1, w), 1 - s.left);
        s.height = std::max(between(1, h), 1 - s.top);
        s.eyeLine = between(std::max(0, s.top), std::min(h, s.top + s.height));
        const auto placement = FramePlacement(opening, w, h, s);
        ASSERT_TRUE(placement) << i;
        const PhotoPlacement& p = *placement;
        ExpectCovers(p, opening);
        ExpectProportions(p, w, h);
        if (HasFailure())
            FAIL() << "case " << i;

        // The part of the subject on the photo is what gets framed.
        FramingSubject on = s;
        on.left = std::max(0, s.left);
        on.top = std::max(0, s.top);
        on.width = std::min(w, s.left + s.width) - on.left;
        on.height = std::min(h, s.top + s.height) - on.top;
        const Opening o { opening };
        const Landing landed = Land(p, w, h, on);
        const double stepX = double(p.width) / w, stepY = double(p.height) / h;
        const bool atLeft = p.x == opening.left, atRight = int64_t(p.x) + p.width == opening.right;
        const bool atTop = p.y == opening.top, atBottom = int64_t(p.y) + p.height == opening.bottom;
        // Held by the left edge: the subject wanted to go further right.
        if (!atLeft && !atRight) {
            EXPECT_NEAR(landed.centreX, o.centreX(), 1.0 + stepX);
        } else if (atLeft && !atRight) {
            EXPECT_LE(landed.centreX, o.centreX() + 1.0 + stepX);
        } else if (atRight && !atLeft) {
            EXPECT_GE(landed.centreX, o.centreX() - 1.0 - stepX);
        }
        if (!atTop && !atBottom) {
            EXPECT_NEAR(landed.eyeY, o.eyeGoal(), 1.0 + stepY);
        } else if (atTop && !atBottom) {
            EXPECT_LE(landed.eyeY, o.eyeGoal() + 1.0 + stepY);
        } else if (atBottom && !atTop) {
            EXPECT_GE(landed.eyeY, o.eyeGoal() - 1.0 - stepY);
        }
        if (HasFailure())
            FAIL() << "case " << i;
    }
}

} // namespace
} // namespace lumavo
