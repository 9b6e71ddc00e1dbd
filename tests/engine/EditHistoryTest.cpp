#include "templates/EditHistory.h"

#include <QImage>

#include <gtest/gtest.h>

namespace lumavo {
namespace {

EditStep StepOf(const QImage& initial, const QImage* made = nullptr)
{
    EditStep step;
    step.initial = { initial, 96, 96, Ok };
    if (made)
        step.made = PictureState { *made, 300, 150, Ok };
    return step;
}

QImage Filled(int side, QRgb colour)
{
    QImage image(side, side, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// Steps go oldest first past either limit; a picture the steps share is
// counted once; the newest step always stays.
TEST(EditHistoryTest, KeepsTheNewestStepsWithinCountAndMemory)
{
    EditHistory byCount(3, int64_t(1) << 30);
    for (int i = 0; i < 5; ++i)
        byCount.Push(StepOf(Filled(10, qRgb(i, 0, 0))));
    ASSERT_EQ(byCount.Count(), 3);
    for (int i = 4; i >= 2; --i)
        EXPECT_EQ(byCount.Pop()->initial.pixels.pixel(0, 0), qRgb(i, 0, 0));
    EXPECT_FALSE(byCount.Pop());

    const QImage shared = Filled(100, qRgb(1, 2, 3)); // 40 000 bytes
    EditHistory byMemory(100, 100000);
    byMemory.Push(StepOf(shared));
    byMemory.Push(StepOf(shared));
    EXPECT_EQ(byMemory.Bytes(), 40000);
    EXPECT_EQ(byMemory.Count(), 2);
    const QImage other = Filled(100, qRgb(4, 5, 6));
    byMemory.Push(StepOf(shared, &other));
    EXPECT_EQ(byMemory.Bytes(), 80000);
    // A third picture would pass the limit: the steps holding only the first go.
    const QImage third = Filled(100, qRgb(7, 8, 9));
    byMemory.Push(StepOf(third, &other));
    EXPECT_LE(byMemory.Bytes(), 100000);
    EXPECT_EQ(byMemory.Count(), 1);
    // Alone, a step over the limit stays: the last edit can always be taken back.
    EditHistory tiny(8, 10);
    tiny.Push(StepOf(shared));
    EXPECT_EQ(tiny.Count(), 1);
}

// The state carries resolution and status back into the same object.
TEST(EditHistoryTest, PictureStateRestoresPixelsResolutionAndStatus)
{
    auto picture = PhotoImage::Adopt(Filled(20, qRgb(9, 9, 9)));
    picture->SetResolution(300, 200);
    const PictureState state = PictureState::Of(*picture);
    picture->ReplaceImage(Filled(30, qRgb(200, 0, 0)));
    picture->SetResolution(72, 72);
    picture->RecordStatus(OutOfMemory);
    state.RestoreInto(*picture);
    EXPECT_EQ(picture->image(), Filled(20, qRgb(9, 9, 9)));
    EXPECT_FLOAT_EQ(picture->HorizontalResolution(), 300);
    EXPECT_FLOAT_EQ(picture->VerticalResolution(), 200);
    EXPECT_EQ(picture->lastStatus(), Ok);
    const auto copy = state.MakePicture();
    EXPECT_EQ(copy->image(), picture->image());
    EXPECT_FLOAT_EQ(copy->VerticalResolution(), 200);
}

} // namespace
} // namespace lumavo
