#include "TestUtils.h"
#include "imaging/ToneFilters.h"
#include "ui/CommandIds.h"
#include "ui/EditWindowTesting.h"
#include "ui/PhotoCanvas.h"
#include "ui/PhotoEditDlg.h"
#include "ui/UiTestUtils.h"

#include <QAbstractButton>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

namespace lumavo {
namespace {

QImage Sepia(QImage image)
{
    image = image.convertToFormat(QImage::Format_ARGB32);
    SepiaFilter(image.width(), image.height(), reinterpret_cast<uint32_t*>(image.bits()));
    return image;
}

using test::ButtonOf;
using test::ClickPicture;

TEST(PhotoEditTest, InPlaceEditsChangeTheInitialPictureAndNewPicturesDoNot)
{
    const QImage original = test::MakeTestPhoto(400, 300);
    auto photo = PhotoImage::Adopt(original);
    PhotoImage* given = photo.get();
    CPhotoEditDlg window;
    window.SetPhoto(std::move(photo));
    const int result = test::RunEdit(window, [&](CPhotoEditDlg& edit) {
        EXPECT_EQ(edit.InitialPicture(), given);
        EXPECT_EQ(edit.Canvas()->PictureSize(), QSize(400, 300));

        // A turn changes the initial picture itself: "原始相片" keeps it turned.
        edit.OnCommand(kCmdRotateLeft);
        EXPECT_EQ(edit.CurrentPicture(), given);
        EXPECT_EQ(edit.Canvas()->PictureSize(), QSize(300, 400));
        edit.OnCommand(kCmdInitialPhoto);
        EXPECT_EQ(edit.CurrentPicture(), given);
        EXPECT_EQ(given->image(), original.transformed(QTransform().rotate(-90)));
        edit.OnCommand(kCmdRotateRight);
        EXPECT_EQ(given->image(), original);

        // Sepia twice tones the toned picture again; a turn then leaves the
        // initial picture alone, and "原始相片" brings it back unturned.
        edit.OnCommand(kCmdSepia);
        edit.OnCommand(kCmdSepia);
        ASSERT_NE(edit.CurrentPicture(), given);
        EXPECT_EQ(edit.CurrentPicture()->image(), Sepia(Sepia(original)));
        edit.OnCommand(kCmdRotateLeft);
        EXPECT_EQ(edit.CurrentPicture()->Width(), 300u);
        EXPECT_EQ(given->image(), original);
        edit.OnCommand(kCmdInitialPhoto);
        EXPECT_EQ(edit.CurrentPicture(), given);
        EXPECT_EQ(edit.Canvas()->DisplayImage(), test::Opaque(original));

        // Four quarter turns, or two flips of a kind, give the picture back.
        for (int turn = 0; turn < 4; ++turn)
            edit.OnCommand(kCmdRotateLeft);
        edit.OnCommand(kCmdFlipHorizontal);
        edit.OnCommand(kCmdFlipVertical);
        EXPECT_EQ(given->image(), original.mirrored(true, true));
        edit.OnCommand(kCmdFlipHorizontal);
        edit.OnCommand(kCmdFlipVertical);
        EXPECT_EQ(given->image(), original);

        // Black-and-white, then Cancel: the grey picture is the result.
        edit.OnCommand(kCmdBlackWhite);
        QTest::keyClick(&edit, Qt::Key_Escape);
    });
    EXPECT_EQ(result, 2);
    std::unique_ptr<PhotoImage> back = window.TakePhoto();
    ASSERT_NE(back, nullptr);
    EXPECT_NE(back.get(), given);
    const QRgb grey = back->image().pixel(200, 150);
    EXPECT_EQ(qRed(grey), qBlue(original.pixel(200, 150)));
    EXPECT_EQ(qGreen(grey), qBlue(original.pixel(200, 150)));
    // The initial picture stays valid while the window exists.
    EXPECT_EQ(window.InitialPicture(), given);
    EXPECT_EQ(given->image(), original);
}

TEST(PhotoEditTest, OkIsTheDefaultAndEndsWithOne)
{
    CPhotoEditDlg window;
    window.SetPhoto(PhotoImage::Adopt(test::MakeTestPhoto(200, 150)));
    const int result = test::RunEdit(window, [&](CPhotoEditDlg& edit) {
        QPushButton* ok = ButtonOf(edit, 1);
        ASSERT_NE(ok, nullptr);
        EXPECT_TRUE(ok->isDefault());
        EXPECT_EQ(ok->text(), QStringLiteral("确       定"));
        ok->click();
    });
    EXPECT_EQ(result, 1);
}

TEST(PhotoEditTest, WithoutPictureCommandsDoNothing)
{
    CPhotoEditDlg window;
    window.SetPhoto(nullptr);
    test::RunEdit(window, [&](CPhotoEditDlg& edit) {
        test::StrayModalGuard guard(&edit);
        for (int id : { kCmdRotateLeft, kCmdRotateRight, kCmdFlipHorizontal, kCmdFlipVertical, kCmdSepia,
                 kCmdBlackWhite, kCmdToneToolPick, kCmdWhiteSpotPick, kCmdSemiAutoKeying, kCmdPhotoshop,
                 kCmdInitialPhoto, kCmdSkinSmoothing })
            edit.OnCommand(id);
        EXPECT_EQ(CPhotoCanvas::PickMode(), kPickNone);
        EXPECT_EQ(edit.CurrentPicture(), nullptr);
        EXPECT_FALSE(edit.Canvas()->HasPicture());
        EXPECT_TRUE(edit.PickHint().isEmpty());
        QTest::qWait(50);
        EXPECT_FALSE(guard.opened);
        edit.OnCommand(kCmdOk);
    });
    EXPECT_EQ(window.TakePhoto(), nullptr);
}

TEST(PhotoEditTest, WhiteSpotPickPaintsWhereTheOperatorClicks)
{
    QImage original(400, 300, QImage::Format_RGB32);
    original.fill(QColor(40, 60, 90));
    auto photo = PhotoImage::Adopt(original);
    PhotoImage* given = photo.get();
    CPhotoEditDlg window;
    window.SetPhoto(std::move(photo));
    test::RunEdit(window, [&](CPhotoEditDlg& edit) {
        // A click before arming does nothing.
        ClickPicture(edit, QPoint(100, 80));
        EXPECT_EQ(given->image(), original);

        edit.OnCommand(kCmdWhiteSpotPick);
        EXPECT_EQ(CPhotoCanvas::PickMode(), kPickWhiteSpot);
        EXPECT_FALSE(edit.PickHint().isEmpty());
        ClickPicture(edit, QPoint(100, 80));
        EXPECT_EQ(edit.CurrentPicture(), given);
        EXPECT_EQ(given->image().pixel(150, 130), 0xFFFFFFFFu);
        EXPECT_EQ(given->image().pixel(100, 80), original.pixel(100, 80));
        // Shown at once.
        EXPECT_EQ(edit.Canvas()->DisplayImage().pixel(150, 130), 0xFFFFFFFFu);

        // Near the corner only the part inside the picture is painted; the
        // pick stays armed.
        ClickPicture(edit, QPoint(350, 250));
        EXPECT_EQ(given->Width(), 400u);
        EXPECT_EQ(given->image().pixel(399, 299), 0xFFFFFFFFu);
        EXPECT_EQ(given->image().pixel(395, 20), original.pixel(395, 20));
        edit.OnCommand(kCmdCancel);
    });
}

// A portrait-like picture before a green backdrop.
QImage GreenBackdropPhoto()
{
    return test::SitterPhoto(QSize(320, 240), QColor(40, 170, 70), QRect(110, 50, 100, 130), QColor(225, 180, 150),
        QRect(100, 180, 120, 60), QColor(60, 40, 30));
}

TEST(PhotoEditTest, BackdropPickKeysOutTheClickedColourIntoANewPicture)
{
    auto photo = PhotoImage::Adopt(GreenBackdropPhoto());
    PhotoImage* given = photo.get();
    CPhotoEditDlg window;
    window.SetPhoto(std::move(photo));
    test::RunEdit(window, [&](CPhotoEditDlg& edit) {
        edit.OnCommand(kCmdSemiAutoKeying);
        EXPECT_FALSE(edit.PickHint().isEmpty());
        ClickPicture(edit, QPoint(20, 20));
        const PhotoImage* keyed = edit.CurrentPicture();
        ASSERT_NE(keyed, given);
        EXPECT_LT(qAlpha(keyed->image().pixel(20, 200)), 16);
        EXPECT_EQ(qAlpha(keyed->image().pixel(160, 110)), 255);
        EXPECT_EQ(qAlpha(keyed->image().pixel(160, 220)), 255);
        // The pick stays armed for further regions until its button is
        // pressed again; then a click picks nothing.
        EXPECT_TRUE(edit.IsKeying());
        EXPECT_TRUE(edit.PickHint().contains(QStringLiteral("半自动抠像"))) << edit.PickHint().toStdString();
        EXPECT_EQ(CPhotoCanvas::PickMode(), kPickNone);
        edit.OnCommand(1053);
        EXPECT_TRUE(edit.PickHint().isEmpty()) << edit.PickHint().toStdString();
        ClickPicture(edit, QPoint(160, 110));
        EXPECT_EQ(edit.CurrentPicture(), keyed);
        EXPECT_EQ(given->image(), GreenBackdropPhoto());

        // Skin smoothing makes another new picture of the same size.
        edit.OnCommand(kCmdSkinSmoothing);
        ASSERT_NE(edit.CurrentPicture(), keyed);
        EXPECT_EQ(edit.CurrentPicture()->Width(), 320u);
        EXPECT_EQ(edit.CurrentPicture()->Height(), 240u);
        edit.OnCommand(kCmdOk);
    });
}

} // namespace
} // namespace lumavo
