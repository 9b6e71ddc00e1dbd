#include "imaging/SkinSmoothing.h"

#include "imaging/CpuDispatch.h"
#include "imaging/PictureChecks.h"
#include "imaging/PixelAccess.h"
#include "imaging/PixelMath.h"
#include "platform/ParallelFor.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <new>
#include <vector>

namespace lumavo {

namespace {

// The smoothing is a guided filter with each picture as its own guide,
// computed at reduced resolution from exact block statistics and applied at
// full resolution as out = A * in + B. Where the colours in a window vary
// much less than kEdgeVariance (summed over the three channels) the window
// is flattened; where they vary much more (an eye, a lip, a hairline) A
// stays near 1 and the pixels are kept. A follows the square of the
// variance rather than the variance itself: a steeper step between the two,
// so skin flattens more and edges give way less.
constexpr float kEdgeVariance = 3.0f * 15.0f * 15.0f;
// Share of the smoothing blended in on sure skin: a little of the skin's own
// texture stays, so faces do not look like plastic.
constexpr float kStrength = 0.8f;
// The filter window's radius is this share of the picture's long side, so
// that a face is treated alike at any resolution.
constexpr int32_t kRadiusDivisor = 240;
constexpr int32_t kMinRadius = 2;
// Window radius in reduced samples: enough to place the window finely, few
// enough that the reduced planes stay small.
constexpr int32_t kReducedRadius = 4;
// Cap on the samples of each reduced plane (six are kept), so that memory
// stays small beside the picture itself.
constexpr int64_t kMaxReducedSamples = int64_t(1) << 20;
// Block sums are kept in 32 bits: scale^2 * 3 * 255^2 must fit.
constexpr int32_t kMaxScale = 64;

// Blemishes: spots up to this share of the face's width; without faces
// given, a face is taken to be this share of the picture's short side. A
// face box is widened by kFaceMargin of its size and taken down by
// kNeckDepth of its height for the neck.
constexpr double kSpotShareOfFace = 0.015;
constexpr double kFaceShareOfShortSide = 0.5;
constexpr double kFaceMargin = 0.1;
constexpr double kNeckDepth = 0.6;
// A block differing from the skin around it by less than kSpotLow (RGB
// distance of the block means) is skin, by more than kSpotHigh a spot.
constexpr float kSpotLow = 5.0f;
constexpr float kSpotHigh = 12.0f;

// ---- reduced planes ------------------------------------------------------

struct Layout {
    int32_t width = 0;
    int32_t height = 0;
    int32_t scale = 1; // full-size pixels per reduced sample along each side
    int32_t lowWidth = 0;
    int32_t lowHeight = 0;
    int32_t radius = 1; // box radius in reduced samples
};

Layout PlanLayout(int32_t width, int32_t height)
{
    Layout layout;
    layout.width = width;
    layout.height = height;
    const int32_t radius = std::max(kMinRadius, std::max(width, height) / kRadiusDivisor);
    // At most about kMaxReducedSamples samples per plane, whatever the size.
    const double pixels = double(width) * double(height);
    const int32_t bySize = int32_t(std::ceil(std::sqrt(pixels / double(kMaxReducedSamples))));
    layout.scale = std::clamp(std::max(radius / kReducedRadius, bySize), 1, kMaxScale);
    layout.lowWidth = (width + layout.scale - 1) / layout.scale;
    layout.lowHeight = (height + layout.scale - 1) / layout.scale;
    layout.radius = std::max(1, (radius + layout.scale / 2) / layout.scale);
    return layout;
}

using Plane = std::unique_ptr<float[]>;

Plane NewPlane(size_t count)
{
    return Plane(new (std::nothrow) float[count]);
}

// Mean over a (2r+1)^2 window, clipped at the borders (the mean of the
// samples inside), O(1) per sample. The plane is overwritten; `scratch` is
// a plane of the same size.
void BoxMean(float* plane, float* scratch, int32_t width, int32_t height, int32_t radius)
{
    // Columns first, running down a stripe of columns: rows stay contiguous.
    constexpr int32_t kStripe = 512;
    const int32_t stripes = (width + kStripe - 1) / kStripe;
    ParallelFor(stripes, 1, int64_t(kStripe) * height, [&](int32_t first, int32_t last) {
        std::vector<double> sums(kStripe);
        for (int32_t stripe = first; stripe < last; ++stripe) {
            const int32_t x0 = stripe * kStripe;
            const int32_t n = std::min(kStripe, width - x0);
            std::fill(sums.begin(), sums.begin() + n, 0.0);
            for (int32_t y = 0; y <= std::min(radius, height - 1); ++y) {
                const float* row = plane + size_t(y) * width + x0;
                for (int32_t i = 0; i < n; ++i)
                    sums[i] += row[i];
            }
            for (int32_t y = 0; y < height; ++y) {
                const int32_t top = std::max(0, y - radius);
                const int32_t bottom = std::min(height - 1, y + radius);
                const double inverse = 1.0 / double(bottom - top + 1);
                float* out = scratch + size_t(y) * width + x0;
                for (int32_t i = 0; i < n; ++i)
                    out[i] = float(sums[i] * inverse);
                if (y + radius + 1 < height) {
                    const float* entering = plane + size_t(y + radius + 1) * width + x0;
                    for (int32_t i = 0; i < n; ++i)
                        sums[i] += entering[i];
                }
                if (y - radius >= 0) {
                    const float* leaving = plane + size_t(y - radius) * width + x0;
                    for (int32_t i = 0; i < n; ++i)
                        sums[i] -= leaving[i];
                }
            }
        }
    });
    // Rows from prefix sums: one dependent addition per sample instead of two.
    std::vector<float> inverse(static_cast<size_t>(width));
    for (int32_t x = 0; x < width; ++x)
        inverse[x] = 1.0f / float(std::min(width - 1, x + radius) - std::max(0, x - radius) + 1);
    ParallelFor(height, 16, width, [&](int32_t first, int32_t last) {
        std::vector<double> prefix(size_t(width) + 1);
        for (int32_t y = first; y < last; ++y) {
            const float* in = scratch + size_t(y) * width;
            float* out = plane + size_t(y) * width;
            double sum = 0.0;
            prefix[0] = 0.0;
            for (int32_t x = 0; x < width; ++x)
                prefix[x + 1] = sum += in[x];
            for (int32_t x = 0; x < width; ++x) {
                const int32_t left = std::max(0, x - radius);
                const int32_t right = std::min(width, x + radius + 1);
                out[x] = float(prefix[right] - prefix[left]) * inverse[x];
            }
        }
    });
}

// ---- skin colour ---------------------------------------------------------

// 0 at `zero`, 1 at `one`, linear between (either order).
inline float Ramp(float value, float zero, float one)
{
    return Clamp01((value - zero) / (one - zero));
}

// Skin of every complexion gathers in a small range of the chroma plane
// (Cb, Cr of full-range BT.601 YCbCr); brightness hardly matters except that
// very dark areas (hair, pupils, shadows) are left out.
inline float SkinLikelihood(float r, float g, float b)
{
    const Ycc c = ToYcc(r, g, b);
    const float cb = 128.0f + c.cb;
    const float cr = 128.0f + c.cr;
    const float chroma = std::min(
        { Ramp(cb, 72.0f, 82.0f), Ramp(cb, 134.0f, 126.0f), Ramp(cr, 130.0f, 138.0f), Ramp(cr, 182.0f, 170.0f) });
    return chroma * Ramp(c.y, 45.0f, 85.0f);
}

// ---- full-size passes ----------------------------------------------------

// Copies the picture (unless null: `pixels` hold it already) into `pixels` as
// straight ARGB and gathers, per block of scale x scale pixels, the means of red, green, blue and of the sum of
// their squares.
bool Gather(const QImage* image, const Layout& layout, uint32_t* pixels, float* meanR, float* meanG, float* meanB,
    float* meanSquares)
{
    const int32_t width = layout.width;
    const int32_t scale = layout.scale;
    std::atomic<bool> failed { false };
    ParallelFor(layout.lowHeight, 8, int64_t(width) * scale, [&](int32_t first, int32_t last) {
        const int32_t firstRow = first * scale;
        const int32_t endRow = std::min(layout.height, last * scale);
        if (image && !ReadRows(*image, firstRow, endRow, pixels + size_t(firstRow) * width)) {
            failed = true;
            return;
        }
        std::vector<uint32_t> sums(size_t(layout.lowWidth) * 4);
        for (int32_t low = first; low < last; ++low) {
            std::fill(sums.begin(), sums.end(), 0u);
            const int32_t top = low * scale;
            const int32_t bottom = std::min(layout.height, top + scale);
            for (int32_t y = top; y < bottom; ++y) {
                const uint32_t* line = pixels + size_t(y) * width;
                uint32_t* sum = sums.data();
                for (int32_t x0 = 0; x0 < width; x0 += scale, sum += 4) {
                    const int32_t x1 = std::min(width, x0 + scale);
                    uint32_t red = 0, green = 0, blue = 0, squares = 0;
                    for (int32_t x = x0; x < x1; ++x) {
                        const uint32_t p = line[x];
                        const uint32_t r = (p >> 16) & 0xFF;
                        const uint32_t g = (p >> 8) & 0xFF;
                        const uint32_t b = p & 0xFF;
                        red += r;
                        green += g;
                        blue += b;
                        squares += r * r + g * g + b * b;
                    }
                    sum[0] += red;
                    sum[1] += green;
                    sum[2] += blue;
                    sum[3] += squares;
                }
            }
            const size_t row = size_t(low) * layout.lowWidth;
            for (int32_t i = 0; i < layout.lowWidth; ++i) {
                const int32_t blockWidth = std::min(scale, width - i * scale);
                const float inverse = 1.0f / float(blockWidth * (bottom - top));
                const uint32_t* sum = sums.data() + size_t(i) * 4;
                meanR[row + i] = float(sum[0]) * inverse;
                meanG[row + i] = float(sum[1]) * inverse;
                meanB[row + i] = float(sum[2]) * inverse;
                meanSquares[row + i] = float(sum[3]) * inverse;
            }
        }
    });
    return !failed;
}

// Where full-size position `index` falls between reduced samples: the lower
// sample and the weight of the next one. Sample i's centre is at (i + 0.5) *
// scale - 0.5; outside the first and last centres the nearest one holds.
struct Tap {
    int32_t index;
    float weight;
};

inline Tap TapAt(int32_t index, int32_t scale, int32_t count)
{
    const float position = (float(index) + 0.5f) / float(scale) - 0.5f;
    if (position <= 0.0f)
        return { 0, 0.0f };
    const int32_t lower = int32_t(position);
    if (lower >= count - 1)
        return { count - 1, 0.0f };
    return { lower, position - float(lower) };
}

// One row of interpolated coefficients, one array each for A and the three
// B, every array one sample longer than the reduced row (the last sample
// repeated) so that the upper tap never runs off the end.
struct CoefficientRow {
    const float* plane[4];
    // Plane k at a full-size position: sample i and the next, weighted.
    float At(int32_t k, int32_t i, float w) const { return plane[k][i] + w * (plane[k][i + 1] - plane[k][i]); }
};

// out = A * in + B per channel for pixels [begin, end) of a row.
void ApplyRangeScalar(
    const CoefficientRow& row, const int32_t* index, const float* weight, uint32_t* line, int32_t begin, int32_t end)
{
    for (int32_t x = begin; x < end; ++x) {
        const int32_t i = index[x];
        const float w = weight[x];
        const float a = row.At(0, i, w);
        const float br = row.At(1, i, w);
        const float bg = row.At(2, i, w);
        const float bb = row.At(3, i, w);
        const uint32_t p = line[x];
        const float r = float((p >> 16) & 0xFF);
        const float g = float((p >> 8) & 0xFF);
        const float b = float(p & 0xFF);
        line[x] = (p & 0xFF000000u) | ToByte(a * r + br) << 16 | ToByte(a * g + bg) << 8 | ToByte(a * b + bb);
    }
}

using ApplyRange = void (*)(const CoefficientRow&, const int32_t*, const float*, uint32_t*, int32_t, int32_t);

// Levels a pixel's grain moves it by, at most, when it flattens; beyond
// kFarMove the pixel is no skin grain.
constexpr float kGrainMove = 24.0f;
constexpr float kFarMove = 48.0f;

// The smoothing's form: the filtered value A * in + B, blended with the
// pixel by the pixel's own skin likelihood, so that hair, brows and eyes
// beside the skin keep their pixels while the skin next to them smooths.
void ApplyGatedRange(
    const CoefficientRow& row, const int32_t* index, const float* weight, uint32_t* line, int32_t begin, int32_t end)
{
    for (int32_t x = begin; x < end; ++x) {
        const int32_t i = index[x];
        const float w = weight[x];
        const float a = row.At(0, i, w);
        if (a >= 1.0f && row.plane[1][i] == 0.0f && row.plane[1][i + 1] == 0.0f)
            continue; // nothing to do here (off the faces)
        const uint32_t p = line[x];
        const float r = float((p >> 16) & 0xFF);
        const float g = float((p >> 8) & 0xFF);
        const float b = float(p & 0xFF);
        const float gate = SkinLikelihood(r, g, b);
        if (gate <= 0.0f)
            continue;
        const float br = row.At(1, i, w);
        const float bg = row.At(2, i, w);
        const float bb = row.At(3, i, w);
        const float dr = (a - 1.0f) * r + br, dg = (a - 1.0f) * g + bg, db = (a - 1.0f) * b + bb;
        // Grain moves a pixel a little; a pixel the flattening would move
        // far (a strand of hair beside the skin, lighter than the rest) is
        // no grain of the skin and stays.
        const float move = std::max({ std::fabs(dr), std::fabs(dg), std::fabs(db) });
        const float k = gate * Ramp(move, kFarMove, kGrainMove);
        if (k <= 0.0f)
            continue;
        line[x] = (p & 0xFF000000u) | ToByte(r + k * dr) << 16 | ToByte(g + k * dg) << 8 | ToByte(b + k * db);
    }
}

#ifdef LUMAVO_X86_DISPATCH

LUMAVO_TARGET_AVX2_FMA inline __m256 LerpTaps(const float* plane, __m256i index, __m256 weight)
{
    const __m256 c0 = _mm256_i32gather_ps(plane, index, 4);
    const __m256 c1 = _mm256_i32gather_ps(plane + 1, index, 4);
    return _mm256_fmadd_ps(weight, _mm256_sub_ps(c1, c0), c0);
}

// a * value + b, rounded and clamped as ToByte() does.
LUMAVO_TARGET_AVX2_FMA inline __m256i ChannelAvx2(__m256 a, __m256 value, __m256 b)
{
    const __m256 v = _mm256_add_ps(_mm256_fmadd_ps(a, value, b), _mm256_set1_ps(0.5f));
    return _mm256_cvttps_epi32(_mm256_min_ps(_mm256_max_ps(v, _mm256_setzero_ps()), _mm256_set1_ps(255.0f)));
}

// Eight pixels at a time; the taps come by gathers. Fused multiply-adds
// round once where the scalar code rounds twice, so the two paths may
// differ by one level where a value lands right next to a half.
LUMAVO_TARGET_AVX2_FMA void ApplyRangeAvx2(
    const CoefficientRow& row, const int32_t* index, const float* weight, uint32_t* line, int32_t begin, int32_t end)
{
    const __m256i lowByte = _mm256_set1_epi32(0xFF);
    const __m256i alphaMask = _mm256_set1_epi32(int(0xFF000000u));
    int32_t x = begin;
    for (; x + 8 <= end; x += 8) {
        const __m256i i = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(index + x));
        const __m256 w = _mm256_loadu_ps(weight + x);
        const __m256 a = LerpTaps(row.plane[0], i, w);
        const __m256 br = LerpTaps(row.plane[1], i, w);
        const __m256 bg = LerpTaps(row.plane[2], i, w);
        const __m256 bb = LerpTaps(row.plane[3], i, w);
        const __m256i p = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(line + x));
        const __m256 r = _mm256_cvtepi32_ps(_mm256_and_si256(_mm256_srli_epi32(p, 16), lowByte));
        const __m256 g = _mm256_cvtepi32_ps(_mm256_and_si256(_mm256_srli_epi32(p, 8), lowByte));
        const __m256 b = _mm256_cvtepi32_ps(_mm256_and_si256(p, lowByte));
        const __m256i out = _mm256_or_si256(
            _mm256_or_si256(_mm256_and_si256(p, alphaMask), _mm256_slli_epi32(ChannelAvx2(a, r, br), 16)),
            _mm256_or_si256(_mm256_slli_epi32(ChannelAvx2(a, g, bg), 8), ChannelAvx2(a, b, bb)));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(line + x), out);
    }
    ApplyRangeScalar(row, index, weight, line, x, end);
}

#endif

ApplyRange PickApply()
{
#ifdef LUMAVO_X86_DISPATCH
    if (HasAvx2Fma())
        return ApplyRangeAvx2;
#endif
    return ApplyRangeScalar;
}

// out = A * in + B per channel, with A and B (planes: A, B red, B green,
// B blue) interpolated bilinearly from the reduced planes; `gated`: blended
// by each pixel's skin likelihood (ApplyGatedRange).
void Apply(const Layout& layout, const float* const planes[4], uint32_t* pixels, bool gated = false)
{
    static const ApplyRange ungatedRange = PickApply();
    const ApplyRange applyRange = gated ? ApplyGatedRange : ungatedRange;
    const int32_t width = layout.width;
    const int32_t lowWidth = layout.lowWidth;
    std::vector<int32_t> index(static_cast<size_t>(width));
    std::vector<float> weight(static_cast<size_t>(width));
    for (int32_t x = 0; x < width; ++x) {
        const Tap tap = TapAt(x, layout.scale, lowWidth);
        index[x] = tap.index;
        weight[x] = tap.weight;
    }
    ParallelFor(layout.height, 32, width, [&](int32_t first, int32_t last) {
        const size_t stride = size_t(lowWidth) + 1;
        std::vector<float> buffer(stride * 4);
        CoefficientRow row;
        for (int32_t k = 0; k < 4; ++k)
            row.plane[k] = buffer.data() + stride * k;
        for (int32_t y = first; y < last; ++y) {
            const Tap tap = TapAt(y, layout.scale, layout.lowHeight);
            const size_t upper = size_t(tap.index) * lowWidth;
            const size_t lower = size_t(std::min(tap.index + 1, layout.lowHeight - 1)) * lowWidth;
            for (int32_t k = 0; k < 4; ++k) {
                const float* above = planes[k] + upper;
                const float* below = planes[k] + lower;
                float* out = buffer.data() + stride * k;
                for (int32_t i = 0; i < lowWidth; ++i)
                    out[i] = above[i] + tap.weight * (below[i] - above[i]);
                out[lowWidth] = out[lowWidth - 1];
            }
            applyRange(row, index.data(), weight.data(), pixels + size_t(y) * width, 0, width);
        }
    });
}

// ---- blemishes -----------------------------------------------------------

// Where the smoothing may work: everywhere, or within the faces (widened a
// little) and the necks below them.
std::vector<float> FaceWeights(const Layout& layout, const std::vector<QRect>& faces)
{
    std::vector<float> weights(size_t(layout.lowWidth) * layout.lowHeight, faces.empty() ? 1.0f : 0.0f);
    for (const QRect& face : faces) {
        if (face.isEmpty())
            continue;
        const double s = layout.scale;
        const int left = int(std::floor((face.left() - kFaceMargin * face.width()) / s));
        const int right = int(std::ceil((face.right() + kFaceMargin * face.width()) / s));
        const int top = int(std::floor((face.top() - kFaceMargin * face.height()) / s));
        const int bottom = int(std::ceil((face.bottom() + kNeckDepth * face.height()) / s));
        for (int y = std::max(0, top); y <= std::min(layout.lowHeight - 1, bottom); ++y)
            for (int x = std::max(0, left); x <= std::min(layout.lowWidth - 1, right); ++x)
                weights[size_t(y) * layout.lowWidth + x] = 1.0f;
    }
    return weights;
}

// The widest spot that counts as a blemish, in picture pixels: a share of
// the face's width, the widest face given or else a face as wide as half the
// picture's short side (a head-and-shoulders portrait).
double LargestSpot(const Layout& layout, const std::vector<QRect>& faces)
{
    double faceWidth = 0;
    for (const QRect& face : faces)
        faceWidth = std::max(faceWidth, double(face.width()));
    if (faceWidth <= 0)
        faceWidth = kFaceShareOfShortSide * std::min(layout.width, layout.height);
    return std::max(2.0, kSpotShareOfFace * faceWidth);
}

struct LowPlanes {
    const float* r;
    const float* g;
    const float* b;
};

inline float ColourDistance(float r1, float g1, float b1, float r2, float g2, float b2)
{
    return std::sqrt((r1 - r2) * (r1 - r2) + (g1 - g2) * (g1 - g2) + (b1 - b2) * (b1 - b2));
}

// Small spots that differ from the skin around them fade into it. On the
// reduced planes: the skin's colour around each sample (a mean over about two
// spot widths that leaves out what differs from it), each sample's
// difference to that, and whether the difference is a spot: a ring around
// it, wider than a spot, is clear skin (an eye, a lip, an eyebrow or the
// hairline always crosses the ring). Each pixel then moves by its block's
// share of the way to the surrounding skin; its own grain stays. False when
// there were none (the pixels are as they were).
bool RemoveBlemishes(
    const Layout& layout, const LowPlanes& low, const std::vector<float>& region, double spot, uint32_t* pixels)
{
    const int32_t w = layout.lowWidth, h = layout.lowHeight;
    const size_t count = size_t(w) * h;
    const int32_t reach = std::max(2, int32_t(std::ceil(2.0 * spot / layout.scale)));
    std::vector<float> skin(count), sr(count), sg(count), sb(count), scratch(count), weight(count);
    for (size_t i = 0; i < count; ++i)
        skin[i] = SkinLikelihood(low.r[i], low.g[i], low.b[i]) * region[i];
    // First the plain skin-weighted mean around each sample, then twice again
    // with the samples far from it left out, closer each time: a dark spot
    // tints the first mean a lot, and does not tint the last.
    for (int pass = 0; pass < 3; ++pass) {
        const float far = pass == 1 ? 4 * kSpotHigh : 2 * kSpotHigh;
        for (size_t i = 0; i < count; ++i) {
            float wgt = skin[i];
            if (pass > 0)
                wgt *= Ramp(ColourDistance(low.r[i], low.g[i], low.b[i], sr[i], sg[i], sb[i]), far, 0.5f * far);
            weight[i] = wgt;
            sr[i] = wgt * low.r[i];
            sg[i] = wgt * low.g[i];
            sb[i] = wgt * low.b[i];
        }
        for (std::vector<float>* plane : { &weight, &sr, &sg, &sb })
            BoxMean(plane->data(), scratch.data(), w, h, reach);
        for (size_t i = 0; i < count; ++i) {
            if (weight[i] > 1e-4f) {
                sr[i] /= weight[i];
                sg[i] /= weight[i];
                sb[i] /= weight[i];
            } else {
                sr[i] = low.r[i];
                sg[i] = low.g[i];
                sb[i] = low.b[i];
            }
        }
    }
    // Differences of blocks averaged over about a quarter of a spot, where
    // the grain has faded and a spot has not.
    const int32_t calm = int32_t(std::lround(spot / (4.0 * layout.scale)));
    std::vector<float> difference(count), calmR(low.r, low.r + count), calmG(low.g, low.g + count),
        calmB(low.b, low.b + count);
    if (calm > 0)
        for (std::vector<float>* plane : { &calmR, &calmG, &calmB })
            BoxMean(plane->data(), scratch.data(), w, h, calm);
    for (size_t i = 0; i < count; ++i)
        difference[i] = ColourDistance(calmR[i], calmG[i], calmB[i], sr[i], sg[i], sb[i]);
    // The share of the way each block moves.
    constexpr int kRing = 8;
    const float ringRadius = float(reach);
    bool any = false;
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            const size_t i = size_t(y) * w + x;
            // The spot's soft rim: the largest difference within a sample.
            float here = 0;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    here = std::max(
                        here, difference[size_t(std::clamp(y + dy, 0, h - 1)) * w + std::clamp(x + dx, 0, w - 1)]);
            float share = Ramp(here, kSpotLow, kSpotHigh);
            if (share <= 0) {
                weight[i] = 0;
                continue;
            }
            float ring = 0;
            for (int k = 0; k < kRing; ++k) {
                const float angle = float(k) * 6.2831853f / kRing;
                const int rx = std::clamp(x + int(std::lround(ringRadius * std::cos(angle))), 0, w - 1);
                const int ry = std::clamp(y + int(std::lround(ringRadius * std::sin(angle))), 0, h - 1);
                const size_t j = size_t(ry) * w + rx;
                // Off the skin counts as not clear.
                ring = std::max(ring, skin[j] < 0.5f ? kSpotHigh : difference[j]);
            }
            share *= Ramp(ring, kSpotHigh, kSpotLow) * SkinLikelihood(sr[i], sg[i], sb[i]) * region[i];
            weight[i] = share;
            any = any || share > 0;
        }
    if (!any)
        return false;
    // The move per block, interpolated over the pixels.
    std::vector<float> moveA(count, 0.0f), moveR(count), moveG(count), moveB(count);
    for (size_t i = 0; i < count; ++i) {
        moveR[i] = weight[i] * (sr[i] - low.r[i]);
        moveG[i] = weight[i] * (sg[i] - low.g[i]);
        moveB[i] = weight[i] * (sb[i] - low.b[i]);
    }
    // Apply's form is out = A * in + B: here A is 1 and B the move.
    for (size_t i = 0; i < count; ++i)
        moveA[i] = 1.0f;
    const float* const planes[4] = { moveA.data(), moveR.data(), moveG.data(), moveB.data() };
    Apply(layout, planes, pixels);
    return true;
}

} // namespace

float SkinLikelihood(uint32_t colour)
{
    return SkinLikelihood(float((colour >> 16) & 0xFF), float((colour >> 8) & 0xFF), float(colour & 0xFF));
}

std::unique_ptr<PhotoImage> SmoothSkin(const PhotoImage& picture, const std::vector<QRect>& faces)
{
    const int64_t width = picture.Width();
    const int64_t height = picture.Height();
    if (picture.IsNull() || !FitsInMemoryLimit(width, height))
        return nullptr;
    const Layout layout = PlanLayout(int32_t(width), int32_t(height));
    const size_t lowCount = size_t(layout.lowWidth) * size_t(layout.lowHeight);

    PixelArray pixels(new (std::nothrow) uint32_t[size_t(width * height)]);
    Plane meanR = NewPlane(lowCount);
    Plane meanG = NewPlane(lowCount);
    Plane meanB = NewPlane(lowCount);
    Plane meanSquares = NewPlane(lowCount);
    Plane mask = NewPlane(lowCount);
    Plane scratch = NewPlane(lowCount);
    if (!pixels || !meanR || !meanG || !meanB || !meanSquares || !mask || !scratch)
        return PhotoImage::Adopt(QImage(), OutOfMemory);
    if (!Gather(&picture.image(), layout, pixels.get(), meanR.get(), meanG.get(), meanB.get(), meanSquares.get()))
        return PhotoImage::Adopt(QImage(), OutOfMemory);

    std::vector<float> region;
    try {
        region = FaceWeights(layout, faces);
        // Blemishes first, then the statistics again from the cleaned pixels:
        // a spot left in them would keep the skin around it from smoothing.
        if (RemoveBlemishes(
                layout, { meanR.get(), meanG.get(), meanB.get() }, region, LargestSpot(layout, faces), pixels.get()))
            Gather(nullptr, layout, pixels.get(), meanR.get(), meanG.get(), meanB.get(), meanSquares.get());
    } catch (const std::bad_alloc&) {
        return PhotoImage::Adopt(QImage(), OutOfMemory);
    }

    const int32_t lowWidth = layout.lowWidth;
    const int32_t lowHeight = layout.lowHeight;
    const int32_t radius = layout.radius;
    const auto eachSample = [&](const auto& step) {
        ParallelFor(int32_t(lowHeight), 16, lowWidth, [&](int32_t first, int32_t last) {
            for (size_t i = size_t(first) * lowWidth; i < size_t(last) * lowWidth; ++i)
                step(i);
        });
    };

    // Each block counts by how skin-like its colour is: the statistics of a
    // window are those of its skin, so the hair, brows or clothes beside the
    // skin neither raise its variance (which would leave a band of grain
    // along them) nor tint its mean.
    // A block that an edge crosses (skin and hair both in it) is no skin
    // however its mean looks: its own variance leaves it out.
    eachSample([&](size_t i) {
        const float r = meanR[i], g = meanG[i], b = meanB[i];
        const float inside = std::max(0.0f, meanSquares[i] - (r * r + g * g + b * b)) * (1.0f / kEdgeVariance);
        // Even a small weight on a colour far from the skin's (dark hair)
        // would dominate the variance: only fairly sure skin counts.
        const float weight = Ramp(SkinLikelihood(r, g, b), 0.3f, 0.8f) * region[i] / (1.0f + inside * inside);
        mask[i] = weight;
        meanR[i] *= weight;
        meanG[i] *= weight;
        meanB[i] *= weight;
        meanSquares[i] *= weight;
    });

    // Guided filter, first step: per window, the share of each pixel to keep
    // (a) and the flat part (b = mean * (1 - a)); a goes into meanSquares.
    // Both are weighted by the window's skin for the second step.
    for (float* plane : { mask.get(), meanR.get(), meanG.get(), meanB.get(), meanSquares.get() })
        BoxMean(plane, scratch.get(), lowWidth, lowHeight, radius);
    constexpr float kNoSkin = 1e-3f;
    eachSample([&](size_t i) {
        const float weight = mask[i];
        if (weight < kNoSkin) {
            mask[i] = meanR[i] = meanG[i] = meanB[i] = meanSquares[i] = 0.0f;
            return;
        }
        const float r = meanR[i] / weight, g = meanG[i] / weight, b = meanB[i] / weight;
        const float variance = std::max(0.0f, meanSquares[i] / weight - (r * r + g * g + b * b));
        const float t = variance * (1.0f / kEdgeVariance);
        const float a = t * t / (1.0f + t * t);
        meanSquares[i] = a * weight;
        meanR[i] = r * (1.0f - a) * weight;
        meanG[i] = g * (1.0f - a) * weight;
        meanB[i] = b * (1.0f - a) * weight;
    });
    // Second step: every pixel lies in many windows; their coefficients are
    // averaged, each window by its skin. The strength and the faces' region
    // (softened, so it has no seams) scale the change; each pixel's own skin
    // likelihood blends it in (Apply, gated).
    for (float* plane : { mask.get(), meanR.get(), meanG.get(), meanB.get(), meanSquares.get() })
        BoxMean(plane, scratch.get(), lowWidth, lowHeight, radius);
    // The region goes into the mask's scratch plane, softened there.
    Plane softRegion = NewPlane(lowCount);
    if (!softRegion)
        return PhotoImage::Adopt(QImage(), OutOfMemory);
    std::copy(region.begin(), region.end(), softRegion.get());
    BoxMean(softRegion.get(), scratch.get(), lowWidth, lowHeight, radius);
    eachSample([&](size_t i) {
        const float weight = mask[i];
        if (weight < kNoSkin) {
            meanSquares[i] = 1.0f;
            meanR[i] = meanG[i] = meanB[i] = 0.0f;
            return;
        }
        const float share = kStrength * softRegion[i];
        meanSquares[i] = 1.0f + share * (meanSquares[i] / weight - 1.0f);
        meanR[i] *= share / weight;
        meanG[i] *= share / weight;
        meanB[i] *= share / weight;
    });
    scratch.reset();
    mask.reset();

    const float* const planes[4] = { meanSquares.get(), meanR.get(), meanG.get(), meanB.get() };
    Apply(layout, planes, pixels.get(), true);
    auto result = ImageFromPixels(int32_t(width), int32_t(height), std::move(pixels));
    result->SetResolution(picture.HorizontalResolution(), picture.VerticalResolution());
    return result;
}

} // namespace lumavo
