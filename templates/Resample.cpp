#include "templates/Resample.h"

#include "platform/ParallelFor.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace lumavo {

// Fixed-point separable filter. Weights are 14-bit (each output's weights
// sum to exactly 16384). The vertical pass sums source bytes times weights
// (at most 255 * 16384) and keeps 7 fraction bits (>> 7, at most 32640, a
// signed 16-bit value); the horizontal pass multiplies those by weights
// again (at most 32640 * 16384, under 2^31) and rounds back to 8 bits
// (>> 21). Both passes multiply pairs of 16-bit values and add them in one
// step (two rows, or two neighbouring pixels, at a time). Weights are never
// negative, so premultiplied colour never exceeds its alpha.

namespace {

constexpr int kWeightBits = 14;
constexpr int32_t kWeightOne = 1 << kWeightBits;

struct AxisWeights {
    int taps = 0; // weights stored per output (even)
    std::vector<int32_t> first; // first source index of each output
    std::vector<int32_t> count; // source indices used by each output
    std::vector<int16_t> weights; // taps per output, the unused ones 0
    int sourceBegin = 0; // source indices used by any output
    int sourceEnd = 0;
};

// Outputs [begin, end) of a target of targetSize pixels over a source of
// sourceSize pixels whose extent maps onto the whole target.
AxisWeights MakeWeights(int sourceSize, double extent, int targetSize, int begin, int end)
{
    AxisWeights axis;
    const double step = extent / targetSize; // source pixels per target pixel
    const bool shrinking = step >= 1.0;
    axis.taps = shrinking ? int(std::ceil(step)) + 1 : 2;
    axis.taps += axis.taps % 2;
    const int outputs = end - begin;
    axis.first.resize(size_t(outputs));
    axis.count.resize(size_t(outputs));
    axis.weights.assign(size_t(outputs) * size_t(axis.taps), 0);
    std::vector<double> exact(size_t(axis.taps));
    std::vector<int32_t> quantised(size_t(axis.taps));
    auto clampIndex = [&](int64_t j) { return int(std::clamp<int64_t>(j, 0, sourceSize - 1)); };
    axis.sourceBegin = sourceSize;
    axis.sourceEnd = 0;
    for (int i = begin; i < end; ++i) {
        std::fill(exact.begin(), exact.end(), 0.0);
        int first = 0;
        int count = 0;
        auto add = [&](int64_t j, double w) {
            const int index = clampIndex(j);
            if (count == 0) {
                first = index;
                count = 1;
            }
            const int slot = std::min(index - first, axis.taps - 1);
            exact[size_t(slot)] += w;
            count = std::max(count, slot + 1);
        };
        if (shrinking) {
            const double a = i * step;
            const double b = (i + 1) * step;
            for (int64_t j = int64_t(std::floor(a)); double(j) < b; ++j) {
                const double overlap = std::min(b, double(j + 1)) - std::max(a, double(j));
                if (overlap > 0.0)
                    add(j, overlap / step);
            }
        } else {
            const double centre = (i + 0.5) * step - 0.5;
            const double floorCentre = std::floor(centre);
            const double fraction = centre - floorCentre;
            add(int64_t(floorCentre), 1.0 - fraction);
            add(int64_t(floorCentre) + 1, fraction);
        }
        // Quantise so that the weights sum to exactly one.
        std::fill(quantised.begin(), quantised.end(), 0);
        int32_t sum = 0;
        int largest = 0;
        for (int k = 0; k < count; ++k) {
            quantised[size_t(k)] = int32_t(std::lround(exact[size_t(k)] * kWeightOne));
            sum += quantised[size_t(k)];
            if (quantised[size_t(k)] > quantised[size_t(largest)])
                largest = k;
        }
        quantised[size_t(largest)] += kWeightOne - sum;
        int16_t* w = axis.weights.data() + size_t(i - begin) * size_t(axis.taps);
        for (int k = 0; k < count; ++k)
            w[k] = int16_t(quantised[size_t(k)]);
        axis.first[size_t(i - begin)] = first;
        axis.count[size_t(i - begin)] = count;
        axis.sourceBegin = std::min(axis.sourceBegin, first);
        axis.sourceEnd = std::max(axis.sourceEnd, first + count);
    }
    return axis;
}

// One output row of 16-bit channels with 7 fraction bits: the weighted
// sum of the source rows under it, over the bytes [offset, offset + bytes).
void VerticalPass(const QImage& source, const AxisWeights& rows, int r, size_t offset, size_t bytes, int16_t* line,
    std::vector<const uchar*>& sourceRows)
{
    const int16_t* w = rows.weights.data() + size_t(r) * size_t(rows.taps);
    const int firstRow = rows.first[size_t(r)];
    const int count = rows.count[size_t(r)];
    // A row past the last one (paired with weight 0) repeats the last.
    sourceRows.resize(size_t(count) + 1);
    const uchar* bits = source.constBits();
    for (int k = 0; k <= count; ++k)
        sourceRows[size_t(k)] = bits + source.bytesPerLine() * (firstRow + std::min(k, count - 1)) + offset;
    auto rowAt = [&](int k) { return sourceRows[size_t(k)]; };
    size_t b = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i half = _mm_set1_epi32(64);
    for (; b + 16 <= bytes; b += 16) {
        __m128i sum0 = zero, sum1 = zero, sum2 = zero, sum3 = zero;
        for (int k = 0; k < count; k += 2) {
            // Two rows at once: their bytes interleaved, times (w[k], w[k + 1]).
            const __m128i weights
                = _mm_set1_epi32(int32_t(uint32_t(uint16_t(w[k])) | (uint32_t(uint16_t(w[k + 1])) << 16)));
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rowAt(k) + b));
            const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rowAt(k + 1) + b));
            const __m128i aLow = _mm_unpacklo_epi8(a, zero);
            const __m128i aHigh = _mm_unpackhi_epi8(a, zero);
            const __m128i cLow = _mm_unpacklo_epi8(c, zero);
            const __m128i cHigh = _mm_unpackhi_epi8(c, zero);
            sum0 = _mm_add_epi32(sum0, _mm_madd_epi16(_mm_unpacklo_epi16(aLow, cLow), weights));
            sum1 = _mm_add_epi32(sum1, _mm_madd_epi16(_mm_unpackhi_epi16(aLow, cLow), weights));
            sum2 = _mm_add_epi32(sum2, _mm_madd_epi16(_mm_unpacklo_epi16(aHigh, cHigh), weights));
            sum3 = _mm_add_epi32(sum3, _mm_madd_epi16(_mm_unpackhi_epi16(aHigh, cHigh), weights));
        }
        sum0 = _mm_srli_epi32(_mm_add_epi32(sum0, half), 7);
        sum1 = _mm_srli_epi32(_mm_add_epi32(sum1, half), 7);
        sum2 = _mm_srli_epi32(_mm_add_epi32(sum2, half), 7);
        sum3 = _mm_srli_epi32(_mm_add_epi32(sum3, half), 7);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(line + b), _mm_packs_epi32(sum0, sum1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(line + b + 8), _mm_packs_epi32(sum2, sum3));
    }
#endif
    for (; b < bytes; ++b) {
        int32_t sum = 64;
        for (int k = 0; k < count; ++k)
            sum += int32_t(w[k]) * rowAt(k)[b];
        line[b] = int16_t(sum >> 7);
    }
}

// One output row from the vertical pass's row: each pixel the weighted
// sum of its neighbours, rounded to 8 bits a channel.
void HorizontalPass(const int16_t* line, const AxisWeights& columns, int width, uint32_t* out)
{
    for (int c = 0; c < width; ++c) {
        const int16_t* w = columns.weights.data() + size_t(c) * size_t(columns.taps);
        const int16_t* px = line + size_t(columns.first[size_t(c)] - columns.sourceBegin) * 4;
        const int count = columns.count[size_t(c)];
#if defined(__SSE2__)
        __m128i sum = _mm_set1_epi32(1 << 20);
        for (int k = 0; k < count; k += 2, px += 8) {
            // Two neighbours at once: channel by channel, times (w[k], w[k + 1]).
            const __m128i weights
                = _mm_set1_epi32(int32_t(uint32_t(uint16_t(w[k])) | (uint32_t(uint16_t(w[k + 1])) << 16)));
            const __m128i pair = _mm_loadu_si128(reinterpret_cast<const __m128i*>(px));
            sum = _mm_add_epi32(sum, _mm_madd_epi16(_mm_unpacklo_epi16(pair, _mm_srli_si128(pair, 8)), weights));
        }
        sum = _mm_srli_epi32(sum, 21);
        sum = _mm_packs_epi32(sum, sum);
        out[c] = uint32_t(_mm_cvtsi128_si32(_mm_packus_epi16(sum, sum)));
#else
        int32_t sums[4] = { 1 << 20, 1 << 20, 1 << 20, 1 << 20 };
        for (int k = 0; k < count; ++k, px += 4) {
            for (int ch = 0; ch < 4; ++ch)
                sums[ch] += int32_t(w[k]) * px[ch];
        }
        out[c] = uint32_t(sums[0] >> 21) | (uint32_t(sums[1] >> 21) << 8) | (uint32_t(sums[2] >> 21) << 16)
            | (uint32_t(sums[3] >> 21) << 24);
#endif
    }
}

} // namespace

QImage Resample(const QImage& source, double extentWidth, double extentHeight, const QSize& target, const QRect& window,
    QImage spare)
{
    const QRect area = window & QRect(QPoint(0, 0), target);
    if (source.isNull() || area.isEmpty() || extentWidth <= 0.0 || extentHeight <= 0.0)
        return QImage();
    const AxisWeights columns = MakeWeights(source.width(), extentWidth, target.width(), area.left(), area.right() + 1);
    const AxisWeights rows = MakeWeights(source.height(), extentHeight, target.height(), area.top(), area.bottom() + 1);
    // Fresh memory costs page faults on every first touch; a spare of the
    // right shape has been touched already.
    QImage result = spare.size() == area.size() && spare.format() == source.format() && spare.isDetached()
        ? std::move(spare)
        : QImage(area.size(), source.format());
    if (result.isNull())
        return result;
    uchar* resultBits = result.bits();
    const qsizetype resultStride = result.bytesPerLine();
    const int spanPixels = columns.sourceEnd - columns.sourceBegin;
    const size_t spanBytes = size_t(spanPixels) * 4;

    ForEachBand(area.height(), int64_t(spanPixels) * rows.taps, [&](int begin, int end) {
        // Four 16-bit channels per source pixel, plus a pixel of slack for
        // reading neighbours in pairs.
        std::vector<int16_t> line(spanBytes + 8);
        std::vector<const uchar*> sourceRows;
        for (int r = begin; r < end; ++r) {
            VerticalPass(source, rows, r, size_t(columns.sourceBegin) * 4, spanBytes, line.data(), sourceRows);
            HorizontalPass(
                line.data(), columns, area.width(), reinterpret_cast<uint32_t*>(resultBits + resultStride * r));
        }
    });
    return result;
}

} // namespace lumavo
