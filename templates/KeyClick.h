#pragma once

#include <QSize>

#include <optional>

namespace lumavo {

// One coordinate of a keying click: photo pixels, or a share of the
// photo's side (from "2%"), so that one click suits every photo of an event
// whatever its size.
struct ClickCoordinate {
    double value = 0; // pixels, or a share from 0 to 1
    bool share = false;

    // The pixel on a side of `length` pixels (clamped inside).
    int PixelOn(int length) const;
};

// A keying click given by numbers (the command line's "key:X,Y[:TOL]"):
// the point, and a tolerance (0-100) or the default one.
struct KeyClick {
    ClickCoordinate x;
    ClickCoordinate y;
    std::optional<int> tolerance;
};

// Whether a click given in pixels lies on a photo of `fullSize` (one in shares always does).
bool ClickInside(const KeyClick& click, QSize fullSize);

// The point of a click on a picture of `size` pixels, the coordinates given
// in pixels of the photo at its full size (the picture may be decoded reduced).
void ClickPoint(const KeyClick& click, QSize size, QSize fullSize, int* x, int* y);

} // namespace lumavo
