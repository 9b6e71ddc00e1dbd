// The headless command, run as its own process the way kiosk scripts run it:
// no display, no platform plugin named.

#include "CliFixtures.h"
#include "TemplateFixtures.h"
#include "TestUtils.h"
#include "imaging/GeometricEdits.h"
#include "imaging/PhotoImage.h"
#include "platform/CodePage.h"
#include "templates/OutputRender.h"
#include "templates/TemplateFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QPainter>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace lumavo {
namespace {

using test::CliRun;
using test::kBackgroundColor;
using test::kFrameColor;
using test::Make4R;
using test::MakeTemplate;
using test::RunCli;
using test::RunProgram;
using test::Sandbox;
using test::SavePhoto;

QStringList PlaceArgs(const QString& root, const QString& photo)
{
    return { "place", "--root", root, "--template", "4R", "--photo", photo };
}

TEST(CliTemplates, ListsEveryTemplateSortedAndReportsUnreadableBackgrounds)
{
    Sandbox box;
    const QString root = box.File("temple");
    Make4R(root);
    MakeTemplate(root, "Lily", QSize(800, 600), QRect(10, 20, 300, 400));
    ASSERT_TRUE(QDir(root).mkpath("Broken"));
    ASSERT_TRUE(test::WriteFile(root + "/Broken/bs.lmv", "not a picture"));

    // A broken template does not make the listing fail while others are good.
    CliRun run = RunCli({ "templates", "--root", root });
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "4R 1400 2100 100 150 700 950\nLily 800 600 10 20 310 420\n");
    ASSERT_EQ(run.errLines().size(), 1) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("Broken")) << run.err.toStdString();

    ASSERT_TRUE(QDir(root + "/Broken").removeRecursively());
    run = RunCli({ "templates", "--root", root });
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out.count('\n'), 2);
    EXPECT_TRUE(run.err.isEmpty());

    run = RunCli({ "templates", "--root", box.File("nowhere") });
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains("nowhere"));
}

TEST(CliPlace, FollowsPlacementMovesZoomsAndTurns)
{
    Sandbox box;
    const QString root = box.File("temple");
    Make4R(root);
    QImage flat(3000, 2000, QImage::Format_RGB32);
    flat.fill(QColor(120, 130, 140));
    const QString photo = SavePhoto(box, "wide.png", flat, "PNG");

    CliRun run = RunCli(PlaceArgs(root, photo));
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, "100 350 600 400\n");

    run = RunCli(PlaceArgs(root, photo) + QStringList { "--move", "5,0", "--move=5,0", "--zoom", "5" });
    EXPECT_EQ(run.out, "105 347 610 406\n");
    run = RunCli(PlaceArgs(root, photo) + QStringList { "--zoom", "-5", "--move", "-5,-7" });
    EXPECT_EQ(run.out, "100 346 590 394\n");

    // A quarter turn fits the upright photo by its height.
    run = RunCli(PlaceArgs(root, photo) + QStringList { "--edit", "left" });
    EXPECT_EQ(run.out, "134 150 533 800\n");
    run = RunCli(PlaceArgs(root, photo) + QStringList { "--edit", "right", "--edit", "sepia", "--edit", "right" });
    EXPECT_EQ(run.out, "100 350 600 400\n");

    // A photo smaller than the opening keeps its own size.
    QImage small(400, 300, QImage::Format_RGB32);
    small.fill(Qt::gray);
    run = RunCli(PlaceArgs(root, SavePhoto(box, "small.jpg", small, "JPEG")) + QStringList { "--edit", "hflip" });
    EXPECT_EQ(run.out, "200 400 400 300\n");
}

TEST(CliRender, WritesTheFinishedPictureWithThePhotoInItsPlace)
{
    Sandbox box;
    const QString root = box.File("temple");
    Make4R(root);
    const QImage source = test::MakeDetailedPhoto(3000, 2000, 5);
    const QString photo = SavePhoto(box, "photo.jpg", source, "JPEG", 95);
    const QString out = box.File("out.jpg");

    CliRun run = RunCli({ "render", "--root", root, "--template", "4R", "--photo", photo, "--out", out, "--quality",
        "90", "--caption", "Lumavo" });
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.isEmpty());
    QImageReader reader(out);
    EXPECT_EQ(reader.format(), "jpeg");
    const QImage picture = reader.read();
    ASSERT_EQ(picture.size(), QSize(1400, 2100));
    EXPECT_NEAR(picture.dotsPerMeterX() * 0.0254, 350.0, 0.5);
    EXPECT_NEAR(picture.dotsPerMeterY() * 0.0254, 350.0, 0.5);

    // The photo fills (100, 350, 600, 400); the frame and the background show around it.
    const QImage expected = source.scaled(600, 400, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const QImage area = picture.copy(104, 354, 592, 392);
    const test::ImageDifference inPhoto = test::CompareImages(area, expected.copy(4, 4, 592, 392));
    EXPECT_LE(inPhoto.maxChannelDelta, 40);
    EXPECT_LE(inPhoto.meanChannelDelta, 2.5);
    QImage backgroundArea(100, 100, QImage::Format_RGB32);
    backgroundArea.fill(kBackgroundColor);
    EXPECT_TRUE(test::FuzzyEqual(picture.copy(300, 200, 100, 100), backgroundArea, 6, 2.0));
    EXPECT_LE(std::abs(qRed(picture.pixel(20, 20)) - kFrameColor.red()), 6);

    // The quality reaches the encoder; a PNG name writes a PNG.
    const QString low = box.File("low.jpg");
    run = RunCli({ "render", "--root", root, "--template", "4R", "--photo", photo, "--out", low, "--quality", "10" });
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_LT(QFileInfo(low).size(), QFileInfo(out).size());
    const QString png = box.File("out.png");
    run = RunCli({ "render", "--root", root, "--template", "4R", "--photo", photo, "--out", png, "--edit", "bw" });
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    QImageReader pngReader(png);
    EXPECT_EQ(pngReader.format(), "png");
    const QImage grey = pngReader.read();
    const QRgb centre = grey.pixel(400, 550);
    EXPECT_EQ(qRed(centre), qBlue(centre));
    EXPECT_EQ(qGreen(centre), qBlue(centre));
}

// The command decodes large photos at a reduced size; the finished picture
// must stay what the full-size road gives.
TEST(CliRender, ReducedDecodingMatchesTheFullSizeRoad)
{
    Sandbox box;
    const QString root = box.File("temple");
    MakeTemplate(root, "Small", QSize(700, 900), QRect(50, 60, 200, 150));
    const QImage source = test::MakeDetailedPhoto(3200, 2400, 9);
    const QString photo = SavePhoto(box, "photo.jpg", source, "JPEG", 92);
    const QString out = box.File("out.png");
    const CliRun run = RunCli({ "render", "--root", root, "--template", "Small", "--photo", photo, "--out", out,
        "--caption", "x", "--edit", "right" });
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();

    auto full = PhotoImage::FromFile(photo);
    ASSERT_EQ(full->TakeStatus(), Ok);
    const auto folder = TemplateFolder::Make(root, "Small");
    ASSERT_TRUE(folder);
    ASSERT_EQ(RotateFlip(*full, Rotate90FlipNone), Ok);
    // 3200 x 2400 turned is 2400 x 3200: fitted into 200 x 150 it is 113 x 150.
    const RenderResult reference = RenderOutput(*folder, full.get(), { 94, 60, 113, 150 }, 700, 900, "x");
    ASSERT_TRUE(reference.picture);
    const QImage written(out);
    const test::ImageDifference difference = test::CompareImages(written, reference.picture->image());
    EXPECT_TRUE(difference.sameSize);
    EXPECT_LE(difference.maxChannelDelta, 8);
    EXPECT_LE(difference.meanChannelDelta, 1.0);
}

// Fine regular detail (a one-pixel grid every 7 pixels, like a fabric's
// weave) must come out of the reduced decoding as smooth as the window's
// save makes it from the full photo, not as a beat pattern.
TEST(CliRender, ReducedDecodingKeepsFineDetailFreeOfMoire)
{
    Sandbox box;
    const QString root = box.File("temple");
    Make4R(root);
    QImage grid(2800, 2100, QImage::Format_RGB32);
    grid.fill(Qt::white);
    for (int y = 0; y < grid.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(grid.scanLine(y));
        for (int x = 0; x < grid.width(); ++x) {
            if (x % 7 == 0 || y % 7 == 0)
                line[x] = qRgb(20, 20, 20);
        }
    }
    const QString photo = SavePhoto(box, "grid.jpg", grid, "JPEG", 95);
    const QString out = box.File("out.png");
    const CliRun run
        = RunCli({ "render", "--root", root, "--template", "4R", "--photo", photo, "--out", out, "--caption", "x" });
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();

    auto full = PhotoImage::FromFile(photo);
    ASSERT_EQ(full->TakeStatus(), Ok);
    const auto folder = TemplateFolder::Make(root, "4R");
    ASSERT_TRUE(folder);
    const RenderResult saved = RenderOutput(*folder, full.get(), { 100, 325, 600, 450 }, 1400, 2100, "x");
    ASSERT_TRUE(saved.picture);
    const QRect photoArea(100, 325, 600, 450);
    const test::ImageDifference difference
        = test::CompareImages(QImage(out).copy(photoArea), saved.picture->image().copy(photoArea));
    EXPECT_GE(difference.psnr, 45.0) << difference.psnr;
}

TEST(CliBatch, RendersEveryGoodPhotoAndReportsTheBadOnes)
{
    Sandbox box;
    const QString root = box.File("temple");
    Make4R(root);
    const QString a = SavePhoto(box, "a.jpg", test::MakeTestPhoto(900, 600, 1), "JPEG");
    const QString b = box.File("b.jpg");
    ASSERT_TRUE(test::WriteFile(b, QByteArray(5000, 'x')));
    const QString c = SavePhoto(box, "c.png", test::MakeTestPhoto(500, 700, 2), "PNG");
    ASSERT_TRUE(QDir(box.path()).mkpath("again"));
    const QString a2 = SavePhoto(box, "again/a.png", test::MakeTestPhoto(300, 300, 3), "PNG");
    const QString outDir = box.File("out");

    CliRun run = RunCli({ "batch", "--root", root, "--template", "4R", "--out-dir", outDir, a, b, c, a2 });
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_TRUE(run.err.contains("[2/4]")) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(QDir::toNativeSeparators(outDir + "/c.jpg")));
    EXPECT_EQ(QDir(outDir).entryList(QDir::Files), QStringList({ "a.jpg", "c.jpg" }));
    EXPECT_EQ(QImage(outDir + "/a.jpg").size(), QSize(1400, 2100));
    // The summary names both failures: the garbage photo and the second a.* photo.
    const QStringList lines = run.errLines();
    ASSERT_GE(lines.size(), 3);
    EXPECT_TRUE(lines[lines.size() - 2].endsWith("b.jpg"));
    EXPECT_TRUE(lines.last().endsWith(QDir::toNativeSeparators(a2)));

    run = RunCli({ "batch", "--root", root, "--template", "4R", "--out-dir", outDir, "--format", "png", a, c });
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(QImageReader(outDir + "/c.png").format(), "png");

    // Writing into the photos' own folder must not replace a photo.
    const QByteArray original = test::ReadFile(a);
    run = RunCli({ "batch", "--root", root, "--template", "4R", "--out-dir", box.path(), a });
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(test::ReadFile(a), original);
}

TEST(CliErrors, EachFailureGivesOneLineAndLeavesExistingFilesAlone)
{
    Sandbox box;
    const QString root = box.File("temple");
    Make4R(root);
    const QString photo = SavePhoto(box, "photo.jpg", test::MakeTestPhoto(900, 600, 4), "JPEG");
    const QString garbage = box.File("garbage.jpg");
    ASSERT_TRUE(test::WriteFile(garbage, QByteArray("\xFF\xD8\xFF\xE0 this is no picture", 24)));
    const QString existing = box.File("existing.jpg");
    const QByteArray existingBytes = "an earlier customer's picture";
    ASSERT_TRUE(test::WriteFile(existing, existingBytes));
    ASSERT_TRUE(QDir(box.path()).mkpath("busy.jpg")); // a folder where the output would go

    const auto render = [&](const QString& templ, const QString& photoPath, const QString& out) {
        return RunCli({ "render", "--root", root, "--template", templ, "--photo", photoPath, "--out", out });
    };
    struct Case {
        const char* what;
        CliRun run;
        QString mentions;
    };
    const Case cases[] = {
        { "missing template", render("Rose", photo, existing), "Rose" },
        { "name outside the root", render("../x", photo, existing), "../x" },
        { "missing photo", render("4R", box.File("none.jpg"), existing), "none.jpg" },
        { "garbage photo", render("4R", garbage, existing), "garbage.jpg" },
        { "unknown extension", render("4R", photo, box.File("out.xyz")), "out.xyz" },
        { "missing folder", render("4R", photo, box.File("no/such/out.jpg")), "out.jpg" },
        { "output is a folder", render("4R", photo, box.File("busy.jpg")), "busy.jpg" },
        { "output is the photo", render("4R", photo, photo), "photo.jpg" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.run.exitCode, 1);
        ASSERT_EQ(c.run.errLines().size(), 1) << c.run.err.toStdString();
        EXPECT_TRUE(c.run.err.startsWith("错误：")) << c.run.err.toStdString();
        EXPECT_TRUE(c.run.err.contains(c.mentions)) << c.run.err.toStdString();
    }
    EXPECT_TRUE(cases[0].run.err.contains("图库错误，请重装"));
    EXPECT_EQ(test::ReadFile(existing), existingBytes);
    EXPECT_TRUE(QFileInfo(box.File("busy.jpg")).isDir());
    EXPECT_EQ(QImage(photo).size(), QSize(900, 600));
    // No half-written files are left behind.
    EXPECT_EQ(QDir(box.path()).entryList(QDir::Files, QDir::Name),
        QStringList({ "existing.jpg", "garbage.jpg", "photo.jpg" }));

    // A template whose foreground cannot be read fails before anything is written.
    ASSERT_TRUE(test::WriteFile(root + "/4R/fs.lmv", "broken"));
    const CliRun broken = render("4R", photo, existing);
    EXPECT_EQ(broken.exitCode, 1);
    EXPECT_TRUE(broken.err.contains("fs.lmv")) << broken.err.toStdString();
    EXPECT_EQ(test::ReadFile(existing), existingBytes);

    // Argument mistakes: exit 2 with the usage text.
    const QStringList usageMistakes[] = {
        {},
        { "paint" },
        { "render", "--root", root, "--template", "4R", "--photo", photo },
        { "render", "--root", root, "--template", "4R", "--photo", photo, "--out", existing, "--quality", "101" },
        { "place", "--root", root, "--template", "4R", "--photo", photo, "--move", "5" },
        { "place", "--root", root, "--template", "4R", "--photo", photo, "--edit", "twist" },
        { "place", "--root", root, "--template", "4R", "--photo", photo, "--out", existing },
        { "batch", "--root", root, "--template", "4R", "--out-dir", box.path() },
        { "batch", "--root", root, "--template", "4R", "--out-dir", box.path(), "--format", "gif", photo },
    };
    for (const QStringList& arguments : usageMistakes) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        const CliRun run = RunCli(arguments);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_TRUE(run.err.startsWith("错误：")) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains("lumavo-cli render"));
    }
    EXPECT_EQ(test::ReadFile(existing), existingBytes);

    const CliRun help = RunCli({ "--help" });
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains("退出码"));
}

// A photo of the batch is never written over by the picture of another one
// (x.png renders to x.jpg, which is the next photo in the list).
TEST(CliBatch, NeverOverwritesAnotherPhotoOfTheBatch)
{
    Sandbox box;
    const QString root = box.File("temple");
    Make4R(root);
    const QString png = SavePhoto(box, "x.png", test::MakeTestPhoto(600, 400, 1), "PNG");
    const QString jpg = SavePhoto(box, "x.jpg", test::MakeTestPhoto(600, 400, 2), "JPEG");
    const QByteArray original = test::ReadFile(jpg);
    const CliRun run = RunCli({ "batch", "--root", root, "--template", "4R", "--out-dir", box.path(), png, jpg });
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(test::ReadFile(jpg), original);
    EXPECT_TRUE(run.err.contains("x.jpg")) << run.err.toStdString();
}

// An option whose value is missing does not swallow the next option as its
// value (which would make a folder named "--format" and a photo "png").
TEST(CliErrors, OptionWithoutValueDoesNotTakeTheNextOption)
{
    Sandbox box;
    const QString root = box.File("temple");
    Make4R(root);
    const QString photo = SavePhoto(box, "photo.jpg", test::MakeTestPhoto(300, 200, 4), "JPEG");
    const QStringList mistakes[] = {
        { "batch", "--root", root, "--template", "4R", "--out-dir", "--format", "png", photo },
        { "render", "--root", root, "--template", "4R", "--photo", photo, "--caption", "--out", box.File("o.jpg") },
    };
    // Relative folders the command might make land in the sandbox.
    const QString previousFolder = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(box.path()));
    for (const QStringList& arguments : mistakes) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        const CliRun run = RunCli(arguments);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_TRUE(run.err.startsWith("错误：")) << run.err.toStdString();
    }
    QDir::setCurrent(previousFolder);
    EXPECT_FALSE(QFileInfo::exists(box.File("--format")));
    EXPECT_FALSE(QFileInfo::exists(box.File("o.jpg")));
    // Negative numbers are values, not options.
    const CliRun moved = RunCli(PlaceArgs(root, photo) + QStringList { "--zoom", "-5", "--move", "-5,-5" });
    EXPECT_EQ(moved.exitCode, 0) << moved.err.toStdString();
}

// The print commands refuse what they cannot print before they look for a
// printer: an unknown size, a copy count out of range, a fit of no meaning,
// a missing size. Each is one error line and the usage text, exit 2.
TEST(CliErrors, PrintOptionsAreCheckedBeforeAnyPrinting)
{
    Sandbox box;
    const QString root = box.File("temple");
    Make4R(root);
    const QString photo = SavePhoto(box, "photo.jpg", test::MakeTestPhoto(300, 200, 4), "JPEG");
    const QStringList print { "print", "--root", root, "--template", "4R", "--photo", photo };
    struct Case {
        QStringList arguments;
        QString line;
    };
    const Case cases[] = {
        { print + QStringList { "--size", "7R" },
            QStringLiteral("错误：未知的打印尺寸“7R”（可用：3R、4R、5R、6R、8R、A6、A5、A4）") },
        { print + QStringList { "--size", "4R", "--copies", "0" },
            QStringLiteral("错误：打印份数必须是 1 到 99 的整数，而不是“0”") },
        { print + QStringList { "--size", "4R", "--copies", "100" },
            QStringLiteral("错误：打印份数必须是 1 到 99 的整数，而不是“100”") },
        { print + QStringList { "--size", "4R", "--fit", "stretch" },
            QStringLiteral(
                "错误：--fit 只能是 whole（整张放入）、fill（裁满）或 face（按人脸构图），而不是“stretch”") },
        { print, QStringLiteral("错误：缺少必需的选项“--size”") },
        { { "print-test" }, QStringLiteral("错误：缺少必需的选项“--size”") },
        { { "print-test", "--size", "4R", "--copies", "2" },
            QStringLiteral("错误：命令 print-test 不接受选项“--copies”") },
        { { "print-test", "--size", "4R", "--printer", " " }, QStringLiteral("错误：--printer 需要打印机名称") },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        const CliRun run = RunCli(c.arguments);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_EQ(run.errLines().value(0), c.line);
        EXPECT_TRUE(run.err.contains("lumavo-cli print-test --size"));
    }
    // Size names as the operator types them.
    const CliRun help = RunCli({ "--help" });
    EXPECT_TRUE(help.out.contains("--fit      比例与尺寸不同时")) << help.out.toStdString();
}

#ifndef _WIN32
// A library unpacked from an archive made on an old Chinese system: folder
// and file names in GBK bytes. They are listed and opened by their Chinese
// names, typed in UTF-8 or handed over as the bytes on disk.
TEST(CliLibrary, GbkNamedTemplatesAndPhotosOpenByTheirChineseNames)
{
    Sandbox box;
    const QString root = box.File("temple");
    MakeTemplate(root, "plain", QSize(600, 400), QRect(10, 10, 100, 100));
    MakeTemplate(root, "spring", QSize(800, 1000), QRect(100, 100, 400, 500));
    ASSERT_TRUE(test::RenameToBytes(root + "/spring", ToGbk(QStringLiteral("春日花语"))));
    QImage flat(300, 200, QImage::Format_RGB32);
    flat.fill(QColor(20, 200, 60));
    ASSERT_TRUE(test::RenameToBytes(SavePhoto(box, "guest.png", flat, "PNG"), ToGbk(QStringLiteral("客人.png"))));
    const QString photo = box.File(QStringLiteral("客人.png"));

    CliRun run = RunCli({ "templates", "--root", root });
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, QStringLiteral("plain 600 400 10 10 110 110\n春日花语 800 1000 100 100 500 600\n"));

    const QString out = box.File("out.png");
    run = RunCli({ "render", "--root", root, "--template", QStringLiteral("春日花语"), "--photo", photo, "--out", out,
        "--caption", "x" });
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QImage picture(out);
    ASSERT_EQ(picture.size(), QSize(800, 1000));
    EXPECT_EQ(picture.pixelColor(300, 350), QColor(20, 200, 60)); // the photo, in the opening

    // The same names as the bytes a shell hands over when it lists the folder.
    const QString script = box.File("gbk-arguments.sh");
    ASSERT_TRUE(test::WriteScript(script,
        "exec '" + QFile::encodeName(test::ProgramDir()) + "/lumavo-cli' place --root '" + QFile::encodeName(root)
            + "' --template '" + ToGbk(QStringLiteral("春日花语")) + "' --photo '" + QFile::encodeName(box.path()) + "/"
            + ToGbk(QStringLiteral("客人.png")) + "'\n"));
    const CliRun fromBytes = RunProgram(script, {});
    EXPECT_EQ(fromBytes.exitCode, 0) << fromBytes.err.toStdString();
    const CliRun fromText
        = RunCli({ "place", "--root", root, "--template", QStringLiteral("春日花语"), "--photo", photo });
    EXPECT_EQ(fromText.exitCode, 0) << fromText.err.toStdString();
    EXPECT_EQ(fromBytes.out, fromText.out);
    EXPECT_FALSE(fromText.out.isEmpty());
}
#endif

// layer.lmv saved by a Windows editor as "Unicode" (UTF-16 with a byte-order
// mark, either byte order) gives the same opening as the plain file.
TEST(CliLibrary, Utf16LayerFilesGiveTheirOpening)
{
    Sandbox box;
    const QString root = box.File("temple");
    Make4R(root);
    const QString photo = SavePhoto(box, "wide.png", test::MakeTestPhoto(900, 600, 2), "PNG");
    const CliRun plain = RunCli(PlaceArgs(root, photo));
    ASSERT_EQ(plain.exitCode, 0) << plain.err.toStdString();

    const QString text = QStringLiteral("; 模板开口\r\n[layer]\r\nx=100\r\ny=150\r\nwidth=600\r\nheight=800\r\n");
    for (const QByteArray& layer : { test::Utf16WithBom(text, true), test::Utf16WithBom(text, false) }) {
        SCOPED_TRACE(layer.startsWith("\xFF") ? "UTF-16LE" : "UTF-16BE");
        ASSERT_TRUE(test::WriteFile(root + "/4R/layer.lmv", layer));
        const CliRun run = RunCli(PlaceArgs(root, photo));
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_EQ(run.out, plain.out);
    }
}

// An opening that is missing, garbage, of no size, or whose file is no file
// at all stops the command with one line naming it; nothing is written and
// nothing waits. The listing shows the good templates and names the broken.
TEST(CliLibrary, BrokenOpeningsAreErrorsAndTheListingNamesThem)
{
    Sandbox box;
    const QString root = box.File("temple");
    const QRect opening(10, 20, 300, 400);
    QStringList broken = { "garbage", "missing", "zero" };
    for (const QString& name : QStringList { "good" } + broken)
        MakeTemplate(root, name, QSize(500, 600), opening);
    ASSERT_TRUE(QFile::remove(root + "/missing/layer.lmv"));
    ASSERT_TRUE(test::WriteFile(root + "/garbage/layer.lmv", QByteArray("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16)));
    ASSERT_TRUE(test::WriteFile(root + "/zero/layer.lmv", "[layer]\nx=10\ny=20\nwidth=0\nheight=400\n"));
    // Over 1 MB: refused without being read.
    MakeTemplate(root, "huge", QSize(500, 600), opening);
    ASSERT_TRUE(test::WriteFile(
        root + "/huge/layer.lmv", "[layer]\nx=10\ny=20\nwidth=300\nheight=400\n" + QByteArray(1100 * 1024, ';')));
    broken << "huge";
#ifndef _WIN32
    for (const char* name : { "fifo", "device" }) {
        MakeTemplate(root, name, QSize(500, 600), opening);
        ASSERT_TRUE(QFile::remove(root + '/' + name + "/layer.lmv"));
        broken << name;
    }
    ASSERT_EQ(mkfifo(QFile::encodeName(root + "/fifo/layer.lmv").constData(), 0600), 0);
    ASSERT_TRUE(QFile::link("/dev/zero", root + "/device/layer.lmv"));
#endif

    // A FIFO would hang a reader that waits for a writer: a short time limit.
    CliRun run = RunCli({ "templates", "--root", root }, 20000);
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, "good 500 600 10 20 310 420\n");
    QStringList lines = run.errLines();
    ASSERT_EQ(lines.size(), broken.size()) << run.err.toStdString();
    std::sort(broken.begin(), broken.end());
    for (qsizetype i = 0; i < lines.size(); ++i) {
        EXPECT_TRUE(lines[i].startsWith("错误：")) << lines[i].toStdString();
        EXPECT_TRUE(lines[i].contains(QStringLiteral("“%1”").arg(broken[i]))) << lines[i].toStdString();
        EXPECT_TRUE(lines[i].contains("layer.lmv")) << lines[i].toStdString();
    }

    const QString photo = SavePhoto(box, "photo.png", test::MakeTestPhoto(400, 300, 3), "PNG");
    for (const QString& name : broken) {
        SCOPED_TRACE(name.toStdString());
        const QString out = box.File(name + ".png");
        run = RunCli({ "render", "--root", root, "--template", name, "--photo", photo, "--out", out }, 20000);
        EXPECT_EQ(run.exitCode, 1);
        ASSERT_EQ(run.errLines().size(), 1) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains("layer.lmv")) << run.err.toStdString();
        EXPECT_FALSE(QFileInfo::exists(out));
    }
    run = RunCli({ "place", "--root", root, "--template", "zero", "--photo", photo });
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.out.isEmpty());

    // With no good template left, the listing fails.
    ASSERT_TRUE(QDir(root + "/good").removeRecursively());
    run = RunCli({ "templates", "--root", root }, 20000);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_EQ(run.errLines().size(), broken.size() + 1);
}

} // namespace
} // namespace lumavo
