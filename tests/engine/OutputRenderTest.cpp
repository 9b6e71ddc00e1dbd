#include "templates/OutputRender.h"

#include "TemplateFixtures.h"
#include "TestUtils.h"
#include "templates/Composition.h"

#include <gtest/gtest.h>

namespace lumavo {
namespace {

using test::Sandbox;

constexpr QRgb kPhotoColour = 0xFFE01020u;

// A 1400 x 2100 template whose opening (50, 100, 700 x 1000) holds the
// placement (100, 350, 600, 400) with room to spare.
struct RenderFixture {
    Sandbox box;
    TemplateFolder folder = TemplateFolder::FromPath(box.path());
    QImage background = test::MakeBackground(1400, 2100);
    QImage foreground = test::MakeFrameForeground(1400, 2100, QRect(50, 100, 700, 1000), 20);
    std::unique_ptr<PhotoImage> photo;

    RenderFixture()
    {
        QImage solid(3000, 2000, QImage::Format_RGB32);
        solid.fill(kPhotoColour);
        photo = PhotoImage::Adopt(solid);
    }
    bool Write() { return test::WriteTemplate(box.path(), background, foreground, QRect(50, 100, 700, 1000)); }
};

// The bounding box of the photo's colour.
QRect PhotoBounds(const QImage& picture)
{
    QRect bounds;
    for (int y = 0; y < picture.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
        for (int x = 0; x < picture.width(); ++x) {
            if (line[x] == kPhotoColour)
                bounds |= QRect(x, y, 1, 1);
        }
    }
    return bounds;
}

} // namespace

TEST(OutputRenderTest, DrawsThePlacementAtTheLoadedSize)
{
    RenderFixture f;
    ASSERT_TRUE(f.Write());
    const PhotoPlacement placement = PlacePhoto(LayerRect { 100, 150, 700, 950 }, 3000, 2000);
    ASSERT_EQ(placement, (PhotoPlacement { 100, 350, 600, 400 }));

    RenderResult result = RenderOutput(f.folder, f.photo.get(), placement, 1400, 2100, QStringLiteral("Lumavo"));
    ASSERT_TRUE(result.picture);
    EXPECT_TRUE(result.error.isEmpty());
    const PhotoImage& picture = *result.picture;
    EXPECT_EQ(picture.image().size(), QSize(1400, 2100));
    EXPECT_EQ(picture.Format(), PixelFormat24bppRGB);
    EXPECT_FALSE(picture.image().hasAlphaChannel());
    EXPECT_EQ(picture.HorizontalResolution(), 350.0f);
    EXPECT_EQ(picture.VerticalResolution(), 350.0f);
    EXPECT_EQ(PhotoBounds(picture.image()), QRect(100, 350, 600, 400));

    // Above the caption the picture is the layout composite.
    const auto background = PhotoImage::Adopt(f.background);
    const auto foreground = PhotoImage::Adopt(f.foreground);
    const auto composite = ComposeTemplate(nullptr, foreground.get(), f.photo.get(), background.get(), placement);
    EXPECT_TRUE(
        test::FuzzyEqual(picture.image().copy(0, 0, 1400, 1900), composite->image().copy(0, 0, 1400, 1900), 1, 0.01));

    // The background file replaced by one twice the size (the foreground
    // stays 1400 x 2100 and is scaled over it): the placement follows.
    f.background = test::MakeBackground(2800, 4200);
    ASSERT_TRUE(f.Write());
    result = RenderOutput(f.folder, f.photo.get(), placement, 1400, 2100, QStringLiteral("Lumavo"));
    ASSERT_TRUE(result.picture);
    EXPECT_EQ(result.picture->image().size(), QSize(2800, 4200));
    EXPECT_EQ(PhotoBounds(result.picture->image()), QRect(200, 700, 1200, 800));
    // The whole foreground is scaled: its frame covers the far corner.
    const QRgb corner = result.picture->image().pixel(2790, 10);
    EXPECT_NEAR(qRed(corner), qRed(f.foreground.pixel(1395, 5)), 30);

    // No photo, or a failed one: the rest is drawn.
    const auto failed = PhotoImage::Adopt(QImage(), GenericError);
    result = RenderOutput(f.folder, failed.get(), placement, 1400, 2100, QString());
    ASSERT_TRUE(result.picture);
    EXPECT_TRUE(PhotoBounds(result.picture->image()).isEmpty());
}

TEST(OutputRenderTest, RefusesWhatCannotBeRendered)
{
    RenderFixture f;
    ASSERT_TRUE(f.Write());
    const PhotoPlacement placement { 100, 350, 600, 400 };
    // A recorded size of 0 (the layout window had no background): the
    // placement cannot be scaled, nothing is rendered.
    for (const auto& [width, height] : { std::pair { 0, 2100 }, std::pair { 1400, 0 }, std::pair { -1400, 2100 } }) {
        const RenderResult result = RenderOutput(f.folder, f.photo.get(), placement, width, height, QString());
        EXPECT_FALSE(result.picture);
        EXPECT_EQ(result.error, kOutputReadError);
    }

    // A missing foreground: the message, no picture.
    ASSERT_TRUE(QFile::remove(f.box.File("fs.lmv")));
    RenderResult result = RenderOutput(f.folder, f.photo.get(), placement, 1400, 2100, QString());
    EXPECT_FALSE(result.picture);
    EXPECT_EQ(result.error, kOutputReadError);

    // A missing background as well: still one message.
    ASSERT_TRUE(QFile::remove(f.box.File("bs.lmv")));
    result = RenderOutput(f.folder, f.photo.get(), placement, 1400, 2100, QString());
    EXPECT_FALSE(result.picture);
    EXPECT_EQ(result.error, kOutputReadError);
}

} // namespace lumavo
