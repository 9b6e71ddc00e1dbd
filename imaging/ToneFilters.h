#pragma once

#include "imaging/PhotoImage.h"

#include <cstdint>
#include <memory>

namespace lumavo {

// Per-pixel tone kernels over a pixel array (see PixelAccess.h). Alpha passes
// through; nothing is done when width x height is 0 or less.
void SepiaFilter(int32_t width, int32_t height, uint32_t* pixels);
void BlackWhiteFilter(int32_t width, int32_t height, uint32_t* pixels);
// The tone tool's look: a light, purplish blue cast that keeps the picture's
// light and shade.
void PurplishLightBlueFilter(int32_t width, int32_t height, uint32_t* pixels);

using ToneKernel = void (*)(int32_t width, int32_t height, uint32_t* pixels);

// Reads the photo's pixels, runs the kernel and builds a new 32-bit ARGB
// picture of the same size. The photo itself is left alone. None when there
// is no photo or its pixels cannot be read.
std::unique_ptr<PhotoImage> ApplyToneFilter(PhotoImage* photo, ToneKernel kernel);

} // namespace lumavo
