#include "TestUtils.h"
#include "app/ShockwaveFlash.h"
#include "app/TemplateBrowserDlg.h"
#include "platform/ProfileFile.h"
#include "platform/ProgramFolder.h"
#include "skin/CommandEvent.h"
#include "templates/Caption.h"
#include "ui/CommandIds.h"
#include "ui/FileDialogEx.h"
#include "ui/OutputDlg.h"
#include "ui/PhotoEditDlg.h"
#include "ui/PhotoLayoutDlg.h"
#include "ui/UiTestUtils.h"

#include <QFileDialog>
#include <QImageReader>
#include <QLineEdit>
#include <QTest>

#include <functional>

#include <gtest/gtest.h>

namespace lumavo {
namespace {

// The operator's whole road from the album's pick to a saved portrait;
// `adjust` works on the layout window before Enter. The placement at Enter.
PhotoPlacement SaveThroughTheWindows(
    const QString& photo, const QString& saved, const std::function<void(CPhotoLayoutDlg*)>& adjust)
{
    CTemplateBrowserDlg browser;
    PhotoPlacement placed;
    test::OnNextModal([&](QWidget*) {
        emit browser.Album()->FSCommand("bt", "4R-classic-cream");
        test::OnNextModal([&](QWidget* dialog) {
            auto* files = qobject_cast<CFileDialogEx*>(dialog);
            ASSERT_NE(files, nullptr);
            test::OnNextModal([&](QWidget* window) {
                auto* layout = qobject_cast<CPhotoLayoutDlg*>(window);
                ASSERT_NE(layout, nullptr);
                ASSERT_NE(layout->Photo(), nullptr);
                adjust(layout);
                placed = layout->Placement();
                test::OnNextModal([&](QWidget* window) {
                    auto* output = qobject_cast<COutputDlg*>(window);
                    ASSERT_NE(output, nullptr);
                    test::OnNextModal([&](QWidget* dialog) {
                        auto* save = qobject_cast<QFileDialog*>(dialog);
                        ASSERT_NE(save, nullptr);
                        save->selectFile(saved);
                        static_cast<QDialog*>(save)->accept();
                    });
                    SendCommand(output, kCmdSave);
                    QTest::keyClick(output, Qt::Key_Escape);
                });
                QTest::keyClick(layout, Qt::Key_Return);
                QTest::keyClick(layout, Qt::Key_Escape);
            });
            files->selectFile(photo);
            static_cast<QDialog*>(files)->accept();
        });
        QTest::keyClick(browser.NameBox(), Qt::Key_Return);
        SendCommand(&browser, kCmdExit);
    });
    browser.exec();
    return placed;
}

// The arrow keys and the zoom key both roads take.
void MoveAndZoom(CPhotoLayoutDlg* layout)
{
    QTest::keyClick(layout, Qt::Key_Right);
    QTest::keyClick(layout, Qt::Key_Right);
    QTest::keyClick(layout, Qt::Key_Down);
    QTest::keyClick(layout, Qt::Key_Plus, Qt::KeypadModifier);
}

const QStringList kSameMoves { "--move", "5,0", "--move", "5,0", "--move", "0,5", "--zoom", "5" };

// The portrait the command-line tool makes and the placement it reports,
// checked against what the windows saved.
void ExpectSameAsTheCommand(const QString& photo, const QString& saved, const PhotoPlacement& placed,
    const QStringList& edits, const QString& expected)
{
    const QStringList road
        = QStringList { "--root", test::ProgramDir() + "/temple", "--template", "4R-classic-cream", "--photo", photo }
        + edits + kSameMoves;
    const test::ProgramRun cli = test::RunWithoutDisplay(test::ProgramDir() + "/lumavo-cli",
        QStringList { "render" } + road
            + QStringList { "--quality", "90", "--caption", BuiltInCaptionText(), "--out", expected },
        60000);
    ASSERT_TRUE(cli.finished);
    ASSERT_EQ(cli.exitCode, 0) << cli.err.toStdString();
    const test::ProgramRun place
        = test::RunWithoutDisplay(test::ProgramDir() + "/lumavo-cli", QStringList { "place" } + road, 60000);
    ASSERT_TRUE(place.finished);
    EXPECT_EQ(QString::fromUtf8(place.out).trimmed(),
        QString("%1 %2 %3 %4").arg(placed.x).arg(placed.y).arg(placed.width).arg(placed.height));

    QImageReader savedReader(saved);
    const QImage ours = savedReader.read();
    const QImage theirs(expected);
    ASSERT_FALSE(ours.isNull());
    EXPECT_EQ(ours.size(), QSize(1400, 2100));
    EXPECT_EQ(ours.dotsPerMeterX(), 13780); // 350 dpi
    EXPECT_EQ(test::CompareImages(ours, theirs).maxChannelDelta, 0);
}

// A settings file with the sample library, and a lossless photo, so both
// roads start from the same pixels.
struct RoadFiles {
    test::Sandbox sandbox;
    QString photo = sandbox.File("customer.png");
    QString saved = sandbox.File("portrait.png");
    QString expected = sandbox.File("expected.png");
    RoadFiles()
    {
        SetProgramFolderForTesting(sandbox.path());
        WriteProfileString(SettingsPath(), "System", "TempPath", test::ProgramDir() + "/temple");
        WriteProfileString(SettingsPath(), "System", "Quality", "90");
        EXPECT_TRUE(QImage(test::ProgramDir() + "/samples/photos/portrait-woman.jpg").save(photo));
    }
    ~RoadFiles() { SetProgramFolderForTesting(QString()); }
};

} // namespace

// The operator's whole road, from the album's pick to a saved portrait, and
// the same portrait made by the batch command for the same placement.
TEST(RoadTest, AlbumPickToSavedPortraitMatchesTheBatchCommand)
{
    RoadFiles files;
    const PhotoPlacement placed = SaveThroughTheWindows(files.photo, files.saved, MoveAndZoom);
    ASSERT_TRUE(QFile::exists(files.saved));
    // The batch command: the first placement, moved and zoomed the same way.
    ExpectSameAsTheCommand(files.photo, files.saved, placed, {}, files.expected);
}

// The same with the photo turned, toned and flipped in the edit window first.
TEST(RoadTest, EditedPortraitMatchesTheRenderCommandWithTheSameEdits)
{
    RoadFiles files;
    const PhotoPlacement placed = SaveThroughTheWindows(files.photo, files.saved, [](CPhotoLayoutDlg* layout) {
        const PhotoPlacement upright = layout->Placement();
        test::OnNextModal([](QWidget* modal) {
            auto* edit = qobject_cast<CPhotoEditDlg*>(modal);
            ASSERT_NE(edit, nullptr);
            SendCommand(edit, kCmdRotateRight);
            SendCommand(edit, kCmdSepia);
            SendCommand(edit, kCmdFlipHorizontal);
            SendCommand(edit, kCmdOk);
        });
        SendCommand(layout, kCmdPhotoEdit);
        // Turned and fitted afresh: the placement took the photo's new shape.
        EXPECT_NE(layout->Placement(), upright);
        MoveAndZoom(layout);
    });
    ASSERT_TRUE(QFile::exists(files.saved));
    ExpectSameAsTheCommand(
        files.photo, files.saved, placed, { "--edit", "right", "--edit", "sepia", "--edit", "hflip" }, files.expected);
}

} // namespace lumavo
