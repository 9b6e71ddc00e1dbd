// The headless command against damaged and hostile files: every refusal is
// one line and a non-zero exit, nothing broken passes for a portrait, and no
// file costs more memory than what is drawn from it.

#include "CliFixtures.h"
#include "HostileFiles.h"
#include "JpegWriter.h"
#include "TestUtils.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>

#include <gtest/gtest.h>

#include <cstdlib>

namespace lumavo {
namespace {

using test::CliRun;
using test::RunCli;
using test::Sandbox;

QStringList RenderArgs(const QString& root, const QString& templ, const QString& photo, const QString& out)
{
    return { "render", "--root", root, "--template", templ, "--photo", photo, "--out", out, "--caption", "x" };
}

bool Near(QRgb pixel, QRgb expected, int tolerance)
{
    return std::abs(qRed(pixel) - qRed(expected)) <= tolerance
        && std::abs(qGreen(pixel) - qGreen(expected)) <= tolerance
        && std::abs(qBlue(pixel) - qBlue(expected)) <= tolerance;
}

// The address sanitizer reserves terabytes of address space for itself; a
// limit on it cannot be set there.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kCanLimitAddressSpace = false;
#else
constexpr bool kCanLimitAddressSpace = true;
#endif

TEST(CliHostileInput, DamagedPhotosAndDottedOutputNamesAreRefused)
{
    Sandbox box;
    const QString root = box.File("temple");
    test::Make4R(root);
    const QImage source = test::MakeDetailedPhoto(640, 480, 2);
    const QByteArray jpeg = test::WriteJpeg(source);
    const QByteArray end = QByteArray::fromHex("FFD9");
    QByteArray claims = jpeg.left(1600) + end;
    claims.replace(claims.indexOf("\xFF\xC0") + 5, 4, QByteArray::fromHex("75307530")); // 30000 x 30000
    QByteArray zeroed = jpeg;
    zeroed.replace(jpeg.size() / 3, 2000, QByteArray(2000, '\0'));
    const QString out = box.File("out.jpg");

    for (const auto& [name, bytes] : { std::pair { "half-end.jpg", jpeg.left(jpeg.size() / 2) + end },
             std::pair { "claims.jpg", claims }, std::pair { "zeroed.jpg", zeroed } }) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(test::WriteFile(box.File(name), bytes));
        const CliRun run = RunCli(RenderArgs(root, "4R", box.File(name), out));
        EXPECT_EQ(run.exitCode, 1);
        ASSERT_EQ(run.errLines().size(), 1) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(name)) << run.err.toStdString();
        EXPECT_FALSE(QFileInfo::exists(out));
    }

    // Whole data without the end marker is a whole photo.
    ASSERT_TRUE(test::WriteFile(box.File("no-end.jpg"), jpeg.left(jpeg.size() - 2)));
    CliRun run = RunCli(RenderArgs(root, "4R", box.File("no-end.jpg"), out));
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.isEmpty());
    const QImage expected = source.scaled(600, 450, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    EXPECT_TRUE(Near(QImage(out).pixel(400, 550), expected.pixel(300, 225), 24));

    // A trailing "." would name no type at all; Windows would drop it and
    // leave a BMP called out.jpg.
    for (const char* name : { "dotted.jpg.", "dotted." }) {
        run = RunCli(RenderArgs(root, "4R", box.File("no-end.jpg"), box.File(name)));
        EXPECT_EQ(run.exitCode, 1) << name;
        EXPECT_EQ(run.errLines().size(), 1) << run.err.toStdString();
        EXPECT_FALSE(QFileInfo::exists(box.File(name))) << name;
    }
    EXPECT_FALSE(QFileInfo::exists(box.File("dotted.jpg")));
}

TEST(CliHostileInput, UnreadableTemplatePictureAtRenderAndAtLayout)
{
    Sandbox box;
    const QString root = box.File("temple");
    test::Make4R(root);
    const QString photo = test::SavePhoto(box, "photo.jpg", test::MakeTestPhoto(900, 600, 4), "JPEG");
    ASSERT_TRUE(test::WriteFile(root + "/4R/fs.lmv", "broken"));

    // The finished picture's own message, naming the file.
    const CliRun render = RunCli(RenderArgs(root, "4R", photo, box.File("out.png")));
    EXPECT_EQ(render.exitCode, 1);
    ASSERT_EQ(render.errLines().size(), 1) << render.err.toStdString();
    EXPECT_TRUE(render.err.contains(QStringLiteral("读取图库时出错，请重装图库试试"))) << render.err.toStdString();
    EXPECT_TRUE(render.err.contains("fs.lmv"));
    EXPECT_FALSE(QFileInfo::exists(box.File("out.png")));

    // A layout goes on without the foreground, as the layout window does,
    // and says so once.
    CliRun place = RunCli({ "place", "--root", root, "--template", "4R", "--photo", photo });
    EXPECT_EQ(place.exitCode, 0);
    EXPECT_EQ(place.out, "100 350 600 400\n");
    ASSERT_EQ(place.errLines().size(), 1) << place.err.toStdString();
    EXPECT_TRUE(place.err.startsWith(QStringLiteral("警告："))) << place.err.toStdString();
    EXPECT_TRUE(place.err.contains("fs.lmv"));

    // Without a background there is no template at all.
    ASSERT_TRUE(test::WriteFile(root + "/4R/bs.lmv", "broken"));
    place = RunCli({ "place", "--root", root, "--template", "4R", "--photo", photo });
    EXPECT_EQ(place.exitCode, 1);
    EXPECT_TRUE(place.err.contains("bs.lmv")) << place.err.toStdString();
    EXPECT_TRUE(place.out.isEmpty());
}

TEST(CliHostileInput, MemoryFollowsWhatIsDrawnNotWhatFilesClaim)
{
    Sandbox box;
    const QString root = box.File("temple");
    test::Make4R(root);
    const QString out = box.File("out.png");

    // A grey PNG of a few hundred kilobytes that inflates to 12000 x 12000
    // pixels (a 576 MB picture in 32 bits) renders within 400 MB, as black.
    const QString bomb = box.File("bomb.png");
    ASSERT_TRUE(test::WriteZeroPng(bomb, 12000, 12000, 8, 0));
    const QStringList bombArgs = RenderArgs(root, "4R", bomb, out);
    const CliRun run = kCanLimitAddressSpace ? test::RunCliWithin(400, bombArgs) : RunCli(bombArgs);
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QImage picture(out);
    EXPECT_TRUE(Near(picture.pixel(400, 550), qRgb(0, 0, 0), 0));
    EXPECT_TRUE(Near(picture.pixel(400, 200), test::kBackgroundColor.rgb(), 2));

    // Template pictures whose size alone is beyond what a rendering may
    // take are refused before decoding, naming the file: a background
    // claiming 30000 x 30000, and a 16-bit one whose 8 bytes a pixel count.
    const QString photo = test::SavePhoto(box, "photo.jpg", test::MakeTestPhoto(900, 600, 4), "JPEG");
    for (const auto& [name, bytes] : { std::pair { "huge", test::PngClaimingSize(30000, 30000, 8, 0) },
             std::pair { "deep", test::PngClaimingSize(6000, 6000, 16, 6) } }) {
        SCOPED_TRACE(name);
        test::MakeTemplate(root, name, QSize(300, 300), QRect(10, 10, 100, 100));
        ASSERT_TRUE(test::WriteFile(root + '/' + name + "/bs.lmv", bytes));
        for (const QStringList& arguments : { RenderArgs(root, name, photo, out),
                 QStringList { "place", "--root", root, "--template", name, "--photo", photo } }) {
            const CliRun refused = RunCli(arguments);
            EXPECT_EQ(refused.exitCode, 1);
            ASSERT_EQ(refused.errLines().size(), 1) << refused.err.toStdString();
            EXPECT_TRUE(refused.err.contains(QStringLiteral("太大"))) << refused.err.toStdString();
            EXPECT_TRUE(refused.err.contains("bs.lmv"));
        }
    }
}

// Wherever memory runs out, the command fails with a message; it never
// writes the portrait without the customer. The limit is searched down to
// where the rendering just succeeds, the hardest place for a layer to be
// dropped quietly.
TEST(CliHostileInput, RunningOutOfMemoryNeverGivesAPortraitWithoutThePhoto)
{
    if (!kCanLimitAddressSpace)
        GTEST_SKIP() << "no address-space limit under the address sanitizer";
    Sandbox box;
    const QString root = box.File("temple");
    const QSize size(2000, 2000);
    test::MakeTemplate(root, "Whole", size, QRect(QPoint(0, 0), size));
    QImage green(size, QImage::Format_RGB32);
    green.fill(qRgb(0, 200, 0));
    const QString photo = test::SavePhoto(box, "green.png", green, "PNG");
    const QString out = box.File("out.bmp");

    // The command itself takes some 100 MB of address space; each of the
    // finished picture's layers 16 MB more.
    int low = 96; // fails
    int high = 512; // succeeds
    QString memoryMessage;
    while (high - low > 6) {
        const int middle = (low + high) / 2;
        QFile::remove(out);
        const CliRun run = test::RunCliWithin(middle, RenderArgs(root, "Whole", photo, out));
        if (run.exitCode == 0) {
            const QImage written(out);
            ASSERT_EQ(written.size(), size) << middle << " MB";
            EXPECT_TRUE(Near(written.pixel(1000, 1000), qRgb(0, 200, 0), 0)) << middle << " MB";
            high = middle;
        } else {
            EXPECT_FALSE(QFileInfo::exists(out)) << middle << " MB";
            if (run.exitCode == 1 && run.errLines().size() == 1 && run.err.contains(QStringLiteral("内存不足")))
                memoryMessage = run.err;
            low = middle;
        }
    }
    // Just below the limit that works, memory is what ran out, and the
    // message says so.
    EXPECT_FALSE(memoryMessage.isEmpty());
}

TEST(CliHostileInput, StandardErrorCarriesOnlyTheCommandsOwnLines)
{
    Sandbox box;
    const QString root = box.File("temple");
    test::Make4R(root);
    const QImage photo = test::MakeTestPhoto(300, 200, 6);
    ASSERT_TRUE(test::WriteFile(box.File("noisy.png"), test::PngWithNoisyChunks(photo)));
    ASSERT_TRUE(test::WriteFile(box.File("tagged.tif"), test::TiffWithUnknownTag(300, 200, 128)));
    for (const char* name : { "noisy.png", "tagged.tif" }) {
        SCOPED_TRACE(name);
        const CliRun render = RunCli(RenderArgs(root, "4R", box.File(name), box.File("out.jpg")));
        EXPECT_EQ(render.exitCode, 0);
        EXPECT_TRUE(render.err.isEmpty()) << render.err.toStdString();
        const CliRun place = RunCli({ "place", "--root", root, "--template", "4R", "--photo", box.File(name) });
        EXPECT_EQ(place.out, "250 450 300 200\n");
        EXPECT_TRUE(place.err.isEmpty()) << place.err.toStdString();
    }
}

} // namespace
} // namespace lumavo
