#pragma once

#include "printing/PageGeometry.h"

#include <QRect>
#include <QSize>

namespace lumavo {

// Below this the customer photo looks soft on paper.
constexpr double kLowPhotoDpi = 150.0;

struct PrintResolution {
    // The finished picture's pixels per printed inch.
    double pictureDpi = 0.0;
    // The customer photo's pixels per printed inch inside its opening (the
    // lesser of its two directions); 0 without a photo.
    double photoDpi = 0.0;
    bool photoTooLow = false;
};

// photoPlacement: where the photo is drawn in the finished picture's pixels
// (the photo's whole photoSize pixels are scaled into it).
PrintResolution EffectiveResolution(const PrintPlacement& placement, QSize photoSize, const QRect& photoPlacement);

} // namespace lumavo
