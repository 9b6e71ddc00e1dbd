#include "imaging/ImageFiles.h"

#include "PictureHeaders.h"
#include "TestUtils.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace lumavo {
namespace {

using test::ReadFile;
using test::Sandbox;

std::unique_ptr<PhotoImage> MakePicture(int width, int height, QImage::Format format = QImage::Format_RGB32)
{
    QImage image = test::MakeTestPhoto(width, height);
    if (format != image.format())
        image = image.convertToFormat(format);
    auto picture = PhotoImage::Adopt(std::move(image));
    picture->SetResolution(350.0f, 350.0f);
    return picture;
}

QStringList FolderEntries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
}

TEST(ImageEncoderLookup, PicksEncoderByExtensionOrMimeType)
{
    const QList<EncoderInfo>& encoders = InstalledEncoders();
    ASSERT_EQ(encoders.size(), 4);
    EXPECT_EQ(encoders[0].mimeType, "image/bmp");
    EXPECT_EQ(encoders[1].mimeType, "image/jpeg");
    EXPECT_EQ(encoders[1].extensions, "*.JPG;*.JPEG;*.JPE;*.JFIF");
    EXPECT_EQ(encoders[2].mimeType, "image/tiff");
    EXPECT_EQ(encoders[3].mimeType, "image/png");

    const struct {
        const char* text;
        const char* mimeType;
    } cases[] = {
        { "C:/photos/Portrait.JPG", "image/jpeg" },
        { "out/photo.jpeg", "image/jpeg" },
        { "photo.jp", "image/jpeg" }, // the beginning of a listed pattern matches too
        { "photo.JPE", "image/jpeg" },
        { "photo.jfif", "image/jpeg" },
        { "a.b.png", "image/png" },
        { "photo.BMP", "image/bmp" },
        { "photo.dib", "image/bmp" },
        { "scan.tif", "image/tiff" },
        { "scan.TIFF", "image/tiff" },
        { "image/png", "image/png" }, // no "." : compared with the MIME types
        { "IMAGE/JPEG", "image/jpeg" },
        { "出图/照片.Png", "image/png" },
    };
    for (const auto& c : cases) {
        const ImageEncoder encoder(QString::fromUtf8(c.text));
        EXPECT_TRUE(encoder.found()) << c.text;
        EXPECT_EQ(encoder.mimeType(), c.mimeType) << c.text;
        EXPECT_EQ(encoder.quality, 75);
        EXPECT_EQ(encoder.compression, 2);
    }
    EXPECT_EQ(ImageEncoder("x.jpg").format(), "jpeg");
    EXPECT_EQ(ImageEncoder("x.tif").format(), "tiff");
}

TEST(ImageEncoderLookup, NamesWithoutUsableExtensionFindNothing)
{
    // The last "." may stand in a folder name: the key becomes "*.old/photo".
    // A name ending in "." has no extension; "*." would be inside every list.
    for (const char* text : { "out.old/photo", "C:\\out.old\\photo", "photos/portrait", "photo.gif", "photo.jpgx",
             "photo.pn g", "image/gif", "", "photo.jpg.", "photo." }) {
        const ImageEncoder encoder(QString::fromUtf8(text));
        EXPECT_FALSE(encoder.found()) << text;
        EXPECT_TRUE(encoder.mimeType().isEmpty()) << text;
    }
}

TEST(ImageFilesWrite, EachFormatCarriesResolutionAndTwentyFourBitPixels)
{
    Sandbox box;
    const QImage original = test::MakeTestPhoto(120, 80);
    constexpr int kDotsPerMeter = 13780; // 350 dpi

    for (const char* name : { "out.jpg", "out.png", "out.bmp", "out.tif" }) {
        SCOPED_TRACE(name);
        const QString path = box.File(name);
        auto picture = MakePicture(120, 80);
        ASSERT_EQ(picture->Format(), PixelFormat24bppRGB);
        ASSERT_EQ(SaveImage(picture, path, 90), Ok);
        EXPECT_EQ(picture, nullptr) << "a saved picture is released";

        const QByteArray bytes = ReadFile(path);
        const QString suffix = QFileInfo(path).suffix();
        if (suffix == "jpg") {
            const auto jpeg = test::ParseJpeg(bytes);
            ASSERT_TRUE(jpeg);
            EXPECT_EQ(jpeg->densityUnits, 1);
            EXPECT_EQ(jpeg->densityX, 350);
            EXPECT_EQ(jpeg->densityY, 350);
            EXPECT_EQ(jpeg->components, 3);
            EXPECT_EQ(jpeg->width, 120);
        } else if (suffix == "png") {
            const auto png = test::ParsePng(bytes);
            ASSERT_TRUE(png);
            EXPECT_EQ(png->colourType, 2);
            EXPECT_EQ(png->bitDepth, 8);
            EXPECT_EQ(png->unit, 1);
            EXPECT_EQ(png->pixelsPerUnitX, kDotsPerMeter);
            EXPECT_EQ(png->pixelsPerUnitY, kDotsPerMeter);
        } else if (suffix == "bmp") {
            const auto bmp = test::ParseBmp(bytes);
            ASSERT_TRUE(bmp);
            EXPECT_EQ(bmp->bitsPerPixel, 24);
            EXPECT_EQ(bmp->pelsPerMeterX, kDotsPerMeter);
            EXPECT_EQ(bmp->pelsPerMeterY, kDotsPerMeter);
        } else {
            const auto tiff = test::ParseTiff(bytes);
            ASSERT_TRUE(tiff);
            EXPECT_EQ(tiff->get(259), 5) << "LZW compression";
            EXPECT_EQ(tiff->get(277), 3) << "samples per pixel";
            EXPECT_EQ(tiff->get(258), 8) << "bits per sample";
            EXPECT_EQ(tiff->get(282), 350.0);
            EXPECT_EQ(tiff->get(283), 350.0);
            EXPECT_EQ(tiff->get(296), 2) << "resolution unit: inch";
        }

        const auto loaded = PhotoImage::FromFile(path);
        ASSERT_EQ(loaded->lastStatus(), Ok);
        EXPECT_EQ(loaded->HorizontalResolution(), 350.0f);
        EXPECT_EQ(loaded->VerticalResolution(), 350.0f);
        if (suffix == "jpg")
            EXPECT_TRUE(test::FuzzyEqual(loaded->image(), original, 40, 2.0));
        else
            EXPECT_TRUE(test::FuzzyEqual(loaded->image(), original, 0, 0.0)) << "lossless formats keep every pixel";
    }
}

TEST(ImageFilesWrite, JpegQualityIsPassedAndClamped)
{
    Sandbox box;
    // The DC entry of libjpeg's scaled luminance table: 16 at quality 50,
    // 3 at 90, 1 at 100, and 255 (the baseline maximum) at the lowest quality.
    const struct {
        int quality;
        int firstQuant;
    } cases[] = { { 90, 3 }, { 50, 16 }, { 100, 1 }, { 250, 1 }, { -20, 255 } };
    for (const auto& c : cases) {
        const QString path = box.File(QStringLiteral("q%1.JPG").arg(c.quality));
        auto picture = MakePicture(64, 64);
        ASSERT_EQ(SaveImage(picture, path, c.quality), Ok);
        const auto jpeg = test::ParseJpeg(ReadFile(path));
        ASSERT_TRUE(jpeg);
        EXPECT_EQ(jpeg->firstLumaQuant, c.firstQuant) << "quality " << c.quality;
    }

    // PNG takes no quality: the file is the same whatever is passed.
    auto first = MakePicture(64, 64);
    auto second = MakePicture(64, 64);
    ASSERT_EQ(SaveImage(first, box.File("a.png"), 5), Ok);
    ASSERT_EQ(SaveImage(second, box.File("b.png"), 100), Ok);
    EXPECT_EQ(ReadFile(box.File("a.png")), ReadFile(box.File("b.png")));
}

TEST(ImageFilesWrite, PicturesWithAlphaKeepIt)
{
    Sandbox box;
    auto picture = MakePicture(40, 30, QImage::Format_ARGB32);
    picture->mutableImage().setPixel(0, 0, 0x80102030u);
    ASSERT_EQ(picture->Format(), PixelFormat32bppARGB);
    ImageEncoder png(box.File("alpha.png"));
    ASSERT_EQ(png.Save(*picture, box.File("alpha.png")), Ok);
    ImageEncoder tiff(box.File("alpha.tif"));
    ASSERT_EQ(tiff.Save(*picture, box.File("alpha.tif")), Ok);
    EXPECT_EQ(test::ParsePng(ReadFile(box.File("alpha.png")))->colourType, 6);
    EXPECT_EQ(test::ParseTiff(ReadFile(box.File("alpha.tif")))->get(277), 4);
    EXPECT_EQ(PhotoImage::FromFile(box.File("alpha.png"))->image().pixel(0, 0), 0x80102030u);
}

TEST(ImageFilesReplace, FailedSaveKeepsTheOldFile)
{
    Sandbox box;
    const QByteArray oldBytes("the customer's earlier portrait");

    // The encoder itself fails: JPEG cannot hold a picture 70000 pixels wide.
    const QString jpegPath = box.File("portrait.jpg");
    ASSERT_TRUE(test::WriteFile(jpegPath, oldBytes));
    auto tooWide = PhotoImage::Blank(70000, 1, PixelFormat24bppRGB);
    ASSERT_EQ(tooWide->TakeStatus(), Ok);
    EXPECT_EQ(SaveImage(tooWide, jpegPath, 90), GenericError);
    ASSERT_NE(tooWide, nullptr) << "a failed save keeps the picture";
    EXPECT_EQ(tooWide->lastStatus(), GenericError);
    EXPECT_EQ(ReadFile(jpegPath), oldBytes);
    EXPECT_EQ(FolderEntries(box.path()), QStringList { "portrait.jpg" }) << "no half-written file is left behind";

    // No encoder: status 1, nothing touched.
    ASSERT_TRUE(QDir(box.path()).mkdir("out.old"));
    const QString noExtension = box.File("out.old/photo");
    ASSERT_TRUE(test::WriteFile(noExtension, oldBytes));
    auto picture = MakePicture(32, 32);
    EXPECT_EQ(SaveImage(picture, noExtension, 90), 1);
    EXPECT_NE(picture, nullptr);
    EXPECT_EQ(ReadFile(noExtension), oldBytes);

    // A read-only file is refused, even for a user the system would let write it.
    const QString readOnly = box.File("locked.png");
    ASSERT_TRUE(test::WriteFile(readOnly, oldBytes));
    ASSERT_TRUE(QFile::setPermissions(readOnly, QFileDevice::ReadOwner | QFileDevice::ReadUser));
    EXPECT_EQ(SaveImage(picture, readOnly, 90), AccessDenied);
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->lastStatus(), AccessDenied);
    EXPECT_EQ(ReadFile(readOnly), oldBytes);
    EXPECT_EQ(QFileInfo(readOnly).permissions() & QFileDevice::WriteOwner, 0);

    // A folder standing where the file should go is not replaced either.
    ASSERT_TRUE(QDir(box.path()).mkdir("taken.png"));
    EXPECT_NE(SaveImage(picture, box.File("taken.png"), 90), Ok);
    EXPECT_TRUE(QFileInfo(box.File("taken.png")).isDir());

    // A picture without pixels is refused and recorded.
    auto failed = PhotoImage::FromFile(box.File("missing.png"));
    EXPECT_EQ(ImageEncoder("x.png").Save(*failed, box.File("x.png")), InvalidParameter);
    EXPECT_EQ(failed->lastStatus(), InvalidParameter);
    EXPECT_FALSE(QFileInfo::exists(box.File("x.png")));

    std::unique_ptr<PhotoImage> none;
    EXPECT_EQ(SaveImage(none, box.File("none.png"), 90), 1);
    EXPECT_FALSE(QFileInfo::exists(box.File("none.png")));
}

TEST(ImageFilesReplace, SavingAgainReplacesTheFile)
{
    Sandbox box;
    const QString path = box.File("result.png");
    auto first = MakePicture(50, 40);
    ASSERT_EQ(SaveImage(first, path, 75), Ok);
    auto second = MakePicture(30, 20);
    ASSERT_EQ(SaveImage(second, path, 75), Ok);
    const auto png = test::ParsePng(ReadFile(path));
    ASSERT_TRUE(png);
    EXPECT_EQ(png->width, 30u);
    EXPECT_EQ(png->height, 20u);
    EXPECT_EQ(FolderEntries(box.path()), QStringList { "result.png" });
}

TEST(ImageFilesReplace, UnwritableFolderIsReported)
{
    Sandbox box;
    auto picture = MakePicture(16, 16);
    EXPECT_EQ(SaveImage(picture, box.File("no-such-folder/out.png"), 75), Win32Error);
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->lastStatus(), Win32Error);

    // A plain file where the folder should be.
    ASSERT_TRUE(test::WriteFile(box.File("plain"), "x"));
    EXPECT_EQ(SaveImage(picture, box.File("plain/out.png"), 75), Win32Error);
    EXPECT_EQ(ReadFile(box.File("plain")), "x");

    // A folder without write permission (root may write anyway; then there is nothing to check).
    ASSERT_TRUE(QDir(box.path()).mkdir("closed"));
    QFile::setPermissions(box.File("closed"), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    if (!QFileInfo(box.File("closed")).isWritable()) {
        EXPECT_EQ(SaveImage(picture, box.File("closed/out.png"), 75), AccessDenied);
        EXPECT_TRUE(FolderEntries(box.File("closed")).isEmpty());
    }
    QFile::setPermissions(box.File("closed"), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_NE(picture, nullptr);
}

} // namespace
} // namespace lumavo
