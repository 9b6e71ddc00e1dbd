#include "BenchPictures.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace lumavo::bench {

namespace {

constexpr int kPhotoWidth = 6000;
constexpr int kPhotoHeight = 4000;
constexpr int kFeather = 24;

} // namespace

QImage MakePhoto()
{
    QImage image(kPhotoWidth, kPhotoHeight, QImage::Format_RGB32);
    for (int y = 0; y < kPhotoHeight; ++y) {
        auto* line = reinterpret_cast<uint32_t*>(image.scanLine(y));
        for (int x = 0; x < kPhotoWidth; ++x) {
            const uint32_t r = uint32_t(x * 255 / kPhotoWidth);
            const uint32_t g = uint32_t(y * 255 / kPhotoHeight);
            const uint32_t b = uint32_t((x ^ y) & 0xFF);
            line[x] = 0xFF000000u | (r << 16) | (g << 8) | b;
        }
    }
    return image;
}

QImage MakeGrainyPicture(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    std::mt19937 random(3);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int grain = int(random() % 9) - 4;
            line[x] = qRgb(qBound(0, x * 255 / width + grain, 255), qBound(0, y * 255 / height + grain, 255),
                qBound(0, 128 + grain * 3, 255));
        }
    }
    return image;
}

QImage MakeGrainyPhoto()
{
    QImage image(kPhotoWidth, kPhotoHeight, QImage::Format_RGB32);
    std::mt19937 random(7);
    std::normal_distribution<float> noise(0.0f, 1.0f);
    // A pool of noise values reused at shifting offsets: generating 72
    // million normal values would take longer than the benchmarks.
    std::vector<float> pool(1 << 20);
    for (float& value : pool)
        value = noise(random);
    const auto clamp = [](float v) { return uint32_t(std::clamp(int(std::lround(v)), 0, 255)); };
    const double cx = kPhotoWidth * 0.5, cy = kPhotoHeight * 0.45;
    for (int y = 0; y < kPhotoHeight; ++y) {
        auto* line = reinterpret_cast<uint32_t*>(image.scanLine(y));
        const size_t start = (size_t(y) * 7919u * 3u) % (pool.size() - size_t(kPhotoWidth) * 4);
        for (int x = 0; x < kPhotoWidth; ++x) {
            const double dx = (x - cx) / (kPhotoWidth * 0.18), dy = (y - cy) / (kPhotoHeight * 0.3);
            const double face = dx * dx + dy * dy;
            const double light = 0.75 + 0.25 * std::cos(x * 0.0007) * std::sin(y * 0.0009 + 0.5);
            float r, g, b;
            if (face < 1.0) {
                r = float(225 * light), g = float(180 * light), b = float(155 * light);
            } else {
                r = float(150 * light), g = float(160 * light), b = float(172 * light);
            }
            const float* n = pool.data() + start + size_t(x) * 4;
            const float luma = 4.5f * n[0];
            line[x] = 0xFF000000u | clamp(r + luma + 2.0f * n[1]) << 16 | clamp(g + luma + 1.5f * n[2]) << 8
                | clamp(b + luma + 2.5f * n[3]);
        }
    }
    return image;
}

QImage MakeBackground(int width, int height)
{
    QImage background(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto* under = reinterpret_cast<uint32_t*>(background.scanLine(y));
        for (int x = 0; x < width; ++x)
            under[x] = 0xFF000000u | (uint32_t(60 + y * 120 / height) << 16) | (uint32_t(x * 200 / width) << 8) | 90u;
    }
    return background;
}

QImage MakeForeground(int width, int height, const LayerRect& opening)
{
    QImage foreground(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        auto* over = reinterpret_cast<uint32_t*>(foreground.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int inside
                = std::min({ x - opening.left, opening.right - 1 - x, y - opening.top, opening.bottom - 1 - y });
            const uint32_t alpha = inside >= kFeather ? 0u
                : inside < 0                          ? 255u
                                                      : uint32_t(255 - inside * 255 / kFeather);
            over[x] = (alpha << 24) | (uint32_t(140 + (x + y) % 80) << 16) | (uint32_t(110 + x % 40) << 8) | 40u;
        }
    }
    return foreground;
}

} // namespace lumavo::bench
