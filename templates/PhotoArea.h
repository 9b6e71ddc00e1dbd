#pragma once

#include "templates/Composition.h"
#include "templates/LayerBlend.h"
#include "templates/PhotoScaling.h"

#include <QRect>
#include <QSize>

#include <algorithm>
#include <cstdint>

namespace lumavo {

// Where the placement meets a picture of the given size, in picture pixels
// (64-bit sums: a placement may lie anywhere in the 32-bit range).
inline QRect VisiblePart(const PhotoPlacement& placement, const QSize& picture)
{
    if (placement.width <= 0 || placement.height <= 0)
        return QRect();
    const int64_t left = std::max<int64_t>(placement.x, 0);
    const int64_t top = std::max<int64_t>(placement.y, 0);
    const int64_t right = std::min<int64_t>(int64_t(placement.x) + placement.width, picture.width());
    const int64_t bottom = std::min<int64_t>(int64_t(placement.y) + placement.height, picture.height());
    if (left >= right || top >= bottom)
        return QRect();
    return QRect(int(left), int(top), int(right - left), int(bottom - top));
}

// The visible part in the placement's own pixels.
inline QRect InPlacement(const QRect& visible, const PhotoPlacement& placement)
{
    return QRect(int(int64_t(visible.x()) - placement.x), int(int64_t(visible.y()) - placement.y), visible.width(),
        visible.height());
}

// The part of the placement worth scaling: all of it, unless it is larger
// than the picture it is drawn on; then only around what shows, widened by
// the margin. This bounds the work and the memory by the picture's size.
inline QRect ScalingWindow(const PhotoPlacement& placement, const QRect& needed, const QSize& picture, int margin)
{
    if (int64_t(placement.width) * placement.height <= int64_t(picture.width()) * picture.height())
        return QRect(0, 0, placement.width, placement.height);
    // 64-bit edges: the margin must not carry an edge past the 32-bit range.
    const int64_t left = std::max<int64_t>(int64_t(needed.left()) - margin, 0);
    const int64_t top = std::max<int64_t>(int64_t(needed.top()) - margin, 0);
    const int64_t right = std::min<int64_t>(int64_t(needed.right()) + 1 + margin, placement.width);
    const int64_t bottom = std::min<int64_t>(int64_t(needed.bottom()) + 1 + margin, placement.height);
    return QRect(int(left), int(top), int(right - left), int(bottom - top));
}

// The scaled photo as a layer: its held window placed where the placement puts it.
inline PhotoLayer PhotoLayerOf(const ScaledPhoto& scaled, const PhotoPlacement& placement)
{
    const QPoint origin(int(int64_t(placement.x) + scaled.window.x()), int(int64_t(placement.y) + scaled.window.y()));
    return PhotoLayer { &scaled.pixels, scaled.opaque, origin };
}

} // namespace lumavo
