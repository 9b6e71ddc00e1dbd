#pragma once

// Inside faces/ only: the bridge from Qt pictures to OpenCV matrices.

#include <QImage>
#include <QRect>

#include <opencv2/core.hpp>

namespace lumavo::faces {

// A grey copy reduced by a whole factor so that its longest side is at most
// `longSide` (a whole factor keeps the area averaging fast). Not equalised:
// stretching the contrast of a nearly flat backdrop raises false faces.
// `factor` receives the reduction. Empty for a picture without pixels.
cv::Mat ReducedGrey(const QImage& picture, int longSide, int* factor);

// A grey, equalised copy of `area` of the picture scaled to `width` pixels
// across. Empty when the area misses the picture.
cv::Mat GreyCrop(const QImage& picture, const QRect& area, int width);

} // namespace lumavo::faces
