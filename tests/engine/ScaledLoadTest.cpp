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

TEST(ScaledLoad, ReducesOnlyWhileTheDrawnSizeRemains)
{
    EXPECT_EQ(ChooseDecodeReduction(QSize(6000, 4000), 600, 400), 8);
    EXPECT_EQ(ChooseDecodeReduction(QSize(6000, 4000), 750, 500), 8);
    EXPECT_EQ(ChooseDecodeReduction(QSize(6000, 4000), 751, 500), 4);
    EXPECT_EQ(ChooseDecodeReduction(QSize(3000, 2000), 600, 400), 4);
    EXPECT_EQ(ChooseDecodeReduction(QSize(3000, 2000), 1501, 400), 1);
    // The tighter direction decides: a tall drawing of a wide photo.
    EXPECT_EQ(ChooseDecodeReduction(QSize(6000, 4000), 100, 900), 4);
    // A placement zoomed down to nothing needs no detail at all.
    EXPECT_EQ(ChooseDecodeReduction(QSize(6000, 4000), 0, -20), 8);
}

TEST(ScaledLoad, DecodesJpegSmallerAndEverythingElseAsTheFullLoaderDoes)
{
    test::Sandbox box;
    const QImage source = test::MakeDetailedPhoto(3203, 2401, 7);
    const QString jpeg = box.File("photo.jpg");
    ASSERT_TRUE(source.save(jpeg, "JPEG", 90));
    ASSERT_EQ(ReadPictureSize(jpeg), QSize(3203, 2401));

    ScaledPicture loaded = LoadForDrawing(jpeg, 200, 150);
    ASSERT_EQ(loaded.picture->TakeStatus(), Ok);
    EXPECT_EQ(loaded.reduction, 8);
    EXPECT_EQ(loaded.fullSize, QSize(3203, 2401));
    EXPECT_EQ(loaded.picture->image().size(), QSize(400, 300));
    EXPECT_EQ(loaded.picture->Format(), PixelFormat24bppRGB);
    const QImage expected = source.scaled(400, 300, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const test::ImageDifference difference = test::CompareImages(loaded.picture->image(), expected);
    EXPECT_TRUE(difference.sameSize);
    // Block means and area averaging part ways only along one-pixel lines.
    EXPECT_LE(difference.maxChannelDelta, 64);
    EXPECT_LE(difference.meanChannelDelta, 1.0) << difference.meanChannelDelta;

    // Large placements keep the full picture.
    loaded = LoadForDrawing(jpeg, 2000, 1500);
    EXPECT_EQ(loaded.reduction, 1);
    EXPECT_EQ(loaded.picture->image().size(), QSize(3203, 2401));

    const QString png = box.File("photo.png");
    ASSERT_TRUE(source.copy(0, 0, 1600, 1200).save(png, "PNG"));
    loaded = LoadForDrawing(png, 100, 75);
    EXPECT_EQ(loaded.picture->TakeStatus(), Ok);
    EXPECT_EQ(loaded.reduction, 1);
    EXPECT_EQ(loaded.picture->image().size(), QSize(1600, 1200));

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
    EXPECT_EQ(reduced.reduction, 8);
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
