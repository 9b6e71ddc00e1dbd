#pragma once

#include "imaging/PhotoImage.h"

#include <cstdint>
#include <memory>

namespace lumavo {

// Automatic skin smoothing: an edge-preserving smoothing applied only where
// the picture is skin-coloured, so that blemishes and fine wrinkles soften
// while eyes, hair, lips and every edge stay sharp. A new picture of the
// same size and alpha (32-bit ARGB, same resolution); the picture itself is
// left alone. None when it has no pixels; a failed picture with status
// OutOfMemory when the memory for the result cannot be had. Well under a
// quarter of a second per 12 megapixels on two cores.
std::unique_ptr<PhotoImage> SmoothSkin(const PhotoImage& picture);

// How skin-like a colour (0xAARRGGBB, alpha ignored) is, from 0 (not skin)
// to 1 (surely skin), with soft borders between so that the smoothing fades
// in and out without seams.
float SkinLikelihood(uint32_t colour);

} // namespace lumavo
