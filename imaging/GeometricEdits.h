#pragma once

#include "imaging/PhotoImage.h"

#include <cstdint>

namespace lumavo {

// Rotate-flip codes of the edit window's turns and flips.
enum RotateFlipType : int32_t {
    RotateNoneFlipNone = 0,
    Rotate90FlipNone = 1, // quarter turn clockwise
    Rotate180FlipNone = 2,
    Rotate270FlipNone = 3, // quarter turn counter-clockwise
    RotateNoneFlipX = 4, // mirror left-right
    Rotate90FlipX = 5,
    RotateNoneFlipY = 6, // mirror top-bottom (also Rotate180FlipX)
    Rotate270FlipX = 7,
};

// Turns or mirrors the picture in place (same object, new size for quarter
// turns). A failure is recorded in the picture's lastStatus and returned.
Status RotateFlip(PhotoImage& picture, RotateFlipType code);

constexpr uint32_t kWhiteSpotColor = 0xFFFFFFFF;
constexpr int32_t kWhiteSpotSize = 100;

// Paints an opaque white disc, without anti-aliasing, whose 100 x 100
// bounding square has its top-left corner at (x, y). Returns the same
// picture; a palette or grey picture that the disc touches becomes 32-bit.
PhotoImage& PaintWhiteSpot(PhotoImage& picture, int32_t x, int32_t y);

} // namespace lumavo
