#include "TestUtils.h"
#include "engine/TemplateFixtures.h"
#include "imaging/ImageFiles.h"
#include "platform/ProfileFile.h"
#include "platform/ProgramFolder.h"
#include "print/PdfPages.h"
#include "printing/PrintFormats.h"
#include "skin/CommandEvent.h"
#include "templates/Caption.h"
#include "templates/OutputRender.h"
#include "templates/Portrait.h"
#include "ui/CommandIds.h"
#include "ui/OutputDlg.h"
#include "ui/OutputPrinting.h"
#include "ui/PhotoCanvas.h"
#include "ui/UiTestUtils.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPageLayout>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

namespace lumavo {
namespace {

constexpr int kBackgroundWidth = 300;
constexpr int kBackgroundHeight = 400;

// A small template, a photo and settings in a sandbox that stands in for
// the program folder.
class OutputWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetProgramFolderForTesting(m_sandbox.path());
        WriteProfileString(SettingsPath(), "System", "Quality", "90");
        WriteProfileString(SettingsPath(), "System", "Caption", QStringLiteral("样张 Sample 2024"));

        QDir(m_sandbox.path()).mkdir("tpl");
        m_folder = TemplateFolder::FromPath(m_sandbox.File("tpl"));
        const QRect opening(50, 60, 200, 250);
        ASSERT_TRUE(test::WriteTemplate(m_folder.path(), test::MakeTestPhoto(kBackgroundWidth, kBackgroundHeight, 7),
            test::MakeFlatFrame(QSize(kBackgroundWidth, kBackgroundHeight), QColor(200, 180, 120), opening), opening));

        m_photo = PhotoImage::Adopt(test::MakeTestPhoto(160, 200, 3));
        // The window's portrait holds a photo of its own, equal to the test's.
        ASSERT_TRUE(m_portrait.LoadTemplate(m_folder).error.isEmpty());
        ASSERT_EQ(m_portrait.RecordedSize(), QSize(kBackgroundWidth, kBackgroundHeight));
        m_portrait.SetPhoto(PhotoImage::Adopt(m_photo->image().copy()));
        m_portrait.SetPlacement(m_placement);
        m_portrait.Compose();
        m_dialog.SetPortrait(&m_portrait);
    }
    void TearDown() override { SetProgramFolderForTesting(QString()); }

    // Runs the window; `work` acts on it while it is open, then it is closed with Esc.
    void Run(const std::function<void()>& work)
    {
        test::OnNextModal([&](QWidget* window) {
            EXPECT_EQ(window, &m_dialog);
            work();
            SendCommand(&m_dialog, kCmdCancel);
        });
        EXPECT_EQ(m_dialog.exec(), kCmdCancel);
    }

    // The save command with the operator typing `typed` into the save dialog.
    // `afterwards` gets the next modal window (a message box), if one is expected.
    void SaveAs(const QString& typed, std::function<void(QWidget*)> afterwards = {}, int type = 0)
    {
        test::OnNextModal([this, typed, afterwards, type](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
            EXPECT_EQ(dialog->nameFilters(),
                QStringList(
                    { QStringLiteral("JPEG文件 (*.jpg)"), "Bitmap files (*.bmp)", QStringLiteral("PNG文件 (*.png)") }));
            dialog->setDirectory(m_sandbox.path());
            auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
            ASSERT_NE(name, nullptr);
            if (type != 0) {
                auto* types = dialog->findChild<QComboBox*>("fileTypeCombo");
                ASSERT_NE(types, nullptr);
                types->setCurrentIndex(type);
                emit types->activated(type);
                emit types->textActivated(types->itemText(type));
            }
            name->setText(typed);
            static_cast<QDialog*>(dialog)->accept();
            if (afterwards)
                test::OnNextModal(afterwards);
        });
        SendCommand(&m_dialog, kCmdSave);
    }

    // What the window should have written: rendered and saved by the engine directly.
    QByteArray Expected(const QString& name, int quality)
    {
        RenderResult rendered = RenderOutput(m_folder, m_photo.get(), m_placement, kBackgroundWidth, kBackgroundHeight,
            QStringLiteral("样张 Sample 2024"));
        EXPECT_TRUE(rendered.error.isEmpty());
        const QString path = m_sandbox.File("expected-" + name);
        EXPECT_EQ(SaveImage(rendered.picture, path, quality), Ok);
        return test::ReadFile(path);
    }

    QRadioButton* SizeButton(int controlId)
    {
        return m_dialog.findChild<QRadioButton*>(QStringLiteral("size%1").arg(controlId));
    }

    test::Sandbox m_sandbox;
    TemplateFolder m_folder;
    std::unique_ptr<PhotoImage> m_photo;
    Portrait m_portrait;
    PhotoPlacement m_placement { 60, 70, 180, 225 };
    QString m_longPath;
    COutputDlg m_dialog;
};

// A quality that is no number or is negative is no quality anyone set: the
// save uses the default, not the encoder's lowest.
TEST_F(OutputWindow, QualityThatIsNoNumberOrNegativeCountsAsAbsent)
{
    Run([&] {
        WriteProfileString(SettingsPath(), "System", "Quality", "abc");
        SaveAs("letters.jpg");
        WriteProfileString(SettingsPath(), "System", "Quality", "-5");
        SaveAs("negative.jpg");
    });
    const QByteArray atDefault = Expected("q90.jpg", 90);
    EXPECT_EQ(test::ReadFile(m_sandbox.File("letters.jpg")), atDefault);
    EXPECT_EQ(test::ReadFile(m_sandbox.File("negative.jpg")), atDefault);
}

TEST_F(OutputWindow, LaysOutPreviewAndSizes)
{
    Run([&] {
        EXPECT_FALSE(m_dialog.windowTitle().isEmpty());
        EXPECT_EQ(m_dialog.Canvas()->geometry(), QRect(80, 60, 640, 480));
        EXPECT_EQ(m_dialog.Canvas()->DisplayImage().size(), QSize(300, 400));
        auto* group = m_dialog.findChild<QGroupBox*>("sizeGroup");
        ASSERT_NE(group, nullptr);
        EXPECT_EQ(group->title(), QStringLiteral("尺寸"));
        EXPECT_EQ(group->geometry(), QRect(730, 60, 60, 400));
        const int ids[] = { 1038, 1044, 1045, 1046, 1047, 1048, 1040, 1050 };
        const char* captions[] = { "3R", "4R", "5R", "6R", "8R", "A6", "A5", "A4" };
        for (size_t i = 0; i < kPrintFormats.size(); ++i) {
            QRadioButton* button = SizeButton(ids[i]);
            ASSERT_NE(button, nullptr);
            EXPECT_EQ(button->text(), QLatin1String(captions[i]));
            EXPECT_EQ(button->pos(), QPoint(735, 80 + 20 * int(i)));
            EXPECT_EQ(button->isChecked(), i == 0);
        }
        EXPECT_EQ(m_dialog.SizeChoice(), 0);
        SizeButton(1050)->click();
        EXPECT_EQ(m_dialog.SizeChoice(), 7);
        EXPECT_FALSE(SizeButton(1038)->isChecked());
    });
}

TEST_F(OutputWindow, SavesTheRenderedPictureWithTheQualityOfTheMoment)
{
    Run([&] {
        SaveAs("first.jpg");
        WriteProfileString(SettingsPath(), "System", "Quality", "30");
        SaveAs("second"); // no extension: .jpg is added
        SaveAs("third.png");
        SaveAs("typed", {}, 2); // PNG chosen in the list: the name gets .png
        SaveAs("kept.jpg", {}, 1); // a typed extension outweighs the chosen type
        SizeButton(1050)->click();
        SaveAs("a4.png");
        EXPECT_TRUE(m_dialog.isVisible());
        // Enter is the save command, whichever control has the focus.
        SizeButton(1044)->setFocus();
        bool asked = false;
        test::OnNextModal([&asked](QWidget* modal) {
            asked = qobject_cast<QFileDialog*>(modal) != nullptr;
            static_cast<QDialog*>(modal)->reject();
        });
        QTest::keyClick(SizeButton(1044), Qt::Key_Return);
        EXPECT_TRUE(asked);
        EXPECT_TRUE(m_dialog.isVisible());
        // A path longer than an old 260-character buffer is used whole.
        QString deep = m_sandbox.path();
        while (deep.size() < 300)
            deep += QStringLiteral("/输出相片-finished-portraits");
        ASSERT_TRUE(QDir().mkpath(deep));
        SaveAs(deep + QStringLiteral("/long.png"));
        m_longPath = deep + QStringLiteral("/long.png");
    });

    const QByteArray first = test::ReadFile(m_sandbox.File("first.jpg"));
    const QByteArray second = test::ReadFile(m_sandbox.File("second.jpg"));
    ASSERT_FALSE(first.isEmpty());
    ASSERT_FALSE(second.isEmpty());
    EXPECT_EQ(first, Expected("q90.jpg", 90));
    EXPECT_EQ(second, Expected("q30.jpg", 30));
    EXPECT_NE(first, second);
    EXPECT_EQ(test::ReadFile(m_sandbox.File("third.png")), Expected("p.png", 0));
    // The size choice plays no part in the saved picture.
    EXPECT_EQ(test::ReadFile(m_sandbox.File("a4.png")), test::ReadFile(m_sandbox.File("third.png")));
    EXPECT_EQ(test::ReadFile(m_sandbox.File("typed.png")), test::ReadFile(m_sandbox.File("third.png")));
    EXPECT_EQ(test::ReadFile(m_sandbox.File("kept.jpg")), second);
    EXPECT_EQ(test::ReadFile(m_longPath), test::ReadFile(m_sandbox.File("third.png")));

    const QImage saved(m_sandbox.File("third.png"));
    EXPECT_EQ(saved.size(), QSize(kBackgroundWidth, kBackgroundHeight));
    EXPECT_EQ(saved.dotsPerMeterX(), DotsPerMeter(350.0f));
    EXPECT_EQ(saved.dotsPerMeterY(), DotsPerMeter(350.0f));
    // The caption of the settings is on it; the preview never shows it.
    RenderResult withoutCaption
        = RenderOutput(m_folder, m_photo.get(), m_placement, kBackgroundWidth, kBackgroundHeight, " ");
    if (!CaptionFontFamily().isEmpty()) {
        EXPECT_NE(saved.convertToFormat(QImage::Format_RGB32), withoutCaption.picture->image());
    }
}

TEST_F(OutputWindow, FailedSaveSaysWhyAndKeepsTheWindowOpen)
{
    const QString locked = m_sandbox.File("locked.jpg");
    ASSERT_TRUE(test::WriteFile(locked, "old content"));
    ASSERT_TRUE(QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ReadGroup));

    QStringList messages;
    auto answer = [&messages](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->icon(), QMessageBox::Warning);
        messages << box->text();
        box->button(QMessageBox::Ok)->click();
    };
    Run([&] {
        SaveAs("locked.jpg", answer);
        EXPECT_TRUE(m_dialog.isVisible());
        SaveAs("picture.gif", answer); // the typed extension stands
        EXPECT_TRUE(m_dialog.isVisible());
        SaveAs("after.jpg");
    });

    ASSERT_EQ(messages.size(), 2);
    EXPECT_EQ(messages[0], QStringLiteral("保存失败：无法写入文件 %1（没有写入权限）").arg(locked));
    EXPECT_EQ(messages[1],
        QStringLiteral("保存失败：无法写入文件 %1（不支持的文件类型）").arg(m_sandbox.File("picture.gif")));
    EXPECT_EQ(test::ReadFile(locked), "old content");
    EXPECT_FALSE(QFile::exists(m_sandbox.File("picture.gif")));
    // The window went on working after the failures.
    EXPECT_EQ(test::ReadFile(m_sandbox.File("after.jpg")), Expected("after.jpg", 90));
    QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

TEST_F(OutputWindow, MissingTemplateIsReportedAndNothingIsWritten)
{
    QFile::remove(m_folder.File(kBackgroundFile));
    QString message;
    Run([&] {
        SaveAs("none.jpg", [&message](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            ASSERT_NE(box, nullptr);
            message = box->text();
            box->button(QMessageBox::Ok)->click();
        });
    });
    EXPECT_EQ(message, kOutputReadError);
    EXPECT_FALSE(QFile::exists(m_sandbox.File("none.jpg")));
}

// The print dialog, answered: accepted or cancelled.
void AnswerPrintDialog(bool accept)
{
    test::OnNextModal([accept](QWidget* modal) {
        ASSERT_NE(qobject_cast<QPrintDialog*>(modal), nullptr);
        if (accept)
            static_cast<QDialog*>(modal)->accept();
        else
            static_cast<QDialog*>(modal)->reject();
    });
}

// The dialog's printer writes a PDF file on A4 with margins: the print
// must not start at the margins' corner.
void PrintIntoPdf(QPrinter& printer, const QString& pdf)
{
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    printer.setPageLayout(
        QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(5, 5, 5, 5), QPageLayout::Millimeter));
}

TEST_F(OutputWindow, PrintsEveryCopyAtTheSizeFromThePapersCorner)
{
    const QString pdf = m_sandbox.File("print.pdf");
    PrintIntoPdf(m_dialog.Printer(), pdf);
    m_dialog.Printer().setCopyCount(3);

    testing::internal::CaptureStdout();
    QString status;
    Run([&] {
        // Cancelled: nothing printed, the old program's note on stdout.
        AnswerPrintDialog(false);
        SendCommand(&m_dialog, kCmdPrint);
        EXPECT_FALSE(QFile::exists(pdf));
        AnswerPrintDialog(true);
        SizeButton(1050)->click();
        SendCommand(&m_dialog, kCmdPrint);
        status = m_dialog.findChild<QLabel*>("outputStatus")->text();
    });
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Failure\n");
    EXPECT_EQ(status, QStringLiteral("已打印到文件：%1").arg(pdf));

    // The three copies the dialog asked for (one page each in a file), not one.
    EXPECT_EQ(test::PdfPages(pdf), 3);
    const QSizeF pageMm = test::PdfPageSizeMm(pdf);
    EXPECT_NEAR(pageMm.width(), 210, 0.5);
    EXPECT_NEAR(pageMm.height(), 297, 0.5);
    // A4 for a 300 x 400 picture, whole: 210 x 280 mm, (297 - 280) / 2 mm
    // from the paper's top edge, whatever margins the page had.
    test::ExpectInkedArea(test::RenderPdfPage(pdf), QRectF(0, 8.5, 210, 280));
    // The finished picture is on the page whole, at its own size.
    const QByteArray printed = test::ReadFile(pdf);
    EXPECT_TRUE(printed.contains("/Width 300")) << "picture not embedded at its own size";
    EXPECT_TRUE(printed.contains("/Height 400"));
}

TEST_F(OutputWindow, LandscapePictureTurnsOntoTheUprightPageWholeOrFilled)
{
    // A landscape template in place of the portrait one.
    QImage background = test::MakeTestPhoto(400, 300, 7);
    ASSERT_TRUE(background.save(m_folder.File(kBackgroundFile), "PNG"));
    QImage foreground(400, 300, QImage::Format_ARGB32);
    foreground.fill(QColor(200, 180, 120));
    ASSERT_TRUE(foreground.save(m_folder.File(kForegroundFile), "PNG"));
    // The layout window would have read it afresh.
    ASSERT_TRUE(m_portrait.LoadTemplate(m_folder).error.isEmpty());
    ASSERT_EQ(m_portrait.RecordedSize(), QSize(400, 300));
    m_portrait.Compose();

    const QString whole = m_sandbox.File("whole.pdf");
    const QString filled = m_sandbox.File("filled.pdf");
    Run([&] {
        SizeButton(1047)->click(); // 8R: 203 x 254 mm
        PrintIntoPdf(m_dialog.Printer(), whole);
        AnswerPrintDialog(true);
        SendCommand(&m_dialog, kCmdPrint);
        m_dialog.findChild<QRadioButton*>("fitFill")->click();
        PrintIntoPdf(m_dialog.Printer(), filled);
        AnswerPrintDialog(true);
        SendCommand(&m_dialog, kCmdPrint);
    });

    // Turned a quarter onto the upright paper: 300 x 400 the page's way,
    // 254 mm high, 190.5 mm wide, centred. Filled: the whole page.
    const QSizeF pageMm = test::PdfPageSizeMm(whole);
    EXPECT_NEAR(pageMm.width(), 203, 0.5);
    EXPECT_NEAR(pageMm.height(), 254, 0.5);
    test::ExpectInkedArea(test::RenderPdfPage(whole), QRectF(6.25, 0, 190.5, 254));
    test::ExpectInkedArea(test::RenderPdfPage(filled), QRectF(0, 0, 203, 254));
}

// The resolution each size gives, computed here from the millimetres: the
// finished picture's pixels over the inches it takes, and the photo's
// pixels over the inches of its placement.
TEST_F(OutputWindow, ShowsTheResolutionOfTheSizeAndWarnsForASmallPhoto)
{
    QString line, warning;
    bool fitOffered = false;
    auto read = [&] {
        line = m_dialog.findChild<QLabel*>("printResolution")->text();
        warning = m_dialog.findChild<QLabel*>("resolutionWarning")->text();
        fitOffered = m_dialog.findChild<QRadioButton*>("fitFill")->isEnabled();
    };
    Run([&] {
        // 300 x 400 over 3R's 89 mm: 85.6 dpi; the 160 pixels of the photo
        // over its 180 pixels: 76.1 dpi, too few for paper.
        read();
        EXPECT_EQ(line, QStringLiteral("按 3R（89 × 127 毫米）打印：成品相片 86 dpi，开口内的顾客相片 76 dpi"));
        EXPECT_EQ(warning, QStringLiteral("相片分辨率偏低，打印可能不够清晰"));
        EXPECT_TRUE(fitOffered);
        EXPECT_NEAR(m_dialog.Printing().Resolution().photoDpi, 300 * 25.4 / 89 * 160 / 180, 0.01);
        // A4 is 210 mm wide: 36.3 and 32.3 dpi.
        SizeButton(1050)->click();
        read();
        EXPECT_EQ(line, QStringLiteral("按 A4（210 × 297 毫米）打印：成品相片 36 dpi，开口内的顾客相片 32 dpi"));
    });

    // A large picture with a large photo: no warning. 1020 x 1520 pixels
    // have 4R's proportions, so whole and filled are the same and no choice
    // is offered; on A4 they differ (297 mm high, or 210 mm wide filled).
    QImage clear(1020, 1520, QImage::Format_ARGB32);
    clear.fill(Qt::transparent);
    ASSERT_TRUE(
        test::WriteTemplate(m_folder.path(), test::MakeTestPhoto(1020, 1520, 7), clear, QRect(110, 200, 800, 1000)));
    ASSERT_TRUE(m_portrait.LoadTemplate(m_folder).error.isEmpty());
    m_portrait.SetPhoto(PhotoImage::Adopt(test::MakeTestPhoto(800, 1000, 3)));
    m_portrait.SetPlacement(PhotoPlacement { 110, 200, 800, 1000 });
    Run([&] {
        SizeButton(1044)->click();
        read();
        EXPECT_EQ(line, QStringLiteral("按 4R（102 × 152 毫米）打印：成品相片 254 dpi，开口内的顾客相片 254 dpi"));
        EXPECT_TRUE(warning.isEmpty());
        EXPECT_FALSE(fitOffered);
        SizeButton(1050)->click();
        read();
        EXPECT_TRUE(fitOffered);
        EXPECT_EQ(line, QStringLiteral("按 A4（210 × 297 毫米）打印：成品相片 130 dpi，开口内的顾客相片 130 dpi"));
        m_dialog.findChild<QRadioButton*>("fitFill")->click();
        read();
        EXPECT_EQ(line, QStringLiteral("按 A4（210 × 297 毫米）打印：成品相片 123 dpi，开口内的顾客相片 123 dpi"));
        EXPECT_EQ(warning, QStringLiteral("相片分辨率偏低，打印可能不够清晰"));
    });
}

TEST_F(OutputWindow, CalibrationButtonOpensTheCalibrationWindowOnAReadableFile)
{
    const QString path = m_sandbox.File("calibration/print-calibration.txt");
    m_dialog.Printing().SetCalibrationPath(path);
    QString title;
    QString message;
    Run([&] {
        auto* button = m_dialog.findChild<QPushButton*>("printCalibration");
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->text(), QStringLiteral("打印校准"));
        EXPECT_TRUE(button->isVisible());
        test::OnNextModal([&title](QWidget* modal) {
            title = modal->windowTitle();
            static_cast<QDialog*>(modal)->reject();
        });
        button->click();
        // A file that is there but cannot be read is not edited (saving
        // would write over it): the operator is told.
        ASSERT_TRUE(QDir().mkpath(path));
        test::AnswerNextMessage(&message);
        button->click();
    });
    EXPECT_EQ(title, QStringLiteral("打印校准"));
    EXPECT_EQ(message, QStringLiteral("无法读取打印校准文件“%1”，请检查文件是否可读").arg(path));
}

} // namespace
} // namespace lumavo
