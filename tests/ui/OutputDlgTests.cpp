#include "TestUtils.h"
#include "engine/TemplateFixtures.h"
#include "imaging/ImageFiles.h"
#include "platform/ProfileFile.h"
#include "platform/ProgramFolder.h"
#include "skin/CommandEvent.h"
#include "templates/Caption.h"
#include "templates/OutputRender.h"
#include "templates/Portrait.h"
#include "ui/CommandIds.h"
#include "ui/OutputDlg.h"
#include "ui/PhotoCanvas.h"
#include "ui/UiTestUtils.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPageLayout>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QRadioButton>
#include <QRegularExpression>
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
        QImage background = test::MakeTestPhoto(kBackgroundWidth, kBackgroundHeight, 7);
        QImage foreground(kBackgroundWidth, kBackgroundHeight, QImage::Format_ARGB32);
        foreground.fill(QColor(200, 180, 120));
        QPainter hole(&foreground);
        hole.setCompositionMode(QPainter::CompositionMode_Clear);
        hole.fillRect(50, 60, 200, 250, Qt::transparent);
        hole.end();
        ASSERT_TRUE(test::WriteTemplate(m_folder.path(), background, foreground, QRect(50, 60, 200, 250)));

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
        for (size_t i = 0; i < kPrintSizes.size(); ++i) {
            QRadioButton* button = SizeButton(kPrintSizes[i].controlId);
            ASSERT_NE(button, nullptr);
            EXPECT_EQ(button->text(), QString::fromLatin1(kPrintSizes[i].caption));
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

int CountPages(const QByteArray& pdf)
{
    static const QRegularExpression page(QStringLiteral("/Type\\s*/Page(?![s\\w])"));
    return int(QString::fromLatin1(pdf).count(page));
}

// Where a PDF page draws its picture, in millimetres from the top-left of the
// printable area: read from the page's drawing commands (the engine's
// device-to-page matrix first, then the picture's own matrix).
QRectF PrintedPictureMm(const QByteArray& pdf, int dotsPerInch)
{
    static const QRegularExpression draw(
        QStringLiteral("([-\\d.]+) 0 0 ([-\\d.]+) ([-\\d.]+) ([-\\d.]+) cm\\s+(\\d+) 0 0 -(\\d+) 0 \\d+ cm /Im"));
    qsizetype from = 0;
    while ((from = pdf.indexOf("stream\n", from)) >= 0) {
        const qsizetype start = from + 7;
        const qsizetype end = pdf.indexOf("endstream", start);
        if (end < 0)
            break;
        from = end + 9;
        // qUncompress wants the zlib data behind a size hint.
        const QByteArray packed = QByteArray("\x00\x10\x00\x00", 4) + pdf.mid(start, end - start);
        const QString commands = QString::fromLatin1(qUncompress(packed));
        const QRegularExpressionMatch found = draw.match(commands);
        if (!found.hasMatch())
            continue;
        const double mmPerDot = 25.4 / dotsPerInch;
        return QRectF(found.captured(3).toDouble() * mmPerDot, found.captured(4).toDouble() * mmPerDot,
            found.captured(1).toDouble() * found.captured(5).toDouble() * mmPerDot,
            found.captured(2).toDouble() * found.captured(6).toDouble() * mmPerDot);
    }
    return {};
}

// A4 paper with 5 mm margins all round: a printable area of 200 x 287 mm
// (portrait) whatever printer the machine has.
void UseA4WithMargins(QPrinter& printer, const QString& pdf)
{
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    printer.setPageLayout(
        QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(5, 5, 5, 5), QPageLayout::Millimeter));
}

// The page's size in points, from the PDF's media box.
QSizeF PdfPageSize(const QByteArray& pdf)
{
    static const QRegularExpression box(QStringLiteral("/MediaBox \\[0 0 ([\\d.]+) ([\\d.]+)\\]"));
    const QRegularExpressionMatch found = box.match(QString::fromLatin1(pdf));
    return found.hasMatch() ? QSizeF(found.captured(1).toDouble(), found.captured(2).toDouble()) : QSizeF();
}

TEST_F(OutputWindow, PrintsOnePageIntoAPdf)
{
    const QString pdf = m_sandbox.File("print.pdf");
    UseA4WithMargins(m_dialog.Printer(), pdf);
    m_dialog.Printer().setCopyCount(3);

    testing::internal::CaptureStdout();
    Run([&] {
        // Cancelled: nothing printed, the old program's note on stdout.
        test::OnNextModal([](QWidget* modal) {
            ASSERT_NE(qobject_cast<QPrintDialog*>(modal), nullptr);
            static_cast<QDialog*>(modal)->reject();
        });
        SendCommand(&m_dialog, kCmdPrint);
        test::OnNextModal([](QWidget* modal) {
            ASSERT_NE(qobject_cast<QPrintDialog*>(modal), nullptr);
            static_cast<QDialog*>(modal)->accept();
        });
        SizeButton(1050)->click();
        SendCommand(&m_dialog, kCmdPrint);
    });
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Failure\n");

    const QByteArray printed = test::ReadFile(pdf);
    ASSERT_FALSE(printed.isEmpty());
    EXPECT_EQ(CountPages(printed), 1);
    EXPECT_EQ(m_dialog.Printer().copyCount(), 1);
    EXPECT_EQ(m_dialog.Printer().docName(), QStringLiteral("艺术写真"));
    // The finished picture is on the page whole.
    EXPECT_TRUE(printed.contains("/Width 300")) << "picture not embedded at its own size";
    EXPECT_TRUE(printed.contains("/Height 400"));
    // A4 for a 300 x 400 picture: the 210 x 297 size is cut to the 200 x 287
    // printable area, the picture 200 x 267 mm in it, 10 mm down. Drawn at
    // 210 mm wide it would lose its right edge and its caption at the bottom.
    const QRectF drawn = PrintedPictureMm(printed, m_dialog.Printer().resolution());
    EXPECT_NEAR(drawn.x(), 0.0, 0.01);
    EXPECT_NEAR(drawn.y(), 10.0, 0.01);
    EXPECT_NEAR(drawn.width(), 200.0, 0.01);
    EXPECT_NEAR(drawn.height(), 267.0, 0.01);
    EXPECT_LT(PdfPageSize(printed).width(), PdfPageSize(printed).height());
}

TEST_F(OutputWindow, LandscapePicturePrintsWholeOnALandscapePage)
{
    // A landscape template in place of the portrait one.
    QImage background = test::MakeTestPhoto(400, 300, 7);
    ASSERT_TRUE(background.save(m_folder.File(kBackgroundFile), "PNG"));
    QImage foreground(400, 300, QImage::Format_ARGB32);
    foreground.fill(Qt::transparent);
    ASSERT_TRUE(foreground.save(m_folder.File(kForegroundFile), "PNG"));
    // The layout window would have read it afresh.
    ASSERT_TRUE(m_portrait.LoadTemplate(m_folder).error.isEmpty());
    ASSERT_EQ(m_portrait.RecordedSize(), QSize(400, 300));
    m_portrait.Compose();

    const QString pdf = m_sandbox.File("landscape.pdf");
    UseA4WithMargins(m_dialog.Printer(), pdf);
    Run([&] {
        test::OnNextModal([](QWidget* modal) {
            ASSERT_NE(qobject_cast<QPrintDialog*>(modal), nullptr);
            static_cast<QDialog*>(modal)->accept();
        });
        SizeButton(1047)->click(); // 8R: 254 x 203 mm the landscape way
        SendCommand(&m_dialog, kCmdPrint);
    });

    const QByteArray printed = test::ReadFile(pdf);
    ASSERT_FALSE(printed.isEmpty());
    EXPECT_EQ(m_dialog.Printer().pageLayout().orientation(), QPageLayout::Landscape);
    EXPECT_GT(PdfPageSize(printed).width(), PdfPageSize(printed).height());
    // On the landscape page's 287 x 200 printable area: the size cut to
    // 254 x 200, the picture 254 x 191 in it, 4 mm down. On an upright page
    // it would have run 54 mm off the paper's right edge.
    const QRectF drawn = PrintedPictureMm(printed, m_dialog.Printer().resolution());
    EXPECT_NEAR(drawn.x(), 0.0, 0.01);
    EXPECT_NEAR(drawn.y(), 4.0, 0.01);
    EXPECT_NEAR(drawn.width(), 254.0, 0.01);
    EXPECT_NEAR(drawn.height(), 191.0, 0.01);
}

TEST(PrintRectangle, TurnsToThePictureAndKeepsItsProportions)
{
    auto size = [](const char* caption) {
        for (const PrintSize& s : kPrintSizes) {
            if (QLatin1String(s.caption) == QLatin1String(caption))
                return s;
        }
        return PrintSize {};
    };
    EXPECT_EQ(PrintRectangle(size("6R"), 2800, 2100), QRect(0, 0, 203, 152));
    EXPECT_EQ(PrintRectangle(size("4R"), 1400, 2100), QRect(0, 0, 101, 152));
    EXPECT_EQ(PrintRectangle(size("3R"), 1225, 1750), QRect(0, 0, 89, 127));
    EXPECT_EQ(PrintRectangle(size("A4"), 1000, 1000), QRect(0, 43, 210, 210));
    EXPECT_EQ(PrintRectangle(size("4R"), 3000, 1000), QRect(0, 25, 152, 51));
    EXPECT_EQ(PrintRectangle(size("A5"), 1000, 3000), QRect(39, 0, 70, 210));
    // A small picture is enlarged to the paper size: millimetres are not pixels.
    EXPECT_EQ(PrintRectangle(size("6R"), 30, 20), QRect(0, 8, 203, 135));
    // A size larger than the printable area is cut down to it; a smaller one stays.
    EXPECT_EQ(PrintRectangle(size("A4"), 1400, 2100, QSize(202, 289)), QRect(4, 0, 193, 289));
    EXPECT_EQ(PrintRectangle(size("8R"), 2800, 2100, QSize(202, 289)), QRect(0, 25, 202, 152));
    EXPECT_EQ(PrintRectangle(size("4R"), 1400, 2100, QSize(202, 289)), QRect(0, 0, 101, 152));

    const int ids[] = { 1038, 1044, 1045, 1046, 1047, 1048, 1040, 1050 };
    for (size_t i = 0; i < kPrintSizes.size(); ++i)
        EXPECT_EQ(kPrintSizes[i].controlId, ids[i]);
}

TEST(PrintPicture, DrawsAt350DpiOnOnePage)
{
    test::Sandbox sandbox;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(sandbox.File("direct.pdf"));
    auto picture = PhotoImage::Adopt(test::MakeTestPhoto(280, 210));
    ASSERT_TRUE(PrintPicture(picture.get(), 0, 0, 203, 152, printer));
    EXPECT_EQ(picture->HorizontalResolution(), 350.0f);
    EXPECT_EQ(picture->VerticalResolution(), 350.0f);
    EXPECT_EQ(CountPages(test::ReadFile(sandbox.File("direct.pdf"))), 1);
    EXPECT_FALSE(PrintPicture(nullptr, 0, 0, 10, 10, printer));
}

} // namespace
} // namespace lumavo
