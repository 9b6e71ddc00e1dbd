#include "TestUtils.h"
#include "engine/CliFixtures.h"
#include "print/PrintedPages.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <cstdlib>

namespace lumavo {
namespace {

constexpr double kToleranceMm = 0.5;

// lumavo-cli as a kiosk script runs it: no display, the tests' print queue
// as the system's, and a configuration folder of the test's own.
class CliPrinting : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (test::PrintQueueServer().isEmpty())
            GTEST_SKIP() << "no print queue of the tests' own (run through ctest)";
        m_root = m_sandbox.File("templates");
        // 700 x 1050 has 4R's proportions within a third of a millimetre;
        // the square one differs from every size. Half the pixels of a
        // studio's templates: every print goes through PostScript and back.
        test::MakeTemplate(m_root, "4R", QSize(700, 1050), QRect(50, 75, 300, 400));
        test::MakeTemplate(m_root, "square", QSize(750, 750), QRect(125, 125, 500, 500));
        m_photo = test::SavePhoto(m_sandbox, "photo.jpg", test::MakeSmoothPhoto(300, 400), "JPG");
    }

    test::CliRun Cli(const QStringList& arguments)
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : { "QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY" })
            environment.remove(QLatin1String(name));
        environment.insert(QStringLiteral("CUPS_SERVER"), test::PrintQueueServer());
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_sandbox.File("config"));
        process.setProcessEnvironment(environment);
        process.start(test::CliPath(), arguments);
        test::ProgramRun run;
        run.finished = process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit;
        run.exitCode = process.exitCode();
        run.out = process.readAllStandardOutput();
        run.err = process.readAllStandardError();
        return test::Finished(run);
    }

    test::CliRun Print(const QString& templateName, const QStringList& more)
    {
        return Cli(
            QStringList { "print", "--root", m_root, "--template", templateName, "--photo", m_photo, "--size", "4R" }
            + more);
    }

    void Calibrate(const QByteArray& lines)
    {
        ASSERT_TRUE(QDir().mkpath(m_sandbox.File("config/lumavo")));
        ASSERT_TRUE(test::WriteFile(m_sandbox.File("config/lumavo/print-calibration.txt"), lines));
    }

    // The job number the command reported on its one line.
    static int JobOf(const test::CliRun& run)
    {
        static const QRegularExpression job(QStringLiteral("作业号 (\\d+)"));
        const QRegularExpressionMatch found = job.match(run.out);
        return found.hasMatch() ? found.captured(1).toInt() : 0;
    }

    // The page the queue's PDF printer made of the command's job; its size in *pageMm.
    QImage PrintedPage(const test::CliRun& run, QSizeF* pageMm = nullptr)
    {
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        const int job = JobOf(run);
        EXPECT_GT(job, 0) << run.out.toStdString();
        const QString pdf = job > 0 ? test::PrintedFile(job) : QString();
        if (pdf.isEmpty()) {
            ADD_FAILURE() << "no PDF for job " << job;
            return {};
        }
        EXPECT_EQ(test::PdfPages(pdf), 1);
        if (pageMm)
            *pageMm = test::PdfPageSizeMm(pdf);
        return test::RenderPdfPage(pdf);
    }

    test::Sandbox m_sandbox;
    QString m_root;
    QString m_photo;
};

TEST_F(CliPrinting, FourRFillsItsPaperAndTheFitChoiceDecidesTheBorders)
{
    QSizeF pageMm;
    const test::CliRun filled = Print("4R", { "--printer", "LumavoPhoto", "--fit", "fill" });
    EXPECT_TRUE(filled.out.startsWith(QStringLiteral("打印完成：打印机“LumavoPhoto”"))) << filled.out.toStdString();
    EXPECT_TRUE(filled.err.isEmpty()) << filled.err.toStdString();
    const QImage page = PrintedPage(filled, &pageMm);
    EXPECT_NEAR(pageMm.width(), 102.0, kToleranceMm);
    EXPECT_NEAR(pageMm.height(), 152.0, kToleranceMm);
    test::ExpectInkedArea(page, QRectF(0, 0, 102, 152));

    // A square picture shown whole: 102 mm square, 25 mm of paper above and
    // below; filled: the whole page, its sides cut evenly.
    test::ExpectInkedArea(PrintedPage(Print("square", { "--printer", "LumavoPhoto" })), QRectF(0, 25, 102, 102));
    const QImage squareFilled = PrintedPage(Print("square", { "--printer", "LumavoPhoto", "--fit", "fill" }));
    test::ExpectInkedArea(squareFilled, QRectF(0, 0, 102, 152));
    // The middle of the picture stays in the middle: the frame's red rim
    // (125 pixels of 750) is kept at the top and cut off at the sides,
    // where only 2 pixels of it are left.
    auto frameRed = [](const QColor& c) {
        return std::abs(c.red() - test::kFrameColor.red()) + std::abs(c.green() - test::kFrameColor.green())
            + std::abs(c.blue() - test::kFrameColor.blue())
            < 60;
    };
    EXPECT_TRUE(frameRed(squareFilled.pixelColor(510, 20))) << "the frame's top rim is missing";
    EXPECT_FALSE(frameRed(squareFilled.pixelColor(20, 760))) << "the sides are not cut";
}

TEST_F(CliPrinting, TheCalibrationOfThePrinterAndSizeMovesThePrint)
{
    Calibrate("4R\t20\t0\t1000\tLumavoPhoto\n"
              "4R\t-40\t30\t1000\tLumavoOther\n"
              "A4\t90\t90\t1000\tLumavoPhoto\n");
    const QImage page = PrintedPage(Print("4R", { "--printer", "LumavoPhoto", "--fit", "fill" }));
    // 2.0 mm right: the paper's first 2 mm are bare, the right edge went off it.
    test::ExpectInkedArea(page, QRectF(2.0, 0, 100, 152));

    // The test sheet takes the same correction: its frame's left line 2 mm in.
    const test::CliRun sheet = Cli({ "print-test", "--size", "4R", "--printer", "LumavoPhoto" });
    const QRectF inked = test::InkedAreaMm(PrintedPage(sheet));
    EXPECT_NEAR(inked.left(), 2.0, kToleranceMm);
    EXPECT_NEAR(inked.top(), 0.0, kToleranceMm);
}

TEST_F(CliPrinting, TheCopiesAskedForReachTheQueue)
{
    const test::CliRun three = Print("4R", { "--printer", "LumavoPhoto", "--copies", "3" });
    ASSERT_EQ(three.exitCode, 0) << three.err.toStdString();
    const int job = JobOf(three);
    ASSERT_FALSE(test::PrintedFile(job).isEmpty());
    EXPECT_EQ(test::LoggedCopies(job), 3);
}

TEST_F(CliPrinting, PrintersThatCannotPrintFailWithOneChineseLine)
{
    struct Case {
        const char* printer;
        const char* words;
    };
    for (const Case& c : { Case { "LumavoStopped", "已停止（Paper jam in tray 1）" },
             Case { "LumavoRejecting", "不接受打印作业（Ribbon used up）" },
             Case { "NoSuchPrinter", "找不到打印机" } }) {
        SCOPED_TRACE(c.printer);
        const test::CliRun refused = Print("4R", { "--printer", c.printer });
        EXPECT_EQ(refused.exitCode, 1);
        EXPECT_TRUE(refused.out.isEmpty()) << refused.out.toStdString();
        ASSERT_EQ(refused.errLines().size(), 1) << refused.err.toStdString();
        EXPECT_TRUE(refused.err.startsWith(QStringLiteral("错误：打印失败：打印机“%1”").arg(c.printer))
            || refused.err.startsWith(QStringLiteral("错误：打印失败：找不到打印机“%1”").arg(c.printer)))
            << refused.err.toStdString();
        EXPECT_TRUE(refused.err.contains(QString::fromUtf8(c.words))) << refused.err.toStdString();
    }
    const test::CliRun sheet = Cli({ "print-test", "--size", "A4", "--printer", "LumavoStopped" });
    EXPECT_EQ(sheet.exitCode, 1);
    EXPECT_EQ(sheet.errLines().size(), 1);

    // The queue takes this one and then its printer fails it: a failure too.
    const test::CliRun broken = Print("4R", { "--printer", "LumavoBroken" });
    EXPECT_EQ(broken.exitCode, 1) << broken.out.toStdString();
    EXPECT_TRUE(broken.err.startsWith(QStringLiteral("错误：打印失败："))) << broken.err.toStdString();

    // No printer named and none set as the default.
    const test::CliRun none = Print("4R", {});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_EQ(none.err.trimmed(), QStringLiteral("错误：打印失败：没有设置默认打印机，请先选择打印机"));
}

TEST_F(CliPrinting, ASmallPhotoIsPrintedWithAWarning)
{
    // 60 x 80 pixels zoomed over the opening: far below 150 dpi on 4R.
    m_photo = test::SavePhoto(m_sandbox, "small.jpg", test::MakeSmoothPhoto(60, 80), "JPG");
    const test::CliRun small = Print("4R", { "--printer", "LumavoPhoto", "--zoom", "100" });
    EXPECT_EQ(small.exitCode, 0) << small.err.toStdString();
    EXPECT_TRUE(small.err.startsWith(QStringLiteral("警告：相片分辨率偏低，打印可能不够清晰（4R 上约 ")))
        << small.err.toStdString();
    static const QRegularExpression dpi(QStringLiteral("约 (\\d+) dpi"));
    const QRegularExpressionMatch found = dpi.match(small.err);
    ASSERT_TRUE(found.hasMatch());
    EXPECT_LT(found.captured(1).toInt(), 150);
    EXPECT_GT(found.captured(1).toInt(), 0);
}

} // namespace
} // namespace lumavo
