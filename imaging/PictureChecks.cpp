#include "imaging/PictureChecks.h"

#include "platform/DiskPath.h"

#include <QFile>
#include <QImageReader>

#include <algorithm>
#include <cstdlib>
#include <iterator>

namespace lumavo {

void PrepareDecoders()
{
    // Our own 32-bit limit (FitsInMemoryLimit) is checked before decoding.
    static const bool prepared = [] {
        QImageReader::setAllocationLimit(4096);
        return true;
    }();
    (void)prepared;
}

// Qt's BMP decoder stops at the end of the data and reports success, leaving
// the rows it never read uninitialised, so an uncompressed BMP shorter than
// its header's pixel area is refused here.
bool BmpLooksComplete(const QString& path)
{
    QFile file;
    if (OpenForReading(file, path) != OpenError::None)
        return false;
    const QByteArray head = file.read(34);
    if (head.size() < 26)
        return false;
    auto u16 = [&](int at) { return uint32_t(uchar(head[at])) | (uint32_t(uchar(head[at + 1])) << 8); };
    auto u32 = [&](int at) { return u16(at) | (u16(at + 2) << 16); };
    const uint64_t pixelOffset = u32(10);
    const uint32_t infoSize = u32(14);
    int64_t width = 0;
    int64_t height = 0;
    uint32_t bitsPerPixel = 0;
    if (infoSize == 12) {
        width = u16(18);
        height = u16(20);
        bitsPerPixel = u16(24);
    } else {
        // Only the header sizes and compressions that BMP writers produce;
        // anything else is garbage the decoder would still turn into a
        // picture of whatever size the bytes happen to claim.
        constexpr uint32_t kHeaderSizes[] = { 40, 52, 56, 64, 108, 124 };
        if (head.size() < 34
            || std::find(std::begin(kHeaderSizes), std::end(kHeaderSizes), infoSize) == std::end(kHeaderSizes))
            return false;
        constexpr uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3, kAlphaBitFields = 6;
        const uint32_t compression = u32(30);
        if (compression == kRle8 || compression == kRle4)
            return uint64_t(file.size()) > pixelOffset; // run-length data has no size to check against
        if (compression != kRgb && compression != kBitFields && compression != kAlphaBitFields)
            return false;
        width = int32_t(u32(18));
        height = std::abs(int64_t(int32_t(u32(22))));
        bitsPerPixel = u16(28);
    }
    if (width <= 0 || height <= 0 || bitsPerPixel == 0 || bitsPerPixel > 32)
        return false;
    const uint64_t rowBytes = (uint64_t(width) * bitsPerPixel + 31) / 32 * 4;
    if (uint64_t(height) > (UINT64_MAX - pixelOffset) / rowBytes)
        return false;
    return uint64_t(file.size()) >= pixelOffset + rowBytes * uint64_t(height);
}

bool FitsInMemoryLimit(int64_t width, int64_t height)
{
    return width > 0 && height > 0 && uint64_t(width) * uint64_t(height) * 4u <= kMaxPictureBytes;
}

uint64_t DecodedBytes(int64_t width, int64_t height, QImage::Format format)
{
    if (width <= 0 || height <= 0)
        return 0;
    const uint64_t pixels = uint64_t(width) * uint64_t(height);
    const QPixelFormat layout = QImage::toPixelFormat(format);
    // An unknown format is taken as 32 bits (what most decoders give).
    const uint64_t bits = format == QImage::Format_Invalid ? 32 : layout.bitsPerPixel();
    const uint64_t decoded = (pixels * bits + 7) / 8;
    return bits == 32 ? decoded : decoded + pixels * 4;
}

bool DecodeFits(int64_t width, int64_t height, QImage::Format format, uint64_t byteLimit)
{
    return width > 0 && height > 0 && FitsInMemoryLimit(width, height)
        && DecodedBytes(width, height, format) <= byteLimit;
}

} // namespace lumavo
