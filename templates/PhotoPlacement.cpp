#include "imaging/PixelAccess.h"
#include "templates/Composition.h"

#include <algorithm>

namespace lumavo {

namespace {

bool FitsInt32(int64_t value)
{
    return value >= INT32_MIN && value <= INT32_MAX;
}

} // namespace

PhotoPlacement PlacePhoto(const LayerRect& opening, int32_t photoWidth, int32_t photoHeight)
{
    const int32_t openingWidth = SaturateInt32(int64_t(opening.right) - opening.left);
    const int32_t openingHeight = SaturateInt32(int64_t(opening.bottom) - opening.top);
    const FitResult fit = FitSize(photoWidth, photoHeight, openingWidth, openingHeight);
    // C++ division truncates toward zero, as the placement rule requires.
    const int64_t x = (int64_t(opening.left) + opening.right) / 2 - fit.width / 2;
    const int64_t y = (int64_t(opening.top) + opening.bottom) / 2 - fit.height / 2;
    return { SaturateInt32(x), SaturateInt32(y), fit.width, fit.height };
}

PhotoPlacement MovePlacement(PhotoPlacement placement, int32_t dx, int32_t dy)
{
    placement.x = SaturateInt32(int64_t(placement.x) + dx);
    placement.y = SaturateInt32(int64_t(placement.y) + dy);
    return placement;
}

PhotoPlacement ZoomPlacement(PhotoPlacement placement, int32_t step)
{
    // Nothing placed yet: the proportion is unknown.
    if (placement.width <= 0)
        return placement;
    // Shrinking stops at the floor, so the photo never passes through zero
    // and growing always works again. A placement already below the floor
    // (a tiny photo at its own size) only grows.
    if (step < 0) {
        if (placement.width <= kMinimumZoomWidth)
            return placement;
        const int64_t room = (int64_t(placement.width) - kMinimumZoomWidth) / 2;
        step = int32_t(std::max<int64_t>(step, -room));
        if (step == 0)
            return placement;
    }
    const int64_t d = int64_t(placement.height) * step / placement.width;
    const int64_t x = int64_t(placement.x) - step;
    const int64_t y = int64_t(placement.y) - d;
    const int64_t width = int64_t(placement.width) + 2 * int64_t(step);
    const int64_t height = int64_t(placement.height) + 2 * d;
    // A step that would leave the 32-bit range is not taken.
    if (!FitsInt32(x) || !FitsInt32(y) || !FitsInt32(width) || !FitsInt32(height))
        return placement;
    return { int32_t(x), int32_t(y), int32_t(width), int32_t(height) };
}

} // namespace lumavo
