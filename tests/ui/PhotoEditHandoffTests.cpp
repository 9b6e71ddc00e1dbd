#include "HandoffSandbox.h"
#include "TestUtils.h"
#include "handoffs/ExchangeFile.h"
#include "handoffs/OutsidePrograms.h"
#include "imaging/ToneFilters.h"
#include "platform/ProgramFolder.h"
#include "platform/Registry.h"
#include "ui/CommandIds.h"
#include "ui/EditWindowTesting.h"
#include "ui/PhotoCanvas.h"
#include "ui/PhotoEditDlg.h"
#include "ui/UiTestUtils.h"

#include <QAbstractButton>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <optional>

// The stand-in programs are shell scripts.
#ifndef Q_OS_WIN

namespace lumavo {
namespace {

const QString kEditorKey
    = QStringLiteral("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Photoshop.PlugIn\\shell\\open\\command]\n");
const QString kKeyingKey = QStringLiteral("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Ultimatte\\AdvantEdge]\n");

// The handoff sandbox, its exchange folder with a blank in its name; no
// picks armed.
struct HandoffWorld : test::HandoffSandbox {
    HandoffWorld()
        : HandoffSandbox("交换 folder")
    {
        CPhotoCanvas::SetPickMode(kPickNone);
    }
    // Writes an executable shell script.
    QString Script(const QString& path, const QString& body)
    {
        EXPECT_TRUE(test::WriteScript(path, body.toUtf8()));
        return path;
    }
};

QString Command(CPhotoEditDlg& edit, int id)
{
    QString text;
    test::AnswerNextMessage(&text);
    edit.OnCommand(id);
    // A command that shows nothing leaves the answer pending: it is closed
    // by the guard of the caller or times out unused.
    return text;
}

TEST(PhotoEditHandoffTest, PhotoEditorRoundTripThroughTheExchangeFile)
{
    HandoffWorld world;
    // The stand-in editor keeps what it received, records its arguments,
    // and saves its own picture over the exchange file.
    QImage edited(64, 48, QImage::Format_ARGB32);
    edited.fill(QColor(200, 30, 30));
    ASSERT_TRUE(edited.save(world.sandbox.File("edited.png")));
    const QString received = world.sandbox.File("received.png");
    const QString marker = world.sandbox.File("arguments.txt");
    const QString editor = world.Script(world.sandbox.File("my editor.sh"),
        QStringLiteral("cp \"$1\" '%1'\ncp '%2' \"$1\"\nprintf '%s\\n' \"$#\" \"$1\" > '%3.part'\nmv '%3.part' '%3'\n")
            .arg(received, world.sandbox.File("edited.png"), marker));

    QImage original = test::MakeTestPhoto(300, 200).convertToFormat(QImage::Format_ARGB32);
    original.setPixel(5, 5, qRgba(10, 20, 30, 0)); // transparent: reaches the editor without alpha
    auto photo = PhotoImage::Adopt(original);
    PhotoImage* given = photo.get();
    CPhotoEditDlg window;
    window.SetPhoto(std::move(photo));
    test::RunEdit(window, [&](CPhotoEditDlg& edit) {
        // No registry key: no exchange file either.
        EXPECT_EQ(Command(edit, kCmdPhotoshop), QStringLiteral("错误：请安装Adodb Photoshop"));
        EXPECT_FALSE(QFileInfo::exists(world.ExchangeFile()));
        // A key without its default value.
        world.SetRegistry(kEditorKey + "\"Other\"=\"x\"\n");
        EXPECT_EQ(Command(edit, kCmdPhotoshop), QStringLiteral("错误：无法获得Adobe Photoshop正确安装位置!"));
        EXPECT_FALSE(QFileInfo::exists(world.ExchangeFile()));

        // Registered as a quoted program with "%1": the path with its blank
        // arrives as one argument.
        world.SetRegistry(kEditorKey + QStringLiteral("@=\"\\\"%1\\\" \\\"%2\\\"\"\n").arg(editor, "%1"));
        {
            test::StrayModalGuard guard(&edit);
            edit.OnCommand(kCmdPhotoshop);
            ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo::exists(marker); }, 15000));
            EXPECT_FALSE(guard.opened);
        }
        const QStringList arguments = QString::fromUtf8(test::ReadFile(marker)).split(u'\n', Qt::SkipEmptyParts);
        EXPECT_EQ(arguments, QStringList({ "1", QDir::toNativeSeparators(world.ExchangeFile()) }));
        QImageReader sent(received);
        const QImage sentImage = sent.read();
        EXPECT_FALSE(sentImage.hasAlphaChannel());
        EXPECT_EQ(sentImage.size(), QSize(300, 200));
        EXPECT_EQ(edit.CurrentPicture(), given);

        // The reload makes the editor's picture current; the initial one is kept.
        edit.OnCommand(kCmdReload);
        const PhotoImage* first = edit.CurrentPicture();
        ASSERT_NE(first, given);
        EXPECT_EQ(first->Format(), PixelFormat32bppPARGB);
        EXPECT_EQ(first->image().size(), QSize(64, 48));
        EXPECT_EQ(first->image().pixel(10, 10), qRgb(200, 30, 30));
        // Reloaded twice: the first reloaded picture gives way.
        edit.OnCommand(kCmdReload);
        EXPECT_NE(edit.CurrentPicture(), given);
        EXPECT_EQ(edit.CurrentPicture()->image().size(), QSize(64, 48));
        edit.OnCommand(kCmdInitialPhoto);
        EXPECT_EQ(edit.CurrentPicture(), given);
        EXPECT_EQ(given->image(), original);

        // A file that is no picture: the current picture stays.
        ASSERT_TRUE(test::WriteFile(world.ExchangeFile(), "not a picture"));
        EXPECT_EQ(Command(edit, kCmdReload), QStringLiteral("发生不可预期的错误!"));
        EXPECT_EQ(edit.CurrentPicture(), given);

        // An exchange file that cannot be written: told (with the ordinary cursor).
        ASSERT_TRUE(test::WriteFile(world.sandbox.File("blocker"), "not a folder"));
        SetExchangeFolderForTesting(world.sandbox.File("blocker") + "/inside/");
        EXPECT_EQ(Command(edit, kCmdPhotoshop), QStringLiteral("发生不可预期的错误!"));
        EXPECT_EQ(edit.CurrentPicture(), given);
        edit.OnCommand(kCmdOk);
    });
}

TEST(PhotoEditHandoffTest, ReloadWorksWithoutAPictureAndTellsWhenThereIsNoFile)
{
    HandoffWorld world;
    CPhotoEditDlg window;
    window.SetPhoto(nullptr);
    test::RunEdit(window, [&](CPhotoEditDlg& edit) {
        EXPECT_EQ(Command(edit, kCmdReload), QStringLiteral("发生不可预期的错误!"));
        EXPECT_EQ(edit.CurrentPicture(), nullptr);
        ASSERT_TRUE(test::MakeTestPhoto(120, 90).save(world.ExchangeFile()));
        edit.OnCommand(kCmdReload);
        ASSERT_NE(edit.CurrentPicture(), nullptr);
        EXPECT_EQ(edit.CurrentPicture()->Width(), 120u);
        EXPECT_TRUE(edit.Canvas()->HasPicture());
        edit.OnCommand(kCmdOk);
    });
    EXPECT_NE(window.TakePhoto(), nullptr);
}

TEST(PhotoEditHandoffTest, ToneToolRunsOnEachClickAndReloadBringsItsResult)
{
    HandoffWorld world;
    ASSERT_TRUE(QFileInfo(test::ProgramDir() + "/" + ToolFolderName() + "/偏紫淡蓝").isExecutable());
    const QImage original = test::MakeTestPhoto(240, 160);
    CPhotoEditDlg window;
    window.SetPhoto(PhotoImage::Adopt(original));
    test::RunEdit(window, [&](CPhotoEditDlg& edit) {
        edit.OnCommand(kCmdToneToolPick);
        EXPECT_EQ(CPhotoCanvas::PickMode(), kPickToneTool);
        EXPECT_FALSE(edit.PickHint().isEmpty());
        // A click beside the picture, still on the control, starts the tool.
        CPhotoCanvas* canvas = edit.Canvas();
        ASSERT_GT(canvas->DisplayRect().left(), 2);
        QTest::mouseClick(canvas, Qt::LeftButton, {}, QPoint(2, 2));
        QImage expected = original.convertToFormat(QImage::Format_ARGB32);
        PurplishLightBlueFilter(expected.width(), expected.height(), reinterpret_cast<uint32_t*>(expected.bits()));
        const auto toned = [&] {
            const QImage written(world.ExchangeFile());
            return !written.isNull() && test::Opaque(written) == test::Opaque(expected);
        };
        ASSERT_TRUE(QTest::qWaitFor(toned, 15000));
        EXPECT_EQ(CPhotoCanvas::PickMode(), kPickToneTool);
        // The window saw the tool write the file back and says so; the
        // picture stays as it was until the operator reloads.
        const QString armedHint
            = QStringLiteral("偏紫淡蓝：单击相片，交给偏紫淡蓝工具处理，完成后点“重新载入”；再按一次取消");
        const QString done = QStringLiteral("偏紫淡蓝处理完成，请按“重新载入”");
        EXPECT_TRUE(QTest::qWaitFor([&] { return edit.PickHint() == done; }, 5000)) << edit.PickHint().toStdString();
        EXPECT_EQ(test::Opaque(edit.CurrentPicture()->image()), test::Opaque(original));

        edit.OnCommand(kCmdReload);
        ASSERT_NE(edit.CurrentPicture(), nullptr);
        EXPECT_EQ(test::Opaque(edit.CurrentPicture()->image()), test::Opaque(expected));
        EXPECT_EQ(edit.PickHint(), armedHint);

        // The exchange file cannot be written: told, and the pick stays armed.
        ASSERT_TRUE(test::WriteFile(world.sandbox.File("blocker"), "not a folder"));
        SetExchangeFolderForTesting(world.sandbox.File("blocker") + "/inside/");
        QString told;
        test::AnswerNextMessage(&told);
        QTest::mouseClick(canvas, Qt::LeftButton, {}, canvas->DisplayRect().center());
        EXPECT_EQ(told, QStringLiteral("发生不可预期的错误!"));
        EXPECT_EQ(CPhotoCanvas::PickMode(), kPickToneTool);
        edit.OnCommand(kCmdOk);
    });
}

TEST(PhotoEditHandoffTest, KeyingSoftwareIsCheckedAndInstalledOnRequest)
{
    HandoffWorld world;
    SetProgramFolderForTesting(world.programFolder);
    const QString installer = KeyingInstallerPath();
    const QString ran = world.sandbox.File("installer-ran");
    CPhotoEditDlg window;
    window.SetPhoto(nullptr);
    test::RunEdit(window, [&](CPhotoEditDlg& edit) {
        // Installed already: nothing is shown.
        world.SetRegistry(kKeyingKey + "\"Pathname\"=\"/opt/keying\"\n");
        {
            test::StrayModalGuard guard(&edit);
            edit.OnCommand(kCmdAutoKeying);
            QTest::qWait(50);
            EXPECT_FALSE(guard.opened);
        }

        // Declined: the installer does not run.
        world.SetRegistry(QString());
        world.Script(installer, QStringLiteral("touch '%1'\n").arg(ran));
        QString question;
        test::AnswerNextMessage(&question, QMessageBox::No);
        edit.OnCommand(kCmdAutoKeying);
        EXPECT_EQ(question, QStringLiteral("错误：是否现在安装全自动抠像软件"));
        EXPECT_FALSE(QFileInfo::exists(ran));

        // Each installer below is waited for; timers keep running meanwhile.
        int ticks = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
        ticker.start(20);
        const auto install = [&](const QString& registered) {
            world.SetRegistry(QString());
            QFile::remove(ran);
            world.Script(installer,
                QStringLiteral("sleep 0.3\nprintf '%s' '%1' > '%2'\ntouch '%3'\n")
                    .arg(registered, world.registry, ran));
            ticks = 0;
            QString message;
            std::optional<test::StrayModalGuard> guard;
            test::OnNextModal([&](QWidget* modal) {
                auto* box = qobject_cast<QMessageBox*>(modal);
                ASSERT_NE(box, nullptr);
                if (registered.contains("AdvantEdge") && !registered.contains("Pathname"))
                    test::AnswerNextMessage(&message);
                else
                    guard.emplace(&edit);
                box->button(QMessageBox::Yes)->click();
            });
            edit.OnCommand(kCmdAutoKeying);
            EXPECT_TRUE(QFileInfo::exists(ran));
            EXPECT_GT(ticks, 5);
            QTest::qWait(50);
            if (guard) {
                EXPECT_FALSE(guard->opened) << registered.toStdString();
            }
            return message;
        };
        // The key without "Pathname": told so.
        EXPECT_EQ(install(kKeyingKey), QStringLiteral("错误：目前还没有安装全自动抠像软件!"));
        // Key and folder registered: done, quietly.
        EXPECT_EQ(install(kKeyingKey + "\"Pathname\"=\"/opt/keying\"\n"), QString());
        // Still no key after the installer: the command ends quietly.
        EXPECT_EQ(install(QStringLiteral("; nothing\n")), QString());
        ticker.stop();

        // No installer at all: said plainly instead of nothing.
        QFile::remove(installer);
        world.SetRegistry(QString());
        QString missing;
        test::OnNextModal([&](QWidget* modal) {
            test::AnswerNextMessage(&missing);
            qobject_cast<QMessageBox*>(modal)->button(QMessageBox::Yes)->click();
        });
        edit.OnCommand(kCmdAutoKeying);
        EXPECT_TRUE(missing.startsWith(QStringLiteral("无法启动程序"))) << missing.toStdString();
        EXPECT_EQ(edit.CurrentPicture(), nullptr);
        edit.OnCommand(kCmdOk);
    });
}

// Keys and clicks given while the installer runs are thrown away: neither
// carried out meanwhile nor afterwards. The windows paint all the while.
TEST(PhotoEditHandoffTest, InputDuringTheInstallerIsThrownAway)
{
    HandoffWorld world;
    SetProgramFolderForTesting(world.programFolder);
    const QString installer = KeyingInstallerPath();
    world.Script(installer, QStringLiteral("sleep 0.8\n"));
    const QImage original = test::MakeTestPhoto(300, 200);
    auto photo = PhotoImage::Adopt(original);
    const PhotoImage* given = photo.get();
    CPhotoEditDlg window;
    window.SetPhoto(std::move(photo));
    int result = -1;
    bool closedEarly = false;
    test::OnNextModal([&](QWidget*) {
        // Counts the canvas's paints from here on.
        struct PaintCounter : QObject {
            int paints = 0;
            bool eventFilter(QObject*, QEvent* event) override
            {
                paints += event->type() == QEvent::Paint;
                return false;
            }
        } counter;
        window.Canvas()->installEventFilter(&counter);
        QPushButton* turn = nullptr;
        for (QPushButton* button : window.findChildren<QPushButton*>())
            if (button->property("commandId").toInt() == 1060)
                turn = button;
        ASSERT_NE(turn, nullptr);

        // While the installer runs: Esc, a click on "左转90度", Ctrl+Z, and a repaint asked for.
        QTimer::singleShot(250, [&] {
            const QPoint centre = turn->rect().center();
            QCoreApplication::postEvent(&window, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
            QCoreApplication::postEvent(&window, new QKeyEvent(QEvent::KeyRelease, Qt::Key_Escape, Qt::NoModifier));
            QCoreApplication::postEvent(turn,
                new QMouseEvent(QEvent::MouseButtonPress, centre, turn->mapToGlobal(centre), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier));
            QCoreApplication::postEvent(turn,
                new QMouseEvent(QEvent::MouseButtonRelease, centre, turn->mapToGlobal(centre), Qt::LeftButton,
                    Qt::NoButton, Qt::NoModifier));
            QCoreApplication::postEvent(&window, new QKeyEvent(QEvent::KeyPress, Qt::Key_Z, Qt::ControlModifier));
            window.Canvas()->update();
        });
        test::OnNextModal(
            [&](QWidget* modal) { qobject_cast<QMessageBox*>(modal)->button(QMessageBox::Yes)->click(); });
        QElapsedTimer clock;
        clock.start();
        window.OnCommand(1095);
        EXPECT_GE(clock.elapsed(), 700);
        closedEarly = !window.isVisible();
        EXPECT_GT(counter.paints, 0);
        // Nothing comes afterwards either.
        QTest::qWait(200);
        window.Canvas()->removeEventFilter(&counter);
        EXPECT_TRUE(window.isVisible());
        EXPECT_EQ(window.CurrentPicture(), given);
        EXPECT_TRUE(given->image() == original);
        // The window takes input again.
        turn->click();
        EXPECT_EQ(given->Width(), 200u);
        window.OnCommand(1);
    });
    result = window.exec();
    EXPECT_FALSE(closedEarly);
    EXPECT_EQ(result, 1);
}

} // namespace
} // namespace lumavo

#endif
