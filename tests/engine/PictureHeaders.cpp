#include "PictureHeaders.h"

#include <array>

namespace lumavo::test {

namespace {

uint32_t Be16(const QByteArray& b, qsizetype at)
{
    return (uint32_t(uchar(b[at])) << 8) | uchar(b[at + 1]);
}

uint32_t Be32(const QByteArray& b, qsizetype at)
{
    return (Be16(b, at) << 16) | Be16(b, at + 2);
}

uint32_t Le16(const QByteArray& b, qsizetype at)
{
    return uint32_t(uchar(b[at])) | (uint32_t(uchar(b[at + 1])) << 8);
}

uint32_t Le32(const QByteArray& b, qsizetype at)
{
    return Le16(b, at) | (Le16(b, at + 2) << 16);
}

} // namespace

std::optional<JpegHeader> ParseJpeg(const QByteArray& b)
{
    if (b.size() < 4 || uchar(b[0]) != 0xFF || uchar(b[1]) != 0xD8)
        return std::nullopt;
    JpegHeader header;
    qsizetype at = 2;
    while (at + 4 <= b.size()) {
        if (uchar(b[at]) != 0xFF)
            return std::nullopt;
        const uchar marker = uchar(b[at + 1]);
        const qsizetype length = Be16(b, at + 2);
        const qsizetype body = at + 4;
        if (body + length - 2 > b.size())
            return std::nullopt;
        if (marker == 0xE0 && length >= 16 && b.mid(body, 5) == QByteArray("JFIF\0", 5)) {
            header.densityUnits = uchar(b[body + 7]);
            header.densityX = int(Be16(b, body + 8));
            header.densityY = int(Be16(b, body + 10));
        } else if (marker == 0xDB && length >= 4 && header.firstLumaQuant < 0) {
            const int precision = uchar(b[body]) >> 4;
            header.firstLumaQuant = precision ? int(Be16(b, body + 1)) : uchar(b[body + 1]);
        } else if (marker >= 0xC0 && marker <= 0xC2 && length >= 8) {
            header.height = int(Be16(b, body + 1));
            header.width = int(Be16(b, body + 3));
            header.components = uchar(b[body + 5]);
        } else if (marker == 0xDA) {
            return header;
        }
        at = body + length - 2;
    }
    return std::nullopt;
}

std::optional<PngHeader> ParsePng(const QByteArray& b)
{
    if (!b.startsWith("\x89PNG\r\n\x1a\n"))
        return std::nullopt;
    PngHeader header;
    bool sawHeader = false;
    qsizetype at = 8;
    while (at + 12 <= b.size()) {
        const qsizetype length = Be32(b, at);
        const QByteArray type = b.mid(at + 4, 4);
        const qsizetype body = at + 8;
        if (body + length + 4 > b.size())
            return std::nullopt;
        if (type == "IHDR" && length >= 13) {
            header.width = Be32(b, body);
            header.height = Be32(b, body + 4);
            header.bitDepth = uchar(b[body + 8]);
            header.colourType = uchar(b[body + 9]);
            sawHeader = true;
        } else if (type == "pHYs" && length >= 9) {
            header.pixelsPerUnitX = Be32(b, body);
            header.pixelsPerUnitY = Be32(b, body + 4);
            header.unit = uchar(b[body + 8]);
        } else if (type == "IDAT" || type == "IEND") {
            break;
        }
        at = body + length + 4;
    }
    return sawHeader ? std::optional<PngHeader>(header) : std::nullopt;
}

std::optional<BmpHeader> ParseBmp(const QByteArray& b)
{
    if (b.size() < 54 || !b.startsWith("BM"))
        return std::nullopt;
    BmpHeader header;
    header.width = int32_t(Le32(b, 18));
    header.height = int32_t(Le32(b, 22));
    header.bitsPerPixel = int(Le16(b, 28));
    header.pelsPerMeterX = int32_t(Le32(b, 38));
    header.pelsPerMeterY = int32_t(Le32(b, 42));
    return header;
}

std::optional<TiffTags> ParseTiff(const QByteArray& b)
{
    if (b.size() < 8)
        return std::nullopt;
    const bool little = b.startsWith("II*");
    if (!little && !b.startsWith("MM\0*"))
        return std::nullopt;
    auto u16 = [&](qsizetype at) { return little ? Le16(b, at) : Be16(b, at); };
    auto u32 = [&](qsizetype at) { return little ? Le32(b, at) : Be32(b, at); };
    const qsizetype ifd = u32(4);
    if (ifd + 2 > b.size())
        return std::nullopt;
    const int count = int(u16(ifd));
    if (ifd + 2 + qsizetype(count) * 12 > b.size())
        return std::nullopt;
    TiffTags tags;
    for (int i = 0; i < count; ++i) {
        const qsizetype entry = ifd + 2 + qsizetype(i) * 12;
        const int tag = int(u16(entry));
        const int type = int(u16(entry + 2));
        const uint32_t values = u32(entry + 4);
        static constexpr std::array<int, 6> sizes = { 0, 1, 1, 2, 4, 8 }; // BYTE ASCII SHORT LONG RATIONAL
        if (type < 1 || type > 5 || values == 0)
            continue;
        const qsizetype at = uint64_t(sizes[type]) * values <= 4 ? entry + 8 : qsizetype(u32(entry + 8));
        if (at + sizes[type] > b.size())
            return std::nullopt;
        switch (type) {
        case 1:
        case 2:
            tags.values[tag] = uchar(b[at]);
            break;
        case 3:
            tags.values[tag] = u16(at);
            break;
        case 4:
            tags.values[tag] = u32(at);
            break;
        case 5:
            tags.values[tag] = u32(at + 4) ? double(u32(at)) / u32(at + 4) : -1.0;
            break;
        }
    }
    return tags;
}

uint32_t Crc32(const QByteArray& bytes)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (const char c : bytes) {
        crc ^= uchar(c);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

} // namespace lumavo::test
