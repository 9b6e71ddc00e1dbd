#include "imaging/ScaledLoad.h"

#include "TestUtils.h"
#include "imaging/PhotoImage.h"
#include "templates/OutputRender.h"
#include "templates/TemplateFolder.h"

#include <QDir>
#include <QImage>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace lumavo {
namespace {

// How many pixels differ by more than the threshold in some colour channel.
int PixelsDifferingBy(const QImage& a, const QImage& b, int threshold)
{
    int count = 0;
    for (int y = 0; y < std::min(a.height(), b.height()); ++y) {
        for (int x = 0; x < std::min(a.width(), b.width()); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            if (std::abs(qRed(p) - qRed(q)) > threshold || std::abs(qGreen(p) - qGreen(q)) > threshold
                || std::abs(qBlue(p) - qBlue(q)) > threshold)
                ++count;
        }
    }
    return count;
}

TEST(ScaledLoad, ReducesOnlyWhileTwiceTheDrawnSizeRemains)
{
    EXPECT_EQ(ChooseDecodeReduction(QSize(6000, 4000), 375, 250), 8);
    EXPECT_EQ(ChooseDecodeReduction(QSize(6000, 4000), 376, 250), 4);
    EXPECT_EQ(ChooseDecodeReduction(QSize(3000, 2000), 750, 400), 2);
    EXPECT_EQ(ChooseDecodeReduction(QSize(3000, 2000), 751, 400), 1);
    // The tighter direction decides: a tall drawing of a wide photo.
    EXPECT_EQ(ChooseDecodeReduction(QSize(6000, 4000), 100, 900), 2);
    // A placement zoomed down to nothing needs no detail at all.
    EXPECT_EQ(ChooseDecodeReduction(QSize(6000, 4000), 0, -20), 8);
    // Row reduction takes any whole factor, up to 256.
    EXPECT_EQ(ChooseRowReduction(QSize(30000, 30000), 600, 600), 25);
    EXPECT_EQ(ChooseRowReduction(QSize(30000, 30000), 601, 600), 24);
    EXPECT_EQ(ChooseRowReduction(QSize(100000, 90000), 1, 1), 256);
    EXPECT_EQ(ChooseRowReduction(QSize(3, 3), 1, 1), 1);
}

TEST(ScaledLoad, DecodesJpegAndPngSmallerAndEverythingElseAsTheFullLoaderDoes)
{
    test::Sandbox box;
    const QImage source = test::MakeDetailedPhoto(3203, 2401, 7);
    const QString jpeg = box.File("photo.jpg");
    ASSERT_TRUE(source.save(jpeg, "JPEG", 90));
    ASSERT_EQ(ReadPictureSize(jpeg), QSize(3203, 2401));

    // 1/8 leaves 400 x 300, twice the drawn size; the last block column
    // and row are partly outside the picture and still count.
    ScaledPicture loaded = LoadForDrawing(jpeg, 200, 150);
    ASSERT_EQ(loaded.picture->TakeStatus(), Ok);
    EXPECT_EQ(loaded.reduction, 8);
    EXPECT_EQ(loaded.fullSize, QSize(3203, 2401));
    EXPECT_EQ(loaded.picture->image().size(), QSize(401, 301));
    EXPECT_EQ(loaded.picture->Format(), PixelFormat24bppRGB);
    const QImage expected = source.scaled(400, 300, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const test::ImageDifference difference
        = test::CompareImages(loaded.picture->image().copy(0, 0, 400, 300), expected);
    // Block means and area averaging part ways only along one-pixel lines.
    EXPECT_LE(difference.maxChannelDelta, 64);
    EXPECT_LE(difference.meanChannelDelta, 1.0) << difference.meanChannelDelta;

    // Large placements keep the full picture.
    loaded = LoadForDrawing(jpeg, 2000, 1500);
    EXPECT_EQ(loaded.reduction, 1);
    EXPECT_EQ(loaded.picture->image().size(), QSize(3203, 2401));

    // PNG: averaged blocks, as exact as area averaging, transparency weighted.
    const QImage part = source.copy(0, 0, 800, 600);
    QImage withAlpha = part.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < 300; ++y) {
        auto* line = reinterpret_cast<QRgb*>(withAlpha.scanLine(y));
        for (int x = 0; x < 800; ++x)
            line[x] = (line[x] & 0x00FFFFFFu) | (uint32_t((x * 7 + y) % 256) << 24);
    }
    const struct {
        const char* name;
        QImage image;
    } pngs[] = {
        { "rgb.png", part },
        { "alpha.png", withAlpha },
        { "grey16.png", part.convertToFormat(QImage::Format_Grayscale16) },
        { "rgba16.png", withAlpha.convertToFormat(QImage::Format_RGBA64) },
        { "palette.png", part.convertToFormat(QImage::Format_Indexed8) },
    };
    for (const auto& png : pngs) {
        SCOPED_TRACE(png.name);
        const QString path = box.File(png.name);
        ASSERT_TRUE(png.image.save(path, "PNG"));
        loaded = LoadForDrawing(path, 50, 37);
        ASSERT_EQ(loaded.picture->TakeStatus(), Ok);
        EXPECT_EQ(loaded.reduction, 8);
        EXPECT_EQ(loaded.fullSize, QSize(800, 600));
        // Compared as premultiplied values: straight colours of nearly
        // clear pixels are mostly rounding.
        QImage averaged = PhotoImage::FromFile(path)
                              ->image()
                              .convertToFormat(QImage::Format_ARGB32_Premultiplied)
                              .scaled(100, 75, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        QImage reduced = loaded.picture->image().convertToFormat(QImage::Format_ARGB32_Premultiplied);
        averaged.reinterpretAsFormat(QImage::Format_ARGB32);
        reduced.reinterpretAsFormat(QImage::Format_ARGB32);
        EXPECT_TRUE(test::FuzzyEqual(reduced, averaged, 2, 0.5));
    }

    const QString bmp = box.File("photo.bmp");
    ASSERT_TRUE(part.save(bmp, "BMP"));
    loaded = LoadForDrawing(bmp, 100, 75);
    EXPECT_EQ(loaded.picture->TakeStatus(), Ok);
    EXPECT_EQ(loaded.reduction, 1);
    EXPECT_EQ(loaded.picture->image().size(), QSize(800, 600));

    // Failures read as the full loader reports them.
    const QByteArray bytes = test::ReadFile(jpeg);
    const QString cut = box.File("cut.jpg");
    ASSERT_TRUE(test::WriteFile(cut, bytes.left(bytes.size() / 2)));
    EXPECT_EQ(LoadForDrawing(cut, 200, 150).picture->TakeStatus(), PhotoImage::FromFile(cut)->TakeStatus());
    EXPECT_NE(LoadForDrawing(cut, 200, 150).picture->lastStatus(), Ok);
    EXPECT_EQ(LoadForDrawing(box.File("none.jpg"), 200, 150).picture->TakeStatus(), FileNotFound);
    EXPECT_FALSE(ReadPictureSize(box.File("none.jpg")).isValid());
}

TEST(ScaledLoad, FinishedPictureFromTheReducedPhotoMatchesTheFullRoad)
{
    test::Sandbox box;
    ASSERT_TRUE(QDir(box.path()).mkpath("t"));
    QImage background(1400, 2100, QImage::Format_RGB32);
    background.fill(QColor(30, 60, 90));
    ASSERT_TRUE(background.save(box.File("t/bs.lmv"), "PNG"));
    QImage foreground(1400, 2100, QImage::Format_ARGB32);
    foreground.fill(Qt::transparent);
    ASSERT_TRUE(foreground.save(box.File("t/fs.lmv"), "PNG"));
    const QString photoPath = box.File("photo.jpg");
    ASSERT_TRUE(test::MakeDetailedPhoto(3200, 2400, 11).save(photoPath, "JPEG", 92));

    const PhotoPlacement placement { 100, 350, 400, 300 };
    ScaledPicture reduced = LoadForDrawing(photoPath, placement.width, placement.height);
    ASSERT_EQ(reduced.picture->TakeStatus(), Ok);
    EXPECT_EQ(reduced.reduction, 4);
    auto full = PhotoImage::FromFile(photoPath);
    ASSERT_EQ(full->TakeStatus(), Ok);

    const TemplateFolder folder = TemplateFolder::FromPath(box.File("t"));
    const RenderResult fromReduced = RenderOutput(folder, reduced.picture.get(), placement, 1400, 2100, "x");
    const RenderResult fromFull = RenderOutput(folder, full.get(), placement, 1400, 2100, "x");
    ASSERT_TRUE(fromReduced.picture && fromFull.picture);
    const test::ImageDifference difference
        = test::CompareImages(fromReduced.picture->image(), fromFull.picture->image());
    // Only the edges of one-pixel lines differ by more than a trace.
    EXPECT_LE(difference.maxChannelDelta, 16);
    EXPECT_LE(difference.meanChannelDelta, 1.0) << difference.meanChannelDelta;
    EXPECT_LE(PixelsDifferingBy(fromReduced.picture->image(), fromFull.picture->image(), 8),
        placement.width * placement.height / 200);
}

} // namespace
} // namespace lumavo
