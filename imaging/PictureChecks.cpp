#include "imaging/PictureChecks.h"

#include <QByteArray>
#include <QFile>

#include <algorithm>
#include <cstdlib>

namespace lumavo {

// A JPEG cut short still decodes (the decoder pads the missing rows with
// grey and only warns), so a photo whose end marker is missing is refused
// here. Inside the compressed data a 0xFF byte is always followed by 0x00 or
// a restart marker, so the last end-of-image marker must follow the last
// start-of-scan marker.
bool JpegLooksComplete(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const qint64 tail = std::min<qint64>(file.size(), 256 * 1024);
    if (!file.seek(file.size() - tail))
        return false;
    const QByteArray bytes = file.read(tail);
    qsizetype lastEnd = -1;
    qsizetype lastScan = -1;
    for (qsizetype i = 0; i + 1 < bytes.size(); ++i) {
        if (uchar(bytes[i]) != 0xFF)
            continue;
        const uchar marker = uchar(bytes[i + 1]);
        if (marker == 0xD9)
            lastEnd = i;
        else if (marker == 0xDA)
            lastScan = i;
    }
    return lastEnd >= 0 && lastEnd > lastScan;
}

// Qt's BMP decoder stops at the end of the data and reports success, leaving
// the rows it never read uninitialised, so an uncompressed BMP shorter than
// its header's pixel area is refused here.
bool BmpLooksComplete(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
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
        if (head.size() < 34)
            return false;
        constexpr uint32_t kRgb = 0, kBitFields = 3, kAlphaBitFields = 6;
        const uint32_t compression = u32(30);
        if (compression != kRgb && compression != kBitFields && compression != kAlphaBitFields)
            return true; // run-length data has no size to check against
        width = int32_t(u32(18));
        height = std::abs(int64_t(int32_t(u32(22))));
        bitsPerPixel = u16(28);
    }
    const uint64_t rowBytes = (uint64_t(std::max<int64_t>(width, 0)) * bitsPerPixel + 31) / 32 * 4;
    return uint64_t(file.size()) >= pixelOffset + rowBytes * uint64_t(height);
}

bool FitsInMemoryLimit(int64_t width, int64_t height)
{
    return width > 0 && height > 0 && uint64_t(width) * uint64_t(height) * 4u <= kMaxPictureBytes;
}

} // namespace lumavo
