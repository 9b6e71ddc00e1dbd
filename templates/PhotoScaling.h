#pragma once

#include <QImage>
#include <QRect>

#include <cstdint>
#include <vector>

namespace lumavo {

// A photo scaled to a placement size, or only a window of it.
struct ScaledPhoto {
    QImage pixels; // RGB32 when opaque, premultiplied ARGB32 otherwise
    bool opaque = true;
    QRect window; // the part of the placement held, in placement pixels
    int width = 0; // placement size
    int height = 0;
    int64_t photoKey = 0;
    QSize photoSize;
};

// Scales one photo again and again (a key press at a time). Keeps the photo
// reduced by 2, 4, 8, ... (box-averaged, made when first needed) so that
// each scaling starts from less than twice the wanted size: averaging over
// the reduced picture and then over the rest of the way stays within a few
// levels of the full picture's area average (hard edges come out a touch
// softer), at a fraction of the work. The photo itself is not kept between
// calls.
class PhotoScaler {
public:
    // The photo (any format, not null) scaled to width x height (both > 0),
    // of which only window (inside the placement) is made: shrinking averages
    // areas, enlarging interpolates linearly (see Resample). It starts from
    // the smallest reduction still at least the wanted size, or from the
    // photo itself when fullResolution is set.
    // spare: a picture the result may be written into (see Resample).
    ScaledPhoto Scale(const QImage& photo, int width, int height, const QRect& window, bool fullResolution = false,
        QImage spare = QImage());

    // Forgets the reductions.
    void Clear();

private:
    const QImage& Level(const QImage& photo, int level);

    int64_t m_photoKey = 0;
    QSize m_photoSize;
    // [0]: the photo converted for scaling, only when its own format is not
    // RGB32 or premultiplied ARGB32; [n]: reduced by 2^n.
    std::vector<QImage> m_levels;
};

// Halves a picture in both directions (rounded down), each result pixel the
// rounded average of 2 x 2 source pixels, in premultiplied form. The result
// is RGB32 when every source pixel is opaque, premultiplied ARGB32 otherwise.
QImage ReduceByHalf(const QImage& source);

} // namespace lumavo
