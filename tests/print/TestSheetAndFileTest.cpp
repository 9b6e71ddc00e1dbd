#include "TestUtils.h"
#include "print/PrintedPages.h"
#include "printing/CupsPrintQueue.h"
#include "printing/PaperPreselection.h"
#include "printing/PrintJobs.h"

#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>

#include <gtest/gtest.h>

namespace lumavo {
namespace {

using namespace std::chrono_literals;

bool Dark(const QImage& page, double xMm, double yMm)
{
    return qGray(page.pixel(int(xMm * 10), int(yMm * 10))) < 128;
}

QString PdfText(const QString& pdf)
{
    QProcess process;
    process.start(QStringLiteral("pdftotext"), { pdf, QStringLiteral("-") });
    process.waitForFinished(30000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

TEST(TestSheet, FrameAtTheSizesEdgeRulersCrossAndNamesMovedByTheCorrection)
{
    if (test::PrintQueueServer().isEmpty())
        GTEST_SKIP() << "no print queue of the tests' own (run through ctest)";
    CupsPrintQueue queue(20s, test::PrintQueueServer());
    PrintRequest request;
    request.printer = QStringLiteral("LumavoPhoto");
    request.format = FindPrintFormat(u"4R");
    request.calibration = Calibration { 30, -20, 1000 }; // 3.0 mm right, 2.0 mm up
    const PrintReport report = PrintCalibrationSheet(queue, request);
    ASSERT_EQ(report.outcome.result, PrintResult::Printed) << report.outcome.detail.toStdString();
    const QString pdf = test::PrintedFile(report.outcome.jobId);
    ASSERT_FALSE(pdf.isEmpty());
    const QSizeF pageMm = test::PdfPageSizeMm(pdf);
    EXPECT_NEAR(pageMm.width(), 102, 0.5);
    EXPECT_NEAR(pageMm.height(), 152, 0.5);

    const QImage page = test::RenderPdfPage(pdf);
    ASSERT_FALSE(page.isNull());
    // The frame's left edge 3 mm in, its bottom 2 mm up; its top and right
    // edges went off the paper.
    const QRectF inked = test::InkedAreaMm(page);
    EXPECT_NEAR(inked.left(), 3.0, 0.5);
    EXPECT_NEAR(inked.bottom(), 150.0, 0.5);
    EXPECT_TRUE(Dark(page, 3.2, 100)); // the frame's left line
    EXPECT_TRUE(Dark(page, 60, 149.8)); // its bottom line
    EXPECT_FALSE(Dark(page, 60, 151)); // nothing below it
    // The centre cross at (51 + 3, 76 - 2), its arms 10 mm long.
    EXPECT_TRUE(Dark(page, 54, 74));
    EXPECT_TRUE(Dark(page, 62, 74));
    EXPECT_TRUE(Dark(page, 54, 82));
    EXPECT_FALSE(Dark(page, 62, 82));
    // The left ruler: a long tick at every centimetre of the size.
    EXPECT_TRUE(Dark(page, 3 + 4, 50 - 2));
    EXPECT_FALSE(Dark(page, 3 + 4, 50.5 - 2));

    // The words on it: the queue's filters turn text into shapes, so they
    // are read from the same sheet printed into a file.
    test::Sandbox sandbox;
    const auto file = MakePdfFileQueue(sandbox.File("sheet.pdf"));
    request.printer.clear();
    request.format = FindPrintFormat(u"A5");
    ASSERT_EQ(PrintCalibrationSheet(*file, request).outcome.result, PrintResult::Printed);
    const QString text = PdfText(sandbox.File("sheet.pdf")).simplified();
    EXPECT_TRUE(text.contains(QStringLiteral("打印机：PDF"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("A5（148 × 210 mm）")));
    EXPECT_TRUE(text.contains(QStringLiteral("X +3.0 mm，Y -2.0 mm，比例 1.000")));
}

TEST(PdfFilePrinting, ThePageIsTheSizeAndEveryCopyIsAPage)
{
    test::Sandbox sandbox;
    const QString pdf = sandbox.File("portrait.pdf");
    const auto queue = MakePdfFileQueue(pdf);
    QImage picture(1000, 1000, QImage::Format_RGB32);
    picture.fill(QColor(30, 120, 60));
    PrintRequest request;
    request.format = FindPrintFormat(u"4R");
    request.copies = 2;
    const PrintReport report = PrintFinishedPicture(*queue, picture, request);
    ASSERT_EQ(report.outcome.result, PrintResult::Printed);
    EXPECT_EQ(report.printer, QStringLiteral("PDF"));
    EXPECT_EQ(test::PdfPages(pdf), 2);
    const QSizeF pageMm = test::PdfPageSizeMm(pdf);
    EXPECT_NEAR(pageMm.width(), 102, 0.5);
    EXPECT_NEAR(pageMm.height(), 152, 0.5);
    // A square picture shown whole on 4R: 102 mm square, 25 mm from the top.
    const QRectF inked = test::InkedAreaMm(test::RenderPdfPage(pdf));
    EXPECT_NEAR(inked.left(), 0, 0.5);
    EXPECT_NEAR(inked.top(), 25, 0.5);
    EXPECT_NEAR(inked.width(), 102, 0.5);
    EXPECT_NEAR(inked.height(), 102, 0.5);

    // The finished picture reaches the page pixel for pixel: no lossy
    // compression on its way (a photo's grain is what it would lose first).
    const QImage detailed = test::MakeDetailedPhoto(300, 450, 4);
    const QString exact = sandbox.File("exact.pdf");
    request.copies = 1;
    ASSERT_EQ(PrintFinishedPicture(*MakePdfFileQueue(exact), detailed, request).outcome.result, PrintResult::Printed);
    QProcess extract;
    extract.start(QStringLiteral("pdfimages"), { QStringLiteral("-png"), exact, sandbox.File("embedded") });
    ASSERT_TRUE(extract.waitForFinished(30000));
    const QImage embedded(sandbox.File("embedded-000.png"));
    ASSERT_EQ(embedded.size(), detailed.size());
    EXPECT_EQ(test::CompareImages(embedded.convertToFormat(QImage::Format_RGB32), detailed).maxChannelDelta, 0);

    // No copies, no picture: nothing is written.
    request.copies = 0;
    QFile::remove(pdf);
    EXPECT_EQ(PrintFinishedPicture(*queue, picture, request).outcome.problem, PrintProblem::BadRequest);
    request.copies = 1;
    EXPECT_EQ(PrintFinishedPicture(*queue, QImage(), request).outcome.problem, PrintProblem::BadRequest);
    EXPECT_FALSE(QFile::exists(pdf));
}

TEST(PrintDialogPaper, ThePrintersOwnPaperOfTheSizeIsPreselected)
{
    if (test::PrintQueueServer().isEmpty())
        GTEST_SKIP() << "no print queue of the tests' own (run through ctest)";
    // Qt's print support asks the CUPS server of this thread.
    CupsPrintQueue(1s, test::PrintQueueServer()).PrinterNames();
    QPrinter printer(QPrinterInfo::printerInfo(QStringLiteral("LumavoPhoto")), QPrinter::HighResolution);
    ASSERT_EQ(printer.printerName(), QStringLiteral("LumavoPhoto"));
    printer.setPageSize(QPageSize(QPageSize::A4));
    EXPECT_TRUE(PreselectPaper(printer, *FindPrintFormat(u"4R")));
    const QSizeF paper = printer.pageLayout().pageSize().size(QPageSize::Millimeter);
    EXPECT_NEAR(paper.width(), 102, 0.5);
    EXPECT_NEAR(paper.height(), 152, 0.5);
    // 5R is not offered: the page stays as it was.
    EXPECT_FALSE(PreselectPaper(printer, *FindPrintFormat(u"5R")));
    EXPECT_NEAR(printer.pageLayout().pageSize().size(QPageSize::Millimeter).width(), 102, 0.5);
}

} // namespace
} // namespace lumavo
