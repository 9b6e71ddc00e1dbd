#include "imaging/PngDecoder.h"

#include "imaging/FileBytes.h"
#include "imaging/PictureChecks.h"

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <new>
#include <png.h>
#include <vector>

namespace lumavo {

namespace {

constexpr int32_t kMaxReduction = 256;

// Everything that must outlive a long jump out of libpng.
struct Reading {
    png_structp png = nullptr;
    png_infop info = nullptr;
    const uchar* data = nullptr;
    size_t size = 0;
    size_t at = 0;
    Status failure = GenericError;
    QImage image;
    std::vector<uchar> row;
    std::vector<uint64_t> sums; // blue, green, red, alpha per result column
};

void ReadBytes(png_structp png, png_bytep out, png_size_t count)
{
    auto* reading = static_cast<Reading*>(png_get_io_ptr(png));
    if (reading->size - reading->at < count)
        png_error(png, "file ends early");
    std::memcpy(out, reading->data + reading->at, count);
    reading->at += count;
}

void OnError(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp)
{
    // Warnings (a bad ancillary chunk, an odd colour profile) change no
    // pixel and are not shown: the callers word failures themselves.
}

// Writes one result row from the block sums of `rows` source rows.
void FinishRow(Reading& reading, int outY, int32_t reduction, int rows, int sourceWidth, bool alpha)
{
    auto* out = reinterpret_cast<QRgb*>(reading.image.scanLine(outY));
    const int width = reading.image.width();
    for (int x = 0; x < width; ++x) {
        const int columns = std::min(reduction, sourceWidth - x * reduction);
        const uint64_t count = uint64_t(columns) * uint64_t(rows);
        const uint64_t* s = &reading.sums[size_t(x) * 4];
        if (alpha) {
            // Colours were summed multiplied by alpha: premultiplied averages.
            const uint64_t scale = count * 255;
            out[x] = qRgba(int((s[2] + scale / 2) / scale), int((s[1] + scale / 2) / scale),
                int((s[0] + scale / 2) / scale), int((s[3] + count / 2) / count));
        } else {
            out[x] = qRgb(
                int((s[2] + count / 2) / count), int((s[1] + count / 2) / count), int((s[0] + count / 2) / count));
        }
    }
    std::fill(reading.sums.begin(), reading.sums.end(), 0);
}

// Adds one source row (blue, green, red, alpha bytes) to the block sums.
void AddRow(Reading& reading, int32_t reduction, int sourceWidth, bool alpha)
{
    const uchar* pixel = reading.row.data();
    uint64_t* s = reading.sums.data();
    for (int x0 = 0; x0 < sourceWidth; x0 += reduction, s += 4) {
        const int x1 = std::min(x0 + reduction, sourceWidth);
        // Per block in 32 bits (at most 256 pixels of 255 x 255), then added.
        uint32_t b = 0, g = 0, r = 0, a = 0;
        if (alpha) {
            for (int x = x0; x < x1; ++x, pixel += 4) {
                const uint32_t weight = pixel[3];
                b += pixel[0] * weight;
                g += pixel[1] * weight;
                r += pixel[2] * weight;
                a += weight;
            }
        } else {
            for (int x = x0; x < x1; ++x, pixel += 4) {
                b += pixel[0];
                g += pixel[1];
                r += pixel[2];
            }
        }
        s[0] += b;
        s[1] += g;
        s[2] += r;
        s[3] += a;
    }
}

bool Run(Reading& reading, int32_t reduction, uint64_t byteLimit)
{
    png_structp png = reading.png;
    png_infop info = reading.info;
    if (setjmp(png_jmpbuf(png)))
        return false;

    png_set_read_fn(png, &reading, ReadBytes);
    png_read_info(png, info);
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int depth = 0;
    int colourType = 0;
    int interlace = 0;
    png_get_IHDR(png, info, &width, &height, &depth, &colourType, &interlace, nullptr, nullptr);
    if (interlace != PNG_INTERLACE_NONE) {
        reading.failure = NotImplemented;
        return false;
    }
    const bool alpha = (colourType & PNG_COLOR_MASK_ALPHA) || png_get_valid(png, info, PNG_INFO_tRNS);

    // Every kind of PNG as 8-bit blue, green, red, alpha bytes. No gamma
    // is applied, as for every other picture.
    png_set_expand(png);
    png_set_scale_16(png);
    png_set_gray_to_rgb(png);
    if (!alpha)
        png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    png_set_bgr(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != size_t(width) * 4)
        return false;

    const int sourceWidth = int(width);
    const int sourceHeight = int(height);
    const int outWidth = int((int64_t(width) + reduction - 1) / reduction);
    const int outHeight = int((int64_t(height) + reduction - 1) / reduction);
    if (!DecodeFits(outWidth, outHeight, QImage::Format_ARGB32, byteLimit)) {
        reading.failure = OutOfMemory;
        return false;
    }
    reading.image = QImage(outWidth, outHeight, alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    try {
        reading.row.resize(size_t(width) * 4);
        reading.sums.assign(size_t(outWidth) * 4, 0);
    } catch (const std::bad_alloc&) {
        reading.image = QImage();
    }
    if (reading.image.isNull()) {
        reading.failure = OutOfMemory;
        return false;
    }
    for (int y = 0; y < sourceHeight; ++y) {
        png_read_row(png, reading.row.data(), nullptr);
        AddRow(reading, reduction, sourceWidth, alpha);
        const int rowInBlock = y % reduction;
        if (rowInBlock == reduction - 1 || y == sourceHeight - 1)
            FinishRow(reading, y / reduction, reduction, rowInBlock + 1, sourceWidth, alpha);
    }
    // What follows the pixels (text, the end chunk) is not needed.
    return true;
}

} // namespace

DecodedPng DecodePngReduced(const QString& path, int32_t reduction, uint64_t byteLimit)
{
    DecodedPng result;
    if (reduction < 1 || reduction > kMaxReduction) {
        result.status = InvalidParameter;
        return result;
    }
    const FileBytes file(path);
    if (file.status() != Ok) {
        result.status = file.status();
        return result;
    }
    Reading reading;
    reading.data = file.data();
    reading.size = file.size();
    if (reading.size < 8 || png_sig_cmp(reading.data, 0, 8) != 0)
        return result;

    reading.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning);
    if (!reading.png) {
        result.status = OutOfMemory;
        return result;
    }
    reading.info = png_create_info_struct(reading.png);
    const bool decoded = reading.info && Run(reading, reduction, byteLimit);
    png_destroy_read_struct(&reading.png, reading.info ? &reading.info : nullptr, nullptr);
    if (!decoded) {
        result.status = reading.info ? reading.failure : OutOfMemory;
        return result;
    }
    result.image = std::move(reading.image);
    result.status = Ok;
    return result;
}

} // namespace lumavo
