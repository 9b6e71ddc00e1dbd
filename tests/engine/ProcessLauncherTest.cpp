#include "platform/ProcessLauncher.h"

#include "TestUtils.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

namespace lumavo {
namespace {

using test::ReadFile;
using test::Sandbox;
using test::WriteFile;

#ifdef Q_OS_UNIX
// A small program of the test's own: writes its argument count and
// arguments, one a line, to the file named in the script.
// An executable shell script in the sandbox; empty when it cannot be written.
QString WriteScript(const Sandbox& box, const QString& name, const QByteArray& body)
{
    const QString path = box.File(name);
    return test::WriteScript(path, body) ? path : QString();
}

TEST(ProcessLauncherTest, StartsProgramWithWholeArguments)
{
    Sandbox box;
    const QString out = box.File("args.txt");
    const QString script = WriteScript(box, "record args.sh",
        "{ echo $#; for a in \"$@\"; do echo \"$a\"; done; } > '" + out.toUtf8() + ".tmp'\nmv '" + out.toUtf8()
            + ".tmp' '" + out.toUtf8() + "'\n");
    ASSERT_FALSE(script.isEmpty());

    const QString photo = box.File("my photos/VIVudiz2UR.png");
    ASSERT_TRUE(StartProgram(script, { photo, QStringLiteral("-x") }));
    ASSERT_TRUE(test::WaitForFile(out, 5000));
    EXPECT_EQ(ReadFile(out), "2\n" + photo.toUtf8() + "\n-x\n");

    EXPECT_FALSE(StartProgram(box.File("absent"), { photo }));
    EXPECT_FALSE(StartProgram(QString(), {}));
    const QString notExecutable = box.File("plain.sh");
    ASSERT_TRUE(WriteFile(notExecutable, "#!/bin/sh\ntouch '" + box.File("ran").toUtf8() + "'\n"));
    QFile::setPermissions(notExecutable, QFile::ReadOwner | QFile::WriteOwner);
    EXPECT_FALSE(StartProgram(notExecutable, {}));
    QThread::msleep(100);
    EXPECT_FALSE(QFileInfo::exists(box.File("ran")));
}

TEST(ProcessLauncherTest, RunAndWaitReturnsAfterProgramEnds)
{
    Sandbox box;
    const QString done = box.File("done");
    const QString script = WriteScript(box, "slow installer", "sleep 0.2\necho ok > '" + done.toUtf8() + "'\n");
    ASSERT_FALSE(script.isEmpty());

    // Events keep flowing during the wait (that is what keeps windows painting).
    bool timerFired = false;
    QTimer::singleShot(20, [&] { timerFired = true; });
    QElapsedTimer timer;
    timer.start();
    EXPECT_TRUE(RunAndWait(script));
    EXPECT_GE(timer.elapsed(), 150);
    EXPECT_EQ(ReadFile(done), QByteArray("ok\n"));
    EXPECT_TRUE(timerFired);

    // A program that fails still ended: the wait is over.
    const QString failing = WriteScript(box, "failing", "exit 3\n");
    EXPECT_TRUE(RunAndWait(failing));

    timer.restart();
    EXPECT_FALSE(RunAndWait(box.File("absent")));
    const QString notExecutable = box.File("plain");
    ASSERT_TRUE(WriteFile(notExecutable, "#!/bin/sh\nsleep 5\n"));
    QFile::setPermissions(notExecutable, QFile::ReadOwner | QFile::WriteOwner);
    EXPECT_FALSE(RunAndWait(notExecutable));
    EXPECT_FALSE(RunAndWait(box.path())); // a folder
    EXPECT_LT(timer.elapsed(), 3000);
}
#endif

} // namespace
} // namespace lumavo
