// Undo in the edit window, and picks that a second press disarms.

#include "TestUtils.h"
#include "handoffs/ExchangeFile.h"
#include "ui/CommandIds.h"
#include "ui/EditWindowTesting.h"
#include "ui/PhotoCanvas.h"
#include "ui/PhotoEditDlg.h"
#include "ui/UiTestUtils.h"

#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace lumavo {
namespace {

using test::ButtonOf;
using test::ClickPicture;

// A person before a grey backdrop.
QImage StudioPhoto()
{
    return test::SitterPhoto(QSize(360, 280), QColor(150, 156, 164), QRect(130, 50, 100, 130), QColor(228, 184, 156),
        QRect(110, 180, 140, 100), QColor(50, 52, 60));
}

// What the window holds at one moment.
struct Seen {
    QImage initial;
    QImage current;
    bool initialIsCurrent;
};

Seen Look(const CPhotoEditDlg& edit)
{
    return { edit.InitialPicture()->image(), edit.CurrentPicture()->image(),
        edit.CurrentPicture() == edit.InitialPicture() };
}

// Every kind of edit, each taken back in turn: the pictures come back pixel
// for pixel, the opening picture as the same object. The window keeps the
// newest eight steps.
TEST(PhotoEditUndoTest, UndoBringsBackThePicturesOfEachEditExactly)
{
    test::Sandbox sandbox;
    SetExchangeFolderForTesting(sandbox.path() + "/");
    CPhotoCanvas::SetPickMode(kPickNone);
    const QString exchange = sandbox.File(QString::fromLatin1(kExchangeFileName));
    ASSERT_TRUE(test::MakeTestPhoto(200, 150, 3).save(exchange));

    auto photo = PhotoImage::Adopt(StudioPhoto());
    const PhotoImage* given = photo.get();
    CPhotoEditDlg window;
    window.SetPhoto(std::move(photo));
    test::RunEdit(window, [&](CPhotoEditDlg& edit) {
        EXPECT_FALSE(edit.CanUndo());
        EXPECT_FALSE(ButtonOf(edit, kCmdUndo)->isEnabled());
        const std::vector<std::pair<const char*, std::function<void()>>> edits = {
            { "turn left", [&] { edit.OnCommand(kCmdRotateLeft); } },
            { "flip", [&] { edit.OnCommand(kCmdFlipHorizontal); } },
            { "white spot",
                [&] {
                    edit.OnCommand(kCmdWhiteSpotPick);
                    ClickPicture(edit, QPoint(40, 30));
                    edit.OnCommand(kCmdWhiteSpotPick);
                } },
            { "sepia", [&] { edit.OnCommand(kCmdSepia); } },
            { "turn right on the sepia picture", [&] { edit.OnCommand(kCmdRotateRight); } },
            // A new tolerance belongs to the keying it changes.
            { "keying and its tolerance",
                [&] {
                    edit.OnCommand(kCmdSemiAutoKeying);
                    ClickPicture(edit, QPoint(5, 5));
                    edit.SetKeyTolerance(70);
                } },
            { "second region",
                [&] {
                    ClickPicture(edit, QPoint(270, 5));
                    edit.OnCommand(kCmdSemiAutoKeying);
                } },
            { "smoothing", [&] { edit.OnCommand(kCmdSkinSmoothing); } },
            { "initial photo", [&] { edit.OnCommand(kCmdInitialPhoto); } },
            { "flip on the initial photo", [&] { edit.OnCommand(kCmdFlipVertical); } },
            { "black and white", [&] { edit.OnCommand(kCmdBlackWhite); } },
            { "reload", [&] { edit.OnCommand(kCmdReload); } },
        };
        std::vector<Seen> before;
        for (const auto& [name, work] : edits) {
            before.push_back(Look(edit));
            work();
            const Seen after = Look(edit);
            EXPECT_TRUE(
                after.current != before.back().current || after.initialIsCurrent != before.back().initialIsCurrent)
                << name << " changed nothing";
        }
        ASSERT_EQ(edit.History().Count(), EditHistory::kMaxSteps);
        EXPECT_TRUE(ButtonOf(edit, kCmdUndo)->isEnabled());

        // Back through the newest eight, by the button, Ctrl+Z and the command.
        int undone = 0;
        for (size_t i = edits.size(); i-- > edits.size() - EditHistory::kMaxSteps;) {
            SCOPED_TRACE(edits[i].first);
            if (undone % 3 == 0)
                ButtonOf(edit, kCmdUndo)->click();
            else if (undone % 3 == 1)
                QTest::keyClick(&edit, Qt::Key_Z, Qt::ControlModifier);
            else
                edit.OnCommand(kCmdUndo);
            ++undone;
            EXPECT_EQ(edit.InitialPicture(), given);
            const Seen now = Look(edit);
            EXPECT_EQ(now.initialIsCurrent, before[i].initialIsCurrent);
            EXPECT_TRUE(now.initial == before[i].initial);
            EXPECT_TRUE(now.current == before[i].current);
            // What the canvas shows is what is current.
            EXPECT_EQ(edit.Canvas()->PictureSize(), now.current.size());
        }
        EXPECT_FALSE(edit.CanUndo());
        EXPECT_FALSE(ButtonOf(edit, kCmdUndo)->isEnabled());
        const Seen last = Look(edit);
        edit.OnCommand(kCmdUndo);
        EXPECT_TRUE(Look(edit).current == last.current);
        edit.OnCommand(kCmdOk);
    });
    SetExchangeFolderForTesting(QString());
}

// Pressing an armed pick's button again disarms it, arming one disarms the
// others, and the hint line names what is armed.
TEST(PhotoEditUndoTest, ASecondPressDisarmsAPick)
{
    CPhotoCanvas::SetPickMode(kPickNone);
    const QImage original = StudioPhoto();
    auto photo = PhotoImage::Adopt(original);
    const PhotoImage* given = photo.get();
    CPhotoEditDlg window;
    window.SetPhoto(std::move(photo));
    test::RunEdit(window, [&](CPhotoEditDlg& edit) {
        edit.OnCommand(kCmdWhiteSpotPick);
        EXPECT_TRUE(edit.PickHint().contains(QStringLiteral("白点修饰"))) << edit.PickHint().toStdString();
        edit.OnCommand(kCmdWhiteSpotPick);
        EXPECT_EQ(CPhotoCanvas::PickMode(), kPickNone);
        EXPECT_TRUE(edit.PickHint().isEmpty());
        // Disarmed, a click paints nothing and leaves nothing to take back.
        ClickPicture(edit, QPoint(100, 80));
        EXPECT_TRUE(given->image() == original);
        EXPECT_FALSE(edit.CanUndo());

        edit.OnCommand(kCmdToneToolPick);
        EXPECT_EQ(CPhotoCanvas::PickMode(), kPickToneTool);
        EXPECT_TRUE(edit.PickHint().contains(QStringLiteral("偏紫淡蓝")));
        edit.OnCommand(kCmdToneToolPick);
        EXPECT_EQ(CPhotoCanvas::PickMode(), kPickNone);

        // The keying pick and the canvas's picks exclude each other.
        edit.OnCommand(kCmdWhiteSpotPick);
        edit.OnCommand(kCmdSemiAutoKeying);
        EXPECT_EQ(CPhotoCanvas::PickMode(), kPickNone);
        EXPECT_TRUE(edit.PickHint().contains(QStringLiteral("半自动抠像")));
        edit.OnCommand(kCmdWhiteSpotPick);
        EXPECT_EQ(CPhotoCanvas::PickMode(), kPickWhiteSpot);
        EXPECT_TRUE(edit.PickHint().contains(QStringLiteral("白点修饰")));
        ClickPicture(edit, QPoint(10, 10));
        // The click painted a spot and keyed nothing.
        EXPECT_EQ(edit.CurrentPicture(), given);
        EXPECT_FALSE(edit.IsKeying());
        EXPECT_EQ(given->image().pixel(30, 30), 0xFFFFFFFFu);
        edit.OnCommand(kCmdUndo);
        EXPECT_TRUE(given->image() == original);
        edit.OnCommand(kCmdOk);
    });
}

} // namespace
} // namespace lumavo
