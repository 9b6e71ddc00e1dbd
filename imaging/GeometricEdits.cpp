#include "imaging/GeometricEdits.h"

#include <QPainter>
#include <QTransform>

#include <algorithm>

namespace lumavo {

namespace {

// Quarter turns through QImage::transformed take Qt's exact rotation paths
// for whole multiples of 90 degrees and keep the pixel format.
QImage Turned(const QImage& image, int degrees)
{
    return image.transformed(QTransform().rotate(degrees));
}

} // namespace

Status RotateFlip(PhotoImage& picture, RotateFlipType code)
{
    if (picture.IsNull()) {
        picture.RecordStatus(InvalidParameter);
        return InvalidParameter;
    }
    QImage& image = picture.mutableImage();
    const QImage::Format format = image.format();

    // The codes are a turn clockwise by 0, 90, 180 or 270 degrees followed,
    // for codes 4 to 7, by a mirror left-right.
    int degrees = 0;
    bool mirrorX = false;
    switch (code) {
    case RotateNoneFlipNone:
        return Ok;
    case Rotate180FlipNone:
        image.mirror(true, true);
        return Ok;
    case RotateNoneFlipX:
        image.mirror(true, false);
        return Ok;
    case RotateNoneFlipY:
        image.mirror(false, true);
        return Ok;
    case Rotate90FlipNone:
        degrees = 90;
        break;
    case Rotate270FlipNone:
        degrees = 270;
        break;
    case Rotate90FlipX:
        degrees = 90;
        mirrorX = true;
        break;
    case Rotate270FlipX:
        degrees = 270;
        mirrorX = true;
        break;
    default:
        picture.RecordStatus(InvalidParameter);
        return InvalidParameter;
    }

    QImage turned = Turned(image, degrees);
    if (!turned.isNull() && turned.format() != format)
        turned.convertTo(format);
    if (turned.isNull()) {
        picture.RecordStatus(OutOfMemory);
        return OutOfMemory;
    }
    if (mirrorX)
        turned.mirror(true, false);
    picture.ReplaceImage(std::move(turned));
    return Ok;
}

PhotoImage& PaintWhiteSpot(PhotoImage& picture, int32_t x, int32_t y)
{
    // Clicks beside the picture arrive as far-off or wrapped-around
    // coordinates; a spot that misses the picture is not drawn at all, so the
    // painter only ever sees coordinates near the picture.
    const int64_t left = x;
    const int64_t top = y;
    const int64_t width = picture.Width();
    const int64_t height = picture.Height();
    if (left >= width || top >= height || left + kWhiteSpotSize <= 0 || top + kWhiteSpotSize <= 0)
        return picture;

    const PixelFormat format = picture.Format();
    if (format == PixelFormat1bppIndexed || format == PixelFormat8bppIndexed) {
        // Palette and grey pictures cannot be drawn on; the spot goes on a
        // 32-bit copy that becomes the picture (a white disc would not even
        // be in a grey palette's colours), so it is never silently lost.
        const QImage& image = picture.image();
        QImage drawable = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        if (drawable.isNull()) {
            picture.RecordStatus(OutOfMemory);
            return picture;
        }
        picture.ReplaceImage(std::move(drawable));
    }
    std::unique_ptr<QPainter> painter = picture.Surface();
    if (!painter)
        return picture;
    painter->setCompositionMode(QPainter::CompositionMode_Source);

    // A pixel belongs to the disc when its centre lies inside the circle:
    // with c = 2 * (offset in the square) + 1 - 100 for both axes,
    // cx^2 + cy^2 < 100^2 (odd squares never land on the edge exactly).
    const QColor white = QColor::fromRgba(kWhiteSpotColor);
    const int64_t firstRow = std::max<int64_t>(0, -top);
    const int64_t lastRow = std::min<int64_t>(kWhiteSpotSize, height - top);
    for (int64_t row = firstRow; row < lastRow; ++row) {
        const int64_t cy = 2 * row + 1 - kWhiteSpotSize;
        // Columns with cx^2 < 100^2 - cy^2: a span symmetric about the centre.
        int64_t halfSpan = 0;
        while (halfSpan < kWhiteSpotSize / 2) {
            const int64_t cx = 2 * halfSpan + 1;
            if (cx * cx + cy * cy >= int64_t(kWhiteSpotSize) * kWhiteSpotSize)
                break;
            ++halfSpan;
        }
        const int64_t spanLeft = std::max<int64_t>(0, left + kWhiteSpotSize / 2 - halfSpan);
        const int64_t spanRight = std::min<int64_t>(width, left + kWhiteSpotSize / 2 + halfSpan);
        if (spanLeft < spanRight)
            painter->fillRect(QRect(int(spanLeft), int(top + row), int(spanRight - spanLeft), 1), white);
    }
    painter->end();
    return picture;
}

} // namespace lumavo
