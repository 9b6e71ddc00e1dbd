#include "TestUtils.h"
#include "app/ShockwaveFlash.h"
#include "app/TemplateBrowserDlg.h"
#include "platform/ProfileFile.h"
#include "platform/ProgramFolder.h"
#include "skin/CommandEvent.h"
#include "ui/FileDialogEx.h"
#include "ui/PhotoLayoutDlg.h"
#include "ui/UiTestUtils.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QTest>

#include <gtest/gtest.h>

namespace lumavo {
namespace {

// Counts the mouse presses that reach a widget.
struct RightClickCounter : QObject {
    int presses = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::MouseButtonPress)
            ++presses;
        return false;
    }
};

// A program folder in a sandbox whose TempPath names the built sample library.
class BrowserTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetProgramFolderForTesting(m_sandbox.path());
        WriteProfileString(SettingsPath(), "System", "TempPath", test::ProgramDir() + "/temple");
    }
    void TearDown() override { SetProgramFolderForTesting(QString()); }

    // Runs the browser; `action` acts on it once it is up.
    int RunBrowser(CTemplateBrowserDlg& browser, std::function<void()> action)
    {
        test::OnNextModal([action](QWidget*) { action(); });
        return browser.exec();
    }

    test::Sandbox m_sandbox;
};

TEST_F(BrowserTest, OnlyTheBtCommandFillsTheNameBox)
{
    CTemplateBrowserDlg browser;
    RunBrowser(browser, [&] {
        EXPECT_EQ(browser.geometry(), browser.screen()->geometry());
        EXPECT_EQ(browser.NameBox()->geometry(), QRect(385, 555, 60, 30));
        EXPECT_EQ(browser.Album()->geometry(), QRect(80, 60, 640, 460));
        EXPECT_EQ(browser.Player()->geometry(), QRect(80, 520, 640, 20));

        emit browser.Album()->FSCommand("bt", "春日花语");
        EXPECT_EQ(browser.NameBox()->text(), QStringLiteral("春日花语"));
        emit browser.Album()->FSCommand("BT", "other");
        emit browser.Album()->FSCommand("bt ", "other");
        emit browser.Album()->FSCommand("pick", "other");
        browser.OnAlbumCommand("bt", QString()); // no argument at all
        EXPECT_EQ(browser.NameBox()->text(), QStringLiteral("春日花语"));
        // The music strip's events are not listened to.
        emit browser.Player()->FSCommand("bt", "other");
        EXPECT_EQ(browser.NameBox()->text(), QStringLiteral("春日花语"));

        // An empty argument empties the box; Enter then does nothing.
        emit browser.Album()->FSCommand("bt", "");
        EXPECT_EQ(browser.NameBox()->text(), QString());
        QTest::keyClick(browser.NameBox(), Qt::Key_Return);
        EXPECT_FALSE(browser.Folder().has_value());
        EXPECT_TRUE(browser.isVisible());

        // A right click over the album is dropped before it reaches it.
        RightClickCounter counter;
        browser.Album()->installEventFilter(&counter);
        QTest::mouseClick(browser.Album(), Qt::RightButton, Qt::NoModifier, QPoint(5, 5));
        QTest::mouseClick(browser.NameBox(), Qt::RightButton, Qt::NoModifier, QPoint(5, 5));
        EXPECT_EQ(counter.presses, 0);
        QTest::mouseClick(browser.Album(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        EXPECT_EQ(counter.presses, 1);
        browser.Album()->removeEventFilter(&counter);

        // Esc ends the browser even with a name in the box.
        browser.NameBox()->setText("4R-classic-cream");
        QTest::keyClick(browser.NameBox(), Qt::Key_Escape);
    });
    EXPECT_FALSE(browser.isVisible());
}

TEST_F(BrowserTest, TypedNameOpensTheTemplateAndStaysAfterwards)
{
    CTemplateBrowserDlg browser;
    int layoutsOpened = 0;
    RunBrowser(browser, [&] {
        browser.NameBox()->setText("4R-classic-cream");
        for (int round = 0; round < 2; ++round) {
            // The layout window asks for the photo first: cancel, then go back.
            test::OnNextModal([&](QWidget* dialog) {
                EXPECT_NE(qobject_cast<CFileDialogEx*>(dialog), nullptr);
                test::OnNextModal([&](QWidget* layout) {
                    EXPECT_NE(qobject_cast<CPhotoLayoutDlg*>(layout), nullptr);
                    ++layoutsOpened;
                    QTest::keyClick(layout, Qt::Key_Escape);
                });
                static_cast<QDialog*>(dialog)->reject();
            });
            SendCommand(&browser, round == 0 ? 1 : 6001);
            EXPECT_EQ(browser.NameBox()->text(), "4R-classic-cream");
            ASSERT_TRUE(browser.Folder().has_value());
            EXPECT_EQ(browser.Folder()->path(), test::ProgramDir() + "/temple/4R-classic-cream/");
        }
        SendCommand(&browser, 6002);
    });
    EXPECT_EQ(layoutsOpened, 2);
}

TEST_F(BrowserTest, NamesReachingOutsideTheLibraryAreRefused)
{
    CTemplateBrowserDlg browser;
    RunBrowser(browser, [&] {
        for (const QString name : { "..", "../temple", "a/b" }) {
            browser.NameBox()->setText(name);
            QString shown;
            test::OnNextModal([&](QWidget* box) {
                auto* message = qobject_cast<QMessageBox*>(box);
                ASSERT_NE(message, nullptr);
                shown = message->text();
                message->accept();
            });
            SendCommand(&browser, 1);
            EXPECT_EQ(shown, QStringLiteral("图库错误，请重装"));
        }
        browser.close();
    });
    EXPECT_FALSE(browser.isVisible());
}

} // namespace
} // namespace lumavo
