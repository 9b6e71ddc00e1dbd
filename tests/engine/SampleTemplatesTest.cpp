// The sample template library and photos laid out in the program folder by
// the build: every template must load and frame its opening properly.

#include "TestUtils.h"
#include "imaging/PhotoImage.h"
#include "platform/ProfileFile.h"

#include <QDir>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace lumavo {
namespace {

QString TemplateRoot()
{
    return QDir(test::ProgramDir()).filePath(QStringLiteral("temple"));
}

QStringList TemplateNames()
{
    return QDir(TemplateRoot()).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
}

// The opening as the program reads it: section "layer", keys x, y, width, height.
QRect ReadLayer(const QString& path)
{
    const auto key
        = [&](const char* name) { return GetProfileInt(path, QStringLiteral("layer"), QLatin1String(name), 0); };
    return QRect(key("x"), key("y"), key("width"), key("height"));
}

int AlphaAt(const QImage& image, int x, int y)
{
    return qAlpha(image.pixel(x, y));
}

// Distance in pixels from a point to a rectangle (0 inside it).
double DistanceToRect(const QRect& r, int x, int y)
{
    const double dx = std::max({ r.left() - x, 0, x - (r.left() + r.width()) });
    const double dy = std::max({ r.top() - y, 0, y - (r.top() + r.height()) });
    return std::hypot(dx, dy);
}

// How far beyond one side of the opening the frame turns fully opaque,
// walking outward through the side's middle (0 = the first pixel outside).
int OpaqueFrom(const QImage& fs, const QRect& layer, int dx, int dy)
{
    for (int k = -40; k < 300; ++k) {
        const int x = dx < 0 ? layer.x() - 1 - k : dx > 0 ? layer.x() + layer.width() + k : layer.center().x();
        const int y = dy < 0 ? layer.y() - 1 - k : dy > 0 ? layer.y() + layer.height() + k : layer.center().y();
        if (!fs.rect().contains(x, y) || AlphaAt(fs, x, y) == 255)
            return k;
    }
    return 300;
}

TEST(SampleTemplates, EveryTemplateLoadsAndFramesItsOpening)
{
    const QStringList names = TemplateNames();
    ASSERT_GE(names.size(), 4) << qPrintable(TemplateRoot());
    bool anyChineseName = false;

    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        anyChineseName
            = anyChineseName || std::all_of(name.begin(), name.end(), [](QChar c) { return c.unicode() >= 0x4E00; });
        const QDir folder(QDir(TemplateRoot()).filePath(name));

        const auto background = PhotoImage::FromFile(folder.filePath(QStringLiteral("bs.lmv")));
        const auto foreground = PhotoImage::FromFile(folder.filePath(QStringLiteral("fs.lmv")));
        ASSERT_EQ(background->lastStatus(), Ok);
        ASSERT_EQ(foreground->lastStatus(), Ok);
        ASSERT_EQ(background->image().size(), foreground->image().size());
        EXPECT_FALSE(background->image().hasAlphaChannel());
        EXPECT_EQ(foreground->Format(), PixelFormat32bppARGB);
        EXPECT_FLOAT_EQ(background->HorizontalResolution(), 350.0f);
        EXPECT_FLOAT_EQ(foreground->VerticalResolution(), 350.0f);

        const QRect layer = ReadLayer(folder.filePath(QStringLiteral("layer.lmv")));
        ASSERT_GT(layer.width(), 0);
        ASSERT_GT(layer.height(), 0);
        EXPECT_TRUE(background->image().rect().contains(layer)) << layer.x() << "," << layer.y();

        // The middle of the opening is clear: a box of a third of its size.
        const QImage fs = foreground->image().convertToFormat(QImage::Format_ARGB32);
        const QRect middle(
            layer.x() + layer.width() / 3, layer.y() + layer.height() / 3, layer.width() / 3, layer.height() / 3);
        int clouded = 0;
        for (int y = middle.top(); y <= middle.bottom(); y += 4)
            for (int x = middle.left(); x <= middle.right(); x += 4)
                clouded += AlphaAt(fs, x, y) != 0;
        EXPECT_EQ(clouded, 0);
        EXPECT_EQ(AlphaAt(fs, layer.center().x(), layer.center().y()), 0);

        // Well away from the opening the frame hides everything below it; the
        // opening's soft edge lets the background show through nearby only.
        int seeThrough = 0;
        int softEdge = 0;
        for (int y = 0; y < fs.height(); y += 3) {
            for (int x = 0; x < fs.width(); x += 3) {
                const double d = DistanceToRect(layer, x, y);
                const int alpha = AlphaAt(fs, x, y);
                if (d > 100 && alpha != 255)
                    ++seeThrough;
                if (d > 0 && d < 8 && alpha > 0 && alpha < 255)
                    ++softEdge;
            }
        }
        EXPECT_EQ(seeThrough, 0);
        EXPECT_GT(softEdge, 0) << "the opening's edge is not feathered";

        // The clear shape sits on the layer rectangle itself: its soft edge
        // reaches out equally on opposite sides and begins at the rectangle.
        const int left = OpaqueFrom(fs, layer, -1, 0);
        const int right = OpaqueFrom(fs, layer, 1, 0);
        const int top = OpaqueFrom(fs, layer, 0, -1);
        const int bottom = OpaqueFrom(fs, layer, 0, 1);
        EXPECT_NEAR(left, right, 2);
        EXPECT_NEAR(top, bottom, 2);
        for (int reach : { left, right, top, bottom }) {
            EXPECT_GT(reach, 0);
            EXPECT_LT(reach, 100);
        }

        const QImage bs = background->image().convertToFormat(QImage::Format_ARGB32);
        int transparent = 0;
        for (int y = 0; y < bs.height(); y += 7)
            for (int x = 0; x < bs.width(); x += 7)
                transparent += AlphaAt(bs, x, y) != 255;
        EXPECT_EQ(transparent, 0);
    }
    EXPECT_TRUE(anyChineseName) << "one template folder is named in Chinese, to keep non-ASCII paths exercised";
}

TEST(SampleTemplates, ReferenceTemplateHasTheKnownGeometry)
{
    const QStringList names = TemplateNames().filter(QRegularExpression(QStringLiteral("^4R")));
    ASSERT_EQ(names.size(), 1);
    const QDir folder(QDir(TemplateRoot()).filePath(names.front()));
    const auto background = PhotoImage::FromFile(folder.filePath(QStringLiteral("bs.lmv")));
    ASSERT_EQ(background->lastStatus(), Ok);
    EXPECT_EQ(background->Width(), 1400u);
    EXPECT_EQ(background->Height(), 2100u);
    EXPECT_EQ(ReadLayer(folder.filePath(QStringLiteral("layer.lmv"))), QRect(100, 150, 600, 800));
}

TEST(SampleTemplates, SamplePhotosDecode)
{
    const QDir photos(QDir(test::ProgramDir()).filePath(QStringLiteral("samples/photos")));
    const QStringList files = photos.entryList({ QStringLiteral("*.jpg") }, QDir::Files, QDir::Name);
    ASSERT_GE(files.size(), 3);
    bool landscape = false;
    for (const QString& file : files) {
        SCOPED_TRACE(file.toStdString());
        const auto photo = PhotoImage::FromFile(photos.filePath(file));
        ASSERT_EQ(photo->lastStatus(), Ok);
        EXPECT_GE(std::min(photo->Width(), photo->Height()), 2000u);
        landscape = landscape || photo->Width() > photo->Height();
    }
    EXPECT_TRUE(landscape);

    // The keying sample's backdrop is an even green right to its corners.
    const auto green = PhotoImage::FromFile(photos.filePath(QStringLiteral("green-backdrop.jpg")));
    ASSERT_EQ(green->lastStatus(), Ok);
    const QImage& image = green->image();
    for (const QPoint& at :
        { QPoint(5, 5), QPoint(image.width() - 6, 5), QPoint(image.width() / 2, 40), QPoint(5, image.height() / 2) }) {
        const QRgb c = image.pixel(at);
        EXPECT_GT(qGreen(c), qRed(c) + 70) << at.x() << "," << at.y();
        EXPECT_GT(qGreen(c), qBlue(c) + 50) << at.x() << "," << at.y();
    }
}

} // namespace
} // namespace lumavo
