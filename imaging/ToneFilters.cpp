#include "imaging/ToneFilters.h"

#include "imaging/CpuDispatch.h"
#include "imaging/PixelAccess.h"
#include "platform/ParallelFor.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace lumavo {

namespace {

// The sepia tone as the photo edit window has always computed it, in double
// precision with the additions in this order. Everything faster below must
// give exactly these values.
inline uint32_t SepiaPixelLiteral(uint32_t pixel)
{
    const double r = double((pixel >> 16) & 0xFF);
    const double g = double((pixel >> 8) & 0xFF);
    const double b = double(pixel & 0xFF);
    const int r1 = int((r * 0.393 + b * 0.189) + g * 0.769);
    const int g1 = int((b * 0.168 + g * 0.686) + r * 0.349);
    const int b1 = int((g * 0.534 + b * 0.131) + r * 0.272);
    return (pixel & 0xFF000000u) | uint32_t(std::clamp(r1, 0, 255)) << 16 | uint32_t(std::clamp(g1, 0, 255)) << 8
        | uint32_t(std::clamp(b1, 0, 255));
}

// The weights have three decimals, so each sum is n / 1000 for the integer n
// below. Unless n is a multiple of 1000 the true value is at least 0.001 away
// from a whole number, far more than the double rounding error (under 1e-12),
// so truncation gives n / 1000. Only exact multiples may round either way in
// double; those (a few pixels in a thousand) take the literal computation.
inline uint32_t SepiaPixel(uint32_t pixel)
{
    const uint32_t r = (pixel >> 16) & 0xFF;
    const uint32_t g = (pixel >> 8) & 0xFF;
    const uint32_t b = pixel & 0xFF;
    const uint32_t nr = r * 393 + b * 189 + g * 769;
    const uint32_t ng = b * 168 + g * 686 + r * 349;
    const uint32_t nb = g * 534 + b * 131 + r * 272;
    const uint32_t qr = nr / 1000;
    const uint32_t qg = ng / 1000;
    const uint32_t qb = nb / 1000;
    if ((nr | ng | nb) != 0 && (qr * 1000 == nr || qg * 1000 == ng || qb * 1000 == nb))
        return SepiaPixelLiteral(pixel);
    return (pixel & 0xFF000000u) | std::min(qr, 255u) << 16 | std::min(qg, 255u) << 8 | std::min(qb, 255u);
}

inline uint32_t BlackWhitePixel(uint32_t pixel)
{
    return (pixel & 0xFF000000u) | (pixel & 0xFFu) * 0x010101u;
}

void SepiaRangeScalar(uint32_t* pixels, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        pixels[i] = SepiaPixel(pixels[i]);
}

void BlackWhiteRangeScalar(uint32_t* pixels, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        pixels[i] = BlackWhitePixel(pixels[i]);
}

// The purplish light-blue look: each pixel's luminance picks a colour on a
// ramp from a lifted lavender shadow through a soft lavender blue to an almost
// white highlight, and that colour is mixed with the pixel, whose own channels
// are first lightened by a gentle curve. Every ramp stop has blue >= red >=
// green, and ramp and curve rise with their input, so greys take a cool cast
// while light and shade keep their order.
struct LavenderStop {
    int luminance;
    int red;
    int green;
    int blue;
};
constexpr LavenderStop kLavenderRamp[] = {
    { 0, 62, 58, 120 },
    { 150, 200, 194, 248 },
    { 255, 251, 250, 255 },
};
// Share of the ramp colour in the result, in 256ths (about 45 %).
constexpr uint32_t kLavenderMix = 115;
// Exponent of the lightening curve c' = 255 (c / 255)^k for the pixel's share.
constexpr double kLavenderLift = 0.85;

// Tables of the ramp colour times the mix (plus rounding) by luminance, and
// of each lightened channel value times the rest, so a pixel costs six lookups.
struct LavenderTables {
    uint16_t ramp[3][256];
    uint16_t kept[256];

    LavenderTables()
    {
        for (int y = 0; y < 256; ++y) {
            size_t stop = 1;
            while (kLavenderRamp[stop].luminance < y)
                ++stop;
            const LavenderStop& low = kLavenderRamp[stop - 1];
            const LavenderStop& high = kLavenderRamp[stop];
            const int span = high.luminance - low.luminance;
            const int along = y - low.luminance;
            const auto at = [&](int from, int to) { return from + ((to - from) * along + span / 2) / span; };
            ramp[0][y] = uint16_t(uint32_t(at(low.red, high.red)) * kLavenderMix + 128);
            ramp[1][y] = uint16_t(uint32_t(at(low.green, high.green)) * kLavenderMix + 128);
            ramp[2][y] = uint16_t(uint32_t(at(low.blue, high.blue)) * kLavenderMix + 128);
            const auto lightened = uint32_t(std::lround(255.0 * std::pow(y / 255.0, kLavenderLift)));
            kept[y] = uint16_t(lightened * (256 - kLavenderMix));
        }
    }
};

void PurplishLightBlueRange(uint32_t* pixels, size_t count)
{
    static const LavenderTables tables;
    for (size_t i = 0; i < count; ++i) {
        const uint32_t pixel = pixels[i];
        const uint32_t r = (pixel >> 16) & 0xFF;
        const uint32_t g = (pixel >> 8) & 0xFF;
        const uint32_t b = pixel & 0xFF;
        // Rec. 601 weights in 256ths; they add up to 256, so white stays 255.
        const uint32_t y = (r * 77 + g * 150 + b * 29 + 128) >> 8;
        const uint32_t r1 = uint32_t(tables.kept[r] + tables.ramp[0][y]) >> 8;
        const uint32_t g1 = uint32_t(tables.kept[g] + tables.ramp[1][y]) >> 8;
        const uint32_t b1 = uint32_t(tables.kept[b] + tables.ramp[2][y]) >> 8;
        pixels[i] = (pixel & 0xFF000000u) | r1 << 16 | g1 << 8 | b1;
    }
}

#ifdef LUMAVO_X86_DISPATCH

// The vector kernels work with m = 2n + 1: word pairs (blue, red) and
// (green, 1) times doubled weights (and 1) give it in one multiply-add each.
// m < 2^20 is exact in float, and t = m / 2000 = (n + 0.5) / 1000 lies at
// least 0.0005 from a whole number while float rounding moves it by under
// 5e-5: truncating t gives n / 1000, and its fraction is below 0.001 exactly
// when n is a multiple of 1000.
constexpr int32_t WeightPair(int32_t high, int32_t low)
{
    return high << 16 | low;
}
constexpr int32_t kRedBR = WeightPair(2 * 393, 2 * 189);
constexpr int32_t kGreenBR = WeightPair(2 * 349, 2 * 168);
constexpr int32_t kBlueBR = WeightPair(2 * 272, 2 * 131);
constexpr int32_t kRedG1 = WeightPair(1, 2 * 769);
constexpr int32_t kGreenG1 = WeightPair(1, 2 * 686);
constexpr int32_t kBlueG1 = WeightPair(1, 2 * 534);
constexpr float kHalfThousandth = 0.0005f;
constexpr float kExactFraction = 0.001f;

// Rewrites the marked lanes of a block with the literal computation. Kept
// out of line so that the vector loops keep their constants in registers.
__attribute__((noinline, cold)) void RedoLiteral(uint32_t* block, const uint32_t* source, unsigned lanes)
{
    for (unsigned lane = 0; lanes != 0; ++lane, lanes >>= 1) {
        if (lanes & 1)
            block[lane] = SepiaPixelLiteral(source[lane]);
    }
}

LUMAVO_TARGET_AVX2 void SepiaRangeAvx2(uint32_t* pixels, size_t count)
{
    const __m256i lowBytes = _mm256_set1_epi32(0x00FF00FF);
    const __m256i lowByte = _mm256_set1_epi32(0xFF);
    const __m256i wordOne = _mm256_set1_epi32(0x10000);
    const __m256i alphaMask = _mm256_set1_epi32(int(0xFF000000u));
    const __m256i redBR = _mm256_set1_epi32(kRedBR);
    const __m256i greenBR = _mm256_set1_epi32(kGreenBR);
    const __m256i blueBR = _mm256_set1_epi32(kBlueBR);
    const __m256i redG1 = _mm256_set1_epi32(kRedG1);
    const __m256i greenG1 = _mm256_set1_epi32(kGreenG1);
    const __m256i blueG1 = _mm256_set1_epi32(kBlueG1);
    const __m256 scale = _mm256_set1_ps(kHalfThousandth);
    const __m256 exactFraction = _mm256_set1_ps(kExactFraction);
    const __m256i one = _mm256_set1_epi32(1);
    const __m256i top = _mm256_set1_epi32(255);

    size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m256i p = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pixels + i));
        const __m256i br = _mm256_and_si256(p, lowBytes);
        const __m256i g1 = _mm256_or_si256(_mm256_and_si256(_mm256_srli_epi32(p, 8), lowByte), wordOne);
        const __m256i mr = _mm256_add_epi32(_mm256_madd_epi16(br, redBR), _mm256_madd_epi16(g1, redG1));
        const __m256i mg = _mm256_add_epi32(_mm256_madd_epi16(br, greenBR), _mm256_madd_epi16(g1, greenG1));
        const __m256i mb = _mm256_add_epi32(_mm256_madd_epi16(br, blueBR), _mm256_madd_epi16(g1, blueG1));
        const __m256 tr = _mm256_mul_ps(_mm256_cvtepi32_ps(mr), scale);
        const __m256 tg = _mm256_mul_ps(_mm256_cvtepi32_ps(mg), scale);
        const __m256 tb = _mm256_mul_ps(_mm256_cvtepi32_ps(mb), scale);
        const __m256i qr = _mm256_cvttps_epi32(tr);
        const __m256i qg = _mm256_cvttps_epi32(tg);
        const __m256i qb = _mm256_cvttps_epi32(tb);
        const __m256 fraction = _mm256_min_ps(
            _mm256_min_ps(_mm256_sub_ps(tr, _mm256_cvtepi32_ps(qr)), _mm256_sub_ps(tg, _mm256_cvtepi32_ps(qg))),
            _mm256_sub_ps(tb, _mm256_cvtepi32_ps(qb)));
        const __m256i result = _mm256_or_si256(
            _mm256_or_si256(_mm256_and_si256(p, alphaMask), _mm256_slli_epi32(_mm256_min_epi32(qr, top), 16)),
            _mm256_or_si256(_mm256_slli_epi32(_mm256_min_epi32(qg, top), 8), qb));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(pixels + i), result);
        // Black gives n = 0, which is exact in any arithmetic.
        const __m256i black = _mm256_cmpeq_epi32(mr, one);
        const __m256 exact = _mm256_cmp_ps(fraction, exactFraction, _CMP_LT_OQ);
        const unsigned ambiguous = unsigned(_mm256_movemask_ps(_mm256_andnot_ps(_mm256_castsi256_ps(black), exact)));
        if (ambiguous != 0) {
            alignas(32) uint32_t source[8];
            _mm256_store_si256(reinterpret_cast<__m256i*>(source), p);
            RedoLiteral(pixels + i, source, ambiguous);
        }
    }
    SepiaRangeScalar(pixels + i, count - i);
}

// GCC 12's AVX-512 headers leave the unused pass-through operand of their
// intrinsics uninitialised on purpose, and then warn about it.
#pragma GCC diagnostic push
#if !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#pragma GCC diagnostic ignored "-Wuninitialized"

#define LUMAVO_AVX512 __attribute__((target("avx512f,avx512bw,avx512dq")))

LUMAVO_AVX512 inline __m512d Weighted(__m512d channel, double weight)
{
    return _mm512_mul_pd(channel, _mm512_set1_pd(weight));
}

// ((x * a + y * b) + z * c), truncated and clamped, as SepiaPixelLiteral has it.
LUMAVO_AVX512 inline __m256i LiteralSum(__m512d x, double a, __m512d y, double b, __m512d z, double c)
{
    const __m512d sum = _mm512_add_pd(_mm512_add_pd(Weighted(x, a), Weighted(y, b)), Weighted(z, c));
    return _mm256_min_epi32(_mm512_cvttpd_epi32(sum), _mm256_set1_epi32(255));
}

// The literal double computation for eight pixels at once.
LUMAVO_AVX512 __m256i SepiaLiteral8(__m256i p)
{
    const __m256i lowByte = _mm256_set1_epi32(0xFF);
    const __m512d r = _mm512_cvtepi32_pd(_mm256_and_si256(_mm256_srli_epi32(p, 16), lowByte));
    const __m512d g = _mm512_cvtepi32_pd(_mm256_and_si256(_mm256_srli_epi32(p, 8), lowByte));
    const __m512d b = _mm512_cvtepi32_pd(_mm256_and_si256(p, lowByte));
    const __m256i r1 = LiteralSum(r, 0.393, b, 0.189, g, 0.769);
    const __m256i g1 = LiteralSum(b, 0.168, g, 0.686, r, 0.349);
    const __m256i b1 = LiteralSum(g, 0.534, b, 0.131, r, 0.272);
    return _mm256_or_si256(
        _mm256_or_si256(_mm256_and_si256(p, _mm256_set1_epi32(int(0xFF000000u))), _mm256_slli_epi32(r1, 16)),
        _mm256_or_si256(_mm256_slli_epi32(g1, 8), b1));
}

// Sixteen pixels at a time; vreduceps gives the fraction directly.
LUMAVO_AVX512 void SepiaRangeAvx512(uint32_t* pixels, size_t count)
{
    const __m512i lowBytes = _mm512_set1_epi32(0x00FF00FF);
    const __m512i lowByte = _mm512_set1_epi32(0xFF);
    const __m512i wordOne = _mm512_set1_epi32(0x10000);
    const __m512i alphaMask = _mm512_set1_epi32(int(0xFF000000u));
    const __m512i colourMask = _mm512_set1_epi32(0x00FFFFFF);
    const __m512i redBR = _mm512_set1_epi32(kRedBR);
    const __m512i greenBR = _mm512_set1_epi32(kGreenBR);
    const __m512i blueBR = _mm512_set1_epi32(kBlueBR);
    const __m512i redG1 = _mm512_set1_epi32(kRedG1);
    const __m512i greenG1 = _mm512_set1_epi32(kGreenG1);
    const __m512i blueG1 = _mm512_set1_epi32(kBlueG1);
    const __m512 scale = _mm512_set1_ps(kHalfThousandth);
    const __m512 exactFraction = _mm512_set1_ps(kExactFraction);
    const __m512i top = _mm512_set1_epi32(255);
    // Ternary-logic tables: (a & b) | c and a | b | c.
    constexpr int kAndOr = 0xEA;
    constexpr int kOr3 = 0xFE;
    // vreduceps: keep no fraction bits of the rounded part, truncate, no exceptions.
    constexpr int kTruncatedFraction = 0x0B;

    size_t i = 0;
    for (; i + 16 <= count; i += 16) {
        const __m512i p = _mm512_loadu_si512(pixels + i);
        const __m512i br = _mm512_and_si512(p, lowBytes);
        const __m512i g1 = _mm512_ternarylogic_epi32(_mm512_srli_epi32(p, 8), lowByte, wordOne, kAndOr);
        const __m512i mr = _mm512_add_epi32(_mm512_madd_epi16(br, redBR), _mm512_madd_epi16(g1, redG1));
        const __m512i mg = _mm512_add_epi32(_mm512_madd_epi16(br, greenBR), _mm512_madd_epi16(g1, greenG1));
        const __m512i mb = _mm512_add_epi32(_mm512_madd_epi16(br, blueBR), _mm512_madd_epi16(g1, blueG1));
        const __m512 tr = _mm512_mul_ps(_mm512_cvtepi32_ps(mr), scale);
        const __m512 tg = _mm512_mul_ps(_mm512_cvtepi32_ps(mg), scale);
        const __m512 tb = _mm512_mul_ps(_mm512_cvtepi32_ps(mb), scale);
        const __m512i qr = _mm512_min_epi32(_mm512_cvttps_epi32(tr), top);
        const __m512i qg = _mm512_min_epi32(_mm512_cvttps_epi32(tg), top);
        const __m512i qb = _mm512_cvttps_epi32(tb);
        const __m512 fraction = _mm512_min_ps(
            _mm512_min_ps(_mm512_reduce_ps(tr, kTruncatedFraction), _mm512_reduce_ps(tg, kTruncatedFraction)),
            _mm512_reduce_ps(tb, kTruncatedFraction));
        const __m512i colours
            = _mm512_ternarylogic_epi32(_mm512_slli_epi32(qr, 16), _mm512_slli_epi32(qg, 8), qb, kOr3);
        __m512i result = _mm512_ternarylogic_epi32(p, alphaMask, colours, kAndOr);
        const __mmask16 coloured = _mm512_test_epi32_mask(p, colourMask);
        const __mmask16 ambiguous = _mm512_mask_cmp_ps_mask(coloured, fraction, exactFraction, _CMP_LT_OQ);
        if (ambiguous != 0) {
            const __m512i literal = _mm512_inserti64x4(_mm512_castsi256_si512(SepiaLiteral8(_mm512_castsi512_si256(p))),
                SepiaLiteral8(_mm512_extracti64x4_epi64(p, 1)), 1);
            result = _mm512_mask_blend_epi32(ambiguous, result, literal);
        }
        _mm512_storeu_si512(pixels + i, result);
    }
    SepiaRangeAvx2(pixels + i, count - i);
}

#pragma GCC diagnostic pop

LUMAVO_TARGET_AVX2 void BlackWhiteRangeAvx2(uint32_t* pixels, size_t count)
{
    // Bytes blue, green, red, alpha become blue, blue, blue, alpha.
    const __m256i spread = _mm256_setr_epi8(
        0, 0, 0, 3, 4, 4, 4, 7, 8, 8, 8, 11, 12, 12, 12, 15, 0, 0, 0, 3, 4, 4, 4, 7, 8, 8, 8, 11, 12, 12, 12, 15);
    size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m256i p = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pixels + i));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(pixels + i), _mm256_shuffle_epi8(p, spread));
    }
    BlackWhiteRangeScalar(pixels + i, count - i);
}

bool HasAvx512()
{
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw")
        && __builtin_cpu_supports("avx512dq");
}

#endif

using RangeKernel = void (*)(uint32_t* pixels, size_t count);

RangeKernel PickSepia()
{
#ifdef LUMAVO_X86_DISPATCH
    if (HasAvx512())
        return SepiaRangeAvx512;
    if (HasAvx2())
        return SepiaRangeAvx2;
#endif
    return SepiaRangeScalar;
}

RangeKernel PickBlackWhite()
{
    // A byte shuffle per eight pixels already keeps up with memory.
#ifdef LUMAVO_X86_DISPATCH
    if (HasAvx2())
        return BlackWhiteRangeAvx2;
#endif
    return BlackWhiteRangeScalar;
}

// Threads take the array in blocks of 1 MB (a multiple of 64-byte lines, so
// no two threads write one cache line).
constexpr int64_t kBlockPixels = int64_t(1) << 18;

// Runs the kernel over a large array on all cores; the kernels are per
// pixel, so any division of the work gives the same result.
void RunSplit(RangeKernel kernel, int32_t width, int32_t height, uint32_t* pixels)
{
    if (width <= 0 || height <= 0 || !pixels)
        return;
    ParallelFor(int64_t(width) * height, kBlockPixels, 1,
        [&](int64_t begin, int64_t end) { kernel(pixels + begin, size_t(end - begin)); });
}

} // namespace

void SepiaFilter(int32_t width, int32_t height, uint32_t* pixels)
{
    static const RangeKernel kernel = PickSepia();
    RunSplit(kernel, width, height, pixels);
}

void BlackWhiteFilter(int32_t width, int32_t height, uint32_t* pixels)
{
    static const RangeKernel kernel = PickBlackWhite();
    RunSplit(kernel, width, height, pixels);
}

void PurplishLightBlueFilter(int32_t width, int32_t height, uint32_t* pixels)
{
    RunSplit(PurplishLightBlueRange, width, height, pixels);
}

std::unique_ptr<PhotoImage> ApplyToneFilter(PhotoImage* photo, ToneKernel kernel)
{
    if (!photo || !kernel)
        return nullptr;
    const int64_t width = photo->Width();
    const int64_t height = photo->Height();
    PixelArray pixels = ReadPixels(*photo);
    if (!pixels)
        return nullptr;
    // ReadPixels only succeeds for sizes whose byte count fits 32 bits.
    kernel(int32_t(width), int32_t(height), pixels.get());
    return ImageFromPixels(int32_t(width), int32_t(height), std::move(pixels));
}

} // namespace lumavo
