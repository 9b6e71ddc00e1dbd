#include "HostileFiles.h"
#include "JpegWriter.h"
#include "PictureHeaders.h"
#include "TestUtils.h"
#include "imaging/PhotoImage.h"
#include "imaging/ScaledLoad.h"
#include "templates/TemplateFolder.h"

#include <QBuffer>
#include <QDir>
#include <QImageWriter>
#include <QtEndian>

#include <gtest/gtest.h>

namespace lumavo {
namespace {

using test::PngClaimingSize;
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
        { "claims.bmp",
            QByteArray::fromHex("424d7a41000000000000360010000c0008002f2a205801001800000000004470655fc882") },
    };
    for (const auto& f : files) {
        ASSERT_TRUE(test::WriteFile(box.File(f.name), f.bytes));
        ExpectRefused(box.File(f.name), f.name);
    }
}

// The file with its end-of-image marker (the last two bytes) taken away.
QByteArray WithoutEndMarker(const QByteArray& jpeg)
{
    EXPECT_TRUE(jpeg.endsWith("\xFF\xD9"));
    return jpeg.left(jpeg.size() - 2);
}

TEST(PictureLoading, CameraJpegsLoadWhateverSurroundsTheirData)
{
    // What cameras, phones and editors write around a whole picture: none
    // of it may refuse the photo.
    Sandbox box;
    const QImage photo = test::MakeDetailedPhoto(240, 176, 3);
    const QByteArray video = QByteArray::fromHex("00000018") + "ftypmp42" + QByteArray::fromHex("FFDA0008")
        + QByteArray(3000, '\x5A') + QByteArray::fromHex("FFD8FFDA");
    const QByteArray exif = QByteArray("Exif\0\0", 6) + QByteArray(2000, '\x11');
    const QByteArray icc = QByteArray("ICC_PROFILE\0\x01\x01", 14) + QByteArray(500, '\x7F');
    const QByteArray plain = test::WriteJpeg(photo);
    const QByteArray progressive = test::WriteJpeg(photo, { .progressive = true });
    const QByteArray restarts = test::WriteJpeg(photo, { .restartRows = 1 });
    QByteArray padded = plain;
    padded.insert(padded.size() - 2, QByteArray(3, '\0')); // padding before the end marker

    const struct {
        const char* name;
        QByteArray bytes;
    } files[] = {
        { "video-after-end.jpg", plain + video },
        { "progressive-video.jpg", progressive + video },
        { "restarts.jpg", restarts },
        { "progressive-restarts.jpg", test::WriteJpeg(photo, { .progressive = true, .restartRows = 2 }) },
        { "segments.jpg", test::WriteJpeg(photo, { .segments = { { 0xE1, exif }, { 0xE2, icc }, { 0xED, "8BIM" } } }) },
        { "padded.jpg", padded },
        { "cmyk.jpg", test::WriteJpeg(photo, { .cmyk = true }) },
        // Scan data complete, end marker missing.
        { "no-end.jpg", WithoutEndMarker(plain) },
        { "progressive-no-end.jpg", WithoutEndMarker(progressive) },
        { "restarts-no-end.jpg", WithoutEndMarker(restarts) },
    };
    for (const auto& f : files) {
        SCOPED_TRACE(f.name);
        ASSERT_TRUE(test::WriteFile(box.File(f.name), f.bytes));
        const auto picture = PhotoImage::FromFile(box.File(f.name));
        ASSERT_EQ(picture->lastStatus(), Ok);
        EXPECT_EQ(picture->Format(), PixelFormat24bppRGB);
        EXPECT_TRUE(test::FuzzyEqual(picture->image(), photo, 96, 4.0));
    }
    // Without its end marker a file gives exactly the pixels it gives with it.
    ASSERT_TRUE(test::WriteFile(box.File("plain.jpg"), plain));
    EXPECT_EQ(
        PhotoImage::FromFile(box.File("no-end.jpg"))->image(), PhotoImage::FromFile(box.File("plain.jpg"))->image());
}

TEST(PictureLoading, JpegsWhoseDataEndsEarlyAreRefused)
{
    // However the file ends, a picture whose data runs out before its last
    // row would come out with grey or garbled rows: refused, at full size
    // and when decoded reduced.
    Sandbox box;
    const QImage photo = test::MakeDetailedPhoto(320, 240, 5);
    const QByteArray plain = test::WriteJpeg(photo);
    const QByteArray progressive = test::WriteJpeg(photo, { .progressive = true });
    const QByteArray restarts = test::WriteJpeg(photo, { .restartRows = 1 });
    const QByteArray end = QByteArray::fromHex("FFD9");
    QByteArray zeroed = plain;
    zeroed.replace(plain.size() / 3, 600, QByteArray(600, '\0'));
    const qsizetype lastScan = progressive.lastIndexOf("\xFF\xDA");
    ASSERT_GT(lastScan, 0);
    // A tiny file whose header claims 30000 x 30000 pixels.
    QByteArray claims = plain.left(1600) + end;
    const qsizetype frame = claims.indexOf("\xFF\xC0");
    ASSERT_GT(frame, 0);
    claims.replace(frame + 5, 4, QByteArray::fromHex("75307530"));

    const struct {
        const char* name;
        QByteArray bytes;
    } files[] = {
        { "half.jpg", plain.left(plain.size() / 2) },
        { "half-end.jpg", plain.left(plain.size() / 2) + end },
        { "short-by-a-byte.jpg", plain.left(plain.size() - 3) },
        { "zeroed.jpg", zeroed },
        { "claims.jpg", claims },
        { "restarts-half-end.jpg", restarts.left(restarts.size() / 2) + end },
        { "progressive-half-end.jpg", progressive.left(progressive.size() / 2) + end },
        // Cut between two scans: the last refinement never came.
        { "progressive-between.jpg", progressive.left(lastScan) },
        { "progressive-between-end.jpg", progressive.left(lastScan) + end },
    };
    for (const auto& f : files) {
        ASSERT_TRUE(test::WriteFile(box.File(f.name), f.bytes));
        ExpectRefused(box.File(f.name), f.name);
        EXPECT_NE(LoadForDrawing(box.File(f.name), 60, 45).picture->lastStatus(), Ok) << f.name;
    }
}

TEST(PictureLoading, HugeHeadersAreRefusedBeforeDecoding)
{
    Sandbox box;
    ASSERT_TRUE(test::WriteFile(box.File("huge.png"), PngClaimingSize(70000, 70000)));
    ASSERT_TRUE(test::WriteFile(box.File("huge.bmp"), BmpClaimingSize(70000, 70000)));
    ASSERT_TRUE(test::WriteFile(box.File("wide.png"), PngClaimingSize(0x7FFFFFFF, 1)));
    // Our own limit answers "out of memory", counting the bytes the decoder
    // really gives: a 16-bit RGBA pixel takes 8 of them, and drawing it a
    // 32-bit copy besides.
    ASSERT_TRUE(test::WriteFile(box.File("deep.png"), PngClaimingSize(15000, 15000, 16, 6)));
    for (const char* name : { "huge.png", "deep.png" }) {
        const auto png = PhotoImage::FromFile(box.File(name));
        EXPECT_EQ(png->lastStatus(), OutOfMemory) << name;
        EXPECT_TRUE(png->IsNull()) << name;
    }
    // Template pictures have a tighter limit of their own.
    ASSERT_TRUE(test::WriteFile(box.File("template.png"), PngClaimingSize(9000, 9000, 8, 6)));
    EXPECT_EQ(PhotoImage::FromFile(box.File("template.png"), kMaxTemplatePictureBytes)->lastStatus(), OutOfMemory);
    EXPECT_EQ(PhotoImage::FromFile(box.File("template.png"))->lastStatus(), GenericError);
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
