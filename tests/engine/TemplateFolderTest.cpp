#include "templates/TemplateFolder.h"

#include "TemplateFixtures.h"
#include "TestUtils.h"

#include <QDir>

#include <gtest/gtest.h>

namespace lumavo {
namespace {

using test::Sandbox;
using test::WriteFile;

const QString kSep = QString(QDir::separator());

} // namespace

TEST(TemplateFolderTest, BuildsFolderAndRefusesNamesLeavingTheRoot)
{
    const auto rose = TemplateFolder::Make(QStringLiteral("/data/tpl"), QStringLiteral("Rose"));
    ASSERT_TRUE(rose);
    EXPECT_EQ(rose->path(), "/data/tpl" + kSep + "Rose" + kSep);
    EXPECT_EQ(rose->File(QStringLiteral("layer.lmv")), "/data/tpl" + kSep + "Rose" + kSep + "layer.lmv");
    // A root that already ends in a separator is used as it is.
    EXPECT_EQ(TemplateFolder::Make("/data/tpl" + kSep, QStringLiteral("玫瑰"))->path(),
        "/data/tpl" + kSep + kSep + QStringLiteral("玫瑰") + kSep);

    for (const QString& name : { QString(), QStringLiteral("."), QStringLiteral(".."), QStringLiteral("../Rose"),
             QStringLiteral("a/b"), QStringLiteral("a\\b"), QStringLiteral("\\\\server\\x"), QStringLiteral("/etc"),
             QStringLiteral("Ro") + QChar(0) + QStringLiteral("se") })
        EXPECT_FALSE(TemplateFolder::Make(QStringLiteral("/data/tpl"), name)) << name.toStdString();
    EXPECT_FALSE(TemplateFolder::Make(QString(), QStringLiteral("Rose")));
    // Names that merely contain dots are ordinary names.
    EXPECT_TRUE(TemplateFolder::Make(QStringLiteral("/data/tpl"), QStringLiteral("..Rose..")));

    EXPECT_EQ(TemplateFolder::FromPath(QStringLiteral("/x/Rose")).path(), "/x/Rose" + kSep);
    EXPECT_EQ(TemplateFolder::FromPath(QStringLiteral("/x/Rose/")).path(), QStringLiteral("/x/Rose/"));
}

TEST(TemplateFolderTest, ReadsTheOpening)
{
    Sandbox box;
    const TemplateFolder folder = TemplateFolder::FromPath(box.path());
    // No layer file: an empty opening.
    EXPECT_EQ(ReadLayerRect(folder), LayerRect {});

    ASSERT_TRUE(WriteFile(box.File("layer.lmv"), "[layer]\r\nx=100\r\ny=150\r\nwidth=600\r\nheight=800\r\n"));
    EXPECT_EQ(ReadLayerRect(folder), (LayerRect { 100, 150, 700, 950 }));

    // Read afresh every time; missing keys read as 0.
    ASSERT_TRUE(WriteFile(box.File("layer.lmv"), "[Layer]\nx = 40\ny=-7\n"));
    EXPECT_EQ(ReadLayerRect(folder), (LayerRect { 40, -7, 40, -7 }));

    // Sums past the 32-bit range stop at its end.
    ASSERT_TRUE(WriteFile(box.File("layer.lmv"), "[layer]\nx=2147483000\ny=-2147483000\nwidth=1000\nheight=-1000\n"));
    EXPECT_EQ(ReadLayerRect(folder), (LayerRect { 2147483000, -2147483000, INT32_MAX, INT32_MIN }));
}

TEST(TemplateFolderTest, LoadsBackgroundThenForeground)
{
    const QImage background = test::MakeBackground(40, 30);
    const QImage foreground = test::MakeFrameForeground(40, 30, QRect(5, 5, 20, 15), 3);
    {
        SCOPED_TRACE("both present, JPEG background");
        Sandbox box;
        ASSERT_TRUE(background.save(box.File("bs.lmv"), "JPEG"));
        ASSERT_TRUE(foreground.save(box.File("fs.lmv"), "PNG"));
        const TemplatePictures pictures = LoadTemplatePictures(TemplateFolder::FromPath(box.path()));
        EXPECT_TRUE(pictures.error.isEmpty());
        ASSERT_TRUE(pictures.background && pictures.foreground);
        EXPECT_EQ(pictures.background->image().size(), QSize(40, 30));
        EXPECT_EQ(pictures.foreground->image().convertToFormat(QImage::Format_ARGB32), foreground);
    }
    {
        SCOPED_TRACE("background missing");
        Sandbox box;
        ASSERT_TRUE(foreground.save(box.File("fs.lmv"), "PNG"));
        const TemplatePictures pictures = LoadTemplatePictures(TemplateFolder::FromPath(box.path()));
        EXPECT_EQ(pictures.error, kTemplateLibraryError);
        ASSERT_TRUE(pictures.background);
        EXPECT_TRUE(pictures.background->IsNull());
        EXPECT_FALSE(pictures.foreground); // not attempted
    }
    {
        SCOPED_TRACE("foreground undecodable");
        Sandbox box;
        ASSERT_TRUE(background.save(box.File("bs.lmv"), "PNG"));
        ASSERT_TRUE(WriteFile(box.File("fs.lmv"), "not a picture"));
        const TemplatePictures pictures = LoadTemplatePictures(TemplateFolder::FromPath(box.path()));
        EXPECT_EQ(pictures.error, kTemplateLibraryError);
        EXPECT_FALSE(pictures.background->IsNull());
        ASSERT_TRUE(pictures.foreground);
        EXPECT_TRUE(pictures.foreground->IsNull());
    }
}

} // namespace lumavo
