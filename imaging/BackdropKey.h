#pragma once

#include "imaging/PhotoImage.h"

#include <QImage>

#include <cstdint>
#include <memory>
#include <vector>

namespace lumavo {

// Keying that keeps the subject: the backdrop is the region connected to
// the operator's click, grown over the backdrop's colour and the way its
// light falls off (which keeps its hue), so the same colour elsewhere (a
// dark suit beside a dark corner, a grey object held by the subject) stays,
// also in a small copy whose file has smeared the colour across the edge. Its edge gets a soft
// matte (strands of hair stay in part) and the backdrop's colour is taken
// out of the pixels along the edge only.
//
// One click costs a pass over the picture; what it finds is kept, so a new
// tolerance (Render) or a further click (AddPick) costs far less.
class BackdropKey {
public:
    // Tolerance from 0 (only the backdrop's very colour) to 100 (anything
    // close to it); the default suits studio backdrops.
    static constexpr int kMinTolerance = 0;
    static constexpr int kMaxTolerance = 100;
    static constexpr int kDefaultTolerance = 50;

    // Starts keying the picture from a click at (x, y). None when the point
    // is outside the picture or the picture has no pixels; a key without
    // picks (Render gives a failed picture with OutOfMemory) when the memory
    // cannot be had.
    static std::unique_ptr<BackdropKey> Start(const PhotoImage& picture, uint32_t x, uint32_t y);

    // A further click adds the backdrop region connected to it (a gap
    // between arm and body, say). False when the point is outside.
    bool AddPick(uint32_t x, uint32_t y);
    int PickCount() const { return int(m_picks.size()); }

    // A new 32-bit ARGB picture of the keyed photo at this tolerance; the
    // photo itself is left alone. Existing transparency is kept.
    std::unique_ptr<PhotoImage> Render(int tolerance = kDefaultTolerance) const;

    ~BackdropKey();

private:
    struct Pick;
    BackdropKey() = default;
    bool Prepare(const PhotoImage& picture);
    bool AddPickAt(uint32_t x, uint32_t y);

    QImage m_source; // RGB32 or straight ARGB32
    float m_dpiX = 96, m_dpiY = 96;
    int m_width = 0, m_height = 0;
    int m_scale = 1; // picture pixels per block side
    int m_blocksX = 0, m_blocksY = 0;
    std::vector<float> m_blocks; // mean colour per block: 3 floats (luma, cb, cr)
    // Per block, the variance of its pixels. colours about the mean: grain on
    // a plain backdrop, more where an edge runs through the block.
    std::vector<float> m_spread;
    float m_noise = 0; // the blocks' noise over the whole picture
    std::vector<std::unique_ptr<Pick>> m_picks;
};

} // namespace lumavo
