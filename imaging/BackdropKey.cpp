#include "imaging/BackdropKey.h"

#include "imaging/ParallelFor.h"
#include "imaging/PixelMath.h"

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

// Growing the first region: a step between neighbouring blocks of at most
// this many times the typical step around the click (grain, mottling,
// falloff), within these bounds.
constexpr float kStepAllowance = 2.5f;
constexpr float kMinStep = 0.35f;
constexpr float kMaxStep = 0.6f;
// Blocks this close to the first region's edge may hold some subject; the
// backdrop's own colour is learnt from the blocks further in.
constexpr int kPlateMargin = 2;
// The backdrop's colour is learnt again this many times, each time from the
// blocks within this cost of the click.
constexpr int kRefits = 4;
constexpr float kFitLimit = 5.4f;
// What a step between neighbouring blocks costs beside a block's difference
// to the backdrop's colour there: an edge against the subject is a step,
// however close the subject's colour comes to the backdrop's elsewhere.
constexpr float kStepWeight = 9.0f;
// The cost of each block between a block and the backdrop the colour was learnt from.
constexpr float kDepthCost = 0.5f;

// Tolerance 0..100 as the largest cost (in the compared units) that still
// counts as backdrop.
float ToleranceDistance(int tolerance)
{
    return 2.0f + 0.14f * float(std::clamp(tolerance, BackdropKey::kMinTolerance, BackdropKey::kMaxTolerance));
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

// For every block, how many steps (4-connected) it lies from the nearest
// block of the mask.
std::vector<uint16_t> DepthOutside(const Grid& grid, const std::vector<uint8_t>& mask)
{
    std::vector<uint16_t> depth(grid.Count(), 0xFFFF);
    std::vector<uint32_t> queue;
    for (size_t i = 0; i < grid.Count(); ++i)
        if (mask[i]) {
            depth[i] = 0;
            queue.push_back(uint32_t(i));
        }
    for (size_t head = 0; head < queue.size(); ++head) {
        const size_t i = queue[head];
        const int x = int(i % grid.width), y = int(i / grid.width);
        const auto visit = [&](int nx, int ny) {
            if (nx < 0 || ny < 0 || nx >= grid.width || ny >= grid.height)
                return;
            const size_t n = size_t(ny) * grid.width + nx;
            if (depth[n] == 0xFFFF) {
                depth[n] = uint16_t(depth[i] + 1);
                queue.push_back(uint32_t(n));
            }
        };
        visit(x - 1, y);
        visit(x + 1, y);
        visit(x, y - 1);
        visit(x, y + 1);
    }
    return depth;
}

// The blocks reached from the seed by steps between 4-neighbours of at most
// `step`.
std::vector<uint8_t> ReachBySteps(const Grid& grid, const std::vector<float>& blocks, size_t seed, float step)
{
    std::vector<uint8_t> reached(grid.Count(), 0);
    std::vector<uint32_t> queue;
    queue.push_back(uint32_t(seed));
    reached[seed] = 1;
    for (size_t head = 0; head < queue.size(); ++head) {
        const size_t i = queue[head];
        const int x = int(i % grid.width), y = int(i / grid.width);
        const Colour here = At(blocks, i);
        const auto visit = [&](int nx, int ny) {
            if (nx < 0 || ny < 0 || nx >= grid.width || ny >= grid.height)
                return;
            const size_t n = size_t(ny) * grid.width + nx;
            if (!reached[n] && Distance(here, At(blocks, n)) <= step) {
                reached[n] = 1;
                queue.push_back(uint32_t(n));
            }
        };
        visit(x - 1, y);
        visit(x + 1, y);
        visit(x, y - 1);
        visit(x, y + 1);
    }
    return reached;
}

// The typical step between neighbouring blocks around the seed: the median
// over a small window.
float TypicalStep(const Grid& grid, const std::vector<float>& blocks, int sx, int sy)
{
    constexpr int kReach = 6;
    std::vector<float> steps;
    for (int y = std::max(0, sy - kReach); y <= std::min(grid.height - 1, sy + kReach); ++y)
        for (int x = std::max(0, sx - kReach); x <= std::min(grid.width - 1, sx + kReach); ++x) {
            const size_t i = size_t(y) * grid.width + x;
            if (x + 1 < grid.width)
                steps.push_back(Distance(At(blocks, i), At(blocks, i + 1)));
            if (y + 1 < grid.height)
                steps.push_back(Distance(At(blocks, i), At(blocks, i + grid.width)));
        }
    if (steps.empty())
        return 0.0f;
    std::nth_element(steps.begin(), steps.begin() + std::ptrdiff_t(steps.size() / 2), steps.end());
    return steps[steps.size() / 2];
}

// For every block, the least over all 4-connected paths from the seed of the
// largest cost met on the path (a minimax or "bottleneck" distance), by a
// priority flood over quantised costs. Entering a block costs its own cost
// or the step from the block it is entered from, whichever is more.
std::vector<uint16_t> BottleneckDistance(const Grid& grid, const std::vector<float>& blocks,
    const std::vector<uint16_t>& cost, float stepWeight, size_t seed)
{
    std::vector<uint16_t> distance(grid.Count(), kFar);
    std::vector<uint8_t> done(grid.Count(), 0);
    std::vector<std::vector<uint32_t>> buckets(size_t(kFar) + 1);
    distance[seed] = cost[seed];
    buckets[cost[seed]].push_back(uint32_t(seed));
    for (size_t level = 0; level <= kFar; ++level) {
        std::vector<uint32_t>& bucket = buckets[level];
        // The bucket grows while it is worked through: new blocks that cost
        // no more than this level land in it.
        for (size_t k = 0; k < bucket.size(); ++k) {
            const size_t i = bucket[k];
            if (done[i])
                continue;
            done[i] = 1;
            const int x = int(i % grid.width), y = int(i / grid.width);
            const Colour here = At(blocks, i);
            const auto visit = [&](int nx, int ny) {
                if (nx < 0 || ny < 0 || nx >= grid.width || ny >= grid.height)
                    return;
                const size_t n = size_t(ny) * grid.width + nx;
                if (done[n])
                    return;
                const float stepSize = Distance(here, At(blocks, n));
                const float step = stepSize * stepWeight * kQuantum;
                const auto d = uint16_t(std::max({ float(level), float(cost[n]), std::min(step, float(kFar)) }));
                if (d < distance[n]) {
                    distance[n] = d;
                    buckets[d].push_back(uint32_t(n));
                }
            };
            visit(x - 1, y);
            visit(x + 1, y);
            visit(x, y - 1);
            visit(x, y + 1);
        }
        std::vector<uint32_t>().swap(bucket);
    }
    return distance;
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
enum BlockState : uint8_t { kClear = 0, kEdge = 1, kKeep = 2 };

} // namespace

struct BackdropKey::Pick {
    std::vector<float> plate; // the backdrop's colour per block, filled in under the subject
    std::vector<uint16_t> distance; // bottleneck distance from the click, in 1/16 units
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

    const uchar* bits = m_source.constBits();
    const qsizetype stride = m_source.bytesPerLine();
    ParallelFor(m_blocksY, 8, int64_t(m_width) * m_scale, [&](int64_t first, int64_t last) {
        std::vector<double> sums(size_t(m_blocksX) * 3);
        for (int64_t by = first; by < last; ++by) {
            std::fill(sums.begin(), sums.end(), 0.0);
            const int top = int(by) * m_scale;
            const int bottom = std::min(m_height, top + m_scale);
            for (int y = top; y < bottom; ++y) {
                const auto* line = reinterpret_cast<const uint32_t*>(bits + stride * y);
                for (int x = 0; x < m_width; ++x) {
                    const Colour c = ToCompared(line[x]);
                    double* sum = &sums[3 * size_t(x / m_scale)];
                    sum[0] += c.l;
                    sum[1] += c.b;
                    sum[2] += c.r;
                }
            }
            for (int bx = 0; bx < m_blocksX; ++bx) {
                const int count = (std::min(m_width, (bx + 1) * m_scale) - bx * m_scale) * (bottom - top);
                float* out = &m_blocks[3 * (size_t(by) * m_blocksX + bx)];
                for (int k = 0; k < 3; ++k)
                    out[k] = float(sums[3 * size_t(bx) + k] / count);
            }
        }
    });
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

    // First the region reached by small steps: the backdrop changes slowly
    // (falloff, shadows, mottling), its edge against the subject does not.
    const float typical = TypicalStep(grid, m_blocks, sx, sy);
    const float step = std::clamp(kStepAllowance * typical, kMinStep, kMaxStep);
    const float stepWeight = kStepWeight;
    std::vector<uint8_t> region = ReachBySteps(grid, m_blocks, seed, step);

    auto pick = std::make_unique<Pick>();
    const auto measure = [&](const std::vector<uint8_t>& from, float depthCost) {
        // The backdrop's colour everywhere, learnt away from the region's edge
        // and carried in under the subject; then each block's difference to it.
        std::vector<uint8_t> inner = Shrink(grid, from, kPlateMargin);
        if (!inner[seed])
            inner = from; // a small region: all of it
        std::vector<float> weights(grid.Count());
        for (size_t i = 0; i < grid.Count(); ++i)
            weights[i] = inner[i] ? 1.0f : 0.0f;
        pick->plate = FillFrom(grid, m_blocks, weights);
        // Far from any block the colour was learnt from, the filled-in colour
        // is a guess: going deep into such parts costs more, so that where the
        // subject's colour happens to meet the backdrop's the key does not
        // run far into the subject.
        const std::vector<uint16_t> depth = DepthOutside(grid, inner);
        std::vector<uint16_t> cost(grid.Count());
        for (size_t i = 0; i < grid.Count(); ++i)
            cost[i] = uint16_t(std::min(
                float(kFar), (Distance(At(m_blocks, i), At(pick->plate, i)) + depthCost * float(depth[i])) * kQuantum));
        pick->distance = BottleneckDistance(grid, m_blocks, cost, stepWeight, seed);
    };
    measure(region, 0.0f);
    // Again with all the backdrop found so far at a strict limit: parts the
    // small steps did not reach now teach the backdrop's colour too.
    for (int round = 0; round < kRefits; ++round) {
        const auto strict = uint16_t(kFitLimit * kQuantum);
        for (size_t i = 0; i < grid.Count(); ++i)
            region[i] = region[i] || pick->distance[i] <= strict;
        measure(region, round + 1 == kRefits ? kDepthCost : 0.0f);
    }
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
            std::vector<float> weights(grid.Count());
            for (size_t i = 0; i < grid.Count(); ++i) {
                p.state[i] = sureClear[i] ? kClear : sureKeep[i] ? kKeep : kEdge;
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
