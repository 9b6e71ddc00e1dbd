#pragma once

#include <algorithm>
#include <cstdint>

namespace lumavo {

// Per-pixel arithmetic shared by the retouching kernels. Branch-free, so
// that loops using it vectorise.

// Rounded and clamped to 0..255; through int, which vector units convert to.
inline uint32_t ToByte(float value)
{
    return uint32_t(int(std::min(std::max(value + 0.5f, 0.0f), 255.0f)));
}

inline float Clamp01(float value)
{
    return std::min(std::max(value, 0.0f), 1.0f);
}

// Full-range BT.601 YCbCr in 8-bit units, chroma centred on 0 (add 128 for
// the stored form): chroma magnitudes go up to about 180.
struct Ycc {
    float y;
    float cb;
    float cr;
};

inline Ycc ToYcc(float r, float g, float b)
{
    return { 0.299f * r + 0.587f * g + 0.114f * b, -0.168736f * r - 0.331264f * g + 0.5f * b,
        0.5f * r - 0.418688f * g - 0.081312f * b };
}

} // namespace lumavo
