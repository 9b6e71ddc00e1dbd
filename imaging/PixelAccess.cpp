#include "imaging/PixelAccess.h"

#include "imaging/PictureChecks.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace lumavo {

bool ReadRows(const QImage& image, int firstRow, int endRow, uint32_t* target)
{
    if (endRow <= firstRow)
        return true;
    const int width = image.width();
    const size_t rowBytes = size_t(width) * 4;
    const QImage::Format format = image.format();
    if (format == QImage::Format_ARGB32) {
        for (int y = firstRow; y < endRow; ++y, target += width)
            std::memcpy(target, image.constScanLine(y), rowBytes);
        return true;
    }
    if (format == QImage::Format_RGB32) {
        // The fourth byte of an RGB32 pixel is only padding: a picture wrapped
        // around foreign memory may hold anything there, yet reads as opaque.
        for (int y = firstRow; y < endRow; ++y, target += width) {
            const auto* source = reinterpret_cast<const uint32_t*>(image.constScanLine(y));
            for (int x = 0; x < width; ++x)
                target[x] = source[x] | 0xFF000000u;
        }
        return true;
    }
    // Other formats are converted for these rows only: no second full-size
    // copy of a large picture is made.
    const QImage band = image.copy(0, firstRow, width, endRow - firstRow).convertToFormat(QImage::Format_ARGB32);
    if (band.isNull())
        return false;
    for (int r = 0; r < endRow - firstRow; ++r, target += width)
        std::memcpy(target, band.constScanLine(r), rowBytes);
    return true;
}

PixelArray ReadPixels(PhotoImage& picture)
{
    const int64_t width = picture.Width();
    const int64_t height = picture.Height();
    if (!FitsInMemoryLimit(width, height))
        return nullptr;
    PixelArray pixels(new (std::nothrow) uint32_t[size_t(width * height)]);
    if (!pixels) {
        picture.RecordStatus(OutOfMemory);
        return nullptr;
    }
    const QImage& image = picture.image();
    // A band of rows at a time: other formats are then converted band by
    // band, without a second full-size copy.
    constexpr int kBand = 64;
    for (int y0 = 0; y0 < height; y0 += kBand) {
        const int y1 = int(std::min<int64_t>(y0 + kBand, height));
        if (!ReadRows(image, y0, y1, pixels.get() + int64_t(y0) * width)) {
            picture.RecordStatus(OutOfMemory);
            return nullptr;
        }
    }
    return pixels;
}

std::unique_ptr<PhotoImage> ImageFromPixels(int32_t width, int32_t height, const uint32_t* pixels)
{
    // Without an array there is nothing to copy: a blank picture reported as
    // made would pass for the caller's pixels.
    if (!pixels)
        return PhotoImage::Adopt(QImage(), InvalidParameter);
    auto picture = PhotoImage::Blank(width, height, PixelFormat32bppARGB);
    if (picture->lastStatus() != Ok)
        return picture;
    QImage& image = picture->mutableImage();
    for (int y = 0; y < height; ++y)
        std::memcpy(image.scanLine(y), pixels + int64_t(y) * width, size_t(width) * 4);
    return picture;
}

std::unique_ptr<PhotoImage> ImageFromPixels(int32_t width, int32_t height, PixelArray pixels)
{
    if (width <= 0 || height <= 0 || !pixels || uint64_t(width) * uint64_t(height) * 4u > kMaxPictureBytes)
        return PhotoImage::Adopt(QImage(), InvalidParameter);
    // The picture wraps the array's memory and frees it with itself. Qt does
    // not call the clean-up function when it refuses the buffer, so the array
    // is handed over only once the picture exists.
    uint32_t* data = pixels.get();
    QImage image(
        reinterpret_cast<uchar*>(data), width, height, qsizetype(width) * 4, QImage::Format_ARGB32,
        [](void* block) { PixelArray(static_cast<uint32_t*>(block)); }, data);
    if (!image.isNull())
        (void)pixels.release();
    return PhotoImage::Adopt(std::move(image), OutOfMemory);
}

int32_t MulDiv(int32_t a, int32_t b, int32_t c)
{
    if (c == 0)
        return -1;
    int64_t product = int64_t(a) * int64_t(b);
    int64_t divisor = c;
    if (divisor < 0) {
        divisor = -divisor;
        product = -product;
    }
    // Round half away from zero.
    const int64_t half = divisor / 2;
    const int64_t result = product >= 0 ? (product + half) / divisor : -((-product + half) / divisor);
    if (result > INT32_MAX || result < INT32_MIN)
        return -1;
    return int32_t(result);
}

FitResult FitSize(int32_t width, int32_t height, int32_t boxWidth, int32_t boxHeight)
{
    if (width <= boxWidth && height <= boxHeight)
        return { width, height };
    // The comparison uses 32-bit products, as the stored layouts were made with.
    const int32_t wide = int32_t(uint32_t(boxHeight) * uint32_t(width));
    const int32_t tall = int32_t(uint32_t(height) * uint32_t(boxWidth));
    if (wide > tall)
        return { boxWidth, MulDiv(height, boxWidth, width) };
    return { MulDiv(width, boxHeight, height), boxHeight };
}

} // namespace lumavo
