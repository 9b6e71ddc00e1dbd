#include "handoffs/ExchangeFileWatch.h"

#include "TestUtils.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTimer>

#include <gtest/gtest.h>

#include <vector>

namespace lumavo {
namespace {

using test::ReadFile;
using test::Sandbox;
using test::WriteFile;

// What the file held each time the watch told it was written back.
struct Told {
    std::vector<QByteArray> contents;

    Told(ExchangeFileWatch& watch, const QString& path)
    {
        QObject::connect(
            &watch, &ExchangeFileWatch::Rewritten, &watch, [this, path] { contents.push_back(ReadFile(path)); });
    }
};

// Runs the event loop for a while, as the edit window does between clicks.
void Wait(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs the event loop until `count` reports arrived or `ms` have passed.
void WaitFor(const Told& told, size_t count, int ms)
{
    for (int waited = 0; waited < ms && told.contents.size() < count; waited += 20)
        Wait(20);
}

// An outside program, as the tone tool or an editor runs beside the window.
void StartProgram(QProcess& program, const QString& script)
{
    program.start(QStringLiteral("/bin/sh"), { QStringLiteral("-c"), script });
    ASSERT_TRUE(program.waitForStarted(5000));
}

#ifndef Q_OS_WIN

TEST(ExchangeFileWatchTest, TellsOnceWhenTheProgramHasFinishedWriting)
{
    Sandbox box;
    const QString file = box.File("exchange file.png");
    ASSERT_TRUE(WriteFile(file, "handed over"));
    ExchangeFileWatch watch;
    Told told(watch, file);
    watch.Start(file, FileStamp::Of(file));

    // A program that takes its time, then writes in two steps closer
    // together than the watch waits: told once, with the whole file.
    QProcess program;
    StartProgram(
        program, QStringLiteral("sleep 1; printf first > '%1'; sleep 0.05; printf ' and last' >> '%1'").arg(file));
    Wait(500);
    EXPECT_TRUE(told.contents.empty()) << "an unchanged file was reported";
    WaitFor(told, 1, 5000);
    // It has ended already (the event loop saw it go) or ends now.
    ASSERT_TRUE(program.state() == QProcess::NotRunning || program.waitForFinished(5000));
    EXPECT_EQ(program.exitCode(), 0);
    ASSERT_EQ(told.contents.size(), 1u);
    EXPECT_EQ(told.contents.front(), "first and last");
    Wait(ExchangeFileWatch::kLookMs + ExchangeFileWatch::kSettleMs);
    EXPECT_EQ(told.contents.size(), 1u) << "a file at rest was reported again";
}

TEST(ExchangeFileWatchTest, SeesAQuickProgramAReplacedFileAndNothingAfterStop)
{
    Sandbox box;
    const QString file = box.File("exchange.png");
    ASSERT_TRUE(WriteFile(file, "handed over"));
    const FileStamp handedOver = FileStamp::Of(file);
    ASSERT_TRUE(handedOver.Exists());
    // The program wrote the file back before the window started watching.
    ASSERT_TRUE(WriteFile(file, "written back at once"));
    ExchangeFileWatch watch;
    Told told(watch, file);
    watch.Start(file, handedOver);
    WaitFor(told, 1, 3000);
    ASSERT_EQ(told.contents.size(), 1u);
    EXPECT_EQ(told.contents.back(), "written back at once");

    // Saved again by putting a new file in the old one's place: told again.
    QProcess program;
    StartProgram(program, QStringLiteral("printf 'saved anew' > '%1.part' && mv '%1.part' '%1'").arg(file));
    ASSERT_TRUE(program.waitForFinished(5000));
    WaitFor(told, 2, 3000);
    ASSERT_EQ(told.contents.size(), 2u);
    EXPECT_EQ(told.contents.back(), "saved anew");

    // Removed, then written once more: told when the file is back.
    ASSERT_TRUE(QFile::remove(file));
    Wait(ExchangeFileWatch::kSettleMs + 100);
    EXPECT_EQ(told.contents.size(), 2u) << "a removed file was reported";
    ASSERT_TRUE(WriteFile(file, "back again"));
    WaitFor(told, 3, 3000);
    ASSERT_EQ(told.contents.size(), 3u);
    EXPECT_EQ(told.contents.back(), "back again");

    watch.Stop();
    EXPECT_FALSE(watch.IsWatching());
    ASSERT_TRUE(WriteFile(file, "after the window stopped watching"));
    Wait(ExchangeFileWatch::kLookMs + ExchangeFileWatch::kSettleMs);
    EXPECT_EQ(told.contents.size(), 3u);
}

#endif

} // namespace
} // namespace lumavo
