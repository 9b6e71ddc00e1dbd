#include "imaging/ChromaKey.h"

#include "imaging/CpuDispatch.h"
#include "imaging/PixelMath.h"
#include "platform/ParallelFor.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace lumavo {

namespace {

// Half the side of the square sampled around a pick: 13 x 13 pixels, enough
// for grain to average out, small enough to stay on the backdrop near the
// subject.
constexpr uint32_t kSampleRadius = 6;

// Colours are compared in the YCbCr plane (ToYcc).

// Below this chroma the backdrop has no hue to key on (white, grey or black
// cloth): the key then measures the distance to the backdrop's colour.
constexpr float kMinKeyChroma = 12.0f;

// Chromatic backdrop. A pixel's chroma is split into x, along the backdrop's
// chroma, and z, across it. Its key amount is (x - kWedge * |z| - kNoise)
// over the backdrop's chroma, the latter scaled by the pixel's brightness
// relative to the backdrop's (down to kDarkFloor): light falloff and shadows
// scale chroma along with luma, so a darker patch of backdrop keys as fully
// as the sampled one, while dark hair, whose chroma is noise, does not.
constexpr float kWedge = 1.5f; // hues more than ~34 degrees off the backdrop's never key
constexpr float kNoise = 3.0f; // grain allowance in chroma units
constexpr float kDarkFloor = 0.35f;
// Key amounts below kKeepBelow stay opaque, above kClearAbove become fully
// transparent; the ramp between gives antialiased, soft edges.
constexpr float kKeepBelow = 0.22f;
constexpr float kClearAbove = 0.5f;
// Spill: the part of a pixel's chroma along the backdrop's, less this share
// of the part across it, is taken out at constant luma. Green (or blue)
// fringes and casts turn into the neutral they came from; hues more than
// about 73 degrees off the backdrop's keep all their colour.
constexpr float kSpillWedge = 0.3f;

// Neutral backdrop: a soft ramp on the distance in YCbCr, luma weighted
// less because the light on a backdrop is never even.
constexpr float kNeutralLumaWeight = 0.5f;
constexpr float kNeutralInner = 14.0f;
constexpr float kNeutralOuter = 32.0f;

struct KeyParameters {
    bool chromatic = false;
    // Chromatic key.
    float ub = 0, ur = 0; // unit chroma direction of the backdrop
    float chroma = 0; // its magnitude
    float chromaPerLuma = 0; // its magnitude over its luma
    float darkChroma = 0; // its magnitude at the darkest shade still counted as lit
    float spillR = 0, spillG = 0, spillB = 0; // RGB change per unit of chroma along (ub, ur)
    // Neutral key.
    float y = 0, cb = 0, cr = 0;
};

KeyParameters MakeKey(uint32_t backdrop)
{
    KeyParameters key;
    const Ycc c = ToYcc(float((backdrop >> 16) & 0xFF), float((backdrop >> 8) & 0xFF), float(backdrop & 0xFF));
    key.y = c.y;
    key.cb = c.cb;
    key.cr = c.cr;
    const float chroma = std::sqrt(c.cb * c.cb + c.cr * c.cr);
    if (chroma < kMinKeyChroma)
        return key;
    key.chromatic = true;
    key.chroma = chroma;
    key.ub = c.cb / chroma;
    key.ur = c.cr / chroma;
    key.chromaPerLuma = chroma / std::max(c.y, 1.0f);
    key.darkChroma = chroma * kDarkFloor;
    // Inverse YCbCr: R = Y + 1.402 Cr, G = Y - 0.344136 Cb - 0.714136 Cr, B = Y + 1.772 Cb.
    key.spillR = 1.402f * key.ur;
    key.spillG = -0.344136f * key.ub - 0.714136f * key.ur;
    key.spillB = 1.772f * key.ub;
    return key;
}

#if defined(__GNUC__) || defined(__clang__)
#define LUMAVO_KEY_INLINE inline __attribute__((always_inline))
#else
#define LUMAVO_KEY_INLINE inline
#endif

// One row, straight alpha in and out. Written without branches on pixel
// values so that the compiler can vectorise it.
LUMAVO_KEY_INLINE void KeyRowChromaticBody(
    const KeyParameters& key, const uint32_t* source, uint32_t* target, int width, bool opaque)
{
    const float slope = 1.0f / (kClearAbove - kKeepBelow);
    const uint32_t opaqueBits = opaque ? 0xFF000000u : 0u;
    for (int i = 0; i < width; ++i) {
        const uint32_t p = source[i];
        const float r = float(int((p >> 16) & 0xFF));
        const float g = float(int((p >> 8) & 0xFF));
        const float b = float(int(p & 0xFF));
        const Ycc c = ToYcc(r, g, b);
        const float x = c.cb * key.ub + c.cr * key.ur;
        const float z = std::fabs(c.cr * key.ub - c.cb * key.ur);
        const float scale = std::min(std::max(c.y * key.chromaPerLuma, key.darkChroma), key.chroma);
        const float amount = (x - kWedge * z - kNoise) / scale;
        const float keep = Clamp01((kClearAbove - amount) * slope);
        const float spill = std::max(x - kSpillWedge * z, 0.0f);
        const float alphaIn = float(int((p | opaqueBits) >> 24));
        target[i] = ToByte(alphaIn * keep) << 24 | ToByte(r - spill * key.spillR) << 16
            | ToByte(g - spill * key.spillG) << 8 | ToByte(b - spill * key.spillB);
    }
}

LUMAVO_KEY_INLINE void KeyRowNeutralBody(
    const KeyParameters& key, const uint32_t* source, uint32_t* target, int width, bool opaque)
{
    // The ramp runs on the squared distance: no square root per pixel.
    const float inner = kNeutralInner * kNeutralInner;
    const float slope = 1.0f / (kNeutralOuter * kNeutralOuter - inner);
    const uint32_t opaqueBits = opaque ? 0xFF000000u : 0u;
    for (int i = 0; i < width; ++i) {
        const uint32_t p = source[i];
        const Ycc c = ToYcc(float(int((p >> 16) & 0xFF)), float(int((p >> 8) & 0xFF)), float(int(p & 0xFF)));
        const float dy = (c.y - key.y) * kNeutralLumaWeight;
        const float db = c.cb - key.cb;
        const float dr = c.cr - key.cr;
        const float keep = Clamp01((dy * dy + db * db + dr * dr - inner) * slope);
        const float alphaIn = float(int((p | opaqueBits) >> 24));
        target[i] = ToByte(alphaIn * keep) << 24 | (p & 0x00FFFFFFu);
    }
}

using RowKernel = void (*)(const KeyParameters& key, const uint32_t* source, uint32_t* target, int width, bool opaque);

void KeyRowChromatic(const KeyParameters& key, const uint32_t* source, uint32_t* target, int width, bool opaque)
{
    KeyRowChromaticBody(key, source, target, width, opaque);
}

void KeyRowNeutral(const KeyParameters& key, const uint32_t* source, uint32_t* target, int width, bool opaque)
{
    KeyRowNeutralBody(key, source, target, width, opaque);
}

#ifdef LUMAVO_X86_DISPATCH
// The same loops compiled for eight floats at a time, where the processor has them.
LUMAVO_TARGET_AVX2_FMA void KeyRowChromaticAvx2(
    const KeyParameters& key, const uint32_t* source, uint32_t* target, int width, bool opaque)
{
    KeyRowChromaticBody(key, source, target, width, opaque);
}

LUMAVO_TARGET_AVX2_FMA void KeyRowNeutralAvx2(
    const KeyParameters& key, const uint32_t* source, uint32_t* target, int width, bool opaque)
{
    KeyRowNeutralBody(key, source, target, width, opaque);
}
#endif

RowKernel PickKernel(bool chromatic)
{
#ifdef LUMAVO_X86_DISPATCH
    if (HasAvx2Fma())
        return chromatic ? KeyRowChromaticAvx2 : KeyRowNeutralAvx2;
#endif
    return chromatic ? KeyRowChromatic : KeyRowNeutral;
}

uint8_t Median(std::vector<uint8_t>& values)
{
    const auto middle = values.begin() + std::ptrdiff_t(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

} // namespace

std::optional<uint32_t> SampleBackdropColor(const PhotoImage& picture, uint32_t x, uint32_t y)
{
    const uint32_t width = picture.Width();
    const uint32_t height = picture.Height();
    if (picture.IsNull() || x >= width || y >= height)
        return std::nullopt;
    const QImage& image = picture.image();
    const uint32_t left = x > kSampleRadius ? x - kSampleRadius : 0;
    const uint32_t top = y > kSampleRadius ? y - kSampleRadius : 0;
    const uint32_t right = std::min(width - 1, x + kSampleRadius);
    const uint32_t bottom = std::min(height - 1, y + kSampleRadius);
    // The median of each channel: grain, a stray hair or a dust speck in the
    // square do not move it. Pixels that are mostly transparent show no
    // backdrop and count only when nothing else is there.
    std::array<std::vector<uint8_t>, 3> channels;
    std::array<std::vector<uint8_t>, 3> faint;
    for (uint32_t row = top; row <= bottom; ++row) {
        for (uint32_t column = left; column <= right; ++column) {
            const QRgb pixel = image.pixel(int(column), int(row));
            auto& into = qAlpha(pixel) >= 128 || !image.hasAlphaChannel() ? channels : faint;
            into[0].push_back(uint8_t(qRed(pixel)));
            into[1].push_back(uint8_t(qGreen(pixel)));
            into[2].push_back(uint8_t(qBlue(pixel)));
        }
    }
    auto& used = channels[0].empty() ? faint : channels;
    return 0xFF000000u | uint32_t(Median(used[0])) << 16 | uint32_t(Median(used[1])) << 8 | Median(used[2]);
}

std::unique_ptr<PhotoImage> KeyOutBackdrop(const PhotoImage& picture, uint32_t backdropColor)
{
    if (picture.IsNull() || picture.Width() == 0 || picture.Height() == 0)
        return nullptr;
    const int width = int(picture.Width());
    const int height = int(picture.Height());
    // Straight 32-bit pixels are read in place; anything else is converted
    // once (premultiplied pixels must be un-premultiplied to key their colour).
    QImage converted;
    const QImage* source = &picture.image();
    const QImage::Format format = source->format();
    const bool opaque = format == QImage::Format_RGB32 || !source->hasAlphaChannel();
    if (format != QImage::Format_RGB32 && format != QImage::Format_ARGB32) {
        converted = source->convertToFormat(opaque ? QImage::Format_RGB32 : QImage::Format_ARGB32);
        if (converted.isNull())
            return PhotoImage::Adopt(QImage(), OutOfMemory);
        source = &converted;
    }
    QImage result(width, height, QImage::Format_ARGB32);
    if (result.isNull())
        return PhotoImage::Adopt(QImage(), OutOfMemory);

    const KeyParameters key = MakeKey(backdropColor);
    const RowKernel keyRow = PickKernel(key.chromatic);
    // Row addresses are taken once here: QImage's non-const accessors are
    // not safe to call from several threads.
    const uchar* fromBits = source->constBits();
    const qsizetype fromStride = source->bytesPerLine();
    uchar* toBits = result.bits();
    const qsizetype toStride = result.bytesPerLine();
    // Whichever thread is free takes the next block of rows.
    ParallelFor(height, 32, width, [&](int64_t first, int64_t last) {
        for (int64_t y = first; y < last; ++y)
            keyRow(key, reinterpret_cast<const uint32_t*>(fromBits + y * fromStride),
                reinterpret_cast<uint32_t*>(toBits + y * toStride), width, opaque);
    });
    auto keyed = PhotoImage::Adopt(std::move(result));
    keyed->SetResolution(picture.HorizontalResolution(), picture.VerticalResolution());
    return keyed;
}

} // namespace lumavo
