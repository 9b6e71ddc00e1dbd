#include "PictureHeaders.h"
#include "TestUtils.h"
#include "imaging/PhotoImage.h"

#include <QBuffer>
#include <QDir>
#include <QImageWriter>
#include <QtEndian>

#include <gtest/gtest.h>

namespace lumavo {
namespace {

using test::ReadFile;
using test::Sandbox;

QByteArray Encode(const QImage& image, const char* format, int dpi = 300)
{
    QImage tagged = image;
    tagged.setDotsPerMeterX(DotsPerMeter(float(dpi)));
    tagged.setDotsPerMeterY(DotsPerMeter(float(dpi)));
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    EXPECT_TRUE(writer.write(tagged)) << format;
    return buffer.data();
}

QByteArray PngChunk(const QByteArray& type, const QByteArray& body)
{
    QByteArray chunk(4, '\0');
    qToBigEndian<quint32>(quint32(body.size()), chunk.data());
    const QByteArray typed = type + body;
    QByteArray crc(4, '\0');
    qToBigEndian<quint32>(test::Crc32(typed), crc.data());
    return chunk + typed + crc;
}

// A PNG file whose header claims the size, with a token of pixel data.
QByteArray PngClaimingSize(quint32 width, quint32 height)
{
    QByteArray header(13, '\0');
    qToBigEndian<quint32>(width, header.data());
    qToBigEndian<quint32>(height, header.data() + 4);
    header[8] = 8; // bit depth
    header[9] = 6; // RGBA
    return QByteArray("\x89PNG\r\n\x1a\n") + PngChunk("IHDR", header)
        + PngChunk("IDAT", QByteArray::fromHex("789c030000000001")) + PngChunk("IEND", {});
}

// A 24-bit BMP header claiming the size, followed by a few bytes of pixels.
QByteArray BmpClaimingSize(qint32 width, qint32 height)
{
    QByteArray bmp(54, '\0');
    bmp[0] = 'B';
    bmp[1] = 'M';
    qToLittleEndian<quint32>(54 + 64, bmp.data() + 2);
    qToLittleEndian<quint32>(54, bmp.data() + 10);
    qToLittleEndian<quint32>(40, bmp.data() + 14);
    qToLittleEndian<qint32>(width, bmp.data() + 18);
    qToLittleEndian<qint32>(height, bmp.data() + 22);
    qToLittleEndian<quint16>(1, bmp.data() + 26);
    qToLittleEndian<quint16>(24, bmp.data() + 28);
    return bmp + QByteArray(64, '\x7f');
}

void ExpectRefused(const QString& path, const char* what)
{
    const auto picture = PhotoImage::FromFile(path);
    ASSERT_NE(picture, nullptr) << what;
    EXPECT_NE(picture->lastStatus(), Ok) << what;
    EXPECT_TRUE(picture->IsNull()) << what;
    EXPECT_EQ(picture->Width(), 0u) << what;
}

TEST(PictureLoading, DecodersKeepTheirFormatAndResolution)
{
    Sandbox box;
    const QImage photo = test::MakeTestPhoto(90, 60);
    QImage withAlpha = photo.convertToFormat(QImage::Format_ARGB32);
    withAlpha.setPixel(5, 5, 0x40FF0000u);

    const struct {
        const char* name;
        QImage image;
        const char* format;
        PixelFormat expected;
    } cases[] = {
        { "photo.jpg", photo, "jpeg", PixelFormat24bppRGB },
        { "grey.jpg", photo.convertToFormat(QImage::Format_Grayscale8), "jpeg", PixelFormat8bppIndexed },
        { "photo.png", photo, "png", PixelFormat24bppRGB },
        { "alpha.png", withAlpha, "png", PixelFormat32bppARGB },
        { "palette.png", photo.convertToFormat(QImage::Format_Indexed8), "png", PixelFormat8bppIndexed },
        { "photo.bmp", photo, "bmp", PixelFormat24bppRGB },
        { "palette.bmp", photo.convertToFormat(QImage::Format_Indexed8), "bmp", PixelFormat8bppIndexed },
        { "photo.tif", photo, "tiff", PixelFormat24bppRGB },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(test::WriteFile(box.File(c.name), Encode(c.image, c.format)));
        auto picture = PhotoImage::FromFile(box.File(c.name));
        ASSERT_EQ(picture->TakeStatus(), Ok);
        EXPECT_EQ(picture->Width(), 90u);
        EXPECT_EQ(picture->Height(), 60u);
        EXPECT_EQ(picture->Format(), c.expected);
        EXPECT_EQ(picture->HorizontalResolution(), 300.0f);
        EXPECT_EQ(picture->VerticalResolution(), 300.0f);
    }
    EXPECT_EQ(PhotoImage::FromFile(box.File("alpha.png"))->image().pixel(5, 5), 0x40FF0000u);
}

TEST(PictureLoading, TemplatePicturesLoadByContentWhateverTheirName)
{
    Sandbox box;
    const QImage background = test::MakeTestPhoto(70, 100);
    QImage foreground(70, 100, QImage::Format_ARGB32);
    foreground.fill(0x00000000u);
    foreground.setPixel(1, 1, 0xFF112233u);
    ASSERT_TRUE(test::WriteFile(box.File("bs.lmv"), Encode(background, "jpeg")));
    ASSERT_TRUE(test::WriteFile(box.File("fs.lmv"), Encode(foreground, "png")));
    ASSERT_TRUE(test::WriteFile(box.File("really-a-png.jpg"), Encode(background, "png")));

    const auto bs = PhotoImage::FromFile(box.File("bs.lmv"));
    ASSERT_EQ(bs->lastStatus(), Ok);
    EXPECT_EQ(bs->Width(), 70u);
    EXPECT_TRUE(test::FuzzyEqual(bs->image(), background, 64, 2.5));

    const auto fs = PhotoImage::FromFile(box.File("fs.lmv"));
    ASSERT_EQ(fs->lastStatus(), Ok);
    EXPECT_EQ(fs->Format(), PixelFormat32bppARGB);
    EXPECT_EQ(fs->image().pixel(1, 1), 0xFF112233u);
    EXPECT_EQ(qAlpha(fs->image().pixel(2, 2)), 0);

    const auto misnamed = PhotoImage::FromFile(box.File("really-a-png.jpg"));
    ASSERT_EQ(misnamed->lastStatus(), Ok);
    EXPECT_TRUE(test::FuzzyEqual(misnamed->image(), background, 0, 0.0));
}

TEST(PictureLoading, UnreadableFilesAreRefused)
{
    Sandbox box;
    const QImage photo = test::MakeTestPhoto(200, 150);
    const QByteArray jpeg = Encode(photo, "jpeg");
    const QByteArray png = Encode(photo, "png");
    const QByteArray bmp = Encode(photo, "bmp");
    const QByteArray tiff = Encode(photo, "tiff");

    EXPECT_EQ(PhotoImage::FromFile(box.File("missing.jpg"))->lastStatus(), FileNotFound);
    EXPECT_EQ(PhotoImage::FromFile(QString())->lastStatus(), FileNotFound);
    ExpectRefused(box.path(), "a folder");

    QByteArray corruptPng = png;
    corruptPng[corruptPng.indexOf("IDAT") + 40] = char(corruptPng[corruptPng.indexOf("IDAT") + 40] ^ 0x5A);
    QByteArray garbledJpeg = jpeg;
    for (qsizetype i = 2; i < 200; ++i)
        garbledJpeg[i] = char((i * 89) & 0xFF); // the tables are gone, the end marker stays

    const struct {
        const char* name;
        QByteArray bytes;
    } files[] = {
        { "empty.png", {} },
        { "notes.jpg", "This is a note, not a picture.\r\n" },
        { "half.jpg", jpeg.left(jpeg.size() / 2) },
        { "nearly.jpg", jpeg.left(jpeg.size() - 2) },
        { "half.png", png.left(png.size() / 2) },
        { "headless.png", png.left(40) },
        { "half.bmp", bmp.left(bmp.size() / 2) },
        { "half.tif", tiff.left(tiff.size() / 2) },
        { "badcrc.png", corruptPng },
        { "garbled.jpg", garbledJpeg },
        { "bs.lmv", QByteArray(4096, '\xFF') },
        // 36 bytes whose odd header claims a 10799 x 22560 picture with an
        // unknown compression: the decoder would hand back a gigabyte of
        // pixels it never read.
        { "claims.bmp", QByteArray::fromHex("424d7a41000000000000360010000c0008002f2a205801001800000000004470655fc882") },
    };
    for (const auto& f : files) {
        ASSERT_TRUE(test::WriteFile(box.File(f.name), f.bytes));
        ExpectRefused(box.File(f.name), f.name);
    }
}

TEST(PictureLoading, JpegsWithDataAfterTheirEndLoad)
{
    // Phones append a video or a second picture after the end marker; the
    // picture itself is whole and must load, while a cut-short one must not.
    Sandbox box;
    const QImage photo = test::MakeTestPhoto(120, 80);
    const QByteArray jpeg = Encode(photo, "jpeg");
    QByteArray progressive;
    {
        QBuffer buffer(&progressive);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "jpeg");
        writer.setProgressiveScanWrite(true);
        ASSERT_TRUE(writer.write(photo));
    }
    const QByteArray video = QByteArray::fromHex("00000018") + "ftypmp42" + QByteArray::fromHex("FFDA0008")
        + QByteArray(3000, '\x5A') + QByteArray::fromHex("FFD8FFDA");

    ASSERT_TRUE(test::WriteFile(box.File("motion.jpg"), jpeg + video));
    ASSERT_TRUE(test::WriteFile(box.File("progressive.jpg"), progressive + video));
    for (const char* name : { "motion.jpg", "progressive.jpg" }) {
        const auto picture = PhotoImage::FromFile(box.File(name));
        EXPECT_EQ(picture->lastStatus(), Ok) << name;
        EXPECT_EQ(picture->Width(), 120u) << name;
    }

    // A progressive file cut between its scans still ends in a marker-free tail.
    const qsizetype lastScan = progressive.lastIndexOf("\xFF\xDA");
    ASSERT_GT(lastScan, 0);
    ASSERT_TRUE(test::WriteFile(box.File("cut.jpg"), progressive.left(lastScan) + video));
    ExpectRefused(box.File("cut.jpg"), "cut.jpg");
    ASSERT_TRUE(test::WriteFile(box.File("cut-early.jpg"), progressive.left(lastScan - 1)));
    ExpectRefused(box.File("cut-early.jpg"), "cut-early.jpg");
}

TEST(PictureLoading, HugeHeadersAreRefusedBeforeDecoding)
{
    Sandbox box;
    ASSERT_TRUE(test::WriteFile(box.File("huge.png"), PngClaimingSize(70000, 70000)));
    ASSERT_TRUE(test::WriteFile(box.File("huge.bmp"), BmpClaimingSize(70000, 70000)));
    ASSERT_TRUE(test::WriteFile(box.File("wide.png"), PngClaimingSize(0x7FFFFFFF, 1)));
    // Our own limit (width x height x 4 within 32 bits) answers "out of memory".
    const auto png = PhotoImage::FromFile(box.File("huge.png"));
    EXPECT_EQ(png->lastStatus(), OutOfMemory);
    EXPECT_TRUE(png->IsNull());
    // The decoders refuse these headers themselves.
    ExpectRefused(box.File("huge.bmp"), "huge.bmp");
    ExpectRefused(box.File("wide.png"), "wide.png");
}

TEST(PictureLoading, HundredMegapixelPhotoLoads)
{
    Sandbox box;
    const QString path = box.File("large.jpg");
    {
        // Simple content keeps this quick: horizontal bands.
        QImage large(12000, 8400, QImage::Format_RGB32);
        ASSERT_FALSE(large.isNull());
        for (int y = 0; y < large.height(); ++y) {
            const QRgb colour = qRgb((y / 700) * 20, 128, 255 - (y / 700) * 20);
            std::fill_n(reinterpret_cast<QRgb*>(large.scanLine(y)), large.width(), colour);
        }
        QImageWriter writer(path, "jpeg");
        writer.setQuality(50);
        ASSERT_TRUE(writer.write(large));
    }
    const auto picture = PhotoImage::FromFile(path);
    ASSERT_EQ(picture->lastStatus(), Ok);
    EXPECT_EQ(picture->Width(), 12000u);
    EXPECT_EQ(picture->Height(), 8400u);
    EXPECT_EQ(picture->Format(), PixelFormat24bppRGB);
    const QRgb far = picture->image().pixel(11990, 8390);
    EXPECT_NEAR(qRed(far), 220, 3);
    EXPECT_NEAR(qBlue(far), 35, 3);
}

} // namespace
} // namespace lumavo
