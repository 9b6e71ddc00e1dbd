#pragma once

#include "imaging/PhotoImage.h"

#include <cstdint>
#include <memory>
#include <optional>

namespace lumavo {

// Semi-automatic keying: the operator picks the backdrop on the picture, and
// every pixel close to the backdrop's colour becomes transparent, so the
// template's background shows through where the backdrop was.

// The backdrop colour around a picked point (opaque 0xFFRRGGBB), taken from a
// small square around it so that grain and noise do not decide it. None when
// the point lies outside the picture.
std::optional<uint32_t> SampleBackdropColor(const PhotoImage& picture, uint32_t x, uint32_t y);

// A new 32-bit ARGB picture of the same size: pixels of the backdrop colour
// become transparent, with a soft edge around the subject, and the
// backdrop's colour cast (spill) is taken out of the subject's edges. The
// picture itself is left alone. None when it has no pixels. Existing
// transparency is kept (the key only takes alpha away). A backdrop without
// a hue (white, grey) is keyed by its distance to the colour instead, without
// spill suppression.
std::unique_ptr<PhotoImage> KeyOutBackdrop(const PhotoImage& picture, uint32_t backdropColor);

} // namespace lumavo
