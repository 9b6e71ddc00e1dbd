#pragma once

#include "imaging/PhotoImage.h"

#include <QImage>

#include <cstdint>
#include <memory>

namespace lumavo {

// Whole-picture pixel array: width x height values 0xAARRGGBB (straight
// alpha), row-major, top row first, rows packed without padding.
using PixelArray = std::unique_ptr<uint32_t[]>;

// Reads the whole picture as 32-bit ARGB values; none for a picture without
// pixels or when the array cannot be allocated.
PixelArray ReadPixels(PhotoImage& picture);
// Reads rows [firstRow, endRow) of the image into `target`, packed, in the
// same form: ARGB32 as it is, RGB32 made opaque, other formats converted for
// these rows only. False when that conversion runs out of memory. Safe to
// call from several threads at once on one image.
bool ReadRows(const QImage& image, int firstRow, int endRow, uint32_t* target);

// A new 32-bit ARGB picture holding a copy of the array, which stays the caller's.
std::unique_ptr<PhotoImage> ImageFromPixels(int32_t width, int32_t height, const uint32_t* pixels);
// The same, taking the array over instead of copying it.
std::unique_ptr<PhotoImage> ImageFromPixels(int32_t width, int32_t height, PixelArray pixels);

// a * b / c with a 64-bit intermediate, rounded to nearest, halves away from
// zero; -1 when c is 0 or the result does not fit 32 bits.
int32_t MulDiv(int32_t a, int32_t b, int32_t c);

// A 64-bit value clamped to the signed 32-bit range: geometry saturates
// instead of wrapping.
inline int32_t SaturateInt32(int64_t value)
{
    return int32_t(value < INT32_MIN ? INT32_MIN : value > INT32_MAX ? INT32_MAX : value);
}

struct FitResult {
    int32_t width = 0;
    int32_t height = 0;
    friend bool operator==(const FitResult&, const FitResult&) = default;
};

// Fits a width x height picture into a box keeping its proportions; never enlarges.
FitResult FitSize(int32_t width, int32_t height, int32_t boxWidth, int32_t boxHeight);

} // namespace lumavo
