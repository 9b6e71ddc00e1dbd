#include "templates/PhotoScaling.h"

#include "platform/ParallelFor.h"
#include "templates/Resample.h"

#include <QRgb>

#include <algorithm>
#include <atomic>
#include <cmath>

namespace lumavo {

namespace {

constexpr uint32_t kLanes = 0x00FF00FFu;

// The rounded average of four premultiplied pixels, two channels per lane.
inline uint32_t Average4(uint32_t a, uint32_t b, uint32_t c, uint32_t d)
{
    const uint32_t rb = (((a & kLanes) + (b & kLanes) + (c & kLanes) + (d & kLanes) + 0x00020002u) >> 2) & kLanes;
    const uint32_t ag
        = ((((a >> 8) & kLanes) + ((b >> 8) & kLanes) + ((c >> 8) & kLanes) + ((d >> 8) & kLanes) + 0x00020002u) >> 2)
        & kLanes;
    return rb | (ag << 8);
}

bool IsScalableFormat(QImage::Format format)
{
    return format == QImage::Format_RGB32 || format == QImage::Format_ARGB32_Premultiplied;
}

// RGB32 or premultiplied ARGB32, the two forms the layers are blended from.
QImage ToScalableFormat(const QImage& image)
{
    if (IsScalableFormat(image.format()))
        return image;
    return image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
}

// Marks a premultiplied picture whose pixels are all opaque as RGB32.
bool SettleOpacity(QImage& image)
{
    if (image.format() == QImage::Format_RGB32)
        return true;
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const uint32_t*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if ((line[x] >> 24) != 0xFFu)
                return false;
        }
    }
    image.reinterpretAsFormat(QImage::Format_RGB32);
    return true;
}

} // namespace

QImage ReduceByHalf(const QImage& input)
{
    const int width = input.width() / 2;
    const int height = input.height() / 2;
    if (width <= 0 || height <= 0)
        return QImage();
    const QImage::Format format = input.format();
    const bool straight = format == QImage::Format_ARGB32;
    const QImage source = straight || IsScalableFormat(format) ? input : ToScalableFormat(input);
    if (source.isNull())
        return QImage();
    const bool opaqueSource = source.format() == QImage::Format_RGB32;
    QImage result(width, height, opaqueSource ? QImage::Format_RGB32 : QImage::Format_ARGB32_Premultiplied);
    if (result.isNull())
        return result;
    uchar* resultBits = result.bits();
    const qsizetype resultStride = result.bytesPerLine();
    std::atomic<bool> allOpaque = true;
    ForEachBand(height, int64_t(width) * 4, [&](int begin, int end) {
        uint32_t alphaAnd = 0xFF000000u;
        for (int y = begin; y < end; ++y) {
            const auto* top = reinterpret_cast<const uint32_t*>(source.constScanLine(2 * y));
            const auto* bottom = reinterpret_cast<const uint32_t*>(source.constScanLine(2 * y + 1));
            auto* out = reinterpret_cast<uint32_t*>(resultBits + resultStride * y);
            if (opaqueSource) {
                for (int x = 0; x < width; ++x)
                    out[x] = Average4(top[2 * x], top[2 * x + 1], bottom[2 * x], bottom[2 * x + 1]) | 0xFF000000u;
            } else if (straight) {
                for (int x = 0; x < width; ++x) {
                    out[x] = Average4(qPremultiply(top[2 * x]), qPremultiply(top[2 * x + 1]),
                        qPremultiply(bottom[2 * x]), qPremultiply(bottom[2 * x + 1]));
                    alphaAnd &= out[x];
                }
            } else {
                for (int x = 0; x < width; ++x) {
                    out[x] = Average4(top[2 * x], top[2 * x + 1], bottom[2 * x], bottom[2 * x + 1]);
                    alphaAnd &= out[x];
                }
            }
        }
        if ((alphaAnd & 0xFF000000u) != 0xFF000000u)
            allOpaque = false;
    });
    if (!opaqueSource && allOpaque)
        result.reinterpretAsFormat(QImage::Format_RGB32);
    return result;
}

void PhotoScaler::Clear()
{
    m_levels.clear();
    m_photoKey = 0;
    m_photoSize = QSize();
}

const QImage& PhotoScaler::Level(const QImage& photo, int level)
{
    if (m_levels.empty())
        m_levels.resize(1);
    if (level == 0) {
        // The photo itself, converted once when its format needs it.
        if (IsScalableFormat(photo.format()))
            return photo;
        if (m_levels[0].isNull()) {
            m_levels[0] = ToScalableFormat(photo);
            SettleOpacity(m_levels[0]);
        }
        return m_levels[0];
    }
    while (int(m_levels.size()) <= level) {
        // Level 1 reads the photo itself, whatever its format.
        const QImage& previous = m_levels.size() == 1 ? photo : m_levels.back();
        m_levels.push_back(ReduceByHalf(previous));
    }
    return m_levels[size_t(level)];
}

ScaledPhoto PhotoScaler::Scale(
    const QImage& photo, int width, int height, const QRect& window, bool fullResolution, QImage spare)
{
    ScaledPhoto scaled;
    scaled.width = width;
    scaled.height = height;
    scaled.photoKey = photo.cacheKey();
    scaled.photoSize = photo.size();
    if (photo.isNull() || width <= 0 || height <= 0 || window.isEmpty())
        return scaled;
    if (photo.cacheKey() != m_photoKey || photo.size() != m_photoSize) {
        Clear();
        m_photoKey = photo.cacheKey();
        m_photoSize = photo.size();
    }

    // The smallest reduction that is still at least the wanted size in both
    // directions; each of its pixels stands for 2^level x 2^level of the photo.
    int level = 0;
    if (!fullResolution) {
        while ((photo.width() >> (level + 1)) >= width && (photo.height() >> (level + 1)) >= height)
            ++level;
    }
    const QImage* source = &Level(photo, level);
    if (source->isNull()) {
        level = 0;
        source = &Level(photo, 0);
    }
    const double extentWidth = std::ldexp(double(photo.width()), -level);
    const double extentHeight = std::ldexp(double(photo.height()), -level);
    scaled.pixels = Resample(*source, extentWidth, extentHeight, QSize(width, height), window, std::move(spare));
    if (scaled.pixels.isNull())
        return scaled;
    scaled.opaque = SettleOpacity(scaled.pixels);
    scaled.window = window;
    return scaled;
}

} // namespace lumavo
