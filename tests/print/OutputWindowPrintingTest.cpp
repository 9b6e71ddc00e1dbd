#include "TestUtils.h"
#include "engine/TemplateFixtures.h"
#include "print/PrintedPages.h"
#include "printing/CupsPrintQueue.h"
#include "skin/CommandEvent.h"
#include "templates/Portrait.h"
#include "ui/CommandIds.h"
#include "ui/OutputDlg.h"
#include "ui/OutputPrinting.h"
#include "ui/UiTestUtils.h"

#include <QDir>
#include <QLabel>
#include <QPageLayout>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressBar>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTimer>

#include <gtest/gtest.h>

namespace lumavo {
namespace {

using namespace std::chrono_literals;

// The output window printing to the tests' CUPS printers, as an operator
// prints: the print dialog on a printer, copies chosen there.
class OutputWindowPrinting : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (test::PrintQueueServer().isEmpty())
            GTEST_SKIP() << "no print queue of the tests' own (run through ctest)";
        // Qt's print dialog asks the CUPS server of this thread; the print
        // itself is sent from a thread of its own, which reads the variable.
        m_server = qgetenv("CUPS_SERVER");
        qputenv("CUPS_SERVER", QFile::encodeName(test::PrintQueueServer()));
        CupsPrintQueue(1s, test::PrintQueueServer()).PrinterNames();

        QDir(m_sandbox.path()).mkdir("tpl");
        m_folder = TemplateFolder::FromPath(m_sandbox.File("tpl"));
        // 4R's proportions; a frame colour to the edges.
        const QRect opening(110, 200, 800, 1000);
        ASSERT_TRUE(test::WriteTemplate(m_folder.path(), test::MakeTestPhoto(1020, 1520, 5),
            test::MakeFlatFrame(QSize(1020, 1520), QColor(60, 90, 150), opening), opening));
        ASSERT_TRUE(m_portrait.LoadTemplate(m_folder).error.isEmpty());
        m_portrait.SetPhoto(PhotoImage::Adopt(test::MakeTestPhoto(800, 1000, 3)));
        m_portrait.SetPlacement(PhotoPlacement { 110, 200, 800, 1000 });
        m_portrait.Compose();
        m_dialog.SetPortrait(&m_portrait);
        m_dialog.Printing().SetCalibrationPath(m_sandbox.File("print-calibration.txt"));
    }
    void TearDown() override
    {
        if (m_server.isNull())
            qunsetenv("CUPS_SERVER");
        else
            qputenv("CUPS_SERVER", m_server);
    }

    // Prints at the size of the control id on `printer`, the dialog accepted;
    // returns the status line the window shows afterwards.
    QString Print(int sizeId, const QString& printer, int copies, QString* message = nullptr)
    {
        QString status;
        m_dialogPaperMm = {};
        test::OnNextModal([&](QWidget* window) {
            m_dialog.findChild<QRadioButton*>(QStringLiteral("size%1").arg(sizeId))->click();
            m_dialog.Printer().setPrinterName(printer);
            m_dialog.Printer().setCopyCount(copies);
            test::OnNextModal([this](QWidget* modal) {
                ASSERT_NE(qobject_cast<QPrintDialog*>(modal), nullptr);
                m_dialogPaperMm = m_dialog.Printer().pageLayout().pageSize().size(QPageSize::Millimeter);
                static_cast<QDialog*>(modal)->accept();
            });
            if (message)
                test::AnswerNextMessage(message);
            SendCommand(window, kCmdPrint);
            status = m_dialog.findChild<QLabel*>("outputStatus")->text();
            SendCommand(window, kCmdCancel);
        });
        m_dialog.exec();
        return status;
    }

    test::Sandbox m_sandbox;
    QByteArray m_server;
    QSizeF m_dialogPaperMm; // the paper the print dialog opened on
    TemplateFolder m_folder;
    Portrait m_portrait;
    COutputDlg m_dialog;
};

TEST_F(OutputWindowPrinting, CopiesAndCalibrationReachThePaperWhileTheWindowKeepsPainting)
{
    ASSERT_TRUE(test::WriteFile(m_sandbox.File("print-calibration.txt"), "4R\t20\t0\t1000\tLumavoPhoto\n"));
    // While the print is under way the window's event loop goes on: timers
    // fire and the progress bar shows.
    int ticks = 0;
    bool progressShown = false;
    QTimer watch;
    watch.setInterval(20);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        auto* progress = m_dialog.findChild<QProgressBar*>("printProgress");
        if (progress && progress->isVisible()) {
            ++ticks;
            progressShown = true;
        }
    });
    watch.start();
    const QString status = Print(1044, QStringLiteral("LumavoPhoto"), 3);
    watch.stop();
    // The dialog opened on the printer's own 4R paper, not on its A4.
    EXPECT_NEAR(m_dialogPaperMm.width(), 102, 0.5);
    EXPECT_NEAR(m_dialogPaperMm.height(), 152, 0.5);
    EXPECT_TRUE(progressShown);
    EXPECT_GT(ticks, 5) << "the window stood still while the job was watched";
    EXPECT_FALSE(m_dialog.findChild<QProgressBar*>("printProgress")->isVisible());

    static const QRegularExpression job(QStringLiteral("“LumavoPhoto”.*作业号 (\\d+)"));
    const QRegularExpressionMatch found = job.match(status);
    ASSERT_TRUE(found.hasMatch()) << status.toStdString();
    const int jobId = found.captured(1).toInt();
    const QString pdf = test::PrintedFile(jobId);
    ASSERT_FALSE(pdf.isEmpty());
    EXPECT_EQ(test::LoggedCopies(jobId), 3);
    const QSizeF pageMm = test::PdfPageSizeMm(pdf);
    EXPECT_NEAR(pageMm.width(), 102, 0.5);
    EXPECT_NEAR(pageMm.height(), 152, 0.5);
    // The picture fills its own paper, moved 2.0 mm right by the calibration.
    test::ExpectInkedArea(test::RenderPdfPage(pdf), QRectF(2.0, 0, 100, 152));
}

TEST_F(OutputWindowPrinting, ARefusedPrintIsToldAndNeverTakenForPrinted)
{
    QString message;
    const QString status = Print(1044, QStringLiteral("LumavoStopped"), 1, &message);
    EXPECT_EQ(message, QStringLiteral("打印失败：打印机“LumavoStopped”已停止（Paper jam in tray 1）"));
    EXPECT_EQ(status, message);

    // Taken by the queue, then given up by its printer.
    const QString broken = Print(1044, QStringLiteral("LumavoBroken"), 1, &message);
    EXPECT_TRUE(message.startsWith(QStringLiteral("打印失败：打印机“LumavoBroken”"))) << message.toStdString();
    EXPECT_EQ(broken, message);
    EXPECT_FALSE(broken.contains(QStringLiteral("打印完成"))) << broken.toStdString();
}

} // namespace
} // namespace lumavo
