// The framing settings read from real setting.ini files, and faces found on
// a reduced copy framed for the full photo.

#include "framing/SmartFraming.h"
#include "CameraPortrait.h"
#include "TestUtils.h"
#include "framing/FramingSettings.h"
#include "framing/TemplateTrial.h"
#include "platform/ProgramFolder.h"
#include "templates/Portrait.h"

#include <gtest/gtest.h>

#include <cmath>

namespace lumavo {
namespace {

TEST(FramingSettings, FaceShareAndFirstPlacementFromSettingIni)
{
    test::Sandbox sandbox;
    const QString ini = sandbox.File("setting.ini");
    const double defaultShare = FramingGoal().faceShare;
    // No file, no key: the defaults (head and shoulders, whole-photo fit first).
    EXPECT_DOUBLE_EQ(ReadFramingGoal(ini).faceShare, defaultShare);
    EXPECT_FALSE(ReadSmartFramingFirst(ini));

    struct Case {
        const char* value;
        double share;
    };
    for (const Case& c : { Case { "0.45", 0.45 }, Case { " 0,5 ", 0.5 }, Case { "0.05", 0.05 }, Case { "0.95", 0.95 },
             Case { "0.04", defaultShare }, Case { "1.5", defaultShare }, Case { "abc", defaultShare },
             Case { "-0.3", defaultShare }, Case { "nan", defaultShare }, Case { "", defaultShare } }) {
        SCOPED_TRACE(c.value);
        ASSERT_TRUE(test::WriteFile(ini, QByteArray("[System]\r\nFaceShare=") + c.value + "\r\n"));
        EXPECT_DOUBLE_EQ(ReadFramingGoal(ini).faceShare, c.share);
        // The other goals are not settings.
        EXPECT_DOUBLE_EQ(ReadFramingGoal(ini).eyeLine, FramingGoal().eyeLine);
    }
    for (const char* on : { "1", "true", "Yes", "ON" }) {
        ASSERT_TRUE(test::WriteFile(ini, QByteArray("[system]\nsmartframingfirst=") + on + "\n"));
        EXPECT_TRUE(ReadSmartFramingFirst(ini)) << on;
    }
    for (const char* off : { "0", "no", "2", "" }) {
        ASSERT_TRUE(test::WriteFile(ini, QByteArray("[System]\nSmartFramingFirst=") + off + "\n"));
        EXPECT_FALSE(ReadSmartFramingFirst(ini)) << off;
    }
}

TEST(SmartFraming, WithoutAFramableSubjectTheWholePhotoFitStays)
{
    // No subject, or one that cannot be framed: the whole-photo fit.
    const LayerRect opening { 100, 150, 700, 950 };
    const FittedPlacement none = FitToOpening(opening, QSize(3000, 2000), std::nullopt, {});
    EXPECT_FALSE(none.framed);
    EXPECT_EQ(none.placement, (PhotoPlacement { 100, 350, 600, 400 }));
    const FittedPlacement outside
        = FitToOpening(opening, QSize(3000, 2000), FramingSubject { 4000, 100, 50, 50, 120 }, {});
    EXPECT_FALSE(outside.framed);
    EXPECT_EQ(outside.placement, none.placement);
}

TEST(SmartFraming, TrialPhotoRefusesWhatItCannotReadAndFindsNoFaceOnALandscape)
{
    test::Sandbox sandbox;
    const TrialPhoto missing = LoadTrialPhoto(sandbox.File("none.jpg"), true);
    EXPECT_FALSE(missing.usable());
    EXPECT_TRUE(missing.error.contains(QStringLiteral("找不到相片")));
    ASSERT_TRUE(test::WriteFile(sandbox.File("broken.jpg"), QByteArray("\xFF\xD8\xFF\xE0 broken", 12)));
    const TrialPhoto broken = LoadTrialPhoto(sandbox.File("broken.jpg"), true);
    EXPECT_FALSE(broken.usable());
    EXPECT_TRUE(broken.error.contains(QStringLiteral("无法读取相片")));

    SetProgramFolderForTesting(test::ProgramDir());
    const TrialPhoto landscape = LoadTrialPhoto(test::PortraitFolder() + "/iceblock.jpg", true);
    SetProgramFolderForTesting(QString());
    ASSERT_TRUE(landscape.usable());
    EXPECT_FALSE(landscape.subject);
    EXPECT_TRUE(landscape.faceError.isEmpty());
    EXPECT_LE(std::max(landscape.picture.width(), landscape.picture.height()), kTrialPhotoSide);
}

// The portrait frames a subject found on the picture it holds, also when
// that is a reduced decode: the placement is made for the photo's full size.
TEST(SmartFraming, PortraitFramesFacesOnAReducedDecodeAndOnItsRoad)
{
    test::Sandbox sandbox;
    const test::CameraPortrait portrait = test::MakeCameraPortrait("grace_hopper.jpg", QSize(3000, 2000));
    const QString photo = sandbox.File("customer.jpg");
    ASSERT_TRUE(portrait.photo.save(photo, "JPEG", 95));
    const auto folder = TemplateFolder::Make(test::ProgramDir() + "/temple", "4R-classic-cream");
    ASSERT_TRUE(folder);
    const LayerRect opening = ReadLayerRect(*folder);
    const double width = opening.right - opening.left;
    const double height = opening.bottom - opening.top;
    SetProgramFolderForTesting(test::ProgramDir());

    PortraitRoad road;
    road.photoPath = photo;
    Portrait reduced;
    ASSERT_TRUE(reduced.TakeRoad(*folder, road).ok());
    ASSERT_LT(reduced.Photo()->Width(), 3000u);
    const auto subject = FindSubject(reduced.Photo()->image(), reduced.Photo()->image().size());
    ASSERT_TRUE(subject);
    ASSERT_TRUE(reduced.FrameFaces(*subject));
    const PhotoPlacement framed = reduced.Placement();
    // The marked face, through the placement made for 3000 x 2000, on the goals.
    const double sx = framed.width / 3000.0;
    const double sy = framed.height / 2000.0;
    EXPECT_LE(std::abs(framed.x + portrait.faceCentre.x() * sx - (opening.left + width / 2)), 0.05 * width);
    EXPECT_LE(std::abs(framed.y + portrait.eyeLine * sy - (opening.top + 0.4 * height)), 0.05 * height);
    // Nothing to frame: the placement stays.
    EXPECT_FALSE(reduced.FrameFaces(FramingSubject {}));
    EXPECT_EQ(reduced.Placement(), framed);

    // The road with a face locator: the photo decoded whole, framed before the steps.
    road.findFaces = [](const QImage& picture) { return FindSubject(picture, picture.size()); };
    road.steps = { { PlacementStep::Kind::Move, 5, 0, 0 } };
    Portrait framedRoad;
    const RoadOutcome outcome = framedRoad.TakeRoad(*folder, road);
    ASSERT_TRUE(outcome.ok());
    EXPECT_TRUE(outcome.facesFramed);
    EXPECT_EQ(framedRoad.Photo()->image().size(), QSize(3000, 2000));
    const PhotoPlacement moved = framedRoad.Placement();
    // The two searches see the face a few pixels apart.
    EXPECT_NEAR(moved.x - 5, framed.x, 0.03 * width);
    EXPECT_NEAR(moved.width, framed.width, 0.03 * width);

    // A locator that finds nothing keeps the whole-photo fit.
    road.findFaces = [](const QImage&) { return std::optional<FramingSubject>(); };
    Portrait faceless;
    const RoadOutcome none = faceless.TakeRoad(*folder, road);
    EXPECT_FALSE(none.facesFramed);
    EXPECT_EQ(faceless.Placement(), MovePlacement(PlacePhoto(opening, 3000, 2000), 5, 0));
    SetProgramFolderForTesting(QString());
}

} // namespace
} // namespace lumavo
