#include "templates/Portrait.h"

#include "TemplateFixtures.h"
#include "TestUtils.h"
#include "imaging/ImageFiles.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QPainter>

#include <gtest/gtest.h>

namespace lumavo {
namespace {

using test::Sandbox;

constexpr int kWidth = 240;
constexpr int kHeight = 320;
const QRect kOpening(40, 50, 160, 200);
// A caption of blanks draws nothing, so pictures compare whole.
const QString kNoCaption = QStringLiteral(" ");

// A template folder with a frame foreground; the background is written as
// BMP, whose file length depends on the size alone, so that a different
// background can be put in its place with the same length and time.
struct TemplateOnDisk {
    Sandbox box;
    TemplateFolder folder = TemplateFolder::FromPath(box.path());
    QImage foreground = test::MakeFrameForeground(kWidth, kHeight, kOpening, 12);

    TemplateOnDisk() { EXPECT_TRUE(test::WriteTemplate(box.path(), QImage(), foreground, kOpening)); }
    QString BackgroundPath() const { return folder.File(QString::fromLatin1(kBackgroundFile)); }
    void WriteBackground(const QImage& background) const { ASSERT_TRUE(background.save(BackgroundPath(), "BMP")); }
    // Rewrites the background leaving the file's length and time as they were.
    void SwapBackgroundUnnoticed(const QImage& background) const
    {
        const QFileInfo before(BackgroundPath());
        const QDateTime modified = before.lastModified();
        WriteBackground(background);
        ASSERT_EQ(QFileInfo(BackgroundPath()).size(), before.size());
        QFile file(BackgroundPath());
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(modified, QFileDevice::FileModificationTime));
    }
    void TouchBackground(int secondsLater) const
    {
        QFile file(BackgroundPath());
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(
            QFileInfo(BackgroundPath()).lastModified().addSecs(secondsLater), QFileDevice::FileModificationTime));
    }
};

QImage Plain(QRgb colour)
{
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// The portrait drawn with QPainter: background, the photo scaled smoothly
// into the placement, the foreground over both.
QImage PaintedPortrait(
    const QImage& background, const QImage& photo, const PhotoPlacement& placement, const QImage& foreground)
{
    QImage picture = background.convertToFormat(QImage::Format_RGB32);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRect(placement.x, placement.y, placement.width, placement.height), photo);
    painter.drawImage(0, 0, foreground);
    painter.end();
    return picture;
}

// The colour of the background at a point where the frame hides nothing
// (inside the opening, left of any photo).
QRgb BackgroundSeen(const QImage& picture)
{
    return picture.pixel(kOpening.left() + 20, kOpening.top() + 20);
}

} // namespace

TEST(PortraitTest, FinishedPictureReusesTheLayersUntilTheFilesChange)
{
    TemplateOnDisk files;
    files.WriteBackground(Plain(0xFF2040A0u));
    Portrait portrait;
    ASSERT_TRUE(portrait.LoadTemplate(files.folder).error.isEmpty());
    EXPECT_EQ(portrait.RecordedSize(), QSize(kWidth, kHeight));

    {
        SCOPED_TRACE("unchanged files: the layers in hand are drawn, the file is not read again");
        files.SwapBackgroundUnnoticed(Plain(0xFFC03010u));
        const RenderResult first = portrait.RenderFinished(kNoCaption);
        ASSERT_TRUE(first.picture) << first.error.toStdString();
        EXPECT_EQ(BackgroundSeen(first.picture->image()), 0xFF2040A0u);
        // A second rendering from the same layers comes out the same.
        const RenderResult second = portrait.RenderFinished(kNoCaption);
        ASSERT_TRUE(second.picture);
        EXPECT_EQ(second.picture->image(), first.picture->image());
    }
    {
        SCOPED_TRACE("a changed background file is read afresh");
        files.TouchBackground(5);
        const RenderResult changed = portrait.RenderFinished(kNoCaption);
        ASSERT_TRUE(changed.picture) << changed.error.toStdString();
        EXPECT_EQ(BackgroundSeen(changed.picture->image()), 0xFFC03010u);
        // The layout's composite keeps the pictures it was given.
        EXPECT_EQ(BackgroundSeen(portrait.Compose()->image()), 0xFF2040A0u);
    }
    {
        SCOPED_TRACE("what was read afresh is reused in turn");
        files.SwapBackgroundUnnoticed(Plain(0xFF10A030u));
        const RenderResult again = portrait.RenderFinished(kNoCaption);
        ASSERT_TRUE(again.picture);
        EXPECT_EQ(BackgroundSeen(again.picture->image()), 0xFFC03010u);
        files.TouchBackground(5);
        const RenderResult last = portrait.RenderFinished(kNoCaption);
        ASSERT_TRUE(last.picture);
        EXPECT_EQ(BackgroundSeen(last.picture->image()), 0xFF10A030u);
    }
    {
        SCOPED_TRACE("a background removed since: refused, nothing drawn without it");
        ASSERT_TRUE(QFile::remove(files.BackgroundPath()));
        const RenderResult gone = portrait.RenderFinished(kNoCaption);
        EXPECT_FALSE(gone.picture);
        EXPECT_EQ(gone.error, kOutputReadError);
    }
}

TEST(PortraitTest, MovedAndZoomedPhotoMatchesAPaintedPortrait)
{
    TemplateOnDisk files;
    const QImage background = test::MakeBackground(kWidth, kHeight);
    files.WriteBackground(background);
    const QImage photo = test::MakeSmoothPhoto(300, 400, 4);

    Portrait portrait;
    ASSERT_TRUE(portrait.LoadTemplate(files.folder).error.isEmpty());
    portrait.SetPhoto(PhotoImage::Adopt(photo));
    portrait.Place();
    // Fitted into the opening (never enlarged) and centred: 150 x 200.
    EXPECT_EQ(portrait.Placement(), (PhotoPlacement { 45, 50, 150, 200 }));
    portrait.Move(-5, 0);
    portrait.Move(0, 5);
    portrait.Zoom(5);
    const PhotoPlacement placement = portrait.Placement();
    // 5 pixels more on the left and the right, the height in proportion
    // around the same middle.
    EXPECT_EQ(placement.x, 35);
    EXPECT_EQ(placement.width, 160);
    EXPECT_NEAR(placement.height, 213, 1);
    EXPECT_NEAR(placement.y + placement.height / 2.0, 155, 1);

    const QImage expected = PaintedPortrait(background, photo, placement, files.foreground);
    const RenderResult finished = portrait.RenderFinished(kNoCaption);
    ASSERT_TRUE(finished.picture) << finished.error.toStdString();
    EXPECT_TRUE(test::FuzzyEqual(finished.picture->image(), expected, 12, 1.5));
    EXPECT_EQ(finished.picture->image().size(), QSize(kWidth, kHeight));
    const PhotoImage* composite = portrait.Compose();
    ASSERT_TRUE(composite && !composite->IsNull());
    EXPECT_TRUE(test::FuzzyEqual(composite->image(), expected, 12, 1.5));
    EXPECT_EQ(portrait.Composite(), composite);
}

TEST(PortraitTest, EditsThenBackToTheOriginal)
{
    Portrait portrait;
    auto given = PhotoImage::Adopt(test::MakeTestPhoto(60, 40, 2));
    const PhotoImage* original = given.get();
    const QImage before = given->image().copy();
    portrait.SetPhoto(std::move(given));
    portrait.BeginEdit();

    {
        SCOPED_TRACE("a quarter turn works on the photo itself");
        EXPECT_EQ(portrait.Turn(Rotate90FlipNone), Ok);
        EXPECT_EQ(portrait.Photo(), original);
        EXPECT_EQ(portrait.Photo()->image().size(), QSize(40, 60));
        EXPECT_EQ(portrait.Photo()->image().pixel(39, 0), before.pixel(0, 0));
    }
    {
        SCOPED_TRACE("black and white makes a new picture, grey everywhere");
        EXPECT_EQ(portrait.Apply(PhotoEdit::BlackWhite), Ok);
        const QImage toned = portrait.Photo()->image();
        EXPECT_NE(portrait.Photo(), original);
        EXPECT_EQ(portrait.OriginalPhoto(), original);
        for (int y = 0; y < toned.height(); ++y) {
            for (int x = 0; x < toned.width(); ++x) {
                const QRgb pixel = toned.pixel(x, y);
                ASSERT_TRUE(qRed(pixel) == qGreen(pixel) && qGreen(pixel) == qBlue(pixel)) << x << "," << y;
            }
        }
        EXPECT_NE(original->image().pixel(0, 0), toned.pixel(0, 0));
    }
    {
        SCOPED_TRACE("back to the original: the photo given, with its turn");
        portrait.BackToOriginal();
        EXPECT_EQ(portrait.Photo(), original);
        EXPECT_EQ(portrait.Photo()->image().size(), QSize(40, 60));
    }
    {
        SCOPED_TRACE("a picture without pixels replaces nothing");
        EXPECT_EQ(portrait.Replace(PhotoImage::Adopt(QImage(), OutOfMemory)), EditResult::NoMemory);
        EXPECT_EQ(portrait.Replace(nullptr), EditResult::NotMade);
        EXPECT_EQ(portrait.Photo(), original);
    }
    {
        SCOPED_TRACE("ending the edit keeps the current picture and lets the first one go");
        EXPECT_EQ(portrait.ApplyTone(SepiaFilter), EditResult::Replaced);
        const PhotoImage* sepia = portrait.Photo();
        portrait.EndEdit();
        EXPECT_EQ(portrait.Photo(), sepia);
        EXPECT_EQ(portrait.OriginalPhoto(), sepia);
        // Outside an edit a new picture stands for the photo at once.
        EXPECT_EQ(portrait.Apply(PhotoEdit::BlackWhite), Ok);
        portrait.BackToOriginal();
        EXPECT_NE(portrait.Photo(), sepia);
    }
}

TEST(PortraitTest, ReducedDecodePlacesAsTheFullPhotoDoes)
{
    TemplateOnDisk files;
    files.WriteBackground(test::MakeBackground(kWidth, kHeight));
    const QString photoPath = files.box.File("photo.jpg");
    ASSERT_TRUE(test::MakeSmoothPhoto(1600, 1200, 3).save(photoPath, "JPEG", 92));

    PortraitRoad road;
    road.photoPath = photoPath;
    road.edits = { PhotoEdit::Left, PhotoEdit::HorizontalFlip };
    road.steps = { { PlacementStep::Kind::Move, 7, -3, 0 }, { PlacementStep::Kind::Zoom, 0, 0, -10 } };
    road.captionText = kNoCaption;

    Portrait reduced;
    const RoadOutcome first = reduced.TakeRoad(files.folder, road);
    ASSERT_TRUE(first.ok());
    road.decodeAsDrawn = false;
    road.photoAlongside = false;
    Portrait full;
    ASSERT_TRUE(full.TakeRoad(files.folder, road).ok());

    // The reduced photo is a fraction of the full one, turned the same way,
    // and lands where the full one does.
    EXPECT_EQ(full.Photo()->image().size(), QSize(1200, 1600));
    EXPECT_LE(reduced.Photo()->image().width(), 600);
    EXPECT_GT(reduced.Photo()->image().height(), reduced.Photo()->image().width());
    EXPECT_EQ(reduced.Placement(), full.Placement());
    const RenderResult a = reduced.RenderFinished(kNoCaption);
    const RenderResult b = full.RenderFinished(kNoCaption);
    ASSERT_TRUE(a.picture && b.picture);
    EXPECT_TRUE(test::FuzzyEqual(a.picture->image(), b.picture->image(), 24, 1.0));

    {
        SCOPED_TRACE("a tone style among the edits: decoded whole, as the windows tone it");
        road.decodeAsDrawn = true;
        road.edits.append(PhotoEdit::Sepia);
        Portrait toned;
        ASSERT_TRUE(toned.TakeRoad(files.folder, road).ok());
        EXPECT_EQ(toned.Photo()->image().size(), QSize(1200, 1600));
        EXPECT_EQ(toned.Placement(), full.Placement());
    }
    {
        SCOPED_TRACE("a photo that is not there stops the road");
        road.photoPath = files.box.File("missing.jpg");
        Portrait none;
        const RoadOutcome missing = none.TakeRoad(files.folder, road);
        EXPECT_EQ(missing.photoStatus, FileNotFound);
        EXPECT_FALSE(none.Photo());
    }
}

TEST(PortraitTest, SaveWritesTheFinishedPictureOrNothing)
{
    TemplateOnDisk files;
    files.WriteBackground(test::MakeBackground(kWidth, kHeight));
    Portrait portrait;
    ASSERT_TRUE(portrait.LoadTemplate(files.folder).error.isEmpty());
    portrait.SetPhoto(PhotoImage::Adopt(test::MakeSmoothPhoto(100, 120)));
    portrait.Place();

    {
        SCOPED_TRACE("a PNG holds exactly the finished picture");
        const QString path = files.box.File("out.png");
        const SaveOutcome saved = portrait.Save(path, kNoCaption, 90);
        EXPECT_TRUE(saved.ok());
        const RenderResult rendered = portrait.RenderFinished(kNoCaption);
        ASSERT_TRUE(rendered.picture);
        const QImage written(path);
        EXPECT_EQ(written.convertToFormat(QImage::Format_RGB32), rendered.picture->image());
    }
    {
        SCOPED_TRACE("a folder that is not there: the status, no file");
        const QString path = files.box.File("no/such/out.png");
        const SaveOutcome saved = portrait.Save(path, kNoCaption, 90);
        EXPECT_TRUE(saved.renderError.isEmpty());
        EXPECT_NE(saved.status, Ok);
        EXPECT_FALSE(QFile::exists(path));
    }
    {
        SCOPED_TRACE("a foreground broken since: no picture, no file");
        ASSERT_TRUE(test::WriteFile(files.folder.File(QString::fromLatin1(kForegroundFile)), "not a picture"));
        const QString path = files.box.File("broken.png");
        const SaveOutcome saved = portrait.Save(path, kNoCaption, 90);
        EXPECT_EQ(saved.renderError, kOutputReadError);
        EXPECT_FALSE(QFile::exists(path));
    }
}

} // namespace lumavo
