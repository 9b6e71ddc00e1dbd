#include "HostileFiles.h"
#include "TestUtils.h"
#include "imaging/ToneFilters.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace lumavo {
namespace {

uint32_t Red(uint32_t p)
{
    return (p >> 16) & 0xFF;
}
uint32_t Green(uint32_t p)
{
    return (p >> 8) & 0xFF;
}
uint32_t Blue(uint32_t p)
{
    return p & 0xFF;
}
uint32_t Alpha(uint32_t p)
{
    return p >> 24;
}
double Luminance(uint32_t p)
{
    return 0.299 * Red(p) + 0.587 * Green(p) + 0.114 * Blue(p);
}

uint32_t Toned(uint32_t pixel)
{
    PurplishLightBlueFilter(1, 1, &pixel);
    return pixel;
}

TEST(ToneToolTest, KernelGivesGreysALightPurplishBlueCastKeepingLightAndShade)
{
    double previousLuminance = -1.0;
    for (uint32_t v = 0; v < 256; ++v) {
        const uint32_t out = Toned(0xFF000000u | v * 0x010101u);
        SCOPED_TRACE(testing::Message() << "grey " << v);
        // Purplish blue: blue leads, red above green; the cast fades
        // toward white but is plain below the highlights.
        EXPECT_GE(Blue(out), Red(out));
        EXPECT_GE(Red(out), Green(out));
        EXPECT_GT(Blue(out), Green(out));
        if (v <= 200) {
            EXPECT_GE(int(Blue(out)) - int(Green(out)), 8);
        }
        // Light and shade keep their order.
        EXPECT_GE(Luminance(out), previousLuminance);
        previousLuminance = Luminance(out);
        // Shadows and mid-tones are lifted, highlights stay light.
        if (v <= 200) {
            EXPECT_GT(Luminance(out), double(v) + 4.0);
        }
        EXPECT_EQ(Alpha(out), 0xFFu);
    }
    // Black is lifted only a little; white stays almost white.
    const uint32_t black = Toned(0xFF000000u);
    EXPECT_LT(Luminance(black), 48.0);
    const uint32_t white = Toned(0xFFFFFFFFu);
    EXPECT_GE(Green(white), 245u);
    EXPECT_EQ(Blue(white), 255u);

    // A tone, not a recolouring: a saturated primary keeps its leading channel.
    const uint32_t red = Toned(0xFFFF0000u);
    EXPECT_GT(Red(red), Blue(red));
    EXPECT_GT(Red(red), Green(red));
    const uint32_t green = Toned(0xFF00FF00u);
    EXPECT_GT(Green(green), Red(green));
    EXPECT_GT(Green(green), Blue(green));

    // Alpha passes through; straight colours are toned whatever it is.
    for (const uint32_t alpha : { 0x00u, 0x01u, 0x80u, 0xFEu }) {
        const uint32_t pixel = alpha << 24 | 0x336699u;
        EXPECT_EQ(Toned(pixel), alpha << 24 | (Toned(0xFF336699u) & 0xFFFFFFu));
    }
}

TEST(ToneToolTest, KernelOverLargeArraysMatchesItPixelByPixel)
{
    // Large enough to be split between threads in blocks, with a ragged end.
    const int32_t width = 1531;
    const int32_t height = 1201;
    std::vector<uint32_t> pixels(size_t(width) * height);
    std::mt19937 random(7);
    for (uint32_t& p : pixels)
        p = uint32_t(random());
    std::vector<uint32_t> expected = pixels;
    for (uint32_t& p : expected)
        PurplishLightBlueFilter(1, 1, &p);
    PurplishLightBlueFilter(width, height, pixels.data());
    EXPECT_TRUE(pixels == expected);

    // No area, no work.
    const std::vector<uint32_t> before = expected;
    PurplishLightBlueFilter(0, height, expected.data());
    PurplishLightBlueFilter(width, -1, expected.data());
    PurplishLightBlueFilter(-4, -4, expected.data());
    EXPECT_TRUE(expected == before);
}

test::ProgramRun RunTool(const QStringList& arguments)
{
    // The tool must work without any display.
    return test::RunWithoutDisplay(test::ProgramDir() + QStringLiteral("/增效工具包/偏紫淡蓝"), arguments, 60000);
}

// The kernel applied in-process, in the layout the file is read back in.
QImage ExpectedTone(const QImage& source)
{
    QImage expected = source.convertToFormat(source.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    PurplishLightBlueFilter(expected.width(), expected.height(), reinterpret_cast<uint32_t*>(expected.bits()));
    return expected;
}

QImage WithTransparentCorner(QImage photo)
{
    photo = photo.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < photo.height() / 2; ++y) {
        auto* line = reinterpret_cast<uint32_t*>(photo.scanLine(y));
        for (int x = 0; x < photo.width() / 2; ++x)
            line[x] = (line[x] & 0xFFFFFFu) | uint32_t((x + y) % 256) << 24;
    }
    return photo;
}

TEST(ToneToolTest, ToolTonesTheFileInPlaceAtAPathWithBlanksAndChineseCharacters)
{
    test::Sandbox sandbox;
    const QString folder = sandbox.File(QStringLiteral("临时 交换 folder"));
    ASSERT_TRUE(QDir().mkpath(folder));
    // 350 dpi, as the studio's photos carry.
    const int dotsPerMeter = 13780;

    struct Case {
        QString name;
        QImage picture;
        QByteArray format;
    };
    QImage opaque = test::MakeTestPhoto(321, 207, 3);
    opaque.setDotsPerMeterX(dotsPerMeter);
    opaque.setDotsPerMeterY(dotsPerMeter);
    const QImage translucent = WithTransparentCorner(test::MakeTestPhoto(160, 120, 5));
    const Case cases[] = {
        { QStringLiteral("VIVudiz2UR.png"), opaque, "png" },
        { QStringLiteral("带 透明.PNG"), translucent, "png" },
        { QStringLiteral("相片 一.jpg"), opaque, "jpeg" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        const QString path = folder + QStringLiteral("/") + c.name;
        ASSERT_TRUE(c.picture.save(path, c.format.constData(), 100));
        const QImage written(path);
        ASSERT_FALSE(written.isNull());

        const test::ProgramRun run = RunTool({ path });
        ASSERT_TRUE(run.finished);
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();

        QImageReader reader(path);
        reader.setDecideFormatFromContent(true);
        EXPECT_EQ(reader.format(), c.format);
        const QImage result = reader.read();
        ASSERT_FALSE(result.isNull());
        EXPECT_EQ(result.size(), written.size());
        EXPECT_EQ(result.hasAlphaChannel(), written.hasAlphaChannel());
        EXPECT_EQ(result.dotsPerMeterX(), written.dotsPerMeterX());
        EXPECT_EQ(result.dotsPerMeterY(), written.dotsPerMeterY());
        const QImage expected = ExpectedTone(written);
        if (c.format == "png") {
            EXPECT_TRUE(test::FuzzyEqual(result, expected, 0, 0.0)); // lossless: exactly the kernel's
        } else {
            EXPECT_TRUE(test::FuzzyEqual(result, expected, 40, 2.0)); // JPEG's loss only
            EXPECT_FALSE(test::FuzzyEqual(result, written, 40, 2.0));
        }
    }
}

TEST(ToneToolTest, ToolFailsWithoutHarmingTheFile)
{
    test::Sandbox sandbox;
    const QString folder = sandbox.File(QStringLiteral("坏 文件"));
    ASSERT_TRUE(QDir().mkpath(folder));
    QByteArray png;
    {
        const QImage photo = test::MakeTestPhoto(200, 150, 9);
        QFile file(folder + QStringLiteral("/good.png"));
        ASSERT_TRUE(photo.save(&file, "PNG"));
        file.close();
        png = test::ReadFile(file.fileName());
    }
    const QString garbage = folder + QStringLiteral("/不是 图片.png");
    const QString truncated = folder + QStringLiteral("/半 截.png");
    const QString readOnly = folder + QStringLiteral("/只读 相片.png");
    const QByteArray garbageBytes("this is not a picture at all\n");
    ASSERT_TRUE(test::WriteFile(garbage, garbageBytes));
    ASSERT_TRUE(test::WriteFile(truncated, png.left(png.size() / 2)));
    ASSERT_TRUE(test::WriteFile(readOnly, png));
    ASSERT_TRUE(QFile::setPermissions(readOnly, QFileDevice::ReadOwner | QFileDevice::ReadGroup));

    for (const QString& path : { garbage, truncated, readOnly }) {
        SCOPED_TRACE(path.toStdString());
        const QByteArray before = test::ReadFile(path);
        const test::ProgramRun run = RunTool({ path });
        ASSERT_TRUE(run.finished);
        EXPECT_NE(run.exitCode, 0);
        // The tool's own line, and nothing the image libraries had to say.
        EXPECT_EQ(run.err.trimmed().split('\n').size(), 1) << run.err.toStdString();
        EXPECT_FALSE(run.err.trimmed().isEmpty());
        EXPECT_EQ(test::ReadFile(path), before);
    }
    // Nothing left behind from the refused write.
    EXPECT_EQ(QDir(folder).entryList(QDir::Files).size(), 4);

    // Files the libraries complain about but read are toned without a word.
    for (const auto& [name, bytes] :
        { std::pair { "noisy.png", test::PngWithNoisyChunks(test::MakeTestPhoto(120, 90, 2)) },
            std::pair { "tagged.tif", test::TiffWithUnknownTag(120, 90, 128) } }) {
        const QString path = sandbox.File(name);
        ASSERT_TRUE(test::WriteFile(path, bytes));
        const test::ProgramRun run = RunTool({ path });
        EXPECT_EQ(run.exitCode, 0) << name;
        EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
        EXPECT_NE(test::ReadFile(path), bytes) << name;
    }

    const test::ProgramRun missing = RunTool({ folder + QStringLiteral("/没有.png") });
    EXPECT_TRUE(missing.finished);
    EXPECT_NE(missing.exitCode, 0);
    EXPECT_FALSE(QFile::exists(folder + QStringLiteral("/没有.png")));

    const test::ProgramRun none = RunTool({});
    EXPECT_TRUE(none.finished);
    EXPECT_NE(none.exitCode, 0);
    EXPECT_FALSE(none.err.trimmed().isEmpty());

    // More than one argument is refused, and the file is left alone.
    const QString good = folder + QStringLiteral("/good.png");
    const test::ProgramRun two = RunTool({ good, good });
    EXPECT_TRUE(two.finished);
    EXPECT_NE(two.exitCode, 0);
    EXPECT_EQ(test::ReadFile(good), png);
}

} // namespace
} // namespace lumavo
