#include "TestUtils.h"
#include "app/AlbumView.h"
#include "app/PortraitApp.h"
#include "app/ShockwaveFlash.h"
#include "app/SplashWnd.h"
#include "app/Startup.h"
#include "app/TemplateBrowserDlg.h"
#include "platform/CodePage.h"
#include "platform/ProfileFile.h"
#include "platform/ProgramFolder.h"
#include "skin/CommandEvent.h"
#include "ui/CommandIds.h"
#include "ui/FileDialogEx.h"
#include "ui/PhotoLayoutDlg.h"
#include "ui/UiTestUtils.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

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

// Copies a sample template into `folder`.
void CopySampleTemplate(const QString& folder)
{
    ASSERT_TRUE(QDir().mkpath(folder));
    for (const char* file : { "bs.lmv", "fs.lmv", "layer.lmv" }) {
        ASSERT_TRUE(QFile::copy(test::ProgramDir() + "/temple/4R-classic-cream/" + file, folder + "/" + file));
    }
}

// What the browser's "enter" led to: the windows in the order they came, and
// what the layout window held.
struct EnterResult {
    QStringList seen;
    QSize photoSize;
    QSize compositeSize;
};

// Enters the named template; the photo dialog is answered with `photo` typed
// into its name box and the Open button (or cancelled when empty), the layout
// window with Esc.
EnterResult EnterTemplate(CTemplateBrowserDlg& browser, const QString& name, const QString& photo)
{
    EnterResult result;
    std::function<void(QWidget*)> answer = [&](QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            result.seen << "message";
            test::OnNextModal(answer);
            box->accept();
        } else if (auto* files = qobject_cast<CFileDialogEx*>(modal)) {
            result.seen << "photo";
            test::OnNextModal(answer);
            auto* nameBox = files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            auto* buttons = files->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
            if (!photo.isEmpty() && nameBox && buttons) {
                nameBox->setText(photo);
                // Clicked, as a disabled button would not be.
                QTest::mouseClick(buttons->button(QDialogButtonBox::Open), Qt::LeftButton);
            }
            if (files->isVisible()) {
                if (!photo.isEmpty())
                    result.seen << "photo refused";
                files->reject();
            }
        } else if (auto* layout = qobject_cast<CPhotoLayoutDlg*>(modal)) {
            result.seen << "layout";
            if (layout->Photo())
                result.photoSize = layout->Photo()->image().size();
            if (layout->Composite())
                result.compositeSize = layout->Composite()->image().size();
            QTest::keyClick(modal, Qt::Key_Escape);
        } else {
            result.seen << "other";
            static_cast<QDialog*>(modal)->reject();
        }
    };
    test::OnNextModal([&](QWidget*) {
        browser.NameBox()->setText(name);
        test::OnNextModal(answer);
        SendCommand(&browser, kCmdEnter);
        SendCommand(&browser, kCmdExit);
    });
    browser.exec();
    return result;
}

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

// From the start the album answers its keys while the name box has the
// focus; a name typed into the box keeps the arrows for editing.
TEST_F(BrowserTest, AlbumKeysWorkFromTheNameBox)
{
    CTemplateBrowserDlg browser;
    RunBrowser(browser, [&] {
        // The browser closes however the checks end.
        struct Close {
            CTemplateBrowserDlg& browser;
            ~Close() { SendCommand(&browser, kCmdExit); }
        } close { browser };
        auto* album = qobject_cast<CAlbumView*>(browser.Album()->Movie());
        ASSERT_NE(album, nullptr);
        ASSERT_TRUE(QTest::qWaitFor([&] { return album->isLoaded(); }, 10000));
        ASSERT_EQ(album->count(), 4);
        // The window becomes active a moment after it shows on a busy machine.
        ASSERT_TRUE(QTest::qWaitFor([&] { return browser.NameBox()->hasFocus(); }, 10000));

        // Right from the box moves the album's highlight; Down from above the
        // last row's gap lands on the last template; Enter picks it.
        QTest::keyClick(browser.NameBox(), Qt::Key_Right);
        EXPECT_EQ(album->Highlighted(), 1);
        EXPECT_TRUE(album->hasFocus());
        QTest::keyClick(album, Qt::Key_Down);
        EXPECT_EQ(album->Highlighted(), 3);
        QTest::keyClick(album, Qt::Key_Return);
        EXPECT_EQ(browser.NameBox()->text(), QStringLiteral("春日花语"));

        // Page Down from the box reaches the album too.
        browser.NameBox()->setFocus();
        QTest::keyClick(browser.NameBox(), Qt::Key_PageDown);
        EXPECT_TRUE(album->hasFocus());

        // A long name shows its beginning.
        const QString longName = QStringLiteral("4R-classic-cream-with-a-long-tail");
        emit browser.Album()->FSCommand("bt", longName);
        EXPECT_EQ(browser.NameBox()->text(), longName);
        EXPECT_EQ(browser.NameBox()->cursorPosition(), 0);

        // Typed into, the box keeps Left and Right.
        browser.NameBox()->setFocus();
        browser.NameBox()->clear();
        QTest::keyClicks(browser.NameBox(), "abc");
        QTest::keyClick(browser.NameBox(), Qt::Key_Left);
        EXPECT_EQ(browser.NameBox()->cursorPosition(), 2);
        EXPECT_TRUE(browser.NameBox()->hasFocus());
        EXPECT_EQ(album->Highlighted(), 3);
    });
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
            SendCommand(&browser, round == 0 ? kCmdOk : kCmdEnter);
            EXPECT_EQ(browser.NameBox()->text(), "4R-classic-cream");
            ASSERT_TRUE(browser.Folder().has_value());
            EXPECT_EQ(browser.Folder()->path(),
                test::ProgramDir() + "/temple" + QDir::separator() + "4R-classic-cream" + QDir::separator());
        }
        SendCommand(&browser, kCmdExit);
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
            SendCommand(&browser, kCmdOk);
            EXPECT_EQ(shown, QStringLiteral("图库错误，请重装"));
        }
        browser.close();
    });
    EXPECT_FALSE(browser.isVisible());
}

TEST_F(BrowserTest, LongTemplateRootIsUsedWhole)
{
    // A root far longer than the 79 characters an old buffer would keep.
    const QString root = m_sandbox.File(QString(60, u'r') + "/" + QString(60, u'o') + "/temple");
    CopySampleTemplate(root + "/4R-classic-cream");
    WriteProfileString(SettingsPath(), "System", "TempPath", root);

    // A complaint about the template would come before the question for the photo.
    CTemplateBrowserDlg browser;
    const EnterResult entered = EnterTemplate(browser, "4R-classic-cream", QString());
    ASSERT_GT(root.size(), 120);
    ASSERT_TRUE(browser.Folder().has_value());
    EXPECT_EQ(browser.Folder()->path(), root + QDir::separator() + "4R-classic-cream" + QDir::separator());
    EXPECT_EQ(entered.seen, QStringList({ "photo", "layout" }));
}

#ifndef _WIN32
// A library from an old Chinese system: the template folder and the photo
// are named in GBK bytes, and open by their Chinese names.
TEST_F(BrowserTest, GbkNamedTemplateAndPhotoOpenByTheirChineseNames)
{
    const QString root = m_sandbox.File("library");
    CopySampleTemplate(root + "/spring");
    ASSERT_TRUE(test::RenameToBytes(root + "/spring", ToGbk(QStringLiteral("春日花语"))));
    ASSERT_TRUE(test::MakeTestPhoto(640, 480).save(m_sandbox.File("guest.png")));
    ASSERT_TRUE(test::RenameToBytes(m_sandbox.File("guest.png"), ToGbk(QStringLiteral("客人.png"))));
    WriteProfileString(SettingsPath(), "System", "TempPath", root);

    CTemplateBrowserDlg browser;
    const EnterResult entered
        = EnterTemplate(browser, QStringLiteral("春日花语"), m_sandbox.File(QStringLiteral("客人.png")));
    EXPECT_EQ(entered.seen, QStringList({ "photo", "layout" }));
    EXPECT_EQ(entered.photoSize, QSize(640, 480));
    EXPECT_EQ(entered.compositeSize, QSize(1400, 2100)); // the template's background was read
}

// Takes away the right to write the program folder for a while, as users of
// an installed program have none; as root, by acting as another user.
class UnwritableFolder {
public:
    UnwritableFolder(const QString& folder, const QString& settings)
        : m_folder(QFile::encodeName(folder))
        , m_settings(QFile::encodeName(settings))
    {
        chmod(m_settings.constData(), 0444);
        chmod(m_folder.constData(), 0555);
        if (geteuid() == 0)
            m_switched = seteuid(65534) == 0;
    }
    ~UnwritableFolder()
    {
        if (m_switched)
            seteuid(0);
        chmod(m_folder.constData(), 0700);
        chmod(m_settings.constData(), 0644);
    }
    bool inForce() const { return geteuid() != 0; }

private:
    QByteArray m_folder;
    QByteArray m_settings;
    bool m_switched = false;
};

TEST_F(BrowserTest, UnwritableProgramFolderOpensItsOwnTemplates)
{
    CopySampleTemplate(m_sandbox.File("temple/4R-classic-cream"));
    // setting.ini from the place the program was installed at before.
    ASSERT_TRUE(WriteProfileString(SettingsPath(), "System", "TempPath", m_sandbox.File("moved-away/temple")));
    {
        const UnwritableFolder unwritable(m_sandbox.path(), SettingsPath());
        if (!unwritable.inForce())
            GTEST_SKIP() << "no other user to act as";
        EXPECT_FALSE(WriteTemplateRoot());
    }
    EXPECT_EQ(TemplateRoot(), ProgramFolder() + "temple");

    CTemplateBrowserDlg browser;
    const EnterResult entered = EnterTemplate(browser, "4R-classic-cream", QString());
    EXPECT_EQ(entered.seen, QStringList({ "photo", "layout" }));
    EXPECT_EQ(entered.compositeSize, QSize(1400, 2100));
    ASSERT_TRUE(browser.Folder().has_value());
    EXPECT_EQ(browser.Folder()->path(), ProgramFolder() + "temple/4R-classic-cream/");

    // Once start-up writes again, TempPath is the root as before.
    ASSERT_TRUE(WriteTemplateRoot());
    EXPECT_EQ(TemplateRoot(), ProgramFolder() + "temple");
    ASSERT_TRUE(WriteProfileString(SettingsPath(), "System", "TempPath", "/elsewhere"));
    EXPECT_EQ(TemplateRoot(), "/elsewhere");
}
#endif

TEST_F(BrowserTest, SplashGoesAtTheFirstPressAndWithTheWindow)
{
    // The program's own filter comes first, as at start-up; the browser's
    // right-click filter is installed after it.
    CPortraitApp program;
    qApp->installEventFilter(&program);
    SetSplashEnabled(true);
    {
        CTemplateBrowserDlg browser;
        RunBrowser(browser, [&] {
            ASSERT_NE(CurrentSplash(), nullptr);
            const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
            EXPECT_EQ(CurrentSplash()->geometry(),
                QRect(QPoint(0, 0), QSize(640, 454))
                    .translated(area.center() - QRect(QPoint(0, 0), QSize(640, 454)).center()));
            // A right click over the album takes the splash away and reaches nothing.
            RightClickCounter counter;
            browser.Album()->installEventFilter(&counter);
            QTest::mouseClick(browser.Album(), Qt::RightButton, Qt::NoModifier, QPoint(5, 5));
            EXPECT_EQ(CurrentSplash(), nullptr);
            EXPECT_EQ(counter.presses, 0);
            browser.Album()->removeEventFilter(&counter);
            browser.close();
        });
    }
    // A press on the splash itself, delivered the way the window system does
    // while the browser runs modally.
    {
        CTemplateBrowserDlg browser;
        RunBrowser(browser, [&] {
            CSplashWnd* splash = CurrentSplash();
            ASSERT_NE(splash, nullptr);
            ASSERT_NE(splash->windowHandle(), nullptr);
            QTest::mouseClick(splash->windowHandle(), Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
            EXPECT_EQ(CurrentSplash(), nullptr);
            browser.close();
        });
    }
    // Closed while the splash is still up: the splash goes with it.
    CTemplateBrowserDlg browser;
    QPointer<CSplashWnd> splash;
    RunBrowser(browser, [&] {
        splash = CurrentSplash();
        EXPECT_FALSE(splash.isNull());
        browser.close();
    });
    qApp->removeEventFilter(&program);
    SetSplashEnabled(false);
    EXPECT_FALSE(browser.isVisible());
    EXPECT_EQ(CurrentSplash(), nullptr);
    EXPECT_TRUE(splash.isNull()) << "the splash outlived the program's window";
}

} // namespace
} // namespace lumavo
