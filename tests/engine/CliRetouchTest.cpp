// lumavo-cli's retouching edits: keying from a photo point (in pixels or in
// shares of the photo, for a batch) and skin smoothing, through the real
// program and its finished pictures.

#include "CliFixtures.h"
#include "TestUtils.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <algorithm>

namespace lumavo {
namespace {

using test::RunCli;

QString SamplePhoto(const char* name)
{
    return test::ProgramDir() + "/samples/photos/" + name + ".jpg";
}

QImage SampleMask(const char* name)
{
    return QImage(test::ProgramDir() + "/samples/masks/" + name + ".png").convertToFormat(QImage::Format_Grayscale8);
}

QRect PlacementOf(const QString& root, const QString& photo)
{
    const test::CliRun run = RunCli({ "place", "--root", root, "--template", "4R", "--photo", photo });
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QStringList parts = run.out.trimmed().split(' ');
    if (parts.size() != 4)
        return {};
    return QRect(parts[0].toInt(), parts[1].toInt(), parts[2].toInt(), parts[3].toInt());
}

struct Shares {
    double backdropShowsTemplate = 0; // of the backdrop's pixels
    double subjectAsPlain = 0; // of the subject's pixels
};

// In the finished picture: where the photo's backdrop was, the template's
// background colour; where the subject is, the same as without keying.
// Only pixels whose whole neighbourhood in the mask is backdrop or subject.
Shares Compare(const QImage& keyed, const QImage& plain, const QImage& mask, QRect placement)
{
    size_t backdrop = 0, showing = 0, subject = 0, same = 0;
    const auto interior = [&](int px, int py, int value) {
        for (int dy = -12; dy <= 12; dy += 4)
            for (int dx = -12; dx <= 12; dx += 4) {
                const int x = std::clamp(px + dx, 0, mask.width() - 1), y = std::clamp(py + dy, 0, mask.height() - 1);
                if (mask.constScanLine(y)[x] != value)
                    return false;
            }
        return true;
    };
    for (int y = placement.top(); y <= placement.bottom(); ++y)
        for (int x = placement.left(); x <= placement.right(); ++x) {
            const int px = int((x - placement.x() + 0.5) * mask.width() / placement.width());
            const int py = int((y - placement.y() + 0.5) * mask.height() / placement.height());
            const QRgb k = keyed.pixel(x, y), p = plain.pixel(x, y);
            if (interior(px, py, 0)) {
                ++backdrop;
                const QColor expected = test::kBackgroundColor;
                showing += std::abs(qRed(k) - expected.red()) + std::abs(qGreen(k) - expected.green())
                        + std::abs(qBlue(k) - expected.blue())
                    < 12;
            } else if (interior(px, py, 255)) {
                ++subject;
                same += std::max({ std::abs(qRed(k) - qRed(p)), std::abs(qGreen(k) - qGreen(p)),
                            std::abs(qBlue(k) - qBlue(p)) })
                    <= 3;
            }
        }
    return { double(showing) / double(std::max<size_t>(backdrop, 1)),
        double(same) / double(std::max<size_t>(subject, 1)) };
}

TEST(CliRetouchTest, KeyingFromAPointKeepsTheSubjectInRenderAndBatch)
{
    if (SampleMask("portrait-man").isNull())
        GTEST_SKIP() << "sample photos not built";
    test::Sandbox box;
    const QString root = box.File("root");
    test::Make4R(root);

    struct Sample {
        const char* name;
        QString key; // pixels of the full-size photo
    };
    for (const Sample& sample :
        { Sample { "portrait-man", "key:60,80" }, Sample { "portrait-woman", "key:2300,1900:40" } }) {
        SCOPED_TRACE(sample.name);
        const QString photo = SamplePhoto(sample.name);
        const QString plainOut = box.File(QString::fromLatin1(sample.name) + "-plain.png");
        const QString keyedOut = box.File(QString::fromLatin1(sample.name) + "-keyed.png");
        test::CliRun run
            = RunCli({ "render", "--root", root, "--template", "4R", "--photo", photo, "--out", plainOut });
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        run = RunCli({ "render", "--root", root, "--template", "4R", "--photo", photo, "--edit", sample.key, "--out",
            keyedOut });
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        const Shares shares
            = Compare(QImage(keyedOut), QImage(plainOut), SampleMask(sample.name), PlacementOf(root, photo));
        std::printf("[ measured ] %s: backdrop gone %.4f, subject kept %.4f\n", sample.name,
            shares.backdropShowsTemplate, shares.subjectAsPlain);
        EXPECT_GE(shares.backdropShowsTemplate, 0.98);
        EXPECT_GE(shares.subjectAsPlain, 0.995);
    }

    // A batch of photos of different sizes keyed from the same share of each.
    const QImage woman(SamplePhoto("portrait-woman"));
    const QSize smaller = woman.size() * 3 / 4;
    const QString womanSmall = test::SavePhoto(box, "woman-small.jpg", woman.scaled(smaller), "JPEG", 95);
    const QString outDir = box.File("out");
    const test::CliRun batch = RunCli({ "batch", "--root", root, "--template", "4R", "--out-dir", outDir, "--format",
        "png", "--edit", "key:3%,2%", SamplePhoto("portrait-man"), womanSmall });
    ASSERT_EQ(batch.exitCode, 0) << batch.err.toStdString();
    struct Out {
        const char* name;
        QString photo;
        QImage mask;
    };
    for (const Out& out : { Out { "portrait-man", SamplePhoto("portrait-man"), SampleMask("portrait-man") },
             Out { "woman-small", womanSmall, SampleMask("portrait-woman").scaled(smaller) } }) {
        SCOPED_TRACE(out.name);
        const QString plain = box.File(QString::fromLatin1(out.name) + "-batch-plain.png");
        ASSERT_EQ(
            RunCli({ "render", "--root", root, "--template", "4R", "--photo", out.photo, "--out", plain }).exitCode, 0);
        const Shares shares
            = Compare(QImage(outDir + '/' + out.name + ".png"), QImage(plain), out.mask, PlacementOf(root, out.photo));
        std::printf("[ measured ] batch, %s: backdrop gone %.4f, subject kept %.4f\n", out.name,
            shares.backdropShowsTemplate, shares.subjectAsPlain);
        EXPECT_GE(shares.backdropShowsTemplate, 0.98);
        EXPECT_GE(shares.subjectAsPlain, 0.995);
    }
}

// The man's portrait at half its size (1200 x 1600), scaled the quick way
// and saved again: his dark suit is within a few levels of the darkened
// backdrop's lightness at the lower corners, where the strip of backdrop
// beside it narrows to nothing; only its hue differs, and the file smears
// hue over several blocks. The suit stays, the backdrop goes.
TEST(CliRetouchTest, KeyingAHalfSizeCopyKeepsTheSuit)
{
    if (SampleMask("portrait-man").isNull())
        GTEST_SKIP() << "sample photos not built";
    test::Sandbox box;
    const QString root = box.File("root");
    test::Make4R(root);
    const QImage man(SamplePhoto("portrait-man"));
    const QString small = test::SavePhoto(box, "man-small.jpg", man.scaled(man.size() / 2), "JPEG", 95);
    const QString plain = box.File("plain.png"), keyed = box.File("keyed.png");
    ASSERT_EQ(RunCli({ "render", "--root", root, "--template", "4R", "--photo", small, "--out", plain }).exitCode, 0);
    ASSERT_EQ(RunCli({ "render", "--root", root, "--template", "4R", "--photo", small, "--edit", "key:3%,2%", "--out",
                         keyed })
                  .exitCode,
        0);
    const Shares shares = Compare(
        QImage(keyed), QImage(plain), SampleMask("portrait-man").scaled(man.size() / 2), PlacementOf(root, small));
    EXPECT_GE(shares.backdropShowsTemplate, 0.98);
    EXPECT_GE(shares.subjectAsPlain, 0.995);
}

TEST(CliRetouchTest, KeyAndSmoothOptionsAreCheckedAndSmoothingStaysOnTheSkin)
{
    if (SampleMask("portrait-woman").isNull())
        GTEST_SKIP() << "sample photos not built";
    test::Sandbox box;
    const QString root = box.File("root");
    test::Make4R(root);
    const QString photo = SamplePhoto("portrait-woman");
    const QStringList place { "place", "--root", root, "--template", "4R", "--photo", photo, "--edit" };

    // Usage errors: no point, a share over 100%, a tolerance out of range, a fraction of a pixel.
    for (const char* bad : { "key:", "key:5%", "key:101%,2%", "key:2,2:101", "key:2.5,3", "key:-1,3", "key:1,2:3:4" }) {
        SCOPED_TRACE(bad);
        const test::CliRun run = RunCli(place + QStringList { QString::fromLatin1(bad) });
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_TRUE(run.err.contains(QStringLiteral("key")) || run.err.contains(QStringLiteral("容差")))
            << run.err.toStdString();
    }
    // A point beyond the photo: told so, with the photo's size.
    test::CliRun run = RunCli(place + QStringList { "key:2400,10" });
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains(QStringLiteral("2400 x 3200"))) << run.err.toStdString();
    // A point after a quarter turn lies on the turned photo.
    run = RunCli(place + QStringList { "left", "--edit", "key:3000,10" });
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();

    // Smoothing changes the face and leaves the backdrop and the blouse's
    // grain; in an opening of the photo's own size, so the photo is drawn as it is.
    test::MakeTemplate(root, "whole", QSize(2600, 3400), QRect(100, 100, 2400, 3200));
    const QString plainOut = box.File("plain.png"), smoothOut = box.File("smooth.png");
    ASSERT_EQ(
        RunCli({ "render", "--root", root, "--template", "whole", "--photo", photo, "--out", plainOut }).exitCode, 0);
    run = RunCli(
        { "render", "--root", root, "--template", "whole", "--photo", photo, "--edit", "smooth", "--out", smoothOut });
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QImage plain(plainOut), smooth(smoothOut);
    const QRect placement(100, 100, 2400, 3200);
    const auto region = [&](double x, double y, double w, double h) {
        return QRect(placement.x() + int(x * placement.width()), placement.y() + int(y * placement.height()),
            int(w * placement.width()), int(h * placement.height()));
    };
    const auto changed = [&](const QRect& area) {
        size_t count = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                count += plain.pixel(x, y) != smooth.pixel(x, y);
        return double(count) / double(area.width() * area.height());
    };
    EXPECT_GT(changed(region(0.42, 0.38, 0.16, 0.08)), 0.3); // the cheeks
    EXPECT_LT(changed(region(0.02, 0.02, 0.2, 0.2)), 0.01); // the backdrop
    EXPECT_LT(changed(region(0.05, 0.85, 0.2, 0.1)), 0.02); // the blouse
}

} // namespace
} // namespace lumavo
