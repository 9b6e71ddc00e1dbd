#pragma once

#include <QImage>
#include <QRect>
#include <QSize>

namespace lumavo {

// Scales source (RGB32 or premultiplied ARGB32) to target, making only the
// window part (inside the target's rectangle). Each direction on its own:
// shrinking averages the exact source area under each target pixel (the
// area average), enlarging interpolates linearly between pixel centres.
// extentWidth x extentHeight is the source area that maps onto the whole
// target, in source pixels; it may reach up to a pixel past the source's
// edge (a reduced picture whose odd last column was dropped), where the edge
// pixels repeat. The result has the source's format; null when memory fails.
// A spare picture of the result's size and format that nobody else holds is
// written over instead of allocating a new one.
QImage Resample(const QImage& source, double extentWidth, double extentHeight, const QSize& target, const QRect& window,
    QImage spare = QImage());

} // namespace lumavo
