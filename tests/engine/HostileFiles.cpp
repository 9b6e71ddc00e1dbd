#include "HostileFiles.h"

#include "PictureHeaders.h"

#include <QBuffer>
#include <QFile>
#include <QImageWriter>
#include <QtEndian>

#include <vector>
#include <zlib.h>

namespace lumavo::test {

namespace {

QByteArray PngStart(uint32_t width, uint32_t height, int bitDepth, int colourType)
{
    QByteArray header(13, '\0');
    qToBigEndian<quint32>(width, header.data());
    qToBigEndian<quint32>(height, header.data() + 4);
    header[8] = char(bitDepth);
    header[9] = char(colourType);
    return QByteArray("\x89PNG\r\n\x1a\n") + PngChunk("IHDR", header);
}

int SamplesPerPixel(int colourType)
{
    switch (colourType) {
    case 2:
        return 3;
    case 4:
        return 2;
    case 6:
        return 4;
    default:
        return 1;
    }
}

} // namespace

QByteArray PngChunk(const QByteArray& type, const QByteArray& body)
{
    QByteArray chunk(4, '\0');
    qToBigEndian<quint32>(quint32(body.size()), chunk.data());
    const QByteArray typed = type + body;
    QByteArray crc(4, '\0');
    qToBigEndian<quint32>(Crc32(typed), crc.data());
    return chunk + typed + crc;
}

QByteArray PngClaimingSize(uint32_t width, uint32_t height, int bitDepth, int colourType)
{
    return PngStart(width, height, bitDepth, colourType) + PngChunk("IDAT", QByteArray::fromHex("789c030000000001"))
        + PngChunk("IEND", {});
}

bool WriteZeroPng(const QString& path, uint32_t width, uint32_t height, int bitDepth, int colourType)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(PngStart(width, height, bitDepth, colourType));
    // One filter byte (none) and the row's zero samples, row after row.
    const size_t rowBytes = 1 + (size_t(width) * SamplesPerPixel(colourType) * size_t(bitDepth) + 7) / 8;
    const std::vector<Bytef> row(rowBytes, 0);
    z_stream stream {};
    if (deflateInit(&stream, 1) != Z_OK)
        return false;
    QByteArray compressed;
    std::vector<Bytef> out(1 << 16);
    for (uint32_t y = 0; y < height; ++y) {
        stream.next_in = const_cast<Bytef*>(row.data());
        stream.avail_in = uInt(rowBytes);
        const int flush = y + 1 == height ? Z_FINISH : Z_NO_FLUSH;
        do {
            stream.next_out = out.data();
            stream.avail_out = uInt(out.size());
            deflate(&stream, flush);
            compressed.append(reinterpret_cast<const char*>(out.data()), qsizetype(out.size() - stream.avail_out));
        } while (stream.avail_out == 0);
    }
    deflateEnd(&stream);
    file.write(PngChunk("IDAT", compressed));
    file.write(PngChunk("IEND", {}));
    return file.flush() && file.error() == QFileDevice::NoError;
}

QByteArray PngWithNoisyChunks(const QImage& image)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "png").write(image);
    // After the header (8 bytes of signature, 25 of IHDR).
    QByteArray badText = PngChunk("tEXt", QByteArray("Comment\0hello", 13));
    badText[badText.size() - 1] = char(badText[badText.size() - 1] ^ 1);
    png.insert(33, PngChunk("iCCP", QByteArray("bad\0\0\x78\x9c\x03\x00", 9)) + badText);
    return png;
}

QByteArray TiffWithUnknownTag(int width, int height, uint8_t grey)
{
    const QByteArray pixels(qsizetype(width) * height * 3, char(grey));
    struct Entry {
        quint16 tag;
        quint16 type; // 3 short, 4 long
        quint32 value;
    };
    const quint32 pixelsAt = 8;
    const Entry entries[] = {
        { 256, 3, quint32(width) },
        { 257, 3, quint32(height) },
        { 258, 3, 8 },
        { 259, 3, 1 },
        { 262, 3, 2 },
        { 273, 4, pixelsAt },
        { 277, 3, 3 },
        { 278, 3, quint32(height) },
        { 279, 4, quint32(pixels.size()) },
        { 284, 3, 1 },
        { 65000, 3, 7 },
    };
    QByteArray tiff("II*\0", 4);
    QByteArray word(4, '\0');
    qToLittleEndian<quint32>(pixelsAt + quint32(pixels.size()), word.data());
    tiff += word + pixels;
    QByteArray count(2, '\0');
    qToLittleEndian<quint16>(quint16(std::size(entries)), count.data());
    tiff += count;
    for (const Entry& e : entries) {
        QByteArray field(12, '\0');
        qToLittleEndian<quint16>(e.tag, field.data());
        qToLittleEndian<quint16>(e.type, field.data() + 2);
        qToLittleEndian<quint32>(1, field.data() + 4);
        if (e.type == 3)
            qToLittleEndian<quint16>(quint16(e.value), field.data() + 8);
        else
            qToLittleEndian<quint32>(e.value, field.data() + 8);
        tiff += field;
    }
    return tiff + QByteArray(4, '\0');
}

} // namespace lumavo::test
