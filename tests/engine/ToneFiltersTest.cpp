#include "imaging/ToneFilters.h"

#include "imaging/PixelAccess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

namespace lumavo {
namespace {

// The sepia tone written out plainly in double precision: what every fast
// path must reproduce bit for bit.
uint32_t ReferenceSepia(uint32_t pixel)
{
    const int r = int((pixel >> 16) & 0xFF);
    const int g = int((pixel >> 8) & 0xFF);
    const int b = int(pixel & 0xFF);
    double red = r * 0.393;
    red += b * 0.189;
    red += g * 0.769;
    double green = b * 0.168;
    green += g * 0.686;
    green += r * 0.349;
    double blue = g * 0.534;
    blue += b * 0.131;
    blue += r * 0.272;
    const auto channel = [](double sum) {
        const long long whole = static_cast<long long>(sum);
        return uint32_t(whole < 0 ? 0 : whole > 255 ? 255 : whole);
    };
    return (pixel & 0xFF000000u) | channel(red) << 16 | channel(green) << 8 | channel(blue);
}

uint32_t Argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b)
{
    return a << 24 | r << 16 | g << 8 | b;
}

// Every RGB triple once, with alphas that vary from pixel to pixel.
std::vector<uint32_t> AllColours()
{
    std::vector<uint32_t> pixels(size_t(1) << 24);
    for (uint32_t i = 0; i < pixels.size(); ++i)
        pixels[i] = ((i * 2654435761u) >> 24) << 24 | i;
    return pixels;
}

// Filters the array in runs of `run` pixels after a first run of `first`.
void SepiaInRuns(std::vector<uint32_t>& pixels, size_t first, size_t run)
{
    size_t i = std::min(first, pixels.size());
    SepiaFilter(int32_t(i), 1, pixels.data());
    for (; i < pixels.size(); i += run)
        SepiaFilter(int32_t(std::min(run, pixels.size() - i)), 1, pixels.data() + i);
}

TEST(ToneFiltersTest, SepiaMatchesDoubleArithmeticForEveryColour)
{
    const std::vector<uint32_t> source = AllColours();
    std::vector<uint32_t> expected(source.size());
    std::transform(source.begin(), source.end(), expected.begin(), ReferenceSepia);

    // One call over the whole array takes the widest path, split between
    // threads. Runs shorter than a vector reach the narrower paths: runs of
    // 15 put every colour through eight-pixel blocks in one of two passes,
    // runs of 7 put every colour through the per-pixel code.
    std::vector<uint32_t> whole = source;
    SepiaFilter(4096, 4096, whole.data());
    EXPECT_TRUE(whole == expected);
    for (const auto& [first, run] : { std::pair<size_t, size_t> { 0, 15 }, { 7, 15 }, { 0, 7 } }) {
        std::vector<uint32_t> runs = source;
        SepiaInRuns(runs, first, run);
        const auto mismatch = std::mismatch(runs.begin(), runs.end(), expected.begin());
        EXPECT_TRUE(mismatch.first == runs.end())
            << "runs of " << run << ": colour " << std::hex << source[size_t(mismatch.first - runs.begin())] << " gave "
            << *mismatch.first << " instead of " << *mismatch.second;
    }
}

TEST(ToneFiltersTest, WorkedValues)
{
    struct Case {
        uint32_t r, g, b;
        uint32_t r1, g1, b1;
    };
    const Case sepia[] = {
        { 0, 0, 0, 0, 0, 0 },
        { 128, 128, 128, 172, 153, 119 },
        { 100, 100, 100, 135, 120, 93 },
        { 200, 100, 50, 164, 146, 114 },
        { 255, 0, 0, 100, 88, 69 },
        { 0, 255, 0, 196, 174, 136 },
        { 0, 0, 255, 48, 42, 33 },
        { 255, 255, 255, 255, 255, 238 },
    };
    for (const Case& c : sepia) {
        uint32_t pixel = Argb(0xFF, c.r, c.g, c.b);
        SepiaFilter(1, 1, &pixel);
        EXPECT_EQ(pixel, Argb(0xFF, c.r1, c.g1, c.b1)) << c.r << "," << c.g << "," << c.b;
    }

    std::vector<uint32_t> grey
        = { Argb(0xFF, 200, 100, 50), Argb(0xFF, 10, 20, 250), Argb(0xFF, 255, 0, 0), Argb(0xFF, 0, 0, 255) };
    BlackWhiteFilter(2, 2, grey.data());
    EXPECT_EQ(grey,
        (std::vector<uint32_t> {
            Argb(0xFF, 50, 50, 50), Argb(0xFF, 250, 250, 250), Argb(0xFF, 0, 0, 0), Argb(0xFF, 255, 255, 255) }));

    // Black-and-white after sepia takes the sepia blue; a second pass changes nothing.
    uint32_t toned = Argb(0xFF, 200, 100, 50);
    SepiaFilter(1, 1, &toned);
    BlackWhiteFilter(1, 1, &toned);
    EXPECT_EQ(toned, Argb(0xFF, 114, 114, 114));
    BlackWhiteFilter(1, 1, &toned);
    EXPECT_EQ(toned, Argb(0xFF, 114, 114, 114));
}

TEST(ToneFiltersTest, AlphaPassesThroughAndSizesAreHonoured)
{
    // Transparent and half-transparent pixels keep their alpha; colours still change.
    std::vector<uint32_t> pixels = { Argb(0x00, 128, 128, 128), Argb(0x80, 255, 255, 255), Argb(0x00, 200, 100, 50) };
    std::vector<uint32_t> grey = pixels;
    SepiaFilter(3, 1, pixels.data());
    EXPECT_EQ(pixels,
        (std::vector<uint32_t> { Argb(0x00, 172, 153, 119), Argb(0x80, 255, 255, 238), Argb(0x00, 164, 146, 114) }));
    BlackWhiteFilter(1, 3, grey.data());
    EXPECT_EQ(
        grey, (std::vector<uint32_t> { Argb(0x00, 128, 128, 128), Argb(0x80, 255, 255, 255), Argb(0x00, 50, 50, 50) }));

    // Empty or negative sizes leave the array alone, even when the signed
    // product of two negative sizes is positive.
    const std::vector<uint32_t> untouched(6, Argb(0xFF, 200, 100, 50));
    for (const auto& [w, h] : { std::pair { 0, 6 }, { 6, 0 }, { -2, 3 }, { -2, -3 }, { 3, -2 } }) {
        std::vector<uint32_t> copy = untouched;
        SepiaFilter(w, h, copy.data());
        BlackWhiteFilter(w, h, copy.data());
        EXPECT_EQ(copy, untouched) << w << " x " << h;
    }
    SepiaFilter(3, 2, nullptr);
    BlackWhiteFilter(3, 2, nullptr);

    // An odd-sized large array: the split between threads and the vector
    // tails must cover every pixel exactly once (a pixel filtered twice would
    // be toned again).
    const int32_t width = 1031;
    const int32_t height = 1021;
    std::vector<uint32_t> large(size_t(width) * height);
    std::mt19937 random(11);
    for (uint32_t& pixel : large)
        pixel = random();
    std::vector<uint32_t> expectedSepia(large.size());
    std::vector<uint32_t> expectedGrey(large.size());
    std::transform(large.begin(), large.end(), expectedSepia.begin(), ReferenceSepia);
    std::transform(large.begin(), large.end(), expectedGrey.begin(),
        [](uint32_t p) { return (p & 0xFF000000u) | (p & 0xFF) * 0x010101u; });
    std::vector<uint32_t> toned = large;
    SepiaFilter(width, height, toned.data());
    EXPECT_TRUE(toned == expectedSepia);
    BlackWhiteFilter(width, height, large.data());
    EXPECT_TRUE(large == expectedGrey);
}

TEST(ToneFiltersTest, ApplyToneFilterMakesANewArgbPicture)
{
    EXPECT_EQ(ApplyToneFilter(nullptr, SepiaFilter), nullptr);
    auto failed = PhotoImage::FromFile(QString());
    EXPECT_EQ(ApplyToneFilter(failed.get(), SepiaFilter), nullptr);

    // A 24-bit photo becomes a 32-bit ARGB picture, opaque everywhere.
    auto photo = PhotoImage::Blank(5, 3, PixelFormat24bppRGB);
    photo->mutableImage().fill(QColor(200, 100, 50));
    photo->mutableImage().setPixel(4, 2, qRgb(128, 128, 128));
    photo->SetResolution(300, 300);
    const QImage before = photo->image().copy();

    auto toned = ApplyToneFilter(photo.get(), SepiaFilter);
    ASSERT_NE(toned, nullptr);
    EXPECT_NE(toned.get(), photo.get());
    EXPECT_EQ(toned->lastStatus(), Ok);
    EXPECT_EQ(toned->Format(), PixelFormat32bppARGB);
    EXPECT_EQ(toned->Width(), 5u);
    EXPECT_EQ(toned->Height(), 3u);
    EXPECT_EQ(toned->image().pixel(0, 0), Argb(0xFF, 164, 146, 114));
    EXPECT_EQ(toned->image().pixel(4, 2), Argb(0xFF, 172, 153, 119));
    EXPECT_EQ(photo->image(), before);
    EXPECT_EQ(photo->Format(), PixelFormat24bppRGB);

    // The new picture owns its pixels: it outlives the photo and can be edited.
    photo.reset();
    auto grey = ApplyToneFilter(toned.get(), BlackWhiteFilter);
    ASSERT_NE(grey, nullptr);
    EXPECT_EQ(grey->image().pixel(1, 1), Argb(0xFF, 114, 114, 114));
    EXPECT_EQ(toned->image().pixel(1, 1), Argb(0xFF, 164, 146, 114));
    grey->mutableImage().setPixel(0, 0, 0x12345678);
    EXPECT_EQ(grey->image().pixel(0, 0), 0x12345678u);

    // Straight alpha of an ARGB photo is kept.
    auto clear = PhotoImage::Blank(2, 1, PixelFormat32bppARGB);
    clear->mutableImage().setPixel(0, 0, Argb(0x00, 128, 128, 128));
    clear->mutableImage().setPixel(1, 0, Argb(0x40, 200, 100, 50));
    auto clearToned = ApplyToneFilter(clear.get(), SepiaFilter);
    ASSERT_NE(clearToned, nullptr);
    EXPECT_EQ(clearToned->image().pixel(0, 0), Argb(0x00, 172, 153, 119));
    EXPECT_EQ(clearToned->image().pixel(1, 0), Argb(0x40, 164, 146, 114));
}

} // namespace
} // namespace lumavo
