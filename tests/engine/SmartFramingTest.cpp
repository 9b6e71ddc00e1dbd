// The framing settings read from real setting.ini files, and faces found on
// a reduced copy framed for the full photo.

#include "CameraPortrait.h"
#include "TestUtils.h"
#include "framing/FramingSettings.h"
#include "framing/SmartFraming.h"
#include "framing/TemplateTrial.h"
#include "platform/ProgramFolder.h"

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

TEST(SmartFraming, FacesFoundOnAReducedCopyFrameTheFullPhoto)
{
    const test::CameraPortrait portrait = test::MakeCameraPortrait("grace_hopper.jpg", QSize(3000, 2000));
    const QImage reduced = portrait.photo.scaled(750, 500, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    SetProgramFolderForTesting(test::ProgramDir());
    QString error;
    const auto subject = FindSubject(reduced, portrait.photo.size(), &error);
    SetProgramFolderForTesting(QString());
    ASSERT_TRUE(subject) << error.toStdString();
    // In full-photo pixels: the marked face's centre lies on the box, the
    // eyes within a tenth of the face's height of the marked ones.
    const QRectF box(subject->left, subject->top, subject->width, subject->height);
    EXPECT_TRUE(box.contains(portrait.faceCentre));
    EXPECT_NEAR(subject->eyeLine, portrait.eyeLine, 0.1 * subject->height);
    EXPECT_GT(subject->height, 250); // the face is some 380 pixels tall at full size

    // No subject, or one that cannot be framed: the whole-photo fit.
    const LayerRect opening { 100, 150, 700, 950 };
    const FittedPlacement none = FitToOpening(opening, QSize(3000, 2000), std::nullopt, {});
    EXPECT_FALSE(none.framed);
    EXPECT_EQ(none.placement, (PhotoPlacement { 100, 350, 600, 400 }));
    const FittedPlacement outside = FitToOpening(opening, QSize(3000, 2000), FramingSubject { 4000, 100, 50, 50, 120 }, {});
    EXPECT_FALSE(outside.framed);
    EXPECT_EQ(outside.placement, none.placement);
    const FittedPlacement framed = FitToOpening(opening, QSize(3000, 2000), subject, {});
    EXPECT_TRUE(framed.framed);
    const double eyes = framed.placement.y + subject->eyeLine * double(framed.placement.height) / 2000;
    EXPECT_NEAR(eyes, 150 + 0.4 * 800, 0.05 * 800);
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

} // namespace
} // namespace lumavo
