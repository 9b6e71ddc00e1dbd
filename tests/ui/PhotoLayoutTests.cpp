#include "TestUtils.h"
#include "engine/TemplateFixtures.h"
#include "skin/CommandEvent.h"
#include "skin/SkinLibrary.h"
#include "ui/CommandIds.h"
#include "ui/FileDialogEx.h"
#include "ui/OutputDlg.h"
#include "ui/PhotoCanvas.h"
#include "ui/PhotoEditDlg.h"
#include "ui/PhotoLayoutDlg.h"
#include "ui/UiTestUtils.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPainter>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace lumavo {
namespace {

const QRect kOpening(100, 150, 600, 800); // layer.lmv: opening (100, 150, 700, 950)

// A 800 x 1100 template and a 3000 x 2000 customer photo in a sandbox.
struct LayoutFiles {
    test::Sandbox sandbox;
    QString folder;
    QString photo;
    LayoutFiles(bool withBackground = true)
    {
        folder = sandbox.path() + "/template";
        QDir().mkpath(folder);
        const QImage background = withBackground ? test::MakeBackground(800, 1100) : QImage();
        EXPECT_TRUE(
            test::WriteTemplate(folder, background, test::MakeFrameForeground(800, 1100, kOpening, 8), kOpening));
        photo = sandbox.File("customer.jpg");
        // Gradients, drawn quickly: only the photo's size matters here.
        QImage picture(3000, 2000, QImage::Format_RGB32);
        QPainter painter(&picture);
        QLinearGradient gradient(0, 0, 3000, 2000);
        gradient.setColorAt(0, QColor(250, 220, 40));
        gradient.setColorAt(1, QColor(20, 60, 200));
        painter.fillRect(picture.rect(), gradient);
        painter.end();
        EXPECT_TRUE(picture.save(photo, "JPEG", 85));
    }
};

// Runs the layout window: `answer` acts on its photo dialog, then `work` on
// the window itself once it is shown; returns what exec() returned.
int RunLayout(
    const QString& folder, std::function<void(CFileDialogEx*)> answer, std::function<void(CPhotoLayoutDlg&)> work)
{
    CPhotoLayoutDlg window;
    window.SetFolder(TemplateFolder::FromPath(folder));
    test::OnNextModal([&](QWidget* dialog) {
        auto* files = qobject_cast<CFileDialogEx*>(dialog);
        if (!files) {
            ADD_FAILURE() << "the photo dialog did not open first";
            dialog->close();
            return;
        }
        test::OnNextModal([&](QWidget* modal) {
            EXPECT_EQ(modal, &window);
            work(window);
            if (window.isVisible()) {
                ADD_FAILURE() << "the window is still open";
                window.done(-1);
            }
        });
        answer(files);
    });
    return window.exec();
}

void ChoosePhoto(CFileDialogEx* files, const QString& photo)
{
    files->selectFile(photo);
    static_cast<QDialog*>(files)->accept(); // protected in QFileDialog
}

// Counts the events of one type an object receives.
class EventCounter : public QObject {
public:
    EventCounter(QObject* target, QEvent::Type type)
        : m_type(type)
    {
        target->installEventFilter(this);
    }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == m_type)
            ++count;
        return false;
    }

private:
    QEvent::Type m_type;
};

TEST(PhotoLayoutTest, PlacesThePhotoAndMovesAndZoomsItWithTheKeys)
{
    LayoutFiles files;
    const int result = RunLayout(
        files.folder, [&](CFileDialogEx* dialog) { ChoosePhoto(dialog, files.photo); },
        [&](CPhotoLayoutDlg& window) {
            ASSERT_NE(window.Photo(), nullptr);
            EXPECT_EQ(window.Photo()->Width(), 3000u);
            EXPECT_EQ(window.Placement(), (PhotoPlacement { 100, 350, 600, 400 }));
            CPhotoCanvas* canvas = window.Canvas();
            EXPECT_EQ(canvas->geometry(), QRect(80, 60, 640, 480));
            // Room for the canvas, and for a title bar on an 800 x 600 screen.
            EXPECT_TRUE(window.rect().contains(canvas->geometry()));
            EXPECT_LE(window.width(), 800);
            EXPECT_LE(window.height(), 575);
            ASSERT_NE(window.Composite(), nullptr);
            EXPECT_EQ(window.Composite()->image().size(), QSize(800, 1100));
            EXPECT_EQ(canvas->DisplayImage(), window.Composite()->image());

            const QImage before = window.Composite()->image().copy();
            QTest::keyClick(&window, Qt::Key_Right);
            QTest::keyClick(&window, Qt::Key_Right);
            EXPECT_EQ(window.Placement(), (PhotoPlacement { 110, 350, 600, 400 }));
            // Recomposed and shown: the photo's left edge moved right.
            EXPECT_NE(window.Composite()->image(), before);
            EXPECT_EQ(canvas->DisplayImage(), window.Composite()->image());
            // Column 108 lies in the opening (clear of its soft edge): the
            // photo covered it, now the background shows there.
            const QRgb background = test::MakeBackground(800, 1100).pixel(108, 550);
            EXPECT_NE(before.pixel(108, 550), background);
            EXPECT_EQ(window.Composite()->image().pixel(108, 550), background);
            QTest::keyClick(&window, Qt::Key_Plus, Qt::KeypadModifier);
            EXPECT_EQ(window.Placement(), (PhotoPlacement { 105, 347, 610, 406 }));

            // The main keyboard's + and - do not zoom.
            QTest::keyClick(&window, Qt::Key_Plus);
            QTest::keyClick(&window, Qt::Key_Minus);
            QTest::keyClick(&window, Qt::Key_Equal);
            EXPECT_EQ(window.Placement(), (PhotoPlacement { 105, 347, 610, 406 }));
            QTest::keyClick(&window, Qt::Key_Minus, Qt::KeypadModifier);
            EXPECT_EQ(window.Placement(), (PhotoPlacement { 110, 350, 600, 400 }));

            // Keys reaching a control are taken too, auto-repeated ones included.
            QTest::keyClick(canvas, Qt::Key_Down);
            EXPECT_EQ(window.Placement(), (PhotoPlacement { 110, 355, 600, 400 }));
            for (int i = 0; i < 3; ++i) {
                QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Left, Qt::NoModifier, QString(), true);
                QApplication::sendEvent(&window, &repeat);
            }
            QTest::keyClick(&window, Qt::Key_Up);
            EXPECT_EQ(window.Placement(), (PhotoPlacement { 95, 350, 600, 400 }));

            // A click on the picture control reaches the window beneath it
            // and sends no pick, even with a pick armed.
            CPhotoCanvas::SetPickMode(kPickToneTool);
            EventCounter picks(&window, PickEvent::Type());
            EventCounter canvasPresses(canvas, QEvent::MouseButtonPress);
            QTest::mouseClick(window.windowHandle(), Qt::LeftButton, Qt::NoModifier, canvas->geometry().center());
            EXPECT_EQ(canvasPresses.count, 0);
            EXPECT_EQ(picks.count, 0);
            CPhotoCanvas::SetPickMode(kPickNone);
            EXPECT_EQ(window.Placement(), (PhotoPlacement { 95, 350, 600, 400 }));

            QTest::keyClick(&window, Qt::Key_Escape);
        });
    EXPECT_EQ(result, 2);
}

// Holding keypad - on a small photo: it shrinks to a floor and stays in
// sight, keypad + grows it again, and the command line's --zoom agrees.
TEST(PhotoLayoutTest, ShrinkingStopsAtAFloorAndGrowingWorksAgain)
{
    LayoutFiles files;
    const QString photo = files.sandbox.File("small.png");
    QImage picture(403, 302, QImage::Format_RGB32);
    picture.fill(QColor(200, 30, 40));
    ASSERT_TRUE(picture.save(photo));

    PhotoPlacement shrunk;
    PhotoPlacement grown;
    RunLayout(
        files.folder, [&](CFileDialogEx* dialog) { ChoosePhoto(dialog, photo); },
        [&](CPhotoLayoutDlg& window) {
            for (int i = 0; i < 41; ++i)
                QTest::keyClick(&window, Qt::Key_Minus, Qt::KeypadModifier);
            shrunk = window.Placement();
            // The photo is still drawn: its colour is at the placement's centre.
            const QPoint centre(shrunk.x + shrunk.width / 2, shrunk.y + shrunk.height / 2);
            EXPECT_EQ(QColor(window.Composite()->image().pixel(centre)), QColor(200, 30, 40));
            QTest::keyClick(&window, Qt::Key_Plus, Qt::KeypadModifier);
            grown = window.Placement();
            QTest::keyClick(&window, Qt::Key_Escape);
        });
    EXPECT_GT(shrunk.width, 0);
    EXPECT_GT(shrunk.height, 0);
    EXPECT_LT(shrunk.width, 30);
    EXPECT_EQ(grown.width, shrunk.width + 10);
    EXPECT_GT(grown.height, shrunk.height);

    QStringList arguments { "place", "--root", files.sandbox.path(), "--template", "template", "--photo", photo };
    for (int i = 0; i < 41; ++i)
        arguments << "--zoom"
                  << "-5";
    arguments << "--zoom"
              << "5";
    const test::ProgramRun cli = test::RunWithoutDisplay(test::ProgramDir() + "/lumavo-cli", arguments, 60000);
    ASSERT_TRUE(cli.finished);
    ASSERT_EQ(cli.exitCode, 0) << cli.err.toStdString();
    EXPECT_EQ(QString::fromUtf8(cli.out).trimmed(),
        QString("%1 %2 %3 %4").arg(grown.x).arg(grown.y).arg(grown.width).arg(grown.height));
}

TEST(PhotoLayoutTest, WithoutPhotoShowsTheTemplateAndEnterDoesNothing)
{
    LayoutFiles files;
    const int result = RunLayout(
        files.folder, [](CFileDialogEx* dialog) { dialog->reject(); },
        [&](CPhotoLayoutDlg& window) {
            EXPECT_EQ(window.Photo(), nullptr);
            CPhotoCanvas* canvas = window.Canvas();
            ASSERT_TRUE(canvas->HasPicture());
            const QImage shown = canvas->DisplayImage();
            const QImage background = test::MakeBackground(800, 1100);
            const QImage foreground = test::MakeFrameForeground(800, 1100, kOpening, 8);
            EXPECT_EQ(shown.pixel(400, 550), background.pixel(400, 550)); // the empty opening
            EXPECT_EQ(shown.pixel(20, 20), foreground.pixel(20, 20) | 0xFF000000u); // the frame

            test::StrayModalGuard guard(&window);
            QTest::keyClick(&window, Qt::Key_Return);
            SendCommand(&window, kCmdEnter);
            SendCommand(&window, kCmdPhotoEdit);
            EXPECT_FALSE(guard.opened);
            EXPECT_TRUE(window.isVisible());

            // The keys still change the placement; zooming an empty one does nothing.
            QTest::keyClick(&window, Qt::Key_Right);
            QTest::keyClick(&window, Qt::Key_Plus, Qt::KeypadModifier);
            EXPECT_EQ(window.Placement(), (PhotoPlacement { 5, 0, 0, 0 }));
            EXPECT_EQ(canvas->DisplayImage().pixel(400, 550), background.pixel(400, 550));

            SendCommand(&window, kCmdBack);
        });
    EXPECT_EQ(result, 2);
}

TEST(PhotoLayoutTest, EnterOpensTheOutputWindowAndComesBackUnchanged)
{
    LayoutFiles files;
    const int result = RunLayout(
        files.folder, [&](CFileDialogEx* dialog) { ChoosePhoto(dialog, files.photo); },
        [&](CPhotoLayoutDlg& window) {
            QTest::keyClick(&window, Qt::Key_Down);
            const PhotoPlacement placed = window.Placement();
            const PhotoImage* photo = window.Photo();
            const PhotoImage* composite = window.Composite();
            int outputs = 0;
            test::OnNextModal([&](QWidget* modal) {
                EXPECT_NE(qobject_cast<COutputDlg*>(modal), nullptr);
                ++outputs;
                QTest::keyClick(modal, Qt::Key_Escape);
            });
            QTest::keyClick(&window, Qt::Key_Return);
            EXPECT_EQ(outputs, 1);
            EXPECT_EQ(window.Placement(), placed);
            EXPECT_EQ(window.Photo(), photo);
            EXPECT_EQ(window.Composite(), composite);
            EXPECT_TRUE(window.isVisible());

            // Adjusted again, the skin's "enter" opens it once more.
            QTest::keyClick(&window, Qt::Key_Left);
            test::OnNextModal([&](QWidget* modal) {
                ++outputs;
                SendCommand(modal, kCmdCancel);
            });
            SendCommand(&window, kCmdEnter);
            EXPECT_EQ(outputs, 2);
            EXPECT_TRUE(window.isVisible());
            SendCommand(&window, kCmdCancel);
        });
    EXPECT_EQ(result, 2);
}

TEST(PhotoLayoutTest, BrokenTemplateAndUnreadablePhotoLeaveTheWindowUsable)
{
    LayoutFiles files(false);
    const QString broken = files.sandbox.File("broken.jpg");
    ASSERT_TRUE(test::WriteFile(broken, "not a picture"));
    CPhotoLayoutDlg window;
    window.SetFolder(TemplateFolder::FromPath(files.folder));
    bool told = false;
    bool worked = false;
    test::OnNextModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        told = box->text() == QStringLiteral("图库错误，请重装");
        test::OnNextModal([&](QWidget* dialog) {
            auto* photoDialog = qobject_cast<CFileDialogEx*>(dialog);
            ASSERT_NE(photoDialog, nullptr);
            test::OnNextModal([&](QWidget*) {
                worked = true;
                EXPECT_EQ(window.Photo(), nullptr);
                EXPECT_FALSE(window.Canvas()->HasPicture());
                test::StrayModalGuard guard(&window);
                QTest::keyClick(&window, Qt::Key_Return);
                QTest::keyClick(&window, Qt::Key_Down);
                EXPECT_FALSE(guard.opened);
                EXPECT_EQ(window.Placement(), (PhotoPlacement { 0, 5, 0, 0 }));
                QTest::keyClick(&window, Qt::Key_Escape);
            });
            ChoosePhoto(photoDialog, broken);
        });
        box->accept();
    });
    EXPECT_EQ(window.exec(), 2);
    EXPECT_TRUE(told);
    EXPECT_TRUE(worked);
}

TEST(PhotoLayoutTest, SkinButtonsCarryTheirTips)
{
    ASSERT_TRUE(skin::InitSkinLibrary(QString()));
    ASSERT_TRUE(skin::LoadSkinResource(QStringLiteral("lmvface"), QStringLiteral("AAA")));
    LayoutFiles files;
    RunLayout(
        files.folder, [](CFileDialogEx* dialog) { dialog->reject(); },
        [&](CPhotoLayoutDlg& window) {
            const std::pair<const char*, QString> tips[] = {
                { "enter", QStringLiteral("点这里可以下一步!") },
                { "cancel", QStringLiteral("返回上一步!") },
                { "photoedit", QStringLiteral("编辑处理相片!") },
            };
            for (const auto& [name, tip] : tips) {
                QAbstractButton* button = skin::FindSkinButton(&window, QString::fromLatin1(name));
                ASSERT_NE(button, nullptr) << name;
                EXPECT_EQ(button->toolTip(), tip);
            }
            // The skin's cancel goes back to the browser.
            skin::FindSkinButton(&window, QStringLiteral("cancel"))->click();
        });
}

// Runs the edit window the layout window opens on command kCmdPhotoEdit.
void EditPhoto(CPhotoLayoutDlg& window, std::function<void(CPhotoEditDlg&)> work)
{
    bool opened = false;
    test::OnNextModal([&](QWidget* modal) {
        auto* edit = qobject_cast<CPhotoEditDlg*>(modal);
        if (!edit) {
            ADD_FAILURE() << "the edit window did not open";
            modal->close();
            return;
        }
        opened = true;
        work(*edit);
        if (edit->isVisible()) {
            ADD_FAILURE() << "the edit window is still open";
            edit->done(-1);
        }
    });
    SendCommand(&window, kCmdPhotoEdit);
    EXPECT_TRUE(opened);
}

TEST(PhotoLayoutTest, EditWindowOkRefitsTheEditedPhotoAndCancelKeepsThePlacement)
{
    LayoutFiles files;
    const PhotoPlacement turnedFit = PlacePhoto(ReadLayerRect(TemplateFolder::FromPath(files.folder)), 2000, 3000);
    const int result = RunLayout(
        files.folder, [&](CFileDialogEx* dialog) { ChoosePhoto(dialog, files.photo); },
        [&](CPhotoLayoutDlg& window) {
            const PhotoImage* photo = window.Photo();
            const QImage before = window.Canvas()->DisplayImage();

            // Turned and confirmed: the same picture object, fitted afresh.
            QTest::keyClick(&window, Qt::Key_Down);
            EditPhoto(window, [](CPhotoEditDlg& edit) {
                edit.OnCommand(kCmdRotateLeft);
                QTest::keyClick(&edit, Qt::Key_Return);
            });
            EXPECT_EQ(window.Photo(), photo);
            EXPECT_EQ(window.Photo()->Width(), 2000u);
            EXPECT_EQ(window.Placement(), turnedFit);
            EXPECT_NE(window.Canvas()->DisplayImage(), before);

            // Turned back but cancelled: the turn stays, the placement too.
            QTest::keyClick(&window, Qt::Key_Right);
            const PhotoPlacement moved = window.Placement();
            EditPhoto(window, [](CPhotoEditDlg& edit) {
                edit.OnCommand(kCmdRotateRight);
                QTest::keyClick(&edit, Qt::Key_Escape);
            });
            EXPECT_EQ(window.Photo(), photo);
            EXPECT_EQ(window.Photo()->Width(), 3000u);
            EXPECT_EQ(window.Placement(), moved);

            // Black-and-white, cancelled: the new picture comes back, placed as before.
            EditPhoto(window, [](CPhotoEditDlg& edit) {
                edit.OnCommand(kCmdBlackWhite);
                edit.OnCommand(kCmdCancel);
            });
            ASSERT_NE(window.Photo(), nullptr);
            const QRgb grey = window.Photo()->image().pixel(1500, 1000);
            EXPECT_TRUE(qRed(grey) == qBlue(grey) && qGreen(grey) == qBlue(grey));
            EXPECT_EQ(window.Placement(), moved);
            SendCommand(&window, kCmdBack);
        });
    EXPECT_EQ(result, 2);
}

TEST(PhotoLayoutTest, EditWindowInitialPhotoBringsBackTheObjectGiven)
{
    LayoutFiles files;
    RunLayout(
        files.folder, [&](CFileDialogEx* dialog) { ChoosePhoto(dialog, files.photo); },
        [&](CPhotoLayoutDlg& window) {
            const PhotoImage* photo = window.Photo();
            const QRgb colour = photo->image().pixel(10, 10);
            EditPhoto(window, [](CPhotoEditDlg& edit) {
                edit.OnCommand(kCmdSepia);
                edit.OnCommand(kCmdInitialPhoto);
                edit.OnCommand(kCmdOk);
            });
            EXPECT_EQ(window.Photo(), photo);
            EXPECT_EQ(window.Photo()->image().pixel(10, 10), colour);
            SendCommand(&window, kCmdCancel);
        });
}

} // namespace
} // namespace lumavo
