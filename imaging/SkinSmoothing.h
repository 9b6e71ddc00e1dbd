#pragma once

#include "imaging/PhotoImage.h"

#include <QRect>

#include <cstdint>
#include <memory>
#include <vector>

namespace lumavo {

// Automatic skin smoothing: small spots that differ from the skin around
// them (blemishes) fade into it, then an edge-preserving smoothing works
// where the picture is skin-coloured, so that grain and fine wrinkles soften
// while eyes, hair, lips and every edge stay sharp. `faces` (picture pixels), when a face finder
// gave them, keep the work to the faces and the necks below them and size
// the spots after the faces. A new picture of the
// same size and alpha (32-bit ARGB, same resolution); the picture itself is
// left alone. None when it has no pixels; a failed picture with status
// OutOfMemory when the memory for the result cannot be had. Well under a
// quarter of a second per 12 megapixels on two cores.
std::unique_ptr<PhotoImage> SmoothSkin(const PhotoImage& picture, const std::vector<QRect>& faces = {});

// How skin-like a colour (0xAARRGGBB, alpha ignored) is, from 0 (not skin)
// to 1 (surely skin), with soft borders between so that the smoothing fades
// in and out without seams.
float SkinLikelihood(uint32_t colour);

} // namespace lumavo
