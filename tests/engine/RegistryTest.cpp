#include "platform/Registry.h"

#include "TestUtils.h"
#include "platform/RegistryFile.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <gtest/gtest.h>

namespace lumavo {
namespace {

using test::Sandbox;
using test::WriteFile;

const QString kEditorKey
    = QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Photoshop.PlugIn\\shell\\open\\command");
const QString kKeyingKey = QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Ultimatte\\AdvantEdge");

TEST(RegistryFileTest, ReadsExportedKeysAndValues)
{
    const QString longValue = QStringLiteral("/opt/") + QString(292, u'x') + QStringLiteral("/ed");
    ASSERT_EQ(longValue.size(), 300);
    const QByteArray text = "\xEF\xBB\xBF"
                            "Windows Registry Editor Version 5.00\r\n"
                            "\r\n"
                            "; the photo editor\r\n"
                            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Photoshop.PlugIn\\shell\\open\\command]\r\n"
                            "@=\"\\\"C:\\\\Program Files\\\\编辑器\\\\ed.exe\\\" \\\"%1\\\"\"\r\n"
                            "\r\n"
                            "[HKLM\\Software\\Ultimatte\\AdvantEdge]\r\n"
                            "# a comment inside a key\r\n"
                            "\"Pathname\"=\"C:\\\\Keying\"\r\n"
                            "\"Count\"=dword:00000001\r\n"
                            "junk inside a key\r\n"
                            "\"NoEquals\" \"x\"\r\n"
                            "\"Long\"=\""
        + longValue.toUtf8()
        + "\"\r\n"
          "\"Bare\" = /usr/bin/gimp --new\r\n"
          "\"Hand\"=\"C:\\Tools\\x.exe\"\r\n"
          "[HKEY_CURRENT_USER\\Broken\r\n"
          "\"Stray\"=\"lands nowhere\"\r\n"
          "this line is junk\r\n"
          "\"Unclosed=\"x\"\r\n"
          "[HKCU\\Software\\Later]\r\n"
          "\"Name\"=\"kept\"\r\n"
          "\"Unterminated\"=\"no end\r\n"
          "[HKEY_CURRENT_USER\\Software\\Empty]\r\n";
    const RegistryFile file = RegistryFile::Parse(text);

    EXPECT_EQ(file.Value(kEditorKey, QString()), QStringLiteral("\"C:\\Program Files\\编辑器\\ed.exe\" \"%1\""));
    // Key paths and value names compare without regard to case; HKLM is the long hive name.
    EXPECT_TRUE(file.HasKey(kKeyingKey.toLower()));
    EXPECT_TRUE(file.HasKey(QStringLiteral("HKLM\\SOFTWARE\\ULTIMATTE\\ADVANTEDGE\\")));
    EXPECT_EQ(file.Value(kKeyingKey, QStringLiteral("PATHNAME")), QStringLiteral("C:\\Keying"));
    EXPECT_EQ(file.Value(kKeyingKey, QStringLiteral("long")), longValue);
    EXPECT_EQ(file.Value(kKeyingKey, QStringLiteral("Bare")), QStringLiteral("/usr/bin/gimp --new"));
    EXPECT_EQ(file.Value(kKeyingKey, QStringLiteral("Hand")), QStringLiteral("C:\\Tools\\x.exe"));
    EXPECT_FALSE(file.Value(kKeyingKey, QStringLiteral("Count"))); // a number, not text
    EXPECT_FALSE(file.Value(kKeyingKey, QString())); // no default value
    EXPECT_FALSE(file.Value(kKeyingKey, QStringLiteral("Stray")));
    EXPECT_FALSE(file.HasKey(QStringLiteral("HKEY_CURRENT_USER\\Broken")));

    // Junk lines do not cost the keys after them.
    EXPECT_EQ(file.Value(QStringLiteral("HKEY_CURRENT_USER\\Software\\Later"), QStringLiteral("Name")),
        QStringLiteral("kept"));
    EXPECT_FALSE(file.Value(QStringLiteral("HKEY_CURRENT_USER\\Software\\Later"), QStringLiteral("Unterminated")));
    EXPECT_TRUE(file.HasKey(QStringLiteral("HKCU\\Software\\Empty")));
    EXPECT_FALSE(file.HasKey(QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes")));
}

TEST(RegistryFileTest, ReadsUtf16ExportsAndExpandableText)
{
    // The registry editor exports UTF-16LE with a byte-order mark; an
    // expandable string comes as hex(2) bytes running over several lines.
    const QString text = QStringLiteral("Windows Registry Editor Version 5.00\r\n\r\n"
                                        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Ultimatte\\AdvantEdge]\r\n"
                                        "\"Pathname\"=\"D:\\\\抠像\"\r\n"
                                        "\"Exp\"=hex(2):25,00,41,00,\\\r\n"
                                        "  25,00,00,00\r\n");
    QStringEncoder encoder(QStringEncoder::Utf16LE);
    const QByteArray bytes = QByteArray("\xFF\xFE", 2) + QByteArray(encoder(text));
    const RegistryFile file = RegistryFile::Parse(bytes);
    EXPECT_EQ(file.Value(kKeyingKey, QStringLiteral("Pathname")), QStringLiteral("D:\\抠像"));
    EXPECT_EQ(file.Value(kKeyingKey, QStringLiteral("Exp")), QStringLiteral("%A%"));
    // The same in big-endian order, with its own mark.
    QStringEncoder bigEndian(QStringEncoder::Utf16BE);
    const RegistryFile big = RegistryFile::Parse(QByteArray("\xFE\xFF", 2) + QByteArray(bigEndian(text)));
    EXPECT_EQ(big.Value(kKeyingKey, QStringLiteral("Pathname")), QStringLiteral("D:\\抠像"));

    Sandbox box;
    EXPECT_FALSE(RegistryFile::Load(box.File("absent.reg")).HasKey(kKeyingKey));
}

#ifndef Q_OS_WIN
TEST(RegistryTest, UserFileAnswersBeforeSystemFile)
{
    Sandbox box;
    const QString user = box.File("user.reg");
    const QString system = box.File("system.reg");
    ASSERT_TRUE(WriteFile(user,
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Photoshop.PlugIn\\shell\\open\\command]\n"
        "@=\"gimp\"\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Ultimatte\\AdvantEdge]\n"));
    ASSERT_TRUE(WriteFile(system,
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Photoshop.PlugIn\\shell\\open\\command]\n"
        "@=\"/usr/bin/krita\"\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Ultimatte\\AdvantEdge]\n"
        "\"Pathname\"=\"/opt/keying\"\n"
        "[HKEY_CURRENT_USER\\Software\\OnlySystem]\n"
        "\"A\"=\"b\"\n"));
    SetRegistryFilesForTesting({ user, box.File("missing.reg"), system });
    EXPECT_EQ(RegistryFiles().size(), 3);

    const QString editorKey = QStringLiteral("SOFTWARE\\Classes\\Photoshop.PlugIn\\shell\\open\\command");
    const QString keyingKey = QStringLiteral("SOFTWARE\\Ultimatte\\AdvantEdge");
    EXPECT_EQ(ReadRegistryValue(RegistryHive::LocalMachine, editorKey, QString()), QStringLiteral("gimp"));
    // The user's file holds the key without the value: it answers, and the value is absent.
    EXPECT_TRUE(RegistryKeyExists(RegistryHive::LocalMachine, keyingKey));
    EXPECT_FALSE(ReadRegistryValue(RegistryHive::LocalMachine, keyingKey, QStringLiteral("Pathname")));
    // Keys only the system's file holds are found there; hives are told apart.
    EXPECT_EQ(ReadRegistryValue(RegistryHive::CurrentUser, QStringLiteral("software\\onlysystem"), QStringLiteral("a")),
        QStringLiteral("b"));
    EXPECT_FALSE(RegistryKeyExists(RegistryHive::LocalMachine, QStringLiteral("Software\\OnlySystem")));
    EXPECT_FALSE(RegistryKeyExists(RegistryHive::LocalMachine, QStringLiteral("SOFTWARE\\Absent")));
    EXPECT_FALSE(ReadRegistryValue(RegistryHive::LocalMachine, QStringLiteral("SOFTWARE\\Absent"), QString()));

    SetRegistryFilesForTesting({});
    const QStringList standard = RegistryFiles();
    ASSERT_FALSE(standard.isEmpty());
    EXPECT_TRUE(standard.first().endsWith(QStringLiteral("/lumavo/registry.reg")));
    EXPECT_FALSE(standard.contains(user));
}
#endif

} // namespace
} // namespace lumavo
