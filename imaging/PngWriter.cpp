#include "imaging/PngWriter.h"

#include <QSysInfo>

#ifdef LUMAVO_QUICK_PNG
#include <csetjmp>
#include <png.h>
#include <zlib.h>
#endif

namespace lumavo {

#ifdef LUMAVO_QUICK_PNG

namespace {

void WriteToDevice(png_structp png, png_bytep data, png_size_t length)
{
    auto* device = static_cast<QIODevice*>(png_get_io_ptr(png));
    if (device->write(reinterpret_cast<const char*>(data), qint64(length)) != qint64(length))
        png_error(png, "write failed");
}

void FlushNothing(png_structp)
{
}

void IgnoreWarning(png_structp, png_const_charp)
{
}

// libpng reports errors by longjmp back here, so nothing in this frame may
// need destruction: the caller owns every C++ object.
bool WriteRows(png_structp png, png_infop info, const QImage& image, QIODevice& device)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_write_fn(png, &device, WriteToDevice, FlushNothing);
    const bool alpha = image.format() == QImage::Format_ARGB32;
    png_set_IHDR(png, info, png_uint_32(image.width()), png_uint_32(image.height()), 8,
        alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
        PNG_FILTER_TYPE_DEFAULT);
    if (image.dotsPerMeterX() > 0 && image.dotsPerMeterY() > 0)
        png_set_pHYs(
            png, info, png_uint_32(image.dotsPerMeterX()), png_uint_32(image.dotsPerMeterY()), PNG_RESOLUTION_METER);
    // "Up" suits photos (rows resemble the row above) and, with run-length
    // matching, compresses about as well as the adaptive choice.
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
    png_set_compression_level(png, 1);
    png_set_compression_strategy(png, Z_RLE);
    png_write_info(png, info);
    // The rows are 32-bit words 0xAARRGGBB in memory order.
    if (QSysInfo::ByteOrder == QSysInfo::LittleEndian) {
        png_set_bgr(png);
        if (!alpha)
            png_set_filler(png, 0, PNG_FILLER_AFTER);
    } else if (alpha) {
        png_set_swap_alpha(png);
    } else {
        png_set_filler(png, 0, PNG_FILLER_BEFORE);
    }
    for (int y = 0; y < image.height(); ++y)
        png_write_row(png, const_cast<png_bytep>(image.constScanLine(y)));
    png_write_end(png, info);
    return true;
}

} // namespace

bool HasQuickPngWriter()
{
    return true;
}

bool WritePngQuickly(const QImage& image, QIODevice& device)
{
    if (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, IgnoreWarning);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    const bool written = info && WriteRows(png, info, image, device);
    png_destroy_write_struct(&png, info ? &info : nullptr);
    return written;
}

#else

bool HasQuickPngWriter()
{
    return false;
}

bool WritePngQuickly(const QImage&, QIODevice&)
{
    return false;
}

#endif

} // namespace lumavo
