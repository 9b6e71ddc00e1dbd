#include "TestUtils.h"
#include "app/Localization.h"
#include "app/SplashWnd.h"
#include "app/Startup.h"
#include "platform/CodePage.h"
#include "platform/ProfileFile.h"
#include "platform/ProgramFolder.h"
#include "platform/Shortcuts.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontInfo>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTest>
#include <QTranslator>

#include <gtest/gtest.h>

namespace lumavo {
namespace {

TEST(StartupTest, SplashSwitchFollowsTheCommandLine)
{
    EXPECT_TRUE(SplashWanted({ "lumavo" }));
    EXPECT_TRUE(SplashWanted({ "lumavo", "photo.jpg", "Embedding", "-Embed", "--Embedding" }));
    EXPECT_FALSE(SplashWanted({ "lumavo", "-Embedding" }));
    EXPECT_FALSE(SplashWanted({ "lumavo", "/embedding" }));
    EXPECT_FALSE(SplashWanted({ "lumavo", "x", "-AUTOMATION" }));
    EXPECT_FALSE(SplashWanted({ "lumavo", "/aUtOmAtIoN" }));
}

TEST(StartupTest, EveryStartRewritesTheTemplateRoot)
{
    test::Sandbox sandbox;
    SetProgramFolderForTesting(sandbox.path());
    const QString settings = SettingsPath();

    // A missing file is created with TempPath alone.
    ASSERT_TRUE(WriteTemplateRoot());
    const QString expected = QDir::fromNativeSeparators(sandbox.path()) + "/temple";
    EXPECT_EQ(GetProfileString(settings, "System", "TempPath"), expected);
    EXPECT_EQ(GetProfileString(settings, "System", "Quality"), QString());

    // An edited value lasts until the next start; other keys stay.
    ASSERT_TRUE(WriteProfileString(settings, "System", "TempPath", "D:\\elsewhere"));
    ASSERT_TRUE(WriteProfileString(settings, "System", "Quality", "75"));
    ASSERT_TRUE(WriteTemplateRoot());
    EXPECT_EQ(GetProfileString(settings, "System", "TempPath"), expected);
    EXPECT_EQ(GetProfileString(settings, "System", "Quality"), "75");

    // A file from an old system stays in its code page: GBK is written back as GBK.
    const QByteArray gbk = ToGbk(QStringLiteral("[System]\r\nCaption=欢迎光临\r\nTempPath=D:\\影楼\\temple\r\n"));
    ASSERT_TRUE(test::WriteFile(settings, gbk));
    ASSERT_TRUE(WriteTemplateRoot());
    EXPECT_EQ(test::ReadFile(settings),
        ToGbk(QStringLiteral("[System]\r\nCaption=欢迎光临\r\nTempPath=")) + expected.toLatin1() + "\r\n");
    EXPECT_EQ(ReadCaptionSetting(settings), QStringLiteral("欢迎光临"));
    SetProgramFolderForTesting(QString());
}

#ifndef _WIN32
// Points the desktop and the applications menu into a sandbox for a test.
class ShortcutTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_home = qgetenv("HOME");
        m_config = qgetenv("XDG_CONFIG_HOME");
        qputenv("HOME", QFile::encodeName(m_sandbox.path()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_sandbox.File(".config")));
    }
    void TearDown() override
    {
        qputenv("HOME", m_home);
        if (m_config.isEmpty())
            qunsetenv("XDG_CONFIG_HOME");
        else
            qputenv("XDG_CONFIG_HOME", m_config);
    }
    test::Sandbox m_sandbox;
    QByteArray m_home;
    QByteArray m_config;
};

TEST_F(ShortcutTest, LaunchersAreRecreatedAtEveryStart)
{
    const QString desktop = m_sandbox.File("Desktop");
    ASSERT_TRUE(QDir().mkpath(desktop));
    CreateShortcuts();

    const QString onDesktop = ShortcutFilePath(kShellFolderDesktop, "Lumavo");
    const QString inMenu = ShortcutFilePath(kShellFolderPrograms, "Lumavo");
    EXPECT_EQ(onDesktop, desktop + "/Lumavo.desktop");
    EXPECT_TRUE(inMenu.startsWith(m_sandbox.path())) << inMenu.toStdString();
    for (const QString& file : { onDesktop, inMenu }) {
        const QString text = QString::fromUtf8(test::ReadFile(file));
        EXPECT_TRUE(text.startsWith("[Desktop Entry]\n")) << text.toStdString();
        EXPECT_TRUE(text.contains("Name=Lumavo\n"));
        EXPECT_TRUE(text.contains("Type=Application\n"));
        EXPECT_TRUE(QFileInfo(file).isExecutable());
    }

    // A deleted launcher comes back at the next start.
    ASSERT_TRUE(QFile::remove(onDesktop));
    CreateShortcuts();
    EXPECT_TRUE(QFile::exists(onDesktop));
}

TEST_F(ShortcutTest, TargetPathsAreQuotedForTheLauncher)
{
    ASSERT_TRUE(QDir().mkpath(m_sandbox.File("Desktop")));
    ASSERT_EQ(WriteShortcut(kShellFolderDesktop, "Lumavo", "/opt/照相 馆/$x\"a\\b%c/lumavo"), ShortcutResult::Created);
    const QString text = QString::fromUtf8(test::ReadFile(ShortcutFilePath(kShellFolderDesktop, "Lumavo")));
    EXPECT_TRUE(text.contains(QStringLiteral("Exec=\"/opt/照相 馆/\\\\$x\\\\\"a\\\\\\\\b%%c/lumavo\"\n")))
        << text.toStdString();
    // Control characters cannot stand in a value: they are written as escapes.
    ASSERT_EQ(WriteShortcut(kShellFolderDesktop, "Lumavo", "/opt/a\nb\tc/lumavo"), ShortcutResult::Created);
    const QString escaped = QString::fromUtf8(test::ReadFile(ShortcutFilePath(kShellFolderDesktop, "Lumavo")));
    EXPECT_TRUE(escaped.contains("Exec=\"/opt/a\\nb\\tc/lumavo\"\n")) << escaped.toStdString();
}

TEST_F(ShortcutTest, NoDesktopFolderMeansNoDesktopLauncher)
{
    // The home folder is not given a desktop it never had.
    EXPECT_EQ(WriteShortcut(kShellFolderDesktop, "Lumavo", "/opt/lumavo"), ShortcutResult::NoFolder);
    EXPECT_FALSE(QDir(m_sandbox.File("Desktop")).exists());
    EXPECT_EQ(WriteShortcut(kShellFolderStartMenu, "Lumavo", "/opt/lumavo"), ShortcutResult::Created);
}
#endif

TEST(StartupTest, InterfaceSpeaksChinese)
{
    const QFont font = QApplication::font();
    const QLocale locale;
    const QList<QTranslator*> before = qApp->findChildren<QTranslator*>();

    // Qt's own dialogs (message-box buttons) come out in Chinese.
    EXPECT_TRUE(InstallChineseInterface(*qApp));
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("取消"));
    // A font that has the Chinese characters, and one for the templates' "宋体".
    const QString family = QFontInfo(QApplication::font()).family();
    EXPECT_FALSE(InterfaceFontFamily().isEmpty());
    EXPECT_TRUE(QFontDatabase::writingSystems(family).contains(QFontDatabase::SimplifiedChinese))
        << family.toStdString();
    EXPECT_FALSE(QFont::substitutes(QStringLiteral("宋体")).isEmpty());

    // The other tests keep the plain interface.
    for (QTranslator* translator : qApp->findChildren<QTranslator*>()) {
        if (!before.contains(translator)) {
            QCoreApplication::removeTranslator(translator);
            translator->deleteLater();
        }
    }
    QApplication::setFont(font);
    QLocale::setDefault(locale);
}

TEST(SplashTest, FirstPressHidesTheSplashAndIsSwallowed)
{
    SetSplashEnabled(false);
    QWidget owner;
    EXPECT_FALSE(ShowSplash(kSplashMilliseconds, kSplashBitmap, &owner));
    EXPECT_EQ(CurrentSplash(), nullptr);

    SetSplashEnabled(true);
    EXPECT_FALSE(ShowSplash(kSplashMilliseconds, 999, &owner)); // no such picture
    ASSERT_TRUE(ShowSplash(kSplashMilliseconds, kSplashBitmap, &owner));
    ASSERT_NE(CurrentSplash(), nullptr);
    EXPECT_EQ(CurrentSplash()->size(), QSize(640, 454));
    EXPECT_FALSE(ShowSplash(kSplashMilliseconds, kSplashBitmap, &owner)); // one at a time

    // Releases and moves pass; the first press is taken.
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier);
    QMouseEvent move(QEvent::MouseMove, QPointF(1, 1), QPointF(1, 1), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    EXPECT_FALSE(FilterSplashInput(&release));
    EXPECT_FALSE(FilterSplashInput(&move));
    QMouseEvent press(
        QEvent::MouseButtonPress, QPointF(1, 1), QPointF(1, 1), Qt::RightButton, Qt::RightButton, Qt::NoModifier);
    EXPECT_TRUE(FilterSplashInput(&press));
    EXPECT_EQ(CurrentSplash(), nullptr);
    QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier);
    EXPECT_FALSE(FilterSplashInput(&key));
    SetSplashEnabled(false);
}

TEST(SplashTest, SplashGoesAwayByItself)
{
    SetSplashEnabled(true);
    ASSERT_TRUE(ShowSplash(50, kSplashBitmap, nullptr));
    EXPECT_TRUE(QTest::qWaitFor([] { return CurrentSplash() == nullptr; }, 5000));
    SetSplashEnabled(false);
}

} // namespace
} // namespace lumavo
