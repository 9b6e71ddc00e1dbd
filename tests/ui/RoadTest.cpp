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
#include "ui/PhotoLayoutDlg.h"
#include "ui/UiTestUtils.h"

#include <QFileDialog>
#include <QImageReader>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

namespace lumavo {
namespace {

// The operator's whole road, from the album's pick to a saved portrait, and
// the same portrait made by the batch command for the same placement.
TEST(RoadTest, AlbumPickToSavedPortraitMatchesTheBatchCommand)
{
    test::Sandbox sandbox;
    SetProgramFolderForTesting(sandbox.path());
    WriteProfileString(SettingsPath(), "System", "TempPath", test::ProgramDir() + "/temple");
    WriteProfileString(SettingsPath(), "System", "Quality", "90");
    // A lossless photo, so both roads start from the same pixels.
    const QString photo = sandbox.File("customer.png");
    ASSERT_TRUE(QImage(test::ProgramDir() + "/samples/photos/portrait-woman.jpg").save(photo));
    const QString saved = sandbox.File("portrait.png");

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
                QTest::keyClick(layout, Qt::Key_Right);
                QTest::keyClick(layout, Qt::Key_Right);
                QTest::keyClick(layout, Qt::Key_Down);
                QTest::keyClick(layout, Qt::Key_Plus, Qt::KeypadModifier);
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
    SetProgramFolderForTesting(QString());
    ASSERT_TRUE(QFile::exists(saved));

    // The batch command: the first placement, moved and zoomed the same way.
    const QString expected = sandbox.File("expected.png");
    const test::ProgramRun cli = test::RunWithoutDisplay(test::ProgramDir() + "/lumavo-cli",
        { "render", "--root", test::ProgramDir() + "/temple", "--template", "4R-classic-cream", "--photo", photo,
            "--move", "5,0", "--move", "5,0", "--move", "0,5", "--zoom", "5", "--quality", "90", "--caption",
            BuiltInCaptionText(), "--out", expected },
        60000);
    ASSERT_TRUE(cli.finished);
    ASSERT_EQ(cli.exitCode, 0) << cli.err.toStdString();
    const test::ProgramRun place = test::RunWithoutDisplay(test::ProgramDir() + "/lumavo-cli",
        { "place", "--root", test::ProgramDir() + "/temple", "--template", "4R-classic-cream", "--photo", photo,
            "--move", "5,0", "--move", "5,0", "--move", "0,5", "--zoom", "5" },
        60000);
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

} // namespace
} // namespace lumavo
