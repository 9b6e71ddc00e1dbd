#include "platform/CodePage.h"

#include "TestUtils.h"

#include <gtest/gtest.h>

namespace lumavo {
namespace {

// "你好" in GBK and in UTF-8.
const QByteArray kNihaoGbk("\xC4\xE3\xBA\xC3");
const QByteArray kNihaoUtf8("\xE4\xBD\xA0\xE5\xA5\xBD");

TEST(CodePageTest, GbkConvertsBothWaysAndMarksWhatItCannotCarry)
{
    const QString nihao = QStringLiteral("你好");
    EXPECT_EQ(ToGbk(nihao), kNihaoGbk);
    EXPECT_EQ(FromGbk(kNihaoGbk), nihao);
    EXPECT_EQ(ToGbk(QStringLiteral("增效工具包")).size(), 10);
    EXPECT_EQ(FromGbk(ToGbk(QStringLiteral("增效工具包 temple\\a.jpg"))), QStringLiteral("增效工具包 temple\\a.jpg"));

    // Characters outside GBK become '?', one each, and the text goes on.
    EXPECT_EQ(ToGbk(QStringLiteral("a\U0001F600b\u0E01c")), QByteArray("a?b?c"));
    // Bytes GBK has no character for become U+FFFD; the rest still decodes.
    EXPECT_EQ(FromGbk(QByteArray("a\xFF") + kNihaoGbk), QStringLiteral("a\uFFFD你好"));
    // A lead byte cut off at the end.
    EXPECT_EQ(FromGbk(QByteArray("ab\xC4")), QStringLiteral("ab\uFFFD"));
    // Code page 936 has the euro sign at 0x80.
    EXPECT_EQ(FromGbk(QByteArray("\x80")), QStringLiteral("\u20AC"));
}

TEST(CodePageTest, LegacyTextIsUtf8WhenValidElseGbk)
{
    EXPECT_EQ(DecodeLegacyText(kNihaoUtf8), QStringLiteral("你好"));
    EXPECT_EQ(DecodeLegacyText(kNihaoGbk), QStringLiteral("你好"));
    EXPECT_EQ(DecodeLegacyText("plain ascii"), QStringLiteral("plain ascii"));
    EXPECT_TRUE(DecodeLegacyText(QByteArrayView()).isEmpty());
    // UTF-8 whose last character is cut short is not valid UTF-8: the whole
    // text reads as GBK, where "\xE4\xBD\xA0\xE5\xA5" is two characters
    // and a stray byte.
    const QString cut = DecodeLegacyText(kNihaoUtf8.left(5));
    EXPECT_EQ(cut, FromGbk(kNihaoUtf8.left(5)));
    EXPECT_FALSE(cut.contains(u'你'));
    // One GBK character inside otherwise plain text switches the whole text.
    EXPECT_EQ(DecodeLegacyText(QByteArray("D:\\tpl\\") + kNihaoGbk), QStringLiteral("D:\\tpl\\你好"));
}

TEST(CodePageTest, WidePathIsFreshEachCall)
{
    const QByteArray longName = QByteArray("D:\\templates\\") + ToGbk(QStringLiteral("玫瑰花园")) + "\\bs.lmv";
    const QByteArray shortName = QByteArray("C:\\") + kNihaoGbk;
    const QString first = ToWidePath(longName);
    const QString second = ToWidePath(shortName);
    EXPECT_EQ(first, QStringLiteral("D:\\templates\\玫瑰花园\\bs.lmv"));
    EXPECT_EQ(second, QStringLiteral("C:\\你好"));
    EXPECT_EQ(first, QStringLiteral("D:\\templates\\玫瑰花园\\bs.lmv")); // the earlier result is untouched

    // A name longer than the old 260-byte buffers comes through whole.
    const QByteArray deep = QByteArray("/srv/") + QByteArray(400, 'a') + "/" + kNihaoUtf8;
    EXPECT_EQ(ToWidePath(deep), QStringLiteral("/srv/") + QString(400, u'a') + QStringLiteral("/你好"));
    // A terminator ends the name, as in the C strings the names come from.
    EXPECT_EQ(ToWidePath(QByteArrayView("abc\0def", 7)), QStringLiteral("abc"));
}

} // namespace
} // namespace lumavo
