#include "templates/FaceFraming.h"

#include <algorithm>
#include <cmath>

namespace lumavo {

namespace {

double ShareOr(double share, double fallback)
{
    return std::isfinite(share) && share > 0 ? share : fallback;
}

} // namespace

std::optional<PhotoPlacement> FramePlacement(const LayerRect& opening, int32_t photoWidth, int32_t photoHeight,
    const FramingSubject& subject, const FramingGoal& goal)
{
    const int64_t openingWidth = int64_t(opening.right) - opening.left;
    const int64_t openingHeight = int64_t(opening.bottom) - opening.top;
    if (openingWidth <= 0 || openingHeight <= 0 || photoWidth <= 0 || photoHeight <= 0)
        return std::nullopt;
    // Only the part of the subject on the photo can be framed.
    const int64_t left = std::clamp<int64_t>(subject.left, 0, photoWidth);
    const int64_t top = std::clamp<int64_t>(subject.top, 0, photoHeight);
    const int64_t right = std::clamp<int64_t>(int64_t(subject.left) + subject.width, 0, photoWidth);
    const int64_t bottom = std::clamp<int64_t>(int64_t(subject.top) + subject.height, 0, photoHeight);
    if (right <= left || bottom <= top)
        return std::nullopt;
    const double eyes = std::clamp<double>(subject.eyeLine, double(top), double(bottom));
    const FramingGoal defaults;
    const double faceShare = ShareOr(goal.faceShare, defaults.faceShare);
    const double widestShare = ShareOr(goal.widestShare, defaults.widestShare);
    const double eyeLine = std::isfinite(goal.eyeLine) ? std::clamp(goal.eyeLine, 0.0, 1.0) : defaults.eyeLine;

    // Photo pixels to background pixels: the face's share of the height,
    // unless that makes the group too wide, and never less than covering.
    double scale = faceShare * double(openingHeight) / double(bottom - top);
    scale = std::min(scale, widestShare * double(openingWidth) / double(right - left));
    scale = std::max({ scale, double(openingWidth) / photoWidth, double(openingHeight) / photoHeight });

    // Rounded up, so that rounding never leaves a line of the opening bare.
    const int64_t width = std::max<int64_t>(openingWidth, int64_t(std::ceil(photoWidth * scale - 1e-6)));
    const int64_t height = std::max<int64_t>(openingHeight, int64_t(std::ceil(photoHeight * scale - 1e-6)));
    if (width > INT32_MAX || height > INT32_MAX)
        return std::nullopt;
    const double scaleX = double(width) / photoWidth;
    const double scaleY = double(height) / photoHeight;

    const double centre = (left + right) / 2.0;
    int64_t x = std::llround(opening.left + openingWidth / 2.0 - centre * scaleX);
    int64_t y = std::llround(opening.top + eyeLine * openingHeight - eyes * scaleY);
    // Covering wins over the goals: the photo's edges stay outside the opening.
    x = std::clamp<int64_t>(x, int64_t(opening.right) - width, opening.left);
    y = std::clamp<int64_t>(y, int64_t(opening.bottom) - height, opening.top);
    if (x < INT32_MIN || y < INT32_MIN || x > INT32_MAX || y > INT32_MAX)
        return std::nullopt;
    return PhotoPlacement { int32_t(x), int32_t(y), int32_t(width), int32_t(height) };
}

} // namespace lumavo
