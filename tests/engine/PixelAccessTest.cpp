#include "imaging/PixelAccess.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace lumavo {
namespace {

std::vector<uint8_t> FirstPixelBytes(const QImage& image)
{
    const uchar* bits = image.constBits();
    return { bits[0], bits[1], bits[2], bits[3] };
}

TEST(PixelAccessTest, OnePixelRoundTrip)
{
    auto picture = PhotoImage::Blank(1, 1, PixelFormat32bppARGB);
    const uint32_t value = 0x80102030;
    std::memcpy(picture->mutableImage().scanLine(0), &value, 4);

    PixelArray pixels = ReadPixels(*picture);
    ASSERT_NE(pixels, nullptr);
    EXPECT_EQ(pixels[0], 0x80102030u);

    const std::vector<uint8_t> bytes = { 0x30, 0x20, 0x10, 0x80 };
    auto copied = ImageFromPixels(1, 1, pixels.get());
    ASSERT_EQ(copied->lastStatus(), Ok);
    EXPECT_EQ(copied->Format(), PixelFormat32bppARGB);
    EXPECT_EQ(FirstPixelBytes(copied->image()), bytes);
    EXPECT_EQ(pixels[0], 0x80102030u);

    auto adopted = ImageFromPixels(1, 1, std::move(pixels));
    ASSERT_EQ(adopted->lastStatus(), Ok);
    EXPECT_EQ(adopted->Format(), PixelFormat32bppARGB);
    EXPECT_EQ(FirstPixelBytes(adopted->image()), bytes);
}

TEST(PixelAccessTest, ReadsEveryFormatAsStraightArgbRows)
{
    // 24-bit pictures read as opaque.
    auto rgb = PhotoImage::Blank(2, 2, PixelFormat24bppRGB);
    rgb->mutableImage().fill(QColor(1, 2, 3));
    PixelArray opaque = ReadPixels(*rgb);
    ASSERT_NE(opaque, nullptr);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(opaque[i], 0xFF010203u);

    // An RGB32 picture around foreign memory whose padding bytes are zero
    // still reads as opaque.
    std::vector<uint32_t> foreign = { 0x00112233, 0x00445566 };
    auto wrapped = PhotoImage::Adopt(QImage(reinterpret_cast<uchar*>(foreign.data()), 2, 1, QImage::Format_RGB32));
    EXPECT_EQ(wrapped->Format(), PixelFormat24bppRGB);
    PixelArray padded = ReadPixels(*wrapped);
    ASSERT_NE(padded, nullptr);
    EXPECT_EQ(padded[0], 0xFF112233u);
    EXPECT_EQ(padded[1], 0xFF445566u);

    // A 3 x 2 picture whose rows are 32 bytes apart reads into 6 packed values.
    std::vector<uint32_t> strided(16, 0xDEADBEEF);
    for (uint32_t c = 0; c < 3; ++c) {
        strided[c] = 0xFF000000u | c;
        strided[8 + c] = 0xFF000010u | c;
    }
    auto layout = PhotoImage::Adopt(QImage(reinterpret_cast<uchar*>(strided.data()), 3, 2, 32, QImage::Format_ARGB32));
    PixelArray rows = ReadPixels(*layout);
    ASSERT_NE(rows, nullptr);
    const uint32_t expected[6] = { 0xFF000000, 0xFF000001, 0xFF000002, 0xFF000010, 0xFF000011, 0xFF000012 };
    EXPECT_TRUE(std::equal(rows.get(), rows.get() + 6, expected));

    // Premultiplied pixels come back straight.
    auto premultiplied = PhotoImage::Blank(1, 1, PixelFormat32bppPARGB);
    premultiplied->mutableImage().setPixel(0, 0, 0x80404040);
    PixelArray straight = ReadPixels(*premultiplied);
    ASSERT_NE(straight, nullptr);
    EXPECT_EQ(straight[0] >> 24, 0x80u);
    EXPECT_NEAR(double(straight[0] & 0xFF), 0x80, 1.0);

    // Converted formats are read in bands of rows; every row lands in place.
    QImage tall(3, 150, QImage::Format_RGB888);
    for (int y = 0; y < tall.height(); ++y)
        for (int x = 0; x < tall.width(); ++x)
            tall.setPixel(x, y, qRgb(x, y, 7));
    auto banded = PhotoImage::Adopt(tall);
    PixelArray bandRows = ReadPixels(*banded);
    ASSERT_NE(bandRows, nullptr);
    for (int y = 0; y < 150; ++y) {
        for (int x = 0; x < 3; ++x)
            ASSERT_EQ(bandRows[y * 3 + x], 0xFF000007u | uint32_t(x) << 16 | uint32_t(y) << 8) << x << "," << y;
    }

    auto failed = PhotoImage::FromFile(QString());
    EXPECT_EQ(ReadPixels(*failed), nullptr);
}

TEST(PixelAccessTest, ImageFromPixelsRefusesBadInput)
{
    const uint32_t pixel = 0xFF000000;
    for (const auto& [w, h] : { std::pair { 0, 1 }, { 1, 0 }, { -1, 1 } }) {
        auto copied = ImageFromPixels(w, h, &pixel);
        EXPECT_TRUE(copied->IsNull());
        EXPECT_NE(copied->lastStatus(), Ok);
        auto adopted = ImageFromPixels(w, h, PixelArray(new uint32_t[1]));
        EXPECT_TRUE(adopted->IsNull());
        EXPECT_NE(adopted->lastStatus(), Ok);
    }
    auto none = ImageFromPixels(1, 1, PixelArray());
    EXPECT_TRUE(none->IsNull());
    EXPECT_NE(none->lastStatus(), Ok);
    auto nothing = ImageFromPixels(1, 1, static_cast<const uint32_t*>(nullptr));
    EXPECT_TRUE(nothing->IsNull());
    EXPECT_NE(nothing->lastStatus(), Ok);
}

TEST(PixelAccessTest, MulDivRoundsHalvesAwayFromZero)
{
    EXPECT_EQ(MulDiv(10, 500, 1001), 5);
    EXPECT_EQ(MulDiv(5, 1, 2), 3);
    EXPECT_EQ(MulDiv(-5, 1, 2), -3);
    EXPECT_EQ(MulDiv(5, 1, -2), -3);
    EXPECT_EQ(MulDiv(7, 1, 3), 2);
    EXPECT_EQ(MulDiv(1, 1, 0), -1);
    // The 64-bit intermediate: the product alone would overflow 32 bits.
    EXPECT_EQ(MulDiv(100000, 100000, 50000), 200000);
    EXPECT_EQ(MulDiv(INT32_MAX, 2, 1), -1);
}

TEST(PixelAccessTest, FitSizeKeepsProportionsAndNeverEnlarges)
{
    EXPECT_EQ(FitSize(1000, 600, 500, 400), (FitResult { 500, 300 }));
    EXPECT_EQ(FitSize(300, 200, 500, 400), (FitResult { 300, 200 }));
    EXPECT_EQ(FitSize(300, 200, 5000, 5000), (FitResult { 300, 200 }));
    EXPECT_EQ(FitSize(1000, 800, 500, 400), (FitResult { 500, 400 }));
    EXPECT_EQ(FitSize(600, 1000, 500, 400), (FitResult { 240, 400 }));
    EXPECT_EQ(FitSize(1001, 10, 500, 400), (FitResult { 500, 5 }));
    // One side within the box, the other not.
    EXPECT_EQ(FitSize(400, 800, 500, 400), (FitResult { 200, 400 }));
}

TEST(PixelAccessTest, CloneAreaAlwaysSetsTheStatus)
{
    auto picture = PhotoImage::Blank(4, 3, PixelFormat32bppARGB);
    picture->mutableImage().setPixel(2, 1, 0x80112233);
    picture->SetResolution(300, 300);

    // A success overwrites an earlier failure.
    picture->RecordStatus(GenericError);
    auto area = picture->CloneArea(1, 1, 2, 2, PixelFormat24bppRGB);
    ASSERT_NE(area, nullptr);
    EXPECT_EQ(picture->lastStatus(), Ok);
    EXPECT_EQ(area->Width(), 2u);
    EXPECT_EQ(area->Height(), 2u);
    EXPECT_EQ(area->Format(), PixelFormat24bppRGB);
    EXPECT_EQ(area->HorizontalResolution(), 300.0f);
    EXPECT_EQ(qAlpha(area->image().pixel(1, 0)), 0xFF);

    // An area reaching outside the picture, or empty, gives none and a status.
    EXPECT_EQ(picture->CloneArea(3, 0, 2, 1, PixelFormat32bppARGB), nullptr);
    EXPECT_EQ(picture->TakeStatus(), InvalidParameter);
    EXPECT_EQ(picture->CloneArea(0, 0, 0, 1, PixelFormat32bppARGB), nullptr);
    EXPECT_EQ(picture->TakeStatus(), InvalidParameter);
    // Far-off corners must not wrap around into the picture.
    EXPECT_EQ(picture->CloneArea(INT32_MAX - 1, 0, 4, 1, PixelFormat32bppARGB), nullptr);
    EXPECT_EQ(picture->TakeStatus(), InvalidParameter);
    EXPECT_EQ(picture->CloneArea(0, INT32_MAX, 1, INT32_MAX, PixelFormat32bppARGB), nullptr);
    EXPECT_EQ(picture->TakeStatus(), InvalidParameter);
    EXPECT_EQ(picture->lastStatus(), Ok);

    auto whole = picture->CloneArea(0, 0, 4, 3, PixelFormat32bppARGB);
    ASSERT_NE(whole, nullptr);
    EXPECT_EQ(whole->image().pixel(2, 1), 0x80112233u);
}

} // namespace
} // namespace lumavo
