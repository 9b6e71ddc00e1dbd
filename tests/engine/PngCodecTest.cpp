#include "imaging/PngCodec.h"

#include "imaging/ImageFiles.h"
#include "imaging/PhotoImage.h"

#include <QBuffer>
#include <QImageReader>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>

namespace lumavo {
namespace {

// Soft light under strong grain, the hard case for a compressor.
QImage GrainyPicture(int width, int height, uint32_t seed)
{
    QImage image(width, height, QImage::Format_RGB32);
    std::mt19937 random(seed);
    std::normal_distribution<double> grain(0.0, 6.0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const auto level = [&](double base) { return std::clamp(int(base + grain(random)), 0, 255); };
            image.setPixel(x, y, qRgb(level(40 + 180.0 * x / width), level(200 - 150.0 * y / height), level(128)));
        }
    return image;
}

QByteArray Encode(const QImage& image)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(WritePng24(image, buffer));
    return buffer.data();
}

QImage ReadWithQt(const QByteArray& file)
{
    QBuffer buffer;
    buffer.setData(file);
    QImageReader reader(&buffer, "png");
    return reader.read().convertToFormat(QImage::Format_RGB32);
}

// The checksum PNG chunks carry, bit by bit (an independent reference).
uint32_t Crc32(const char* data, qsizetype length)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (qsizetype i = 0; i < length; ++i) {
        crc ^= uchar(data[i]);
        for (int bit = 0; bit < 8; ++bit)
            crc = crc & 1 ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    return ~crc;
}

// Offset of the first chunk of the given type, or -1.
qsizetype FindChunk(const QByteArray& file, const char* type, int skip = 0)
{
    for (qsizetype at = 8; at + 12 <= file.size();) {
        const auto* p = reinterpret_cast<const uchar*>(file.constData() + at);
        const qsizetype length = qsizetype(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
        if (std::memcmp(p + 4, type, 4) == 0 && skip-- == 0)
            return at;
        at += 12 + length;
    }
    return -1;
}

// Our files read back exactly, by our reader and by the standard one, at
// sizes from one row (one band) to many bands with rows of odd length;
// alpha is dropped and the resolution kept.
TEST(PngCodecTest, RoundTripIsExactForOurReaderAndTheStandardOne)
{
    for (const QSize size : { QSize(1, 1), QSize(7, 3), QSize(301, 17), QSize(1203, 517) }) {
        SCOPED_TRACE(size.width());
        QImage picture = GrainyPicture(size.width(), size.height(), uint32_t(size.width()));
        picture.setDotsPerMeterX(13780); // 350 dpi
        picture.setDotsPerMeterY(11811); // 300 dpi
        const QByteArray file = Encode(picture);
        const QImage ours = ReadPng24(file);
        ASSERT_FALSE(ours.isNull());
        EXPECT_EQ(ours.format(), QImage::Format_RGB32);
        EXPECT_EQ(ours, picture);
        EXPECT_EQ(ours.dotsPerMeterX(), 13780);
        EXPECT_EQ(ours.dotsPerMeterY(), 11811);
        const QImage standard = ReadWithQt(file);
        EXPECT_EQ(standard, picture);
        EXPECT_EQ(standard.dotsPerMeterX(), 13780);
    }
    // Straight alpha is dropped, the colours stay; premultiplied pictures are
    // not taken (the caller converts them).
    QImage faded = GrainyPicture(64, 40, 3).convertToFormat(QImage::Format_ARGB32);
    for (int x = 0; x < 64; ++x)
        faded.setPixel(x, 5, qRgba(10, 20, 30, x));
    const QImage back = ReadPng24(Encode(faded));
    ASSERT_FALSE(back.isNull());
    EXPECT_EQ(back.pixel(33, 5), qRgb(10, 20, 30));
    EXPECT_EQ(back, faded.convertToFormat(QImage::Format_RGB32).copy());
    QBuffer sink;
    sink.open(QIODevice::WriteOnly);
    EXPECT_FALSE(WritePng24(faded.convertToFormat(QImage::Format_ARGB32_Premultiplied), sink));
    EXPECT_FALSE(WritePng24(QImage(), sink));
}

// Any damage makes our reader decline, so the standard reader decides; a
// file of another make is declined as well.
TEST(PngCodecTest, DamagedOrForeignFilesAreDeclined)
{
    const QImage picture = GrainyPicture(400, 300, 9);
    const QByteArray file = Encode(picture);
    ASSERT_FALSE(ReadPng24(file).isNull());

    // A flipped bit in the middle band's data: its chunk checksum fails.
    const qsizetype middle = FindChunk(file, "IDAT", 8);
    ASSERT_GT(middle, 0);
    QByteArray damaged = file;
    damaged[middle + 20] = char(damaged[middle + 20] ^ 0x10);
    EXPECT_TRUE(ReadPng24(damaged).isNull());
    // Cut short anywhere.
    EXPECT_TRUE(ReadPng24(file.left(file.size() - 13)).isNull());
    EXPECT_TRUE(ReadPng24(file.left(middle + 40)).isNull());
    // The band record no longer matches the data (its checksum made right):
    // a band's rows moved to the next one.
    const qsizetype bands = FindChunk(file, "luMS");
    ASSERT_GT(bands, 0);
    QByteArray moved = file;
    auto* record = reinterpret_cast<uchar*>(moved.data() + bands + 8);
    record[5 + 3] -= 1; // first band one row shorter
    record[5 + 12 + 3] += 1; // second band one row longer
    const qsizetype length = 5 + 16 * 12;
    qToBigEndian(Crc32(moved.constData() + bands + 4, 4 + length), moved.data() + bands + 8 + length);
    EXPECT_TRUE(ReadPng24(moved).isNull());
    // The same edit with the record's checksum left wrong is declined too,
    // and an untouched copy with the checksum recomputed still reads.
    QByteArray same = file;
    qToBigEndian(Crc32(same.constData() + bands + 4, 4 + length), same.data() + bands + 8 + length);
    EXPECT_EQ(same, file);

    // Qt's own PNG (no band record), a JPEG, nothing.
    QBuffer qtFile;
    qtFile.open(QIODevice::WriteOnly);
    ASSERT_TRUE(picture.save(&qtFile, "png"));
    EXPECT_TRUE(ReadPng24(qtFile.data()).isNull());
    QBuffer jpeg;
    jpeg.open(QIODevice::WriteOnly);
    ASSERT_TRUE(picture.save(&jpeg, "jpeg"));
    EXPECT_TRUE(ReadPng24(jpeg.data()).isNull());
    EXPECT_TRUE(ReadPng24(QByteArray()).isNull());
}

// Saving a PNG through the engine and loading it: exact, the loader takes
// the quick path, and a damaged file is refused with a status, not loaded
// with garbage.
TEST(PngCodecTest, EngineSavesAndLoadsThroughIt)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("photo.png"));
    const QImage picture = GrainyPicture(640, 480, 4);
    auto saved = PhotoImage::Adopt(picture);
    ASSERT_EQ(SaveImage(saved, path, 100), Ok);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    file.close();
    EXPECT_GT(FindChunk(bytes, "luMS"), 0);
    const auto loaded = PhotoImage::FromFile(path);
    ASSERT_EQ(loaded->lastStatus(), Ok);
    EXPECT_EQ(loaded->Format(), PixelFormat24bppRGB);
    EXPECT_EQ(loaded->image(), picture);

    QByteArray damaged = bytes;
    const qsizetype data = FindChunk(bytes, "IDAT", 3);
    damaged[data + 30] = char(damaged[data + 30] ^ 0xFF);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(damaged);
    file.close();
    EXPECT_NE(PhotoImage::FromFile(path)->lastStatus(), Ok);
}

} // namespace
} // namespace lumavo
