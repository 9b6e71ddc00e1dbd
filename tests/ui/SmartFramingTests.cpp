// Smart framing in the layout window and the customer's photo in every
// template of the album, checked on real portraits against pictures made
// another way (the command line's finished pictures, faces found again).

#include "TestUtils.h"
#include "app/AlbumView.h"
#include "app/ShockwaveFlash.h"
#include "app/TemplateBrowserDlg.h"
#include "engine/CameraPortrait.h"
#include "faces/FaceFinder.h"
#include "platform/ProfileFile.h"
#include "platform/ProgramFolder.h"
#include "skin/CommandEvent.h"
#include "skin/SkinLibrary.h"
#include "ui/CommandIds.h"
#include "ui/FileDialogEx.h"
#include "ui/PhotoCanvas.h"
#include "ui/PhotoEditDlg.h"
#include "ui/PhotoLayoutDlg.h"
#include "ui/UiTestUtils.h"

#include <QAbstractButton>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>

namespace lumavo {
namespace {

QString SavePortrait(const test::Sandbox& sandbox, const QImage& photo)
{
    const QString path = sandbox.File(QStringLiteral("customer.jpg"));
    EXPECT_TRUE(photo.save(path, "JPEG", 95));
    return path;
}

QString SampleRoot()
{
    return test::ProgramDir() + QStringLiteral("/temple");
}

// Runs the layout window on a template: the photo dialog is answered with
// `photo` (seen first by `look`), then `work` acts on the window.
void RunLayout(const QString& templateName, const QString& photo, std::function<void(CPhotoLayoutDlg&)> work,
    const QString& suggested = QString(), std::function<void(CFileDialogEx*)> look = {})
{
    CPhotoLayoutDlg window;
    window.SetFolder(*TemplateFolder::Make(SampleRoot(), templateName));
    window.SetSuggestedPhoto(suggested);
    test::OnNextModal([&](QWidget* dialog) {
        auto* files = qobject_cast<CFileDialogEx*>(dialog);
        ASSERT_NE(files, nullptr);
        if (look)
            look(files);
        test::OnNextModal([&](QWidget*) {
            work(window);
            window.done(0);
        });
        if (photo.isEmpty()) {
            files->reject();
            return;
        }
        files->selectFile(photo);
        static_cast<QDialog*>(files)->accept();
    });
    window.exec();
}

bool WaitForSearch(CPhotoLayoutDlg& window)
{
    return QTest::qWaitFor([&] { return !window.IsFramingBusy(); }, 60000);
}

// Where the main face of a picture is, against the goals in the opening, as shares of it.
struct Landing {
    double across = 1;
    double down = 1;
};

std::optional<Landing> FaceLanding(const QImage& picture, const LayerRect& opening)
{
    auto finder = FaceFinder::Load(FaceFinder::DefaultFolders(test::ProgramDir()));
    if (!finder)
        return std::nullopt;
    const FaceSearch search = finder->Find(picture);
    if (search.faces.empty())
        return std::nullopt;
    const FoundFace& face = search.faces.front();
    const double width = opening.right - opening.left;
    const double height = opening.bottom - opening.top;
    return Landing { std::abs(face.box.center().x() - (opening.left + width / 2)) / width,
        std::abs(face.EyeLine() - (opening.top + 0.4 * height)) / height };
}

TEST(SmartFramingWindow, KeyAndButtonFrameTheFaceAndArrowsStillMoveByFive)
{
    test::Sandbox sandbox;
    const test::CameraPortrait portrait = test::MakeCameraPortrait("grace_hopper.jpg", QSize(3000, 2000));
    const QString photo = SavePortrait(sandbox, portrait.photo);
    const QString templateName = QStringLiteral("4R-classic-cream");
    const LayerRect opening = ReadLayerRect(*TemplateFolder::Make(SampleRoot(), templateName));
    RunLayout(templateName, photo, [&](CPhotoLayoutDlg& window) {
        // The first placement stays the whole-photo fit.
        const PhotoPlacement whole = PlacePhoto(opening, 3000, 2000);
        EXPECT_EQ(window.Placement(), whole);

        QAbstractButton* button = skin::FindSkinButton(&window, QStringLiteral("smartframe"));
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->text(), QStringLiteral("智能构图"));
        EXPECT_TRUE(button->toolTip().contains(QStringLiteral("F"))) << button->toolTip().toStdString();
        EXPECT_TRUE(button->geometry().intersected(window.Canvas()->geometry()).isEmpty());

        QTest::keyClick(&window, Qt::Key_F);
        ASSERT_TRUE(WaitForSearch(window));
        const PhotoPlacement framed = window.Placement();
        EXPECT_NE(framed, whole);
        EXPECT_TRUE(window.StatusLine()->text().contains(QStringLiteral("智能构图")))
            << window.StatusLine()->text().toStdString();
        // On the composite the window shows, the face is found again on its goals.
        const auto landing = FaceLanding(window.Composite()->image(), opening);
        ASSERT_TRUE(landing);
        EXPECT_LE(landing->across, 0.05);
        EXPECT_LE(landing->down, 0.05);

        // The arrows and the keypad work on from there, exactly as before.
        QTest::keyClick(&window, Qt::Key_Right);
        EXPECT_EQ(window.Placement(), MovePlacement(framed, 5, 0));
        QTest::keyClick(&window, Qt::Key_Up);
        QTest::keyClick(&window, Qt::Key_Plus, Qt::KeypadModifier);
        EXPECT_EQ(window.Placement(), ZoomPlacement(MovePlacement(framed, 5, -5), 5));

        // The button frames again, from what the first search found.
        SendCommand(&window, 6008);
        EXPECT_FALSE(window.IsFramingBusy());
        EXPECT_EQ(window.Placement(), framed);
        // Ctrl+F is no smart framing.
        QTest::keyClick(&window, Qt::Key_Right);
        QTest::keyClick(&window, Qt::Key_F, Qt::ControlModifier);
        EXPECT_EQ(window.Placement(), MovePlacement(framed, 5, 0));

        // "确定" in the edit window fits the photo afresh: the line no longer
        // claims the face framing.
        test::OnNextModal([](QWidget* modal) {
            auto* edit = qobject_cast<CPhotoEditDlg*>(modal);
            ASSERT_NE(edit, nullptr);
            edit->OnCommand(kCmdOk);
        });
        SendCommand(&window, kCmdPhotoEdit);
        EXPECT_EQ(window.Placement(), whole);
        EXPECT_EQ(window.StatusLine()->text(), QString());
    });
}

TEST(SmartFramingWindow, KeysPressedDuringTheSearchActOnTheFramedPlacement)
{
    test::Sandbox sandbox;
    const test::CameraPortrait portrait = test::MakeCameraPortrait("grace_hopper.jpg", QSize(3000, 2000));
    const QString photo = SavePortrait(sandbox, portrait.photo);
    RunLayout(QStringLiteral("6R-sage-landscape"), photo, [&](CPhotoLayoutDlg& window) {
        // F and the arrows at once, as a quick operator types them.
        QTest::keyClick(&window, Qt::Key_F);
        ASSERT_TRUE(window.IsFramingBusy());
        QTest::keyClick(&window, Qt::Key_Right);
        QTest::keyClick(&window, Qt::Key_Down);
        QTest::keyClick(&window, Qt::Key_Down);
        ASSERT_TRUE(WaitForSearch(window));
        const PhotoPlacement afterKeys = window.Placement();
        // F again gives the framing itself, from the first search.
        QTest::keyClick(&window, Qt::Key_F);
        EXPECT_FALSE(window.IsFramingBusy());
        EXPECT_EQ(afterKeys, MovePlacement(window.Placement(), 5, 10));
    });
}

TEST(SmartFramingWindow, NoFaceLeavesThePlacementAndSaysSo)
{
    const QString landscape = test::PortraitFolder() + QStringLiteral("/iceblock.jpg");
    RunLayout(QStringLiteral("4R-classic-cream"), landscape, [&](CPhotoLayoutDlg& window) {
        QTest::keyClick(&window, Qt::Key_Right);
        const PhotoPlacement before = window.Placement();
        QTest::keyClick(&window, Qt::Key_F);
        ASSERT_TRUE(WaitForSearch(window));
        EXPECT_EQ(window.Placement(), before);
        EXPECT_TRUE(window.StatusLine()->text().contains(QStringLiteral("没有找到人脸")))
            << window.StatusLine()->text().toStdString();
        EXPECT_TRUE(window.StatusLine()->isVisible());
        EXPECT_GT(window.StatusLine()->width(), 300);
    });
    // Without a photo the key only says what to do first.
    RunLayout(QStringLiteral("4R-classic-cream"), QString(), [&](CPhotoLayoutDlg& window) {
        QTest::keyClick(&window, Qt::Key_F);
        EXPECT_FALSE(window.IsFramingBusy());
        EXPECT_EQ(window.Placement(), PhotoPlacement());
        EXPECT_FALSE(window.StatusLine()->text().isEmpty());
    });
}

TEST(SmartFramingWindow, SettingMakesSmartFramingTheFirstPlacement)
{
    test::Sandbox sandbox;
    SetProgramFolderForTesting(sandbox.path());
    WriteProfileString(SettingsPath(), "System", "SmartFramingFirst", "1");
    WriteProfileString(SettingsPath(), "System", "FaceShare", "0.25");
    const test::CameraPortrait portrait = test::MakeCameraPortrait("grace_hopper.jpg", QSize(3000, 2000));
    const QString photo = SavePortrait(sandbox, portrait.photo);
    const LayerRect opening = ReadLayerRect(*TemplateFolder::Make(SampleRoot(), "4R-classic-cream"));
    RunLayout(QStringLiteral("4R-classic-cream"), photo, [&](CPhotoLayoutDlg& window) {
        ASSERT_TRUE(WaitForSearch(window));
        const PhotoPlacement placement = window.Placement();
        EXPECT_NE(placement, PlacePhoto(opening, 3000, 2000));
        // The marked face, through the placement, takes the share asked for
        // (or more, where covering the opening needs it).
        const double faceHeight = 229.0 * (2000 / 2.0 / 600) * placement.height / 2000;
        EXPECT_NEAR(faceHeight / (opening.bottom - opening.top), 0.25, 0.05);
    });
    SetProgramFolderForTesting(QString());
}

// The browser over the sample library, its program folder in a sandbox.
class PhotoInEveryTemplate : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetProgramFolderForTesting(m_sandbox.path());
        WriteProfileString(SettingsPath(), "System", "TempPath", SampleRoot());
        portrait = test::MakeCameraPortrait("grace_hopper.jpg", QSize(3000, 2000));
        photo = SavePortrait(m_sandbox, portrait.photo);
    }
    void TearDown() override { SetProgramFolderForTesting(QString()); }
    test::Sandbox m_sandbox;
    test::CameraPortrait portrait;
    QString photo;
};

TEST_F(PhotoInEveryTemplate, AlbumShowsThePhotoInEveryTemplateAndTheLayoutOpensWithIt)
{
    CTemplateBrowserDlg browser;
    test::OnNextModal([&](QWidget*) {
        auto* album = qobject_cast<CAlbumView*>(browser.Album()->Movie());
        ASSERT_NE(album, nullptr);
        ASSERT_TRUE(QTest::qWaitFor([&] { return album->isLoaded(); }, 30000));
        ASSERT_GE(album->count(), 4);
        QAbstractButton* button = skin::FindSkinButton(&browser, QStringLiteral("photopick"));
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->text(), QStringLiteral("用相片选版"));

        // The button asks for the photo with the program's photo dialog.
        bool asked = false;
        test::OnNextModal([&](QWidget* dialog) {
            auto* files = qobject_cast<CFileDialogEx*>(dialog);
            ASSERT_NE(files, nullptr);
            asked = true;
            files->selectFile(photo);
            static_cast<QDialog*>(files)->accept();
        });
        SendCommand(&browser, 6009);
        EXPECT_TRUE(asked);
        EXPECT_EQ(browser.TrialPhoto(), photo);
        // The album stays responsive while the thumbnails are made: keys move its highlight.
        const int highlighted = album->Highlighted();
        QTest::keyClick(album, Qt::Key_Right);
        EXPECT_EQ(album->Highlighted(), highlighted + 1);
        ASSERT_TRUE(QTest::qWaitFor([&] { return album->TrialCount() == album->count(); }, 120000))
            << album->TrialCount() << " of " << album->count();

        for (int i = 0; i < album->count(); ++i) {
            SCOPED_TRACE(album->FolderAt(i).toStdString());
            const QImage thumbnail = album->Thumbnail(i).convertToFormat(QImage::Format_RGB32);
            ASSERT_FALSE(thumbnail.isNull());
            // The finished picture the command line makes of this template
            // with this photo, framed on the face, in small.
            const QString rendered = m_sandbox.File(QStringLiteral("expected-%1.png").arg(i));
            const test::ProgramRun run = test::RunWithoutDisplay(test::ProgramDir() + "/lumavo-cli",
                { "render", "--root", SampleRoot(), "--template", album->FolderAt(i), "--photo", photo, "--fit", "face",
                    "--caption", "", "--out", rendered },
                120000);
            ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
            const QImage expected = QImage(rendered)
                                        .scaled(thumbnail.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                                        .convertToFormat(QImage::Format_RGB32);
            EXPECT_LT(test::CompareImages(thumbnail, expected).meanChannelDelta, 5.0);
        }

        // Picking a template: the layout window's photo dialog opens with the photo selected.
        QStringList selected;
        test::OnNextModal([&](QWidget* dialog) {
            auto* files = qobject_cast<CFileDialogEx*>(dialog);
            ASSERT_NE(files, nullptr);
            selected = files->selectedFiles();
            test::OnNextModal([&](QWidget* layout) {
                auto* window = qobject_cast<CPhotoLayoutDlg*>(layout);
                ASSERT_NE(window, nullptr);
                EXPECT_NE(window->Photo(), nullptr);
                QTest::keyClick(layout, Qt::Key_Escape);
            });
            static_cast<QDialog*>(files)->accept();
        });
        browser.NameBox()->setText(album->FolderAt(0));
        SendCommand(&browser, 6001);
        ASSERT_EQ(selected.size(), 1);
        EXPECT_EQ(QFileInfo(selected.front()).canonicalFilePath(), QFileInfo(photo).canonicalFilePath());
        SendCommand(&browser, 6002);
    });
    browser.exec();
}

TEST_F(PhotoInEveryTemplate, UnreadablePhotoIsSaidAndTheAlbumKeepsItsThumbnails)
{
    const QString broken = m_sandbox.File(QStringLiteral("broken.jpg"));
    ASSERT_TRUE(test::WriteFile(broken, "not a photo at all"));
    CTemplateBrowserDlg browser;
    test::OnNextModal([&](QWidget*) {
        auto* album = qobject_cast<CAlbumView*>(browser.Album()->Movie());
        ASSERT_NE(album, nullptr);
        ASSERT_TRUE(QTest::qWaitFor([&] { return album->isLoaded(); }, 30000));
        QString message;
        test::AnswerNextMessage(&message);
        browser.ShowPhotoInAlbum(broken);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !message.isEmpty(); }, 30000));
        EXPECT_TRUE(message.contains(QStringLiteral("无法读取相片"))) << message.toStdString();
        EXPECT_EQ(album->TrialCount(), 0);
        // The layout window's photo dialog is not handed the broken file.
        EXPECT_TRUE(browser.TrialPhoto().isEmpty());
        SendCommand(&browser, 6002);
    });
    browser.exec();
}

} // namespace
} // namespace lumavo
