#pragma once

#include "TestUtils.h"
#include "templates/TemplateFolder.h"

#include <QImage>
#include <QPainter>
#include <QRect>
#include <QString>

#include <algorithm>
#include <cmath>

namespace lumavo::test {

// A background with some structure, so that misplaced layers show.
inline QImage MakeBackground(int width, int height, QImage::Format format = QImage::Format_RGB32)
{
    QImage image(width, height, format);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<uint32_t*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const uint32_t alpha
                = format == QImage::Format_ARGB32 ? uint32_t(128 + (x * 127) / std::max(1, width)) : 255u;
            line[x] = (alpha << 24) | (uint32_t(40 + (y * 150) / std::max(1, height)) << 16)
                | (uint32_t((x / 8) % 2 ? 90 : 60) << 8) | uint32_t(200 - (x * 100) / std::max(1, width));
        }
    }
    return image;
}

// A photo without sharp edges (gradients and slow waves): scaling it by
// any good method gives nearly the same pixels, so comparisons can be tight.
inline QImage MakeSmoothPhoto(int width, int height, int seed = 1)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<uint32_t*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const double u = double(x) / std::max(1, width);
            const double v = double(y) / std::max(1, height);
            const uint32_t r = uint32_t(30 + 200 * u);
            const uint32_t g = uint32_t(128 + 100 * std::sin(6.0 * v + 4.0 * u + seed));
            const uint32_t b = uint32_t(128 + 90 * std::cos(9.0 * u - 3.0 * v));
            line[x] = 0xFF000000u | (r << 16) | (g << 8) | b;
        }
    }
    return image;
}

// A frame: opaque outside the opening, transparent inside, with alpha
// ramping over `feather` pixels along the opening's edge (straight ARGB32).
inline QImage MakeFrameForeground(int width, int height, const QRect& opening, int feather)
{
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<uint32_t*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            // Distance inside the opening (negative outside).
            const int inside
                = std::min({ x - opening.left(), opening.right() - x, y - opening.top(), opening.bottom() - y });
            uint32_t alpha = 255;
            if (inside >= feather)
                alpha = 0;
            else if (inside >= 0)
                alpha = uint32_t(255 - (inside * 255) / std::max(1, feather));
            const uint32_t red = uint32_t(150 + (x % 50));
            const uint32_t green = uint32_t(100 + (y % 70));
            line[x] = (alpha << 24) | (red << 16) | (green << 8) | 30u;
        }
    }
    return image;
}

// A frame of one colour, fully transparent inside the opening (ARGB32).
inline QImage MakeFlatFrame(QSize size, QColor colour, const QRect& opening)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(colour);
    QPainter hole(&image);
    hole.setCompositionMode(QPainter::CompositionMode_Clear);
    hole.fillRect(opening, Qt::transparent);
    return image;
}

// Writes bs.lmv, fs.lmv (PNG pictures, unless null) and layer.lmv.
inline bool WriteTemplate(
    const QString& folder, const QImage& background, const QImage& foreground, const QRect& opening)
{
    if (!background.isNull() && !background.save(folder + "/bs.lmv", "PNG"))
        return false;
    if (!foreground.isNull() && !foreground.save(folder + "/fs.lmv", "PNG"))
        return false;
    const QByteArray layer = QStringLiteral("[layer]\r\nx=%1\r\ny=%2\r\nwidth=%3\r\nheight=%4\r\n")
                                 .arg(opening.x())
                                 .arg(opening.y())
                                 .arg(opening.width())
                                 .arg(opening.height())
                                 .toLatin1();
    return WriteFile(folder + "/layer.lmv", layer);
}

} // namespace lumavo::test
