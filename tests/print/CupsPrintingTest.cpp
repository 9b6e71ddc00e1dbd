#include "TestUtils.h"
#include "print/PrintedPages.h"
#include "printing/CupsPrintQueue.h"
#include "printing/PrintJobs.h"

#include <QFile>
#include <QPainter>

#include <gtest/gtest.h>

#include <iostream>

namespace lumavo {
namespace {

using namespace std::chrono_literals;

// Half a millimetre: what the print must hit.
constexpr double kToleranceMm = 0.5;

// A finished picture in one strong colour, its top half darker, so its way
// round can be seen on the page.
QImage TwoToned(int width, int height)
{
    QImage picture(width, height, QImage::Format_RGB32);
    picture.fill(QColor(220, 40, 40));
    QPainter painter(&picture);
    painter.fillRect(0, 0, width, height / 2, QColor(30, 40, 160));
    return picture;
}

QColor ColourAtMm(const QImage& page, double xMm, double yMm)
{
    return page.pixelColor(int(xMm * 10), int(yMm * 10));
}

class CupsPrinting : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (test::PrintQueueServer().isEmpty())
            GTEST_SKIP() << "no print queue of the tests' own (run through ctest)";
    }

    PrintReport Print(const QImage& picture, const char* size, FitMode fit = FitMode::Whole, int copies = 1,
        Calibration calibration = {}, const QString& printer = QStringLiteral("LumavoPhoto"))
    {
        PrintRequest request;
        request.printer = printer;
        request.format = FindPrintFormat(QString::fromLatin1(size));
        request.fit = fit;
        request.copies = copies;
        request.calibration = calibration;
        return PrintFinishedPicture(m_queue, picture, request);
    }

    // The page the queue's PDF printer made of a printed job.
    QImage PrintedPage(const PrintReport& report, QSizeF* pageMm = nullptr)
    {
        EXPECT_TRUE(report.outcome.TakenByQueue()) << report.outcome.detail.toStdString();
        const QString pdf = test::PrintedFile(report.outcome.jobId);
        EXPECT_FALSE(pdf.isEmpty()) << "no PDF for job " << report.outcome.jobId;
        if (pdf.isEmpty())
            return {};
        EXPECT_EQ(test::PdfPages(pdf), 1);
        if (pageMm)
            *pageMm = test::PdfPageSizeMm(pdf);
        return test::RenderPdfPage(pdf);
    }

    CupsPrintQueue m_queue { 20s, test::PrintQueueServer() };
};

TEST_F(CupsPrinting, FourRFillsItsOwnPaperAndSitsCentredOnA4)
{
    // The printer offers 4R: the page is 102 x 152 mm and the picture covers it.
    const PrintReport filled = Print(TwoToned(1400, 2100), "4R", FitMode::Fill);
    EXPECT_EQ(filled.outcome.result, PrintResult::Printed);
    EXPECT_GT(filled.outcome.jobId, 0);
    QSizeF pageMm;
    const QImage page = PrintedPage(filled, &pageMm);
    EXPECT_NEAR(pageMm.width(), 102.0, kToleranceMm);
    EXPECT_NEAR(pageMm.height(), 152.0, kToleranceMm);
    test::ExpectInkedArea(page, QRectF(0, 0, 102, 152));
    // The job asked for the printer's own paper, by the name it knows.
    EXPECT_EQ(test::LoggedMedia(filled.outcome.jobId), QStringLiteral("na_index-4x6_4x6in"));

    // 5R is not offered: it lies in the middle of the loaded A4 paper,
    // (210 - 127) / 2 = 41.5 mm from the left, (297 - 178) / 2 = 59.5 mm down.
    // A square picture shown whole: 127 mm wide, (178 - 127) / 2 mm borders.
    const PrintReport centred = Print(TwoToned(900, 900), "5R");
    const QImage a4 = PrintedPage(centred, &pageMm);
    EXPECT_NEAR(pageMm.width(), 210.0, kToleranceMm);
    EXPECT_NEAR(pageMm.height(), 297.0, kToleranceMm);
    test::ExpectInkedArea(a4, QRectF(41.5, 59.5 + 25.5, 127, 127));
    EXPECT_EQ(test::LoggedMedia(centred.outcome.jobId), QStringLiteral("iso_a4_210x297mm"));
}

TEST_F(CupsPrinting, CalibrationMovesAndScalesThePrint)
{
    // 2.0 mm right, 1.5 mm up on 4R paper: the left and bottom edges show the move.
    const PrintReport moved = Print(TwoToned(1400, 2100), "4R", FitMode::Fill, 1, Calibration { 20, -15, 1000 });
    const QRectF inked = test::InkedAreaMm(PrintedPage(moved));
    EXPECT_NEAR(inked.left(), 2.0, kToleranceMm);
    EXPECT_NEAR(inked.bottom(), 152.0 - 1.5, kToleranceMm);

    // 5R on A4 at 98 %: 124.46 x 174.44 mm about the centre of the page, then moved.
    const PrintReport scaled = Print(TwoToned(1270, 1780), "5R", FitMode::Fill, 1, Calibration { -30, 25, 980 });
    const QRectF expected(105 - 124.46 / 2 - 3.0, 148.5 - 174.44 / 2 + 2.5, 124.46, 174.44);
    test::ExpectInkedArea(PrintedPage(scaled), expected);
}

TEST_F(CupsPrinting, LandscapePictureTurnsOntoTheUprightPaper)
{
    // A 3:2 landscape picture filling 4R: turned a quarter counter-clockwise,
    // its darker top half comes to the paper's left half.
    const PrintReport turned = Print(TwoToned(2100, 1400), "4R", FitMode::Fill);
    const QImage page = PrintedPage(turned);
    ASSERT_FALSE(page.isNull());
    const QColor left = ColourAtMm(page, 25, 76);
    const QColor right = ColourAtMm(page, 77, 76);
    EXPECT_GT(left.blue(), left.red()) << "the picture's top is not at the left";
    EXPECT_GT(right.red(), right.blue());
}

TEST_F(CupsPrinting, TheCopiesAskedForReachTheQueue)
{
    const PrintReport three = Print(TwoToned(700, 1050), "4R", FitMode::Whole, 3);
    ASSERT_EQ(three.outcome.result, PrintResult::Printed) << three.outcome.detail.toStdString();
    EXPECT_EQ(three.outcome.copies, 3);
    ASSERT_FALSE(test::PrintedFile(three.outcome.jobId).isEmpty());
    EXPECT_EQ(test::LoggedCopies(three.outcome.jobId), 3);
}

TEST_F(CupsPrinting, PrintersThatCannotPrintAreReportedAndGetNothing)
{
    const QImage picture = TwoToned(700, 1050);
    const PrintReport stopped = Print(picture, "4R", FitMode::Whole, 1, {}, QStringLiteral("LumavoStopped"));
    EXPECT_EQ(stopped.outcome.result, PrintResult::Refused);
    EXPECT_EQ(stopped.outcome.problem, PrintProblem::PrinterStopped);
    EXPECT_TRUE(stopped.outcome.detail.contains(QStringLiteral("Paper jam"))) << stopped.outcome.detail.toStdString();
    EXPECT_EQ(stopped.outcome.jobId, 0);

    const PrintReport rejecting = Print(picture, "4R", FitMode::Whole, 1, {}, QStringLiteral("LumavoRejecting"));
    EXPECT_EQ(rejecting.outcome.result, PrintResult::Refused);
    EXPECT_EQ(rejecting.outcome.problem, PrintProblem::NotAcceptingJobs);
    EXPECT_TRUE(rejecting.outcome.detail.contains(QStringLiteral("Ribbon")));

    const PrintReport missing = Print(picture, "4R", FitMode::Whole, 1, {}, QStringLiteral("NoSuchPrinter"));
    EXPECT_EQ(missing.outcome.result, PrintResult::Refused);
    EXPECT_EQ(missing.outcome.problem, PrintProblem::NoPrinter);

    // The queue takes this one, then its printer fails it and the job is
    // given up: never taken for printed, and the queue's words say why.
    const PrintReport broken = Print(picture, "4R", FitMode::Whole, 1, {}, QStringLiteral("LumavoBroken"));
    EXPECT_GT(broken.outcome.jobId, 0);
    EXPECT_EQ(broken.outcome.result, PrintResult::Refused) << broken.outcome.detail.toStdString();
    EXPECT_TRUE(
        broken.outcome.problem == PrintProblem::JobAborted || broken.outcome.problem == PrintProblem::JobCanceled);
    EXPECT_FALSE(broken.outcome.detail.isEmpty());
    EXPECT_FALSE(broken.outcome.TakenByQueue());
    std::cout << "broken printer: " << broken.outcome.detail.toStdString() << "\n";

    // A print service that is not there.
    CupsPrintQueue nowhere(1s, test::PrintQueueFolder() + QStringLiteral("/no-such.sock"));
    PrintRequest request;
    request.printer = QStringLiteral("LumavoPhoto");
    request.format = FindPrintFormat(u"4R");
    const PrintReport unreachable = PrintFinishedPicture(nowhere, picture, request);
    EXPECT_EQ(unreachable.outcome.result, PrintResult::NotStarted);
    EXPECT_EQ(unreachable.outcome.problem, PrintProblem::NoPrintService);
}

} // namespace
} // namespace lumavo
