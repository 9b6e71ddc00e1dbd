#include "printing/EffectiveResolution.h"

#include <algorithm>

namespace lumavo {

namespace {

constexpr double kMillimetresPerInch = 25.4;

} // namespace

PrintResolution EffectiveResolution(const PrintPlacement& placement, QSize photoSize, const QRect& photoPlacement)
{
    PrintResolution resolution;
    if (placement.mmPerPixel <= 0.0)
        return resolution;
    resolution.pictureDpi = kMillimetresPerInch / placement.mmPerPixel;
    if (photoSize.isEmpty() || photoPlacement.width() <= 0 || photoPlacement.height() <= 0)
        return resolution;
    // Photo pixels over the inches its placement takes on paper.
    const double inchesWide = photoPlacement.width() * placement.mmPerPixel / kMillimetresPerInch;
    const double inchesHigh = photoPlacement.height() * placement.mmPerPixel / kMillimetresPerInch;
    resolution.photoDpi = std::min(photoSize.width() / inchesWide, photoSize.height() / inchesHigh);
    resolution.photoTooLow = resolution.photoDpi < kLowPhotoDpi;
    return resolution;
}

} // namespace lumavo
