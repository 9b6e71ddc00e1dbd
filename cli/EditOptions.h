#pragma once

#include "imaging/PhotoImage.h"

#include <QSize>
#include <QString>

#include <memory>
#include <optional>

namespace lumavo::cli {

// One coordinate of a keying click: photo pixels, or a share of the
// photo's side ("2%"), so that one click suits every photo of an event
// whatever its size.
struct ClickCoordinate {
    double value = 0;
    bool share = false;

    // The pixel on a side of `length` pixels (clamped inside).
    int PixelOn(int length) const;
};

// "--edit key:X,Y[:TOL]": keying from a photo point, at a tolerance (0-100)
// or the default one.
struct KeyClick {
    ClickCoordinate x;
    ClickCoordinate y;
    std::optional<int> tolerance;
};

// The value of "key:..." after "key:"; an error line when it is not one.
std::optional<KeyClick> ParseKeyClick(const QString& text, QString* error);

// The point of a click on a photo of `size` pixels, the coordinates given
// in pixels of a photo of `fullSize` (the photo may be decoded reduced).
void ClickPoint(const KeyClick& click, QSize size, QSize fullSize, int* x, int* y);
// Whether a click given in pixels lies on a photo of `fullSize` (one in shares always does).
bool ClickInside(const KeyClick& click, QSize fullSize);

// Keying from a click, as "半自动抠像" does it: the photo is replaced by the
// keyed one. `fullSize`: the photo's full size as edited so far.
// InvalidParameter when the click lies beyond the photo.
Status ApplyKey(std::unique_ptr<PhotoImage>& photo, const KeyClick& click, QSize fullSize);

// Skin smoothing as "全自动皮肤美容" does it, on the faces the face finder
// finds (or on every skin colour when its data is missing).
Status ApplySmooth(std::unique_ptr<PhotoImage>& photo);

} // namespace lumavo::cli
