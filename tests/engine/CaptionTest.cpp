#include "templates/Caption.h"

#include "TestUtils.h"
#include "templates/CaptionFont.h"
#include "templates/CaptionFontLocator.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <thread>
#include <vector>

using namespace lumavo;

namespace {

constexpr QRgb kGrey = 0xFF808080u;

// A 41-character line, as long as the captions stored pictures were made with.
const QString kLongCaption = QStringLiteral("Lumavo 影像工作室 · 专业证件照、婚纱照、艺术照，用心珍藏您每一个美好瞬间");

struct Box {
    int left = INT_MAX, top = INT_MAX, right = INT_MIN, bottom = INT_MIN;
    int count = 0;
    void Add(int x, int y)
    {
        left = std::min(left, x), right = std::max(right, x);
        top = std::min(top, y), bottom = std::max(bottom, y);
        ++count;
    }
};

// Where the caption changed a grey picture: darker pixels are the shadow
// showing past the text, lighter ones the text.
struct CaptionPixels {
    Box changed, dark, light;
    int darkest = 255, lightest = 0;
};

CaptionPixels Scan(const QImage& image)
{
    CaptionPixels pixels;
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (line[x] == kGrey)
                continue;
            pixels.changed.Add(x, y);
            const int value = qGreen(line[x]);
            EXPECT_TRUE(qRed(line[x]) == value && qBlue(line[x]) == value)
                << "caption is not grey at " << x << "," << y;
            if (value < 0x80) {
                pixels.dark.Add(x, y);
                pixels.darkest = std::min(pixels.darkest, value);
            } else if (value > 0x80) {
                pixels.light.Add(x, y);
                pixels.lightest = std::max(pixels.lightest, value);
            }
        }
    }
    return pixels;
}

QImage Captioned(int width, int height, const QString& text, const CaptionFont* font = CaptionFont::Default())
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(kGrey);
    QPainter painter(&image);
    DrawCaption(font, painter, width, height, text);
    painter.end();
    return image;
}

const CaptionFont* RequireFont()
{
    const CaptionFont* font = CaptionFont::Default();
    EXPECT_NE(font, nullptr) << "no Chinese font installed";
    return font;
}

} // namespace

TEST(CaptionTest, FindsRegularScriptFaceCoveringTheBuiltInText)
{
    const CaptionFont* font = RequireFont();
    ASSERT_NE(font, nullptr);
    EXPECT_TRUE(CaptionFontFamilies().contains(CaptionFontFamily())) << CaptionFontFamily().toStdString();
    EXPECT_EQ(font->MissingGlyphCount(BuiltInCaptionText()), 0);
    EXPECT_EQ(font->MissingGlyphCount(kLongCaption), 0);
    EXPECT_GT(font->EmAscender(), 0.5);
    EXPECT_LT(font->EmAscender(), 1.5);

    EXPECT_EQ(CaptionTextOrDefault(QString()), BuiltInCaptionText());
    EXPECT_EQ(CaptionTextOrDefault(QStringLiteral("欢迎光临")), QStringLiteral("欢迎光临"));
    EXPECT_FALSE(BuiltInCaptionText().isEmpty());
}

TEST(CaptionTest, TallPictureGetsCentredCaptionBandWithShadowBelowRight)
{
    ASSERT_NE(RequireFont(), nullptr);
    const QString text = BuiltInCaptionText();
    const CaptionLayout layout = LayOutCaption(1400, 2100, text);
    EXPECT_EQ(layout.pixelSize, 16);
    EXPECT_EQ(layout.y, 1995.0f);
    EXPECT_FLOAT_EQ(layout.x, (1400.0f - layout.width) * 0.5f);

    const CaptionPixels pixels = Scan(Captioned(1400, 2100, text));
    ASSERT_GT(pixels.dark.count, 100);
    ASSERT_GT(pixels.light.count, 100);
    // The shadow's top is the caption's top; the text sits one pixel higher.
    EXPECT_GE(pixels.dark.top, 1995);
    EXPECT_LE(pixels.dark.top, 1995 + 3);
    EXPECT_GE(pixels.changed.top, 1994);
    EXPECT_LE(pixels.changed.bottom, 1995 + 2 * 16);

    // Centred: the margins left and right of the drawn pixels match within
    // the glyphs' side bearings.
    const int leftMargin = pixels.changed.left;
    const int rightMargin = 1400 - 1 - pixels.changed.right;
    EXPECT_NEAR(leftMargin, rightMargin, 4);
    EXPECT_NEAR(pixels.changed.right - pixels.changed.left + 1, layout.width, 6);

    // The shadow shows past the text's bottom-right edges, the text alone
    // at its top-left edges.
    EXPECT_GT(pixels.dark.right, pixels.light.right);
    EXPECT_LE(pixels.dark.right, pixels.light.right + 2);
    EXPECT_GT(pixels.dark.bottom, pixels.light.bottom);
    EXPECT_LE(pixels.dark.bottom, pixels.light.bottom + 2);
    EXPECT_LT(pixels.light.left, pixels.dark.left);
    EXPECT_LT(pixels.light.top, pixels.dark.top);

    // Both brushes are 60 % opaque: a fully covered pixel of shadow alone is
    // 0x80 x 0.4, of text alone 0x80 x 0.4 + 0xFF x 0.6.
    EXPECT_GE(pixels.darkest, 0x80 * 4 / 10 - 2);
    EXPECT_LE(pixels.darkest, 0x80 * 4 / 10 + 12);
    EXPECT_LE(pixels.lightest, 0x80 * 4 / 10 + 0xFF * 6 / 10 + 2);
    EXPECT_GE(pixels.lightest, 0x80 * 4 / 10 + 0xFF * 6 / 10 - 15);
}

TEST(CaptionTest, SizeFollowsPictureWidth)
{
    const CaptionFont* font = RequireFont();
    ASSERT_NE(font, nullptr);
    const QString text = BuiltInCaptionText();
    const double em = font->EmWidth(text);
    ASSERT_GT(em, 10.0);

    // The largest size narrower than the picture is taken.
    const int32_t justWiderThan14 = int32_t(std::ceil(em * 14)) + 1;
    CaptionLayout layout = LayOutCaption(justWiderThan14, 800, text);
    EXPECT_EQ(layout.pixelSize, 14);
    EXPECT_FLOAT_EQ(layout.width, float(em * 14));
    EXPECT_GT(layout.x, 0.0f);
    EXPECT_EQ(LayOutCaption(int32_t(std::floor(em * 14)), 800, text).pixelSize, 12);
    EXPECT_EQ(LayOutCaption(int32_t(std::ceil(em * 16)) + 1, 800, text).pixelSize, 16);
    EXPECT_EQ(LayOutCaption(int32_t(std::ceil(em * 8)), 800, text).pixelSize, 8);

    // A 1000 x 1000 picture has the caption's top at 950.
    layout = LayOutCaption(1000, 1000, text);
    EXPECT_EQ(layout.y, 950.0f);
    const CaptionPixels pixels = Scan(Captioned(1000, 1000, text));
    EXPECT_GE(pixels.dark.top, 950);
    EXPECT_LE(pixels.dark.top, 953);

    // Without a font nothing measures: the first size, centred on nothing.
    layout = LayOutCaption(nullptr, 1400, 2100, text);
    EXPECT_EQ(layout.pixelSize, 16);
    EXPECT_EQ(layout.width, 0.0f);
    EXPECT_EQ(layout.x, 700.0f);
}

TEST(CaptionTest, NarrowPictureTakesSmallestSizeAndReachesPastBothEdges)
{
    ASSERT_NE(RequireFont(), nullptr);
    const CaptionLayout layout = LayOutCaption(100, 300, kLongCaption);
    EXPECT_EQ(layout.pixelSize, 4);
    EXPECT_LT(layout.x, 0.0f);
    EXPECT_GT(layout.width, 100.0f);

    CaptionPixels pixels = Scan(Captioned(100, 300, kLongCaption));
    EXPECT_EQ(pixels.changed.left, 0);
    EXPECT_EQ(pixels.changed.right, 99);
    EXPECT_GE(pixels.changed.top, 284);
    EXPECT_LE(pixels.changed.bottom, 285 + 8);

    // No length limit: a caption of thousands of characters is measured in
    // full and drawn across the whole width.
    // (Solid characters only, so ink reaches every column.)
    const QString word = QStringLiteral("影像留念");
    QString endless;
    for (int i = 0; i < 2500; ++i)
        endless += word;
    const CaptionLayout endlessLayout = LayOutCaption(1400, 2100, endless);
    EXPECT_EQ(endlessLayout.pixelSize, 4);
    EXPECT_NEAR(endlessLayout.width, 2500 * LayOutCaption(1, 1, word).width, endlessLayout.width * 1e-4);
    pixels = Scan(Captioned(1400, 2100, endless));
    EXPECT_EQ(pixels.changed.left, 0);
    EXPECT_EQ(pixels.changed.right, 1399);
}

TEST(CaptionTest, NothingDrawnWithoutTextOrFont)
{
    EXPECT_EQ(Scan(Captioned(400, 600, QString())).changed.count, 0);
    EXPECT_EQ(Scan(Captioned(400, 600, BuiltInCaptionText(), nullptr)).changed.count, 0);
    // Blank and line-break-only captions leave the picture as it was.
    EXPECT_EQ(Scan(Captioned(400, 600, QStringLiteral("  \n\t "))).changed.count, 0);

    // A font file that is missing or is no font gives no face (and no crash).
    test::Sandbox sandbox;
    EXPECT_EQ(CaptionFont::Load({ sandbox.File(QStringLiteral("missing.ttf")), 0, QString() }), nullptr);
    const QString junk = sandbox.File(QStringLiteral("junk.ttf"));
    ASSERT_TRUE(test::WriteFile(junk, QByteArray(4096, 'x')));
    EXPECT_EQ(CaptionFont::Load({ junk, 0, QString() }), nullptr);
    ASSERT_TRUE(test::WriteFile(junk, QByteArray()));
    EXPECT_EQ(CaptionFont::Load({ junk, 0, QString() }), nullptr);
}

TEST(CaptionTest, ConcurrentCaptionsMatchSingleOne)
{
    ASSERT_NE(RequireFont(), nullptr);
    // A fresh face, so the threads also race to fill its glyph cache.
    const auto file = LocateCaptionFont();
    ASSERT_TRUE(file.has_value());
    const auto font = CaptionFont::Load(*file);
    ASSERT_NE(font, nullptr);

    const QStringList texts = { BuiltInCaptionText(), kLongCaption };
    std::vector<QImage> results(8);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < results.size(); ++i)
        threads.emplace_back([&, i] { results[i] = Captioned(700, 900, texts[int(i % 2)], font.get()); });
    for (auto& thread : threads)
        thread.join();
    for (size_t i = 0; i < results.size(); ++i)
        EXPECT_EQ(results[i], Captioned(700, 900, texts[int(i % 2)])) << "thread " << i;
}

// A caption longer than the face's glyph cache holds: glyphs laid out early
// in the line must survive the cache making room for later ones.
TEST(CaptionTest, LineWithMoreGlyphsThanTheCacheHolds)
{
    ASSERT_NE(RequireFont(), nullptr);
    const auto file = LocateCaptionFont();
    ASSERT_TRUE(file.has_value());
    const auto font = CaptionFont::Load(*file);
    ASSERT_NE(font, nullptr);
    QString text;
    for (char16_t c = 0x4E00; c < 0x9FA5 && text.size() < 5000; ++c) {
        if (font->MissingGlyphCount(QString(QChar(c))) == 0)
            text.append(QChar(c));
    }
    ASSERT_EQ(text.size(), 5000);
    // About a pixel per character: the whole line fits the clip.
    const CaptionFont::LineMask first = font->RenderLine(text, 1.0, QPointF(0, 0), QRect(0, 0, 8000, 4));
    const CaptionFont::LineMask second = font->RenderLine(text, 1.0, QPointF(0, 0), QRect(0, 0, 8000, 4));
    ASSERT_FALSE(first.coverage.isNull());
    EXPECT_EQ(first.origin, second.origin);
    EXPECT_EQ(first.coverage, second.coverage);
}
