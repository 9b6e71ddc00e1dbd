#include "imaging/BackdropKey.h"

#include "imaging/PixelMath.h"
#include "platform/ParallelFor.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace lumavo {

namespace {

// The key looks at blocks of pixels first (about this many blocks in all):
// grain averages out in a block, and growing a region over the blocks takes
// milliseconds. Only blocks along the region's edge are then looked at pixel
// by pixel. Large blocks make the step across an edge stand out from the
// grain: the grain shrinks with the block's side, the step does not.
constexpr double kTargetBlocks = 150000.0;

// Colours are compared in YCbCr with luma weighted less than chroma: what
// the light does to a backdrop is mostly luma.
constexpr float kLumaWeight = 0.6f;

// Each block's colour is compared with what the backdrop around it predicts,
// from a plane fitted to the backdrop's blocks within this many blocks; the
// ridge keeps the plane's tilt small where few blocks are known.
constexpr int kFitReach = 3;
constexpr float kSlopeRidge = 2.0f;
// The backdrop's noise is measured around the click; below this (a drawn,
// noiseless picture) it counts as this much.
constexpr float kMinUnit = 0.15f;
// The noise is measured within this many blocks of the click.
constexpr int kNoiseReach = 6;
// A block this far from its prediction (in noise units) counts half in the
// predictions around it.
constexpr float kTrustedCost = 6.0f;
// A block whose pixels vary by more than this share of what the backdrop's
// do holds part of an edge; the cost rises with the square root of the
// excess. Below kMinSpread (in compared units squared) the backdrop counts
// as noiseless.
constexpr float kSpreadMargin = 1.5f;
constexpr float kMixWeight = 8.0f;
constexpr float kMinSpread = 0.25f;
// A saturated backdrop (a green or blue screen) is stored with its colour
// at reduced resolution and rings where the compression's blocks meet, so
// even its plain blocks vary this much: below it, no block counts as edged.
constexpr float kScreenChroma = 2.0f * 12.0f;
constexpr float kMinScreenSpread = 1.0f;

// Light (its falloff, a shadow) scales a backdrop's colour but keeps its
// hue. The hue the backdrop has shown plainly is kept over cells of this
// many blocks, and a block is compared with it over this many cells around
// it: wide enough that the few blocks along an edge cannot move it.
constexpr int kHueCell = 8;
constexpr int kHueReach = 2;
// A block counts in its cell's hue by how plainly it was backdrop: fully
// well below this cost, hardly at all above it.
constexpr float kHueCost = 3.0f;
// How far light may scale the backdrop's chroma, either way.
constexpr float kLightRange = 1.6f;

// The tolerance's range in units of the backdrop's noise.
constexpr float kToleranceBase = 3.0f;
constexpr float kToleranceSlope = 0.09f;

// Tolerance 0..100 as the largest cost (in units of the backdrop's noise)
// that still counts as backdrop.
float ToleranceDistance(int tolerance)
{
    return kToleranceBase
        + kToleranceSlope * float(std::clamp(tolerance, BackdropKey::kMinTolerance, BackdropKey::kMaxTolerance));
}

// Distances are kept in 1/16 steps up to 4095/16: beyond that nothing is
// backdrop at any tolerance.
constexpr float kQuantum = 16.0f;
constexpr uint16_t kFar = 4095;

// A backdrop with at least this chroma has a colour cast that spills onto
// the subject's edge.
constexpr float kSpillChroma = 12.0f;
constexpr float kSpillWedge = 0.3f;

// The matte along the edge: a pixel's place between backdrop and subject
// colour, with the ends clipped so that grain does not leave a veil on the
// backdrop or holes in the subject.
constexpr float kMatteLow = 0.15f;
constexpr float kMatteHigh = 0.85f;
// Below this difference between the subject's and the backdrop's colours
// the matte's ramp gets steeper.
constexpr float kSoftContrast = 40.0f;

struct Colour {
    float l, b, r; // weighted luma, cb, cr
};

inline Colour ToCompared(uint32_t p)
{
    const Ycc c = ToYcc(float((p >> 16) & 0xFF), float((p >> 8) & 0xFF), float(p & 0xFF));
    return { c.y * kLumaWeight, c.cb, c.cr };
}

inline float Distance(const Colour& a, const Colour& b)
{
    const float dl = a.l - b.l, db = a.b - b.b, dr = a.r - b.r;
    return std::sqrt(dl * dl + db * db + dr * dr);
}

struct Rgb {
    float r, g, b;
};

inline Rgb ToRgb(const Colour& c)
{
    const float y = c.l / kLumaWeight;
    return { y + 1.402f * c.r, y - 0.344136f * c.b - 0.714136f * c.r, y + 1.772f * c.b };
}

// ---- block planes ------------------------------------------------------------

struct Grid {
    int width = 0, height = 0;
    size_t Count() const { return size_t(width) * size_t(height); }
};

Colour At(const std::vector<float>& plane, size_t i)
{
    return { plane[3 * i], plane[3 * i + 1], plane[3 * i + 2] };
}

// Fills the blocks whose weight is 0 from those around them, smoothly, by
// averaging down a pyramid and interpolating back up (push-pull). Blocks of
// weight 1 keep their values.
std::vector<float> FillFrom(const Grid& grid, const std::vector<float>& values, const std::vector<float>& weights)
{
    struct Level {
        Grid grid;
        std::vector<float> values, weights;
    };
    std::vector<Level> levels;
    levels.push_back({ grid, values, weights });
    while (levels.back().grid.width > 1 || levels.back().grid.height > 1) {
        const Level& fine = levels.back();
        Level coarse;
        coarse.grid = { (fine.grid.width + 1) / 2, (fine.grid.height + 1) / 2 };
        coarse.values.assign(coarse.grid.Count() * 3, 0.0f);
        coarse.weights.assign(coarse.grid.Count(), 0.0f);
        for (int y = 0; y < fine.grid.height; ++y)
            for (int x = 0; x < fine.grid.width; ++x) {
                const size_t f = size_t(y) * fine.grid.width + x;
                const size_t c = size_t(y / 2) * coarse.grid.width + x / 2;
                const float w = fine.weights[f];
                coarse.weights[c] += w;
                for (int k = 0; k < 3; ++k)
                    coarse.values[3 * c + k] += w * fine.values[3 * f + k];
            }
        for (size_t c = 0; c < coarse.grid.Count(); ++c) {
            const float w = coarse.weights[c];
            if (w > 0)
                for (int k = 0; k < 3; ++k)
                    coarse.values[3 * c + k] /= w;
            coarse.weights[c] = std::min(1.0f, w);
        }
        levels.push_back(std::move(coarse));
    }
    // Back up: each level keeps its own values as far as its weight goes and
    // takes the rest from the coarser level, interpolated.
    for (size_t n = levels.size() - 1; n-- > 0;) {
        Level& fine = levels[n];
        const Level& coarse = levels[n + 1];
        const int cw = coarse.grid.width, ch = coarse.grid.height;
        for (int y = 0; y < fine.grid.height; ++y) {
            const float fy = std::clamp((float(y) + 0.5f) / 2.0f - 0.5f, 0.0f, float(ch - 1));
            const int y0 = int(fy), y1 = std::min(y0 + 1, ch - 1);
            const float wy = fy - float(y0);
            for (int x = 0; x < fine.grid.width; ++x) {
                const size_t f = size_t(y) * fine.grid.width + x;
                const float w = std::min(1.0f, fine.weights[f]);
                if (w >= 1.0f)
                    continue;
                const float fx = std::clamp((float(x) + 0.5f) / 2.0f - 0.5f, 0.0f, float(cw - 1));
                const int x0 = int(fx), x1 = std::min(x0 + 1, cw - 1);
                const float wx = fx - float(x0);
                for (int k = 0; k < 3; ++k) {
                    const auto v = [&](int cx, int cy) { return coarse.values[3 * (size_t(cy) * cw + cx) + k]; };
                    const float up = (v(x0, y0) * (1 - wx) + v(x1, y0) * wx) * (1 - wy)
                        + (v(x0, y1) * (1 - wx) + v(x1, y1) * wx) * wy;
                    fine.values[3 * f + k] = w * fine.values[3 * f + k] + (1 - w) * up;
                }
                fine.weights[f] = 1.0f;
            }
        }
    }
    return std::move(levels.front().values);
}

// Blocks within `radius` (chessboard) of a block outside the mask drop out.
std::vector<uint8_t> Shrink(const Grid& grid, std::vector<uint8_t> mask, int radius)
{
    for (int pass = 0; pass < radius; ++pass) {
        std::vector<uint8_t> next(mask.size(), 0);
        for (int y = 0; y < grid.height; ++y)
            for (int x = 0; x < grid.width; ++x) {
                bool all = true;
                for (int dy = -1; dy <= 1 && all; ++dy)
                    for (int dx = -1; dx <= 1 && all; ++dx) {
                        const int nx = std::clamp(x + dx, 0, grid.width - 1);
                        const int ny = std::clamp(y + dy, 0, grid.height - 1);
                        all = mask[size_t(ny) * grid.width + nx] != 0;
                    }
                next[size_t(y) * grid.width + x] = all;
            }
        mask = std::move(next);
    }
    return mask;
}

// How far a block's colour strays from its neighbours' on a plain stretch of
// backdrop (grain, the photo's noise, fine mottling): the median bend
// (second difference) within `reach` blocks, which an edge nearby hardly moves.
float NoiseAround(const Grid& grid, const std::vector<float>& blocks, int sx, int sy, int reach)
{
    std::vector<float> bends;
    const auto bend = [&](size_t before, size_t here, size_t after) {
        const Colour a = At(blocks, before), b = At(blocks, here), c = At(blocks, after);
        bends.push_back(Distance(b, { 0.5f * (a.l + c.l), 0.5f * (a.b + c.b), 0.5f * (a.r + c.r) }));
    };
    for (int y = std::max(0, sy - reach); y <= std::min(grid.height - 1, sy + reach); ++y)
        for (int x = std::max(0, sx - reach); x <= std::min(grid.width - 1, sx + reach); ++x) {
            const size_t i = size_t(y) * grid.width + x;
            if (x > 0 && x + 1 < grid.width)
                bend(i - 1, i, i + 1);
            if (y > 0 && y + 1 < grid.height)
                bend(i - grid.width, i, i + grid.width);
        }
    if (bends.empty())
        return 0.0f;
    std::nth_element(bends.begin(), bends.begin() + std::ptrdiff_t(bends.size() / 2), bends.end());
    // For grain of spread s in each of the three channels the bend's length
    // has a median of about 1.89 s.
    return bends[bends.size() / 2] / 1.89f;
}

// The backdrop's colour around a block, from the blocks already taken for
// backdrop near it: a plane fitted to them (the light's falloff goes on
// across a block or two), pulled towards flat where they are few or in a line.
struct LocalModel {
    Colour at; // at the block itself
    Colour slopeX, slopeY; // per block
    float spread; // the variance of the pixels in the backdrop's blocks
    Colour Predict(int dx, int dy) const
    {
        return { at.l + slopeX.l * float(dx) + slopeY.l * float(dy), at.b + slopeX.b * float(dx) + slopeY.b * float(dy),
            at.r + slopeX.r * float(dx) + slopeY.r * float(dy) };
    }
};

LocalModel FitAround(const Grid& grid, const std::vector<float>& blocks, const std::vector<float>& spread,
    const std::vector<float>& trust, int x, int y)
{
    float spreadSum = 0, n = 0, sx = 0, sy = 0, sxx = 0, sxy = 0, syy = 0;
    float s[3] = {}, sxc[3] = {}, syc[3] = {};
    for (int dy = -kFitReach; dy <= kFitReach; ++dy) {
        const int ny = y + dy;
        if (ny < 0 || ny >= grid.height)
            continue;
        for (int dx = -kFitReach; dx <= kFitReach; ++dx) {
            const int nx = x + dx;
            if (nx < 0 || nx >= grid.width)
                continue;
            const size_t j = size_t(ny) * grid.width + nx;
            const float w = trust[j];
            if (w <= 0)
                continue;
            const float fx = float(dx), fy = float(dy);
            n += w;
            spreadSum += w * spread[j];
            sx += w * fx;
            sy += w * fy;
            sxx += w * fx * fx;
            sxy += w * fx * fy;
            syy += w * fy * fy;
            for (int k = 0; k < 3; ++k) {
                const float c = w * blocks[3 * j + k];
                s[k] += c;
                sxc[k] += fx * c;
                syc[k] += fy * c;
            }
        }
    }
    LocalModel model {};
    if (n < 1e-3f) {
        model.at = At(blocks, size_t(y) * grid.width + x);
        model.spread = spread[size_t(y) * grid.width + x];
        return model;
    }
    model.spread = spreadSum / n;
    // Least squares for c = a + bx * dx + by * dy, the slopes held back by a
    // ridge term so that a few blocks in a row do not tilt the plane.
    const float a11 = n, a12 = sx, a13 = sy;
    const float a22 = sxx + kSlopeRidge, a23 = sxy, a33 = syy + kSlopeRidge;
    const float c11 = a22 * a33 - a23 * a23, c12 = a13 * a23 - a12 * a33, c13 = a12 * a23 - a13 * a22;
    const float c22 = a11 * a33 - a13 * a13, c23 = a12 * a13 - a11 * a23, c33 = a11 * a22 - a12 * a12;
    const float det = a11 * c11 + a12 * c12 + a13 * c13;
    float out[3][3];
    for (int k = 0; k < 3; ++k) {
        out[0][k] = (c11 * s[k] + c12 * sxc[k] + c13 * syc[k]) / det;
        out[1][k] = (c12 * s[k] + c22 * sxc[k] + c23 * syc[k]) / det;
        out[2][k] = (c13 * s[k] + c23 * sxc[k] + c33 * syc[k]) / det;
    }
    model.at = { out[0][0], out[0][1], out[0][2] };
    model.slopeX = { out[1][0], out[1][1], out[1][2] };
    model.slopeY = { out[2][0], out[2][1], out[2][2] };
    return model;
}

// The backdrop's hue over the blocks taken so far, kept per cell. A file
// keeps colour at reduced resolution, so an edge in hue alone (a dark suit
// beside a dark corner of much the same lightness) is smeared over a few
// blocks, more of them the smaller the picture; compared with its neighbour
// only, each block of that ramp is a small step, and the region would climb
// it. Compared with the hue the backdrop shows around it, the ramp's far end
// costs the whole edge.
class HueMemory {
public:
    explicit HueMemory(const Grid& grid)
        : m_cellsX((grid.width + kHueCell - 1) / kHueCell)
        , m_cellsY((grid.height + kHueCell - 1) / kHueCell)
        , m_sums(size_t(m_cellsX) * size_t(m_cellsY) * 3, 0.0f)
    {
    }

    // A block taken for backdrop at this cost. Each cell keeps the sums over
    // the cells around it, so that a look-up is a single read.
    void Learn(int x, int y, const Colour& c, float cost)
    {
        const float q = cost / kHueCost;
        const float w = 1.0f / (1.0f + q * q * q * q);
        const int cx = x / kHueCell, cy = y / kHueCell;
        for (int qy = std::max(0, cy - kHueReach); qy <= std::min(m_cellsY - 1, cy + kHueReach); ++qy)
            for (int qx = std::max(0, cx - kHueReach); qx <= std::min(m_cellsX - 1, cx + kHueReach); ++qx) {
                float* sum = &m_sums[3 * (size_t(qy) * m_cellsX + qx)];
                sum[0] += w * c.b;
                sum[1] += w * c.r;
                sum[2] += w;
            }
    }

    // How far the block's chroma is from the backdrop's hue around it, at
    // the light's best scale; 0 while too little backdrop is known there.
    float Drift(int x, int y, const Colour& c) const
    {
        const float* sum = &m_sums[3 * (size_t(y / kHueCell) * m_cellsX + x / kHueCell)];
        if (sum[2] < kMinKnown)
            return 0.0f;
        const float b = sum[0] / sum[2], r = sum[1] / sum[2];
        const float chroma2 = b * b + r * r;
        const float scale
            = chroma2 > 1e-3f ? std::clamp((c.b * b + c.r * r) / chroma2, 1.0f / kLightRange, kLightRange) : 1.0f;
        return std::hypot(c.b - scale * b, c.r - scale * r);
    }

private:
    static constexpr float kMinKnown = 4.0f; // blocks' worth
    int m_cellsX, m_cellsY;
    std::vector<float> m_sums; // per cell, over the cells around it: weighted cb, cr, weight
};

// Grows the backdrop from the seed, the most backdrop-like block first: each
// block taken predicts the colour of its neighbours from the backdrop around
// it, and a neighbour's cost is how far it is from that (in units of the
// backdrop's noise), or its hue's distance from the backdrop's around it
// if more. For every block the result is the least over paths from
// the seed of the largest cost on the path (a minimax or "bottleneck"
// distance), so that any tolerance's region is the blocks within it; and the
// backdrop's colour the block was predicted to have.
void GrowFrom(const Grid& grid, const std::vector<float>& blocks, const std::vector<float>& spread, size_t seed,
    float unit, std::vector<uint16_t>& distance, std::vector<float>& plate)
{
    const float seedChroma = std::hypot(blocks[3 * seed + 1], blocks[3 * seed + 2]);
    const float minSpread = seedChroma >= kScreenChroma ? kMinScreenSpread : kMinSpread;
    distance.assign(grid.Count(), kFar);
    plate.assign(blocks.begin(), blocks.end());
    std::vector<uint8_t> taken(grid.Count(), 0);
    // How far each block was from what was predicted for it, and how much it
    // counts in the predictions around it: blocks that needed a large cost
    // (part subject, say) hardly teach the backdrop's colour, so that a run
    // of small steps cannot lead the prediction off into the subject.
    std::vector<float> own(grid.Count(), 0.0f), trust(grid.Count(), 0.0f);
    // A saturated screen's chroma rings too much for it (and differs from
    // any subject's by far more).
    const bool watchHue = seedChroma < kScreenChroma;
    HueMemory hue(grid);
    std::vector<std::vector<uint32_t>> buckets(size_t(kFar) + 1);
    distance[seed] = 0;
    buckets[0].push_back(uint32_t(seed));
    for (size_t level = 0; level <= kFar; ++level) {
        std::vector<uint32_t>& bucket = buckets[level];
        // The bucket grows while it is worked through: blocks that cost no
        // more than this level land in it.
        for (size_t k = 0; k < bucket.size(); ++k) {
            const size_t i = bucket[k];
            if (taken[i] || distance[i] != level)
                continue;
            taken[i] = 1;
            const float surprise = own[i] / kTrustedCost;
            trust[i] = 1.0f / (1.0f + surprise * surprise);
            // What the block teaches of the backdrop: its own colour as far as
            // it is trusted, else what was predicted for it. So the prediction
            // carried into the subject stays the backdrop's, and each block of
            // the subject keeps costing its difference to the backdrop.
            for (int c = 0; c < 3; ++c)
                plate[3 * i + c] += trust[i] * (blocks[3 * i + c] - plate[3 * i + c]);
            const int x = int(i % grid.width), y = int(i / grid.width);
            if (watchHue)
                hue.Learn(x, y, At(blocks, i), own[i]);
            const LocalModel model = FitAround(grid, plate, spread, trust, x, y);
            const auto visit = [&](int dx, int dy) {
                const int nx = x + dx, ny = y + dy;
                if (nx < 0 || ny < 0 || nx >= grid.width || ny >= grid.height)
                    return;
                const size_t n = size_t(ny) * grid.width + nx;
                if (taken[n])
                    return;
                const Colour expected = model.Predict(dx, dy);
                const Colour colour = At(blocks, n);
                float off = Distance(colour, expected) / unit;
                if (watchHue)
                    off = std::max(off, hue.Drift(nx, ny, colour) / unit);
                // A block whose pixels vary more than the backdrop's do holds an
                // edge, however close its mean comes: so a run of blocks each a
                // little more subject (a strip of backdrop narrowing beside an
                // arm) does not lead in.
                const float excess = spread[n] / std::max(model.spread, minSpread) - kSpreadMargin;
                if (excess > 0)
                    off = std::max(off, kMixWeight * std::sqrt(excess));
                const auto d = uint16_t(std::max(float(level), std::min(off * kQuantum, float(kFar))));
                if (d < distance[n]) {
                    distance[n] = d;
                    own[n] = off;
                    plate[3 * n] = expected.l;
                    plate[3 * n + 1] = expected.b;
                    plate[3 * n + 2] = expected.r;
                    buckets[d].push_back(uint32_t(n));
                }
            };
            visit(-1, 0);
            visit(1, 0);
            visit(0, -1);
            visit(0, 1);
        }
        std::vector<uint32_t>().swap(bucket);
    }
}

// Bilinear sample of a 3-channel block plane at a picture pixel.
inline Colour Sample(const std::vector<float>& plane, const Grid& grid, int scale, int px, int py)
{
    const float fx = std::clamp((float(px) + 0.5f) / float(scale) - 0.5f, 0.0f, float(grid.width - 1));
    const float fy = std::clamp((float(py) + 0.5f) / float(scale) - 0.5f, 0.0f, float(grid.height - 1));
    const int x0 = int(fx), y0 = int(fy);
    const int x1 = std::min(x0 + 1, grid.width - 1), y1 = std::min(y0 + 1, grid.height - 1);
    const float wx = fx - float(x0), wy = fy - float(y0);
    const size_t a = size_t(y0) * grid.width + x0, b = size_t(y0) * grid.width + x1;
    const size_t c = size_t(y1) * grid.width + x0, d = size_t(y1) * grid.width + x1;
    float out[3];
    for (int k = 0; k < 3; ++k)
        out[k] = (plane[3 * a + k] * (1 - wx) + plane[3 * b + k] * wx) * (1 - wy)
            + (plane[3 * c + k] * (1 - wx) + plane[3 * d + k] * wx) * wy;
    return { out[0], out[1], out[2] };
}

// What the render does with a block.
// kNear: subject close to the edge, where the backdrop's cast (light it
// threw back, the blur of the lens) is taken out but nothing is keyed.
enum BlockState : uint8_t { kClear = 0, kEdge = 1, kKeep = 2, kNear = 3 };
// The width of the kNear band, in pixels (at least a block).
constexpr double kNearPixels = 6.0;

} // namespace

struct BackdropKey::Pick {
    std::vector<float> plate; // the backdrop's colour per block, carried on under the subject
    std::vector<uint16_t> distance; // bottleneck distance from the click, in 1/16 units
    float unit = 1; // the backdrop's noise around the click, in compared units
    float chroma = 0; // the backdrop's chroma at the click
};

BackdropKey::~BackdropKey() = default;

std::unique_ptr<BackdropKey> BackdropKey::Start(const PhotoImage& picture, uint32_t x, uint32_t y)
{
    if (picture.IsNull() || picture.Width() == 0 || picture.Height() == 0 || x >= picture.Width()
        || y >= picture.Height())
        return nullptr;
    std::unique_ptr<BackdropKey> key(new BackdropKey);
    try {
        if (key->Prepare(picture))
            key->AddPickAt(x, y);
    } catch (const std::bad_alloc&) {
        key->m_picks.clear();
    }
    return key;
}

bool BackdropKey::Prepare(const PhotoImage& picture)
{
    const QImage& image = picture.image();
    if (image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32)
        m_source = image;
    else
        m_source = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (m_source.isNull())
        return false;
    m_dpiX = picture.HorizontalResolution();
    m_dpiY = picture.VerticalResolution();
    m_width = m_source.width();
    m_height = m_source.height();
    m_scale = std::max(1, int(std::ceil(std::sqrt(double(m_width) * double(m_height) / kTargetBlocks))));
    // An odd side: blocks aligned with a JPEG's 8 x 8 blocks would see the
    // steps its compression leaves between them, and take them for edges.
    m_scale |= 1;
    m_blocksX = (m_width + m_scale - 1) / m_scale;
    m_blocksY = (m_height + m_scale - 1) / m_scale;
    m_blocks.assign(size_t(m_blocksX) * size_t(m_blocksY) * 3, 0.0f);
    m_spread.assign(size_t(m_blocksX) * size_t(m_blocksY), 0.0f);

    const uchar* bits = m_source.constBits();
    const qsizetype stride = m_source.bytesPerLine();
    ParallelFor(m_blocksY, 8, int64_t(m_width) * m_scale, [&](int64_t first, int64_t last) {
        std::vector<double> sums(size_t(m_blocksX) * 4);
        for (int64_t by = first; by < last; ++by) {
            std::fill(sums.begin(), sums.end(), 0.0);
            const int top = int(by) * m_scale;
            const int bottom = std::min(m_height, top + m_scale);
            for (int y = top; y < bottom; ++y) {
                const auto* line = reinterpret_cast<const uint32_t*>(bits + stride * y);
                for (int x = 0; x < m_width; ++x) {
                    const Colour c = ToCompared(line[x]);
                    double* sum = &sums[4 * size_t(x / m_scale)];
                    sum[0] += c.l;
                    sum[1] += c.b;
                    sum[2] += c.r;
                    sum[3] += c.l * c.l + c.b * c.b + c.r * c.r;
                }
            }
            for (int bx = 0; bx < m_blocksX; ++bx) {
                const int count = (std::min(m_width, (bx + 1) * m_scale) - bx * m_scale) * (bottom - top);
                const size_t block = size_t(by) * m_blocksX + bx;
                const double* sum = &sums[4 * size_t(bx)];
                double squares = sum[3] / count;
                for (int k = 0; k < 3; ++k) {
                    const double mean = sum[k] / count;
                    m_blocks[3 * block + k] = float(mean);
                    squares -= mean * mean;
                }
                m_spread[block] = float(std::max(0.0, squares));
            }
        }
    });
    m_noise
        = NoiseAround({ m_blocksX, m_blocksY }, m_blocks, m_blocksX / 2, m_blocksY / 2, std::max(m_blocksX, m_blocksY));
    return true;
}

bool BackdropKey::AddPick(uint32_t x, uint32_t y)
{
    if (m_source.isNull() || x >= uint32_t(m_width) || y >= uint32_t(m_height))
        return false;
    try {
        return AddPickAt(x, y);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool BackdropKey::AddPickAt(uint32_t x, uint32_t y)
{
    const Grid grid { m_blocksX, m_blocksY };
    const int sx = int(x) / m_scale, sy = int(y) / m_scale;
    const size_t seed = size_t(sy) * grid.width + sx;
    auto pick = std::make_unique<Pick>();
    // Where the click lands on a mottled patch, the noise of the picture as a
    // whole (if less) is the better measure: it is mostly plain backdrop and
    // smooth clothes.
    const float local = NoiseAround(grid, m_blocks, sx, sy, kNoiseReach);
    pick->unit = std::max(kMinUnit, std::min(local, m_noise));
    pick->chroma = std::hypot(m_blocks[3 * seed + 1], m_blocks[3 * seed + 2]);
    GrowFrom(grid, m_blocks, m_spread, seed, pick->unit, pick->distance, pick->plate);
    m_picks.push_back(std::move(pick));
    return true;
}

std::unique_ptr<PhotoImage> BackdropKey::Render(int tolerance) const
{
    if (m_picks.empty())
        return PhotoImage::Adopt(QImage(), OutOfMemory);
    const Grid grid { m_blocksX, m_blocksY };
    const float limit = ToleranceDistance(tolerance);
    const auto limitSteps = uint16_t(limit * kQuantum);

    struct Prepared {
        const Pick* pick;
        std::vector<uint8_t> state;
        std::vector<float> subject; // the subject's colour near the edge
    };
    std::vector<Prepared> prepared;
    try {
        for (const auto& pick : m_picks) {
            Prepared p { pick.get(), std::vector<uint8_t>(grid.Count()), {} };
            std::vector<uint8_t> clear(grid.Count());
            for (size_t i = 0; i < grid.Count(); ++i)
                clear[i] = pick->distance[i] <= limitSteps;
            // A block whose neighbourhood holds both is on the edge.
            std::vector<uint8_t> keep(grid.Count());
            for (size_t i = 0; i < grid.Count(); ++i)
                keep[i] = !clear[i];
            const std::vector<uint8_t> sureClear = Shrink(grid, clear, 1);
            const std::vector<uint8_t> sureKeep = Shrink(grid, keep, 1);
            const int nearBlocks = std::max(1, int(std::lround(kNearPixels / m_scale)));
            const std::vector<uint8_t> deepKeep = Shrink(grid, keep, 1 + nearBlocks);
            std::vector<float> weights(grid.Count());
            for (size_t i = 0; i < grid.Count(); ++i) {
                p.state[i] = sureClear[i] ? kClear : deepKeep[i] ? kKeep : sureKeep[i] ? kNear : kEdge;
                weights[i] = sureKeep[i] ? 1.0f : 0.0f;
            }
            p.subject = FillFrom(grid, m_blocks, weights);
            prepared.push_back(std::move(p));
        }
    } catch (const std::bad_alloc&) {
        return PhotoImage::Adopt(QImage(), OutOfMemory);
    }

    QImage result(m_width, m_height, QImage::Format_ARGB32);
    if (result.isNull())
        return PhotoImage::Adopt(QImage(), OutOfMemory);
    const bool opaque = m_source.format() == QImage::Format_RGB32;
    const uchar* fromBits = m_source.constBits();
    const qsizetype fromStride = m_source.bytesPerLine();
    uchar* toBits = result.bits();
    const qsizetype toStride = result.bytesPerLine();
    const int scale = m_scale;
    const int width = m_width, height = m_height;
    const auto MeanAround = [&](int x, int y) {
        float l = 0, b = 0, r = 0;
        for (int dy = -1; dy <= 1; ++dy) {
            const auto* line
                = reinterpret_cast<const uint32_t*>(fromBits + fromStride * std::clamp(y + dy, 0, height - 1));
            for (int dx = -1; dx <= 1; ++dx) {
                const Colour c = ToCompared(line[std::clamp(x + dx, 0, width - 1)]);
                l += c.l;
                b += c.b;
                r += c.r;
            }
        }
        return Colour { l / 9, b / 9, r / 9 };
    };

    ParallelFor(m_height, 32, m_width, [&](int64_t first, int64_t last) {
        for (int64_t y = first; y < last; ++y) {
            const auto* in = reinterpret_cast<const uint32_t*>(fromBits + fromStride * y);
            auto* out = reinterpret_cast<uint32_t*>(toBits + toStride * y);
            const size_t rowBase = size_t(y / scale) * grid.width;
            for (int x = 0; x < m_width; ++x) {
                uint32_t p = in[x];
                if (opaque)
                    p |= 0xFF000000u;
                float keep = 1.0f;
                Colour plate {};
                bool mixed = false; // plate holds the backdrop's colour behind the pixel
                bool edge = false;
                const size_t block = rowBase + size_t(x / scale);
                for (const Prepared& prep : prepared) {
                    const uint8_t state = prep.state[block];
                    if (state == kKeep)
                        continue;
                    if (state == kClear) {
                        keep = 0.0f;
                        break;
                    }
                    if (state == kNear) {
                        // Only a chromatic backdrop casts its colour there: under
                        // the subject the carried colour may have taken some of
                        // the subject's own.
                        if (!mixed && prep.pick->chroma >= kSpillChroma) {
                            plate = Sample(prep.pick->plate, grid, scale, x, int(y));
                            edge = true;
                        }
                        continue;
                    }
                    // On the edge: where the pixel (with its neighbours, against
                    // grain) lies between the backdrop's colour and the subject's.
                    const Colour c = MeanAround(x, int(y));
                    const Colour back = Sample(prep.pick->plate, grid, scale, x, int(y));
                    const Colour front = Sample(prep.subject, grid, scale, x, int(y));
                    const Colour v { c.l - back.l, c.b - back.b, c.r - back.r };
                    const Colour e { front.l - back.l, front.b - back.b, front.r - back.r };
                    const float contrast2 = e.l * e.l + e.b * e.b + e.r * e.r;
                    float share = 1.0f;
                    if (contrast2 > 1e-6f) {
                        // Where the two colours differ little, the grain would make a
                        // soft matte a veil: the ramp steepens into a cut.
                        const float gain = std::max(1.0f, kSoftContrast / std::sqrt(contrast2));
                        const float place = (v.l * e.l + v.b * e.b + v.r * e.r) / contrast2;
                        share = Clamp01(0.5f + (place - 0.5f) * gain / (kMatteHigh - kMatteLow));
                    }
                    if (share < keep) {
                        keep = share;
                        plate = back;
                        mixed = true;
                    } else if (!mixed) {
                        plate = back;
                    }
                    edge = true;
                }
                if (!edge || keep <= 0.0f) {
                    out[x] = keep <= 0.0f ? (p & 0x00FFFFFFu) : p;
                    continue;
                }
                float r = float((p >> 16) & 0xFF), g = float((p >> 8) & 0xFF), b = float(p & 0xFF);
                if (keep < 1.0f && mixed) {
                    // Take the backdrop's share out of the pixel's colour.
                    const Rgb back = ToRgb(plate);
                    const float share = std::max(keep, 0.25f);
                    r = (r - (1 - share) * back.r) / share;
                    g = (g - (1 - share) * back.g) / share;
                    b = (b - (1 - share) * back.b) / share;
                }
                const float chroma = std::sqrt(plate.b * plate.b + plate.r * plate.r);
                if (chroma >= kSpillChroma) {
                    // What is left of the backdrop's cast goes, at constant luma.
                    const float ub = plate.b / chroma, ur = plate.r / chroma;
                    const Ycc c = ToYcc(r, g, b);
                    const float along = c.cb * ub + c.cr * ur;
                    const float across = std::fabs(c.cr * ub - c.cb * ur);
                    const float spill = std::max(along - kSpillWedge * across, 0.0f);
                    r -= spill * 1.402f * ur;
                    g -= spill * (-0.344136f * ub - 0.714136f * ur);
                    b -= spill * 1.772f * ub;
                }
                const float alpha = float(p >> 24) * keep;
                out[x] = ToByte(alpha) << 24 | ToByte(r) << 16 | ToByte(g) << 8 | ToByte(b);
            }
        }
    });
    auto keyed = PhotoImage::Adopt(std::move(result));
    keyed->SetResolution(m_dpiX, m_dpiY);
    return keyed;
}

} // namespace lumavo
