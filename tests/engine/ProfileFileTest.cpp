#include "platform/ProfileFile.h"

#include "TestUtils.h"
#include "platform/CodePage.h"
#include "platform/ExecutablePath.h"
#include "platform/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <vector>
#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace lumavo {
namespace {

using test::ReadFile;
using test::Sandbox;
using test::WriteFile;

TEST(ProfileFileTest, ReadsGbkSettingsWithLooseNames)
{
    Sandbox box;
    const QString ini = box.File("setting.ini");
    const QString text = QStringLiteral("[ system ]\r\n"
                                        "TempPath=D:\\影楼\\temple\r\n"
                                        "  QUALITY = 85 \r\n"
                                        "Caption=欢迎光临 本店\r\n");
    ASSERT_TRUE(WriteFile(ini, ToGbk(text)));

    EXPECT_EQ(GetProfileString(ini, "System", "TempPath"), QStringLiteral("D:\\影楼\\temple"));
    EXPECT_EQ(GetProfileString(ini, "SYSTEM", " tempPATH "), QStringLiteral("D:\\影楼\\temple"));
    // The program asks for the key with a trailing blank.
    EXPECT_EQ(GetProfileInt(ini, "System", "Quality ", 0), 85);
    EXPECT_EQ(ReadQuality(ini), 85);
    EXPECT_EQ(ReadCaptionSetting(ini), QStringLiteral("欢迎光临 本店"));
    EXPECT_EQ(GetProfileString(ini, "Other", "TempPath", "none"), QStringLiteral("none"));
    EXPECT_EQ(GetProfileString(box.File("missing.ini"), "System", "TempPath", "none"), QStringLiteral("none"));
}

TEST(ProfileFileTest, ToleratesBomCrlfCommentsQuotesAndDuplicates)
{
    Sandbox box;
    const QString ini = box.File("a.ini");
    const QByteArray bytes = "\xEF\xBB\xBF"
                             "; comment=1\r\n"
                             "orphan=before any section\r\n"
                             "[System]\r\n"
                             "# Caption=commented out\r\n"
                             "\r\n"
                             "Caption = \"  spaced  \" \r\n"
                             "Single='x'\r\n"
                             "Mismatched=\"x'\r\n"
                             "Lone=\"\r\n"
                             "NoValue\r\n"
                             "Empty=\r\n"
                             "Dup=first\r\n"
                             "dup=second\r\n"
                             "Eq=a=b\r\n"
                             "[Layer]\r\n"
                             "x=1\r\n"
                             "[system]\r\n"
                             "Late=only in the second System section\r\n"
                             "Dup=third";
    ASSERT_TRUE(WriteFile(ini, bytes));

    EXPECT_EQ(GetProfileString(ini, "System", "Caption"), QStringLiteral("  spaced  "));
    EXPECT_EQ(GetProfileString(ini, "System", "Single"), QStringLiteral("x"));
    EXPECT_EQ(GetProfileString(ini, "System", "Mismatched"), QStringLiteral("\"x'"));
    EXPECT_EQ(GetProfileString(ini, "System", "Lone"), QStringLiteral("\""));
    EXPECT_EQ(GetProfileString(ini, "System", "NoValue", "d"), QString());
    EXPECT_EQ(GetProfileString(ini, "System", "Empty", "d"), QString());
    EXPECT_EQ(GetProfileString(ini, "System", "Dup"), QStringLiteral("first"));
    EXPECT_EQ(GetProfileString(ini, "System", "Eq"), QStringLiteral("a=b"));
    EXPECT_EQ(GetProfileString(ini, "layer", "X"), QStringLiteral("1"));
    // Only the first section of a name is consulted; comments and keys
    // outside any section are not entries.
    EXPECT_EQ(GetProfileString(ini, "System", "Late", "d"), QStringLiteral("d"));
    EXPECT_EQ(GetProfileString(ini, "System", "# Caption", "d"), QStringLiteral("d"));
    EXPECT_EQ(GetProfileString(ini, "System", "orphan", "d"), QStringLiteral("d"));
    EXPECT_EQ(GetProfileString(ini, "; comment", "", "d"), QStringLiteral("d"));

    // Old Mac line ends (CR alone) also end lines.
    ASSERT_TRUE(WriteFile(ini, "[System]\rQuality=70\rCaption=c\r"));
    EXPECT_EQ(ReadQuality(ini), 70);
    EXPECT_EQ(ReadCaptionSetting(ini), QStringLiteral("c"));
}

TEST(ProfileFileTest, IntegersReadLikeThePlatformReader)
{
    EXPECT_EQ(ParseProfileInt("42"), 42);
    EXPECT_EQ(ParseProfileInt("  \t+7"), 7);
    EXPECT_EQ(ParseProfileInt("-15"), -15);
    EXPECT_EQ(ParseProfileInt("12abc"), 12);
    EXPECT_EQ(ParseProfileInt("3.9"), 3);
    EXPECT_EQ(ParseProfileInt("abc"), 0);
    EXPECT_EQ(ParseProfileInt(""), 0);
    EXPECT_EQ(ParseProfileInt("-"), 0);
    EXPECT_EQ(ParseProfileInt("0x1F"), 31);
    EXPECT_EQ(ParseProfileInt("0XffG"), 255);
    EXPECT_EQ(ParseProfileInt("-0x10"), -16);
    EXPECT_EQ(ParseProfileInt("0x"), 0);
    EXPECT_EQ(ParseProfileInt("+ 5"), 0);
    EXPECT_EQ(ParseProfileInt("１２"), 0); // full-width digits are not digits here
    // Overflow wraps around modulo 2^32 instead of being undefined.
    EXPECT_EQ(ParseProfileInt("2147483647"), 2147483647);
    EXPECT_EQ(ParseProfileInt("2147483648"), INT32_MIN);
    EXPECT_EQ(ParseProfileInt("4294967297"), 1);
    EXPECT_EQ(ParseProfileInt("-2147483648"), INT32_MIN);
    EXPECT_EQ(ParseProfileInt("0xFFFFFFFF"), -1);
    EXPECT_EQ(ParseProfileInt("99999999999999999999"), int32_t(uint32_t(1661992959u)));

    // The default is for an absent key only; a quoted number reads as the number.
    Sandbox box;
    const QString ini = box.File("n.ini");
    ASSERT_TRUE(WriteFile(ini, "[S]\nempty=\njunk=abc\nquoted=\"12\"\nneg= -3 \n"));
    EXPECT_EQ(GetProfileInt(ini, "S", "empty", 5), 5); // an empty value counts as absent
    EXPECT_EQ(GetProfileInt(ini, "S", "junk", 5), 0);
    EXPECT_EQ(GetProfileInt(ini, "S", "quoted", 5), 12);
    EXPECT_EQ(GetProfileInt(ini, "S", "neg", 5), -3);
    EXPECT_EQ(GetProfileInt(ini, "S", "absent", 5), 5);
    EXPECT_EQ(GetProfileInt(box.File("none.ini"), "S", "neg", 5), 5);
}

TEST(ProfileFileTest, LayerFileWithOnlyXAndY)
{
    Sandbox box;
    const QString layer = box.File("layer.lmv");
    ASSERT_TRUE(WriteFile(layer, "[layer]\r\nx=100\r\ny=150\r\n"));
    EXPECT_EQ(GetProfileInt(layer, "layer", "x", 0), 100);
    EXPECT_EQ(GetProfileInt(layer, "layer", "y", 0), 150);
    EXPECT_EQ(GetProfileInt(layer, "layer", "width", 0), 0);
    EXPECT_EQ(GetProfileInt(layer, "layer", "height", 0), 0);
}

TEST(ProfileFileTest, WriterKeepsEverythingElse)
{
    Sandbox box;
    const QString ini = box.File("setting.ini");
    ASSERT_TRUE(WriteFile(ini,
        "; kept comment\n"
        "[System]\n"
        "  tempPath = old\n"
        "Quality=80\n"
        "\n"
        "[Other]\n"
        "key=value\n"));

    ASSERT_TRUE(WriteProfileString(ini, "system", "TempPath ", "/opt/lumavo/temple"));
    ASSERT_TRUE(WriteProfileString(ini, "System", "Caption", QStringLiteral("欢迎")));
    ASSERT_TRUE(WriteProfileString(ini, "New", "a", "1"));
    EXPECT_EQ(ReadFile(ini),
        QByteArray("; kept comment\n"
                   "[System]\n"
                   "  tempPath =/opt/lumavo/temple\n"
                   "Quality=80\n"
                   "Caption=\xE6\xAC\xA2\xE8\xBF\x8E\n"
                   "\n"
                   "[Other]\n"
                   "key=value\n"
                   "\n"
                   "[New]\n"
                   "a=1\n"));
    EXPECT_EQ(GetProfileString(ini, "System", "TempPath"), QStringLiteral("/opt/lumavo/temple"));

    // A BOM and CRLF line ends stay as they were.
    const QString crlf = box.File("crlf.ini");
    ASSERT_TRUE(WriteFile(crlf, "\xEF\xBB\xBF[System]\r\nQuality=80\r\n"));
    ASSERT_TRUE(WriteProfileString(crlf, "System", "Quality", "95"));
    ASSERT_TRUE(WriteProfileString(crlf, "System", "TempPath", "t"));
    EXPECT_EQ(ReadFile(crlf), QByteArray("\xEF\xBB\xBF[System]\r\nQuality=95\r\nTempPath=t\r\n"));
}

// UTF-16 with a byte-order mark, as a Windows editor's "Unicode" saves it, in
// either byte order, reads like any other profile file.
TEST(ProfileFileTest, ReadsUtf16WithItsByteOrderMark)
{
    Sandbox box;
    const QString ini = box.File("setting.ini");
    for (const bool littleEndian : { true, false }) {
        SCOPED_TRACE(littleEndian ? "UTF-16LE" : "UTF-16BE");
        ASSERT_TRUE(WriteFile(ini,
            test::Utf16WithBom(
                QStringLiteral("[System]\r\nQuality=77\r\nCaption=欢迎光临 𠀋\r\n[layer]\rx=5"), littleEndian)));
        EXPECT_EQ(ReadQuality(ini), 77);
        EXPECT_EQ(ReadCaptionSetting(ini), QStringLiteral("欢迎光临 𠀋"));
        EXPECT_EQ(GetProfileInt(ini, "layer", "x", 0), 5);
    }
}

// A write keeps the code page the file was written in, and every line it
// does not change, byte for byte.
TEST(ProfileFileTest, WriterKeepsTheCodePageOfTheFile)
{
    Sandbox box;
    const QString gbk = box.File("gbk.ini");
    const QByteArray undecodable = "Note=\xFF\xFE\x80";
    ASSERT_TRUE(WriteFile(gbk, ToGbk(QStringLiteral("[System]\r\nCaption=欢迎光临\r\n")) + undecodable + "\r\n"));
    ASSERT_TRUE(WriteProfileString(gbk, "System", "TempPath", QStringLiteral("D:\\影楼\\temple")));
    EXPECT_EQ(ReadFile(gbk),
        ToGbk(QStringLiteral("[System]\r\nCaption=欢迎光临\r\n")) + undecodable
            + ToGbk(QStringLiteral("\r\nTempPath=D:\\影楼\\temple\r\n")));
    EXPECT_EQ(GetProfileString(gbk, "System", "TempPath"), QStringLiteral("D:\\影楼\\temple"));
    // A value GBK has no bytes for is refused rather than stored as '?'.
    const QByteArray before = ReadFile(gbk);
    EXPECT_FALSE(WriteProfileString(gbk, "System", "Caption", QStringLiteral("ok \U0001F600")));
    EXPECT_EQ(ReadFile(gbk), before);

    for (const bool littleEndian : { true, false }) {
        SCOPED_TRACE(littleEndian ? "UTF-16LE" : "UTF-16BE");
        const QString wide = box.File("wide.ini");
        ASSERT_TRUE(WriteFile(wide, test::Utf16WithBom(QStringLiteral("[System]\r\nQuality=80\r\n"), littleEndian)));
        ASSERT_TRUE(WriteProfileString(wide, "System", "Caption", QStringLiteral("欢迎 \U0001F600")));
        EXPECT_EQ(ReadFile(wide),
            test::Utf16WithBom(QStringLiteral("[System]\r\nQuality=80\r\nCaption=欢迎 \U0001F600\r\n"), littleEndian));
    }

    // A new file, and one of ASCII alone, are written as the platform writes them.
    const QString fresh = box.File("new.ini");
    const QString ascii = box.File("ascii.ini");
    ASSERT_TRUE(WriteFile(ascii, "[System]\nQuality=80\n"));
    for (const QString& ini : { fresh, ascii }) {
        ASSERT_TRUE(WriteProfileString(ini, "System", "Caption", QStringLiteral("欢迎")));
#ifdef _WIN32
        EXPECT_TRUE(ReadFile(ini).contains(ToGbk(QStringLiteral("Caption=欢迎"))));
#else
        EXPECT_TRUE(ReadFile(ini).contains(QStringLiteral("Caption=欢迎").toUtf8()));
#endif
        EXPECT_EQ(ReadCaptionSetting(ini), QStringLiteral("欢迎"));
    }
}

// What is no profile file is refused at once: a FIFO (opening one would wait
// for a writer), a device that never ends, a folder, anything over 1 MB.
TEST(ProfileFileTest, OnlyRegularFilesOfAtMostOneMegabyteAreRead)
{
    Sandbox box;
    const QByteArray settings = "[System]\nQuality=70\n";
    const QString limit = box.File("limit.ini");
    ASSERT_TRUE(WriteFile(limit, settings + QByteArray(kMaxProfileFileBytes - settings.size(), ';')));
    EXPECT_EQ(ProfileContents(limit).state(), ProfileFileState::Read);
    EXPECT_EQ(ReadQuality(limit), 70);

    const QString huge = box.File("huge.ini");
    ASSERT_TRUE(WriteFile(huge, settings + QByteArray(kMaxProfileFileBytes, ';')));
    struct Case {
        QString path;
        ProfileFileState state;
    };
    std::vector<Case> cases = { { huge, ProfileFileState::TooLarge }, { box.path(), ProfileFileState::NotAFile },
        { box.File("absent.ini"), ProfileFileState::Missing } };
#ifndef _WIN32
    const QString fifo = box.File("fifo.ini");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString device = box.File("zero.ini");
    ASSERT_TRUE(QFile::link("/dev/zero", device));
    cases.push_back({ fifo, ProfileFileState::NotAFile });
    cases.push_back({ device, ProfileFileState::NotAFile });
#endif
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        EXPECT_EQ(ProfileContents(c.path).state(), c.state);
        EXPECT_EQ(ReadQuality(c.path), kDefaultQuality);
        if (c.state != ProfileFileState::Missing) {
            EXPECT_FALSE(WriteProfileString(c.path, "System", "Quality", "50"));
        }
    }
    EXPECT_EQ(QFileInfo(huge).size(), settings.size() + kMaxProfileFileBytes);
#ifndef _WIN32
    EXPECT_FALSE(QFileInfo(fifo).isFile());
    EXPECT_TRUE(QFileInfo(device).isSymLink());
#endif
}

TEST(ProfileFileTest, WriterCreatesFilesAtomicallyAndRefusesDamage)
{
    Sandbox box;
    const QString ini = box.File("setting.ini");
    ASSERT_TRUE(WriteProfileString(ini, "System", "TempPath", QStringLiteral("D:\\影楼\\temple")));
    EXPECT_EQ(GetProfileString(ini, "System", "TempPath"), QStringLiteral("D:\\影楼\\temple"));
    ASSERT_TRUE(WriteProfileString(ini, "System", "TempPath", "again"));
    // The replacement leaves no temporary file behind.
    EXPECT_EQ(
        QDir(box.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot), QStringList { "setting.ini" });

    // Failures are reported and leave the file as it was.
    const QByteArray before = ReadFile(ini);
    EXPECT_FALSE(WriteProfileString(box.File("no/such/folder/setting.ini"), "System", "a", "1"));
    EXPECT_FALSE(WriteProfileString(ini, "System", "Caption", "line\n[Injected]\nx=1"));
    EXPECT_FALSE(WriteProfileString(ini, "System", "a=b", "1"));
    EXPECT_FALSE(WriteProfileString(ini, "System", " ", "1"));
    EXPECT_FALSE(WriteProfileString(ini, "", "a", "1"));
    EXPECT_FALSE(WriteProfileString(box.path(), "System", "a", "1")); // a folder, not a file
    EXPECT_EQ(ReadFile(ini), before);
}

TEST(ProfileFileTest, ValuesComeBackWholeAndExact)
{
    Sandbox box;
    const QString ini = box.File("long.ini");
    QString longValue;
    for (int i = 0; longValue.size() < 400; ++i)
        longValue += QStringLiteral("段%1/").arg(i);
    ASSERT_GT(longValue.size(), 300);
    ASSERT_TRUE(WriteFile(ini, ("[System]\nTempPath=" + longValue + "\n").toUtf8()));
    EXPECT_EQ(GetProfileString(ini, "System", "TempPath"), longValue);

    // Blanks at the ends and a value that is itself quoted survive a write and a read.
    for (const QString& value : { QStringLiteral("  padded "), QStringLiteral("\"quoted\""), QStringLiteral("'single'"),
             QStringLiteral("a \"mid\" b"), QString(), longValue }) {
        ASSERT_TRUE(WriteProfileString(ini, "System", "Value", value));
        EXPECT_EQ(GetProfileString(ini, "System", "Value", "absent"), value);
    }
}

TEST(ProfileFileTest, QualityAndCaptionSettings)
{
    Sandbox box;
    const QString ini = box.File("setting.ini");
    EXPECT_EQ(ReadQuality(ini), kDefaultQuality); // no file
    EXPECT_TRUE(ReadCaptionSetting(ini).isEmpty());
    ASSERT_TRUE(WriteProfileString(ini, "System", "TempPath", "x"));
    EXPECT_EQ(ReadQuality(ini), 90); // no key
    for (const auto& [written, read] : { std::pair { "75", 75 }, { "0", 0 }, { "100", 100 }, { " 60 ", 60 } }) {
        ASSERT_TRUE(WriteFile(ini, QByteArray("[System]\nQuality=") + written + "\n"));
        EXPECT_EQ(ReadQuality(ini), read) << written;
    }
    // What is no quality anyone set counts as absent, not as the lowest quality.
    for (const auto& [written, read] : { std::pair { "abc", 90 }, { "-5", 90 }, { " -0x10", 90 }, { "", 90 },
             { "+80", 80 }, { "0x50", 80 }, { "85%", 85 } }) {
        ASSERT_TRUE(WriteFile(ini, QByteArray("[System]\nQuality=") + written + "\n"));
        EXPECT_EQ(ReadQuality(ini), read) << written;
    }
    ASSERT_TRUE(WriteFile(ini, "[Other]\nQuality=10\nCaption=no\n"));
    EXPECT_EQ(ReadQuality(ini), 90);
    EXPECT_TRUE(ReadCaptionSetting(ini).isEmpty());
}

TEST(ProfileFileTest, ProgramFolderComesFromTheExecutable)
{
    const QString folder = ProgramFolder();
    EXPECT_EQ(folder, QCoreApplication::applicationDirPath() + "/");
    EXPECT_EQ(SettingsPath(), folder + "setting.ini");
    EXPECT_EQ(ToolFolderName(), QStringLiteral("增效工具包"));

    SetProgramFolderForTesting("/tmp/kiosk");
    EXPECT_EQ(SettingsPath(), QStringLiteral("/tmp/kiosk/setting.ini"));
    SetProgramFolderForTesting(QString());
    EXPECT_EQ(ProgramFolder(), folder);

    // The build lays out the settings beside the programs.
    const ProfileContents built(test::ProgramDir() + "/setting.ini");
    EXPECT_EQ(built.state(), ProfileFileState::Read);
    EXPECT_TRUE(built.Value("System", "Quality").has_value());
}

} // namespace
} // namespace lumavo
