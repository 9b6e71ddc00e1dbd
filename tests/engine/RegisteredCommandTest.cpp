#include "handoffs/RegisteredCommand.h"

#include "TestUtils.h"

#include <gtest/gtest.h>

namespace lumavo {
namespace {

using test::Sandbox;
using test::WriteFile;

TEST(RegisteredCommandTest, SplitsCommandsAndKeepsFileWhole)
{
    const QString file = QStringLiteral("/tmp/my photos/VIVudiz2UR.png");

    ProgramCall call = CommandForFile(QStringLiteral("\"C:\\Prog Files\\ed.exe\" \"%1\""), file);
    EXPECT_EQ(call.program, QStringLiteral("C:\\Prog Files\\ed.exe"));
    EXPECT_EQ(call.arguments, QStringList { file });

    call = CommandForFile(QStringLiteral("  gimp "), file);
    EXPECT_EQ(call.program, QStringLiteral("gimp"));
    EXPECT_EQ(call.arguments, QStringList { file });

    call = CommandForFile(QStringLiteral("gimp --new %1"), file);
    EXPECT_EQ(call.program, QStringLiteral("gimp"));
    EXPECT_EQ(call.arguments, (QStringList { QStringLiteral("--new"), file }));

    // Inside a longer argument, unquoted: the path is still not split at its blank.
    call = CommandForFile(QStringLiteral("\"/opt/my editor/ed\" -q --file=%1 \"two words\" %*"), file);
    EXPECT_EQ(call.program, QStringLiteral("/opt/my editor/ed"));
    EXPECT_EQ(call.arguments,
        (QStringList { QStringLiteral("-q"), QStringLiteral("--file=") + file, QStringLiteral("two words") }));

    // Without a placeholder the file goes last; a missing closing quote keeps the rest as the program.
    call = CommandForFile(QStringLiteral("\"/opt/ed\" --batch"), file);
    EXPECT_EQ(call.arguments, (QStringList { QStringLiteral("--batch"), file }));
    call = CommandForFile(QStringLiteral("\"/opt/my ed"), file);
    EXPECT_EQ(call.program, QStringLiteral("/opt/my ed"));
    EXPECT_EQ(call.arguments, QStringList { file });

    call = CommandForFile(QStringLiteral("   "), file);
    EXPECT_TRUE(call.program.isEmpty());
    EXPECT_TRUE(call.arguments.isEmpty());
}

TEST(RegisteredCommandTest, UnquotedPathOfExistingProgramStaysWhole)
{
    Sandbox box;
    const QString program = box.File("photo editor -new");
    ASSERT_TRUE(WriteFile(program, "#!/bin/sh\n"));
    const ProgramCall call = CommandForFile(program, QStringLiteral("/x/a b.png"));
    EXPECT_EQ(call.program, program);
    EXPECT_EQ(call.arguments, QStringList { QStringLiteral("/x/a b.png") });

    // Had it not existed, the text would have been split at its blanks.
    const ProgramCall split = CommandForFile(box.File("other editor"), QStringLiteral("/x/a.png"));
    EXPECT_EQ(split.program, box.File("other"));
    EXPECT_EQ(split.arguments, (QStringList { QStringLiteral("editor"), QStringLiteral("/x/a.png") }));
}

} // namespace
} // namespace lumavo
