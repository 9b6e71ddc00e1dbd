#include "imaging/PictureChecks.h"

#include "platform/DiskPath.h"

#include <QByteArray>
#include <QFile>
#include <QImageReader>

#include <algorithm>
#include <iterator>
#include <cstdlib>
#include <cstring>

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

// A JPEG cut short still decodes (the decoder pads the missing rows with
// grey and only warns), so a photo without its end-of-image marker is refused
// here. The file is walked as the decoder walks it, segment by segment and
// through each scan's data (where 0xFF is followed only by 0x00, fill or a
// restart marker), up to the first end marker: phones append videos and
// further pictures after it, which the decoder never reads.
bool JpegLooksComplete(const QString& path)
{
    QFile file;
    if (OpenForReading(file, path) != OpenError::None)
        return false;
    qint64 size = file.size();
    QByteArray copy;
    const uchar* data = size > 0 ? file.map(0, size) : nullptr;
    if (!data) {
        copy = file.readAll();
        data = reinterpret_cast<const uchar*>(copy.constData());
        size = copy.size();
    }
    const uchar* const end = data + size;
    if (end - data < 2 || data[0] != 0xFF || data[1] != 0xD8)
        return false;

    const uchar* at = data + 2;
    for (;;) {
        // The next marker; stray bytes before it are skipped, as the decoder does.
        at = static_cast<const uchar*>(std::memchr(at, 0xFF, size_t(end - at)));
        if (!at)
            return false;
        while (at < end && *at == 0xFF)
            ++at;
        if (at == end)
            return false;
        const uchar marker = *at++;
        if (marker == 0xD9)
            return true;
        if (marker == 0x00 || marker == 0x01 || marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7))
            continue; // no length follows
        if (end - at < 2)
            return false;
        const qint64 length = qint64(at[0]) << 8 | at[1];
        if (length < 2 || end - at < length)
            return false;
        at += length;
        if (marker != 0xDA)
            continue;
        // A scan's data runs to the first marker other than a restart.
        for (;;) {
            at = static_cast<const uchar*>(std::memchr(at, 0xFF, size_t(end - at)));
            if (!at || end - at < 2)
                return false;
            const uchar next = at[1];
            if (next == 0x00 || next == 0xFF || (next >= 0xD0 && next <= 0xD7)) {
                at += next == 0xFF ? 1 : 2;
                continue;
            }
            break;
        }
    }
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
        if (head.size() < 34 || std::find(std::begin(kHeaderSizes), std::end(kHeaderSizes), infoSize) == std::end(kHeaderSizes))
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

} // namespace lumavo
