// Smart framing and the proof sheet through the real command, on real
// portraits: where the face lands is measured on the files it writes.

#include "CameraPortrait.h"
#include "CliFixtures.h"
#include "PortraitTruth.h"
#include "faces/FaceFinder.h"
#include "framing/ProofSheet.h"
#include "templates/TemplateFolder.h"

#include <QDir>
#include <QPainter>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <cmath>

namespace lumavo {
namespace {

using test::RunCli;

QString SampleRoot()
{
    return QDir(test::ProgramDir()).filePath(QStringLiteral("temple"));
}

LayerRect SampleOpening(const QString& name)
{
    const auto folder = TemplateFolder::Make(SampleRoot(), name);
    return folder ? ReadLayerRect(*folder) : LayerRect {};
}

std::optional<PhotoPlacement> ParsePlacement(const QString& out)
{
    const QStringList parts = out.trimmed().split(u' ');
    if (parts.size() != 4)
        return std::nullopt;
    return PhotoPlacement { parts[0].toInt(), parts[1].toInt(), parts[2].toInt(), parts[3].toInt() };
}

// Face centre across and eyes down, against the goals, as shares of the opening.
struct Landing {
    double across = 1;
    double down = 1;
};

Landing LandingOf(const LayerRect& opening, double centreX, double eyeY)
{
    const double width = opening.right - opening.left;
    const double height = opening.bottom - opening.top;
    return { std::abs(centreX - (opening.left + width / 2)) / width,
        std::abs(eyeY - (opening.top + 0.4 * height)) / height };
}

class CliFaceFit : public ::testing::Test {
protected:
    void SetUp() override
    {
        portrait = test::MakeCameraPortrait("grace_hopper.jpg", QSize(3000, 2000));
        photoPath = test::SavePhoto(sandbox, QStringLiteral("customer.jpg"), portrait.photo, "JPEG", 95);
    }
    test::Sandbox sandbox;
    test::CameraPortrait portrait;
    QString photoPath;
};

TEST_F(CliFaceFit, PlaceFramesTheFaceOnTheGoalsInEverySampleTemplate)
{
    for (const QString& templateName : { QStringLiteral("4R-classic-cream"), QStringLiteral("6R-sage-landscape") }) {
        SCOPED_TRACE(templateName.toStdString());
        const LayerRect opening = SampleOpening(templateName);
        ASSERT_GT(opening.right - opening.left, 0);
        const auto run = RunCli(
            { "place", "--root", SampleRoot(), "--template", templateName, "--photo", photoPath, "--fit", "face" });
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(QStringLiteral("已按人脸放置"))) << run.err.toStdString();
        const auto placement = ParsePlacement(run.out);
        ASSERT_TRUE(placement) << run.out.toStdString();
        const double sx = double(placement->width) / portrait.photo.width();
        const double sy = double(placement->height) / portrait.photo.height();
        const Landing landing
            = LandingOf(opening, placement->x + portrait.faceCentre.x() * sx, placement->y + portrait.eyeLine * sy);
        EXPECT_LE(landing.across, 0.05);
        EXPECT_LE(landing.down, 0.05);
        // The opening stays covered by the photo.
        EXPECT_LE(placement->x, opening.left);
        EXPECT_LE(placement->y, opening.top);
        EXPECT_GE(placement->x + placement->width, opening.right);
        EXPECT_GE(placement->y + placement->height, opening.bottom);

        // Without --fit the whole-photo fit stays the first placement.
        const auto whole
            = RunCli({ "place", "--root", SampleRoot(), "--template", templateName, "--photo", photoPath });
        ASSERT_EQ(whole.exitCode, 0);
        const PhotoPlacement fit = PlacePhoto(opening, portrait.photo.width(), portrait.photo.height());
        EXPECT_EQ(
            whole.out.trimmed(), QStringLiteral("%1 %2 %3 %4").arg(fit.x).arg(fit.y).arg(fit.width).arg(fit.height));
        EXPECT_FALSE(whole.err.contains(QStringLiteral("智能构图")));

        // Moves and zooms start from the framed placement.
        const auto moved = RunCli({ "place", "--root", SampleRoot(), "--template", templateName, "--photo", photoPath,
            "--fit", "face", "--move", "5,0", "--move", "0,-5" });
        ASSERT_EQ(moved.exitCode, 0);
        EXPECT_EQ(ParsePlacement(moved.out), MovePlacement(*placement, 5, -5));
    }
}

TEST_F(CliFaceFit, RenderShowsTheFaceWhereItWasFramed)
{
    const QString templateName = QStringLiteral("4R-classic-cream");
    const QString out = sandbox.File(QStringLiteral("portrait.png"));
    const auto run = RunCli({ "render", "--root", SampleRoot(), "--template", templateName, "--photo", photoPath,
        "--fit", "face", "--out", out });
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QImage rendered(out);
    ASSERT_FALSE(rendered.isNull());
    // Found again on the finished picture, independently of the placement.
    auto finder = FaceFinder::Load(FaceFinder::DefaultFolders(test::ProgramDir()));
    ASSERT_NE(finder, nullptr);
    const FaceSearch search = finder->Find(rendered);
    ASSERT_FALSE(search.faces.empty());
    const FoundFace& face = search.faces.front();
    const LayerRect opening = SampleOpening(templateName);
    const Landing landing = LandingOf(opening, face.box.center().x(), face.EyeLine());
    EXPECT_LE(landing.across, 0.05);
    EXPECT_LE(landing.down, 0.05);
    // Head and shoulders: the face about a third of the opening's height.
    const double share = double(face.box.height()) / (opening.bottom - opening.top);
    EXPECT_GT(share, 0.2);
    EXPECT_LT(share, 0.45);
}

TEST_F(CliFaceFit, BatchSaysPerPhotoWhetherAFaceWasFound)
{
    // A landscape without faces keeps the whole-photo fit.
    const QString landscape = QDir(test::PortraitFolder()).filePath(QStringLiteral("iceblock.jpg"));
    const auto place = RunCli(
        { "place", "--root", SampleRoot(), "--template", "4R-classic-cream", "--photo", landscape, "--fit", "face" });
    ASSERT_EQ(place.exitCode, 0) << place.err.toStdString();
    EXPECT_TRUE(place.err.contains(QStringLiteral("没有找到人脸")));
    const QImage landscapeImage(landscape);
    const PhotoPlacement fit
        = PlacePhoto(SampleOpening("4R-classic-cream"), landscapeImage.width(), landscapeImage.height());
    EXPECT_EQ(ParsePlacement(place.out), fit);

    const auto batch = RunCli({ "batch", "--root", SampleRoot(), "--template", "4R-classic-cream", "--out-dir",
        sandbox.File("out"), "--fit", "face", photoPath, landscape });
    ASSERT_EQ(batch.exitCode, 0) << batch.err.toStdString();
    const QStringList lines = batch.errLines();
    const qsizetype first = lines.indexOf(QRegularExpression(QStringLiteral("^\\[1/2\\] .*")));
    const qsizetype second = lines.indexOf(QRegularExpression(QStringLiteral("^\\[2/2\\] .*")));
    ASSERT_GE(first, 0);
    ASSERT_GT(second, first + 1);
    EXPECT_TRUE(lines[first + 1].contains(QStringLiteral("已按人脸放置"))) << batch.err.toStdString();
    EXPECT_TRUE(lines[second + 1].contains(QStringLiteral("没有找到人脸"))) << batch.err.toStdString();
    EXPECT_TRUE(QFile::exists(sandbox.File("out/customer.jpg")));
    EXPECT_TRUE(QFile::exists(sandbox.File("out/iceblock.jpg")));

    // A value that is no fit is a usage error.
    const auto wrong = RunCli(
        { "place", "--root", SampleRoot(), "--template", "4R-classic-cream", "--photo", photoPath, "--fit", "faces" });
    EXPECT_EQ(wrong.exitCode, 2);
}

// Copies the sample templates into a root of the test's own.
void CopySampleTemplates(const QString& root)
{
    for (const QString& name : QDir(SampleRoot()).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QDir().mkpath(root + '/' + name);
        for (const QString& file : QDir(SampleRoot() + '/' + name).entryList(QDir::Files))
            QFile::copy(SampleRoot() + '/' + name + '/' + file, root + '/' + name + '/' + file);
    }
}

TEST_F(CliFaceFit, ProofSheetHoldsEveryTemplateWithItsNameAsEachIsRendered)
{
    const QString root = sandbox.File("root");
    CopySampleTemplates(root);
    const QStringList good = QDir(root).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    ASSERT_GE(good.size(), 2);
    // A broken template still gets its cell, with its name.
    QDir().mkpath(root + "/zz-broken");
    ASSERT_TRUE(test::WriteFile(root + "/zz-broken/bs.lmv", "not a picture"));
    const int count = int(good.size()) + 1;

    const QString sheetPath = sandbox.File("sheet.png");
    const auto run = RunCli({ "proof", "--root", root, "--photo", photoPath, "--fit", "face", "--out", sheetPath });
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(QStringLiteral("zz-broken")));
    EXPECT_TRUE(run.err.contains(QStringLiteral("[%1/%1]").arg(count)));
    const QImage sheet = QImage(sheetPath).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(sheet.size(), ProofSheetSize(count));

    auto finder = FaceFinder::Load(FaceFinder::DefaultFolders(test::ProgramDir()));
    ASSERT_NE(finder, nullptr);
    const QStringList names = ProofTemplateNames(root);
    ASSERT_EQ(names.size(), count);
    for (int i = 0; i < count; ++i) {
        SCOPED_TRACE(names[i].toStdString());
        const ProofCellGeometry cell = ProofCell(i, count);
        // The name is written under every picture: ink on the paper of its line.
        const QImage line = sheet.copy(cell.name);
        int inked = 0;
        for (int y = 0; y < line.height(); ++y)
            for (int x = 0; x < line.width(); ++x)
                inked += qGray(line.pixel(x, y)) < 110;
        EXPECT_GT(inked, 40);
        if (names[i] == QStringLiteral("zz-broken"))
            continue;
        // The cell is the finished picture of that template, made another way
        // (the command's render, no caption), in small.
        const QString rendered = sandbox.File(names[i] + ".png");
        const auto render = RunCli({ "render", "--root", root, "--template", names[i], "--photo", photoPath, "--fit",
            "face", "--caption", "", "--out", rendered });
        ASSERT_EQ(render.exitCode, 0) << render.err.toStdString();
        const QImage full(rendered);
        const QSize small = full.size().scaled(cell.picture.size(), Qt::KeepAspectRatio);
        const QImage expected
            = full.scaled(small, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).convertToFormat(QImage::Format_RGB32);
        const QRect placed(cell.picture.x() + (cell.picture.width() - small.width()) / 2,
            cell.picture.y() + (cell.picture.height() - small.height()) / 2, small.width(), small.height());
        const test::ImageDifference difference = test::CompareImages(sheet.copy(placed), expected);
        // Both decode and scale their own way; a photo set a few pixels
        // aside would give a mean of 4 and more.
        EXPECT_LT(difference.meanChannelDelta, 1.5);
        EXPECT_GT(difference.psnr, 33.0);
        // And the face is there again, near its goals.
        const FaceSearch search = finder->Find(sheet.copy(placed));
        ASSERT_FALSE(search.faces.empty());
    }
}

} // namespace
} // namespace lumavo
