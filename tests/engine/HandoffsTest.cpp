#include "handoffs/Handoffs.h"

#include "HandoffSandbox.h"
#include "TestUtils.h"
#include "handoffs/ExchangeFile.h"
#include "handoffs/OutsidePrograms.h"
#include "platform/ProgramFolder.h"
#include "platform/Registry.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QThread>

#include <gtest/gtest.h>

// The stand-in programs are shell scripts.
#ifndef Q_OS_WIN

namespace lumavo {
namespace {

using test::ReadFile;
using test::WriteScript;

const QByteArray kEditorKey = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Photoshop.PlugIn\\shell\\open\\command]\n";
const QByteArray kKeyingKey = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Ultimatte\\AdvantEdge]\n";

// Its own registry file, exchange folder and program folder.
struct Machine : test::HandoffSandbox {
    Machine()
        : HandoffSandbox("exchange folder")
    {
        SetProgramFolderForTesting(programFolder);
    }
};

std::unique_ptr<PhotoImage> Picture()
{
    return PhotoImage::Adopt(test::MakeTestPhoto(48, 32).convertToFormat(QImage::Format_ARGB32_Premultiplied));
}

TEST(HandoffsTest, PhotoEditorAnswersEachStepOfItsSequence)
{
    Machine machine;
    std::unique_ptr<PhotoImage> picture = Picture();

    // No key: nothing is written.
    machine.SetRegistry("; empty\n");
    Handoff handoff = HandToPhotoEditor(*picture);
    EXPECT_EQ(handoff.result, HandoffResult::NotRegistered);
    EXPECT_FALSE(QFileInfo::exists(machine.ExchangeFile()));

    // The key without a command, or with a blank one: the value cannot be used.
    machine.SetRegistry(kEditorKey);
    EXPECT_EQ(HandToPhotoEditor(*picture).result, HandoffResult::UnreadableValue);
    machine.SetRegistry(kEditorKey + "@=\"   \"\n");
    EXPECT_EQ(HandToPhotoEditor(*picture).result, HandoffResult::UnreadableValue);
    EXPECT_FALSE(QFileInfo::exists(machine.ExchangeFile()));

    // A command naming no program: the file is written, the start fails and says which program.
    machine.SetRegistry(
        kEditorKey + "@=\"\\\"" + machine.sandbox.File("absent editor").toUtf8() + "\\\" \\\"%1\\\"\"\n");
    handoff = HandToPhotoEditor(*picture);
    EXPECT_EQ(handoff.result, HandoffResult::CouldNotStart);
    EXPECT_EQ(handoff.program, machine.sandbox.File("absent editor"));
    EXPECT_TRUE(QFileInfo::exists(machine.ExchangeFile()));

    // A real editor gets the exchange file as one argument.
    const QString editor = machine.sandbox.File("my editor.sh");
    const QString seen = machine.sandbox.File("seen");
    ASSERT_TRUE(WriteScript(editor, "printf '%s\\n' \"$#\" \"$1\" > '" + seen.toUtf8() + "'\n"));
    machine.SetRegistry(kEditorKey + "@=\"\\\"" + editor.toUtf8() + "\\\" \\\"%1\\\"\"\n");
    handoff = HandToPhotoEditor(*picture);
    EXPECT_EQ(handoff.result, HandoffResult::Started);
    EXPECT_EQ(handoff.program, editor);
    EXPECT_EQ(handoff.exchangeFile, machine.ExchangeFile());
    ASSERT_TRUE(test::WaitForFile(seen));
    EXPECT_EQ(ReadFile(seen), "1\n" + machine.ExchangeFile().toUtf8() + "\n");
    EXPECT_EQ(QImageReader(machine.ExchangeFile()).size(), QSize(48, 32));
}

TEST(HandoffsTest, ToneToolAndTheExchangeFileThatCannotBeWritten)
{
    Machine machine;
    std::unique_ptr<PhotoImage> picture = Picture();

    // No tone tool in the tool folder.
    Handoff handoff = HandToToneTool(*picture);
    EXPECT_EQ(handoff.result, HandoffResult::CouldNotStart);
    EXPECT_EQ(handoff.program, ToneToolPath());

    const QString seen = machine.sandbox.File("tone-seen");
    ASSERT_TRUE(WriteScript(ToneToolPath(), "printf '%s' \"$1\" > '" + seen.toUtf8() + "'\n"));
    handoff = HandToToneTool(*picture);
    EXPECT_EQ(handoff.result, HandoffResult::Started);
    ASSERT_TRUE(test::WaitForFile(seen));
    EXPECT_EQ(ReadFile(seen), machine.ExchangeFile().toUtf8());

    // A folder where the exchange file belongs: not written, nothing started.
    ASSERT_TRUE(QFile::remove(machine.ExchangeFile()));
    ASSERT_TRUE(QDir().mkpath(machine.ExchangeFile()));
    ASSERT_TRUE(QFile::remove(seen));
    handoff = HandToToneTool(*picture);
    EXPECT_EQ(handoff.result, HandoffResult::NotWritten);
    QThread::msleep(200);
    EXPECT_FALSE(QFileInfo::exists(seen));
    machine.SetRegistry(kEditorKey + "@=\"/bin/true\"\n");
    EXPECT_EQ(HandToPhotoEditor(*picture).result, HandoffResult::NotWritten);
}

TEST(HandoffsTest, KeyingInstallerIsJudgedByTheRegistryItLeaves)
{
    Machine machine;
    machine.SetRegistry(QByteArray());
    EXPECT_FALSE(KeyingSoftwareRegistered());
    machine.SetRegistry(kKeyingKey);
    EXPECT_TRUE(KeyingSoftwareRegistered());

    // No installer.
    KeyingInstall install = InstallKeyingSoftware();
    EXPECT_EQ(install.result, KeyingResult::CouldNotStart);
    EXPECT_EQ(install.installer, KeyingInstallerPath());

    // The installer writes the registry it would leave; each result is read afresh after it ended.
    const auto installing = [&](const QByteArray& registered) {
        machine.SetRegistry(QByteArray());
        EXPECT_TRUE(WriteScript(KeyingInstallerPath(),
            "sleep 0.2\nprintf '%s' '" + registered + "' > '" + machine.registry.toUtf8() + "'\n"));
        return InstallKeyingSoftware().result;
    };
    EXPECT_EQ(installing("; nothing\n"), KeyingResult::NotRegistered);
    EXPECT_EQ(installing(kKeyingKey), KeyingResult::NoFolderValue);
    EXPECT_EQ(installing(kKeyingKey + "\"Pathname\"=\"/opt/keying\"\n"), KeyingResult::Installed);
}

} // namespace
} // namespace lumavo

#endif
