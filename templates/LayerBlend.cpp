#include "templates/LayerBlend.h"

#include "platform/ParallelFor.h"

#include <algorithm>
#include <cstring>

namespace lumavo {

// Blending maths, 8 bits per channel, straight alpha:
//   foreground F with alpha a over an opaque pixel U:
//       out = (F * a + U * (255 - a) + 127) / 255          (rounded to nearest)
//   premultiplied photo P with alpha a over an opaque background B:
//       out = P + (B * (255 - a) + 127) / 255
// Division by 255 uses v / 255 == (v + 1 + (v >> 8)) >> 8, exact for every
// v up to 65152 (the largest sum above). Red and blue travel together in the
// two 16-bit lanes of one 32-bit word (0x00RR00BB), green alone in the low
// lane of another; no lane can carry into its neighbour.

namespace {

constexpr uint32_t kLanes = 0x00FF00FFu;

inline uint32_t Div255Lanes(uint32_t v)
{
    return ((v + 0x00010001u + ((v >> 8) & kLanes)) >> 8) & kLanes;
}

inline uint32_t ForegroundOver(uint32_t f, uint32_t under)
{
    const uint32_t a = f >> 24;
    const uint32_t ia = 255u - a;
    const uint32_t rb = Div255Lanes((f & kLanes) * a + (under & kLanes) * ia + 0x007F007Fu);
    const uint32_t g = Div255Lanes(((f >> 8) & 0xFFu) * a + ((under >> 8) & 0xFFu) * ia + 0x7Fu);
    return 0xFF000000u | rb | (g << 8);
}

inline uint32_t PhotoOver(uint32_t p, uint32_t background)
{
    const uint32_t ia = 255u - (p >> 24);
    const uint32_t rb = Div255Lanes((background & kLanes) * ia + 0x007F007Fu) + (p & kLanes);
    const uint32_t g = Div255Lanes(((background >> 8) & 0xFFu) * ia + 0x7Fu) + ((p >> 8) & 0xFFu);
    return 0xFF000000u | (rb & kLanes) | ((g & 0xFFu) << 8);
}

inline const uint32_t* ConstRow(const QImage& image, int y)
{
    return reinterpret_cast<const uint32_t*>(image.constScanLine(y));
}

inline uint32_t* Row(QImage& image, int y)
{
    return reinterpret_cast<uint32_t*>(image.scanLine(y));
}

inline void CopyPixels(uint32_t* target, const uint32_t* source, int count)
{
    if (count > 0 && target != source)
        std::memcpy(target, source, size_t(count) * sizeof(uint32_t));
}

} // namespace

void ForegroundCoverage::Build(const QImage& foreground, int width, int height)
{
    m_runs.clear();
    m_rowStart.assign(1, 0);
    m_rowStart.reserve(size_t(std::max(height, 0)) + 1);
    const bool hasForeground = !foreground.isNull() && foreground.format() == QImage::Format_ARGB32;
    const int coveredWidth = hasForeground ? std::min(width, foreground.width()) : 0;
    const int coveredHeight = hasForeground ? std::min(height, foreground.height()) : 0;
    for (int y = 0; y < height; ++y) {
        const size_t rowBegin = m_runs.size();
        auto append = [&](int x, Cover cover) {
            if (m_runs.size() > rowBegin && m_runs.back().cover == cover && m_runs.back().end == x)
                ++m_runs.back().end;
            else
                m_runs.push_back({ x, x + 1, cover });
        };
        if (y < coveredHeight) {
            const uint32_t* line = ConstRow(foreground, y);
            for (int x = 0; x < coveredWidth; ++x) {
                const uint32_t a = line[x] >> 24;
                append(x, a == 0 ? Cover::Clear : a == 255 ? Cover::Opaque : Cover::Partial);
            }
        }
        const int from = y < coveredHeight ? coveredWidth : 0;
        if (from < width) {
            if (m_runs.size() > rowBegin && m_runs.back().cover == Cover::Clear)
                m_runs.back().end = width;
            else
                m_runs.push_back({ from, width, Cover::Clear });
        }
        m_rowStart.push_back(uint32_t(m_runs.size()));
    }
}

QImage FlattenOverBlack(const QImage& picture)
{
    if (picture.isNull() || picture.format() == QImage::Format_RGB32)
        return picture;
    if (!picture.hasAlphaChannel())
        return picture.convertToFormat(QImage::Format_RGB32);
    // Premultiplied colour is the colour over black; the alpha byte is then
    // set to 255 so the picture reads as opaque RGB32.
    QImage flat = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (flat.isNull())
        return flat;
    for (int y = 0; y < flat.height(); ++y) {
        uint32_t* line = Row(flat, y);
        for (int x = 0; x < flat.width(); ++x)
            line[x] |= 0xFF000000u;
    }
    flat.reinterpretAsFormat(QImage::Format_RGB32);
    return flat;
}

QImage ToStraightArgb(const QImage& picture)
{
    if (picture.isNull() || picture.format() == QImage::Format_ARGB32)
        return picture;
    return picture.convertToFormat(QImage::Format_ARGB32);
}

void BlendForegroundOver(
    QImage& target, const QImage& background, const QImage& foreground, const ForegroundCoverage& coverage)
{
    const int height = std::min({ target.height(), background.height(), coverage.height() });
    const int width = std::min(target.width(), background.width());
    // Take the row pointers of the target once on this thread: scanLine()
    // may detach, which must not happen on the helper threads.
    uchar* targetBits = target.bits();
    const qsizetype stride = target.bytesPerLine();
    ForEachBand(height, width, [&](int begin, int end) {
        for (int y = begin; y < end; ++y) {
            auto* out = reinterpret_cast<uint32_t*>(targetBits + stride * y);
            const uint32_t* under = ConstRow(background, y);
            const uint32_t* over = y < foreground.height() ? ConstRow(foreground, y) : nullptr;
            for (const CoverRun& run : coverage.Row(y)) {
                const int x1 = std::min(run.end, width);
                if (run.begin >= x1)
                    continue;
                switch (run.cover) {
                case Cover::Clear:
                    CopyPixels(out + run.begin, under + run.begin, x1 - run.begin);
                    break;
                case Cover::Opaque:
                    CopyPixels(out + run.begin, over + run.begin, x1 - run.begin);
                    break;
                case Cover::Partial:
                    for (int x = run.begin; x < x1; ++x)
                        out[x] = ForegroundOver(over[x], under[x]);
                    break;
                }
            }
        }
    });
}

void DrawPhotoArea(QImage& target, const QImage& base, const QImage& background, const QImage& foreground,
    const ForegroundCoverage& coverage, const PhotoLayer& photo, const QRect& area)
{
    const QRect rect = area & target.rect() & QRect(photo.origin, photo.pixels ? photo.pixels->size() : QSize())
        & QRect(0, 0, target.width(), coverage.height());
    if (rect.isEmpty())
        return;
    const bool opaque = photo.opaque;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        uint32_t* out = Row(target, y);
        const uint32_t* baseLine = ConstRow(base, y);
        const uint32_t* under = ConstRow(background, y);
        const uint32_t* over = y < foreground.height() ? ConstRow(foreground, y) : nullptr;
        // Indexed by composite column.
        const uint32_t* photoLine = ConstRow(*photo.pixels, y - photo.origin.y()) - photo.origin.x();
        const int left = rect.left();
        const int right = rect.right() + 1;
        for (const CoverRun& run : coverage.Row(y)) {
            const int x0 = std::max(run.begin, left);
            const int x1 = std::min(run.end, right);
            if (x0 >= x1) {
                if (run.begin >= right)
                    break;
                continue;
            }
            switch (run.cover) {
            case Cover::Opaque:
                CopyPixels(out + x0, baseLine + x0, x1 - x0);
                break;
            case Cover::Clear:
                if (opaque) {
                    CopyPixels(out + x0, photoLine + x0, x1 - x0);
                } else {
                    for (int x = x0; x < x1; ++x)
                        out[x] = PhotoOver(photoLine[x], under[x]);
                }
                break;
            case Cover::Partial:
                if (opaque) {
                    for (int x = x0; x < x1; ++x)
                        out[x] = ForegroundOver(over[x], photoLine[x]);
                } else {
                    for (int x = x0; x < x1; ++x)
                        out[x] = ForegroundOver(over[x], PhotoOver(photoLine[x], under[x]));
                }
                break;
            }
        }
    }
}

void RestoreFromBase(QImage& target, const QImage& base, const QRect& area, const QRect& keep)
{
    const QRect rect = area & target.rect() & base.rect();
    if (rect.isEmpty())
        return;
    const int left = rect.left();
    const int right = rect.right() + 1;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        uint32_t* out = Row(target, y);
        const uint32_t* from = ConstRow(base, y);
        if (keep.isEmpty() || y < keep.top() || y > keep.bottom()) {
            CopyPixels(out + left, from + left, right - left);
            continue;
        }
        const int keepLeft = std::clamp(keep.left(), left, right);
        const int keepRight = std::clamp(keep.right() + 1, left, right);
        CopyPixels(out + left, from + left, keepLeft - left);
        CopyPixels(out + keepRight, from + keepRight, right - keepRight);
    }
}

void CopyWhole(QImage& target, const QImage& base)
{
    const int height = std::min(target.height(), base.height());
    const size_t bytes = size_t(std::min(target.bytesPerLine(), base.bytesPerLine()));
    if (target.bytesPerLine() == base.bytesPerLine()) {
        std::memcpy(target.bits(), base.constBits(), bytes * size_t(height));
        return;
    }
    for (int y = 0; y < height; ++y)
        std::memcpy(target.scanLine(y), base.constScanLine(y), bytes);
}

} // namespace lumavo
