#pragma once

// Running the headless command as its own process, the way kiosk scripts
// run it (no display, no platform plugin named), and the templates it runs on.

#include "TemplateFixtures.h"
#include "TestUtils.h"

#include <QColor>
#include <QDir>
#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

namespace lumavo::test {

struct CliRun {
    int exitCode = -1;
    QString out;
    QString err;
    QStringList errLines() const { return err.split('\n', Qt::SkipEmptyParts); }
};

inline CliRun Finished(const ProgramRun& finished)
{
    CliRun run;
    if (!finished.finished)
        return run;
    run.exitCode = finished.exitCode;
    run.out = QString::fromLocal8Bit(finished.out);
    run.err = QString::fromLocal8Bit(finished.err);
    return run;
}

inline QString CliPath()
{
    return ProgramDir() + QStringLiteral("/lumavo-cli");
}

inline CliRun RunProgram(const QString& program, const QStringList& arguments, int timeoutMs = 120000)
{
    return Finished(RunWithoutDisplay(program, arguments, timeoutMs));
}

inline CliRun RunCli(const QStringList& arguments, int timeoutMs = 120000)
{
    return RunProgram(CliPath(), arguments, timeoutMs);
}

// The same with the process's address space limited (ulimit -v), so that
// allocations beyond it fail as they would on a machine short of memory.
inline CliRun RunCliWithin(int megabytes, const QStringList& arguments)
{
    const QString limited = QStringLiteral("ulimit -v %1 && exec \"$0\" \"$@\"").arg(qint64(megabytes) * 1024);
    return Finished(
        RunWithoutDisplay(QStringLiteral("/bin/sh"), QStringList { "-c", limited, CliPath() } + arguments, 120000));
}

inline const QColor kBackgroundColor(40, 90, 160);
inline const QColor kFrameColor(200, 30, 30);

// A template folder as the studio's template library holds one: background,
// a foreground frame transparent over the opening, and the layer file.
inline void MakeTemplate(const QString& root, const QString& name, QSize size, QRect opening)
{
    ASSERT_TRUE(QDir(root).mkpath(name));
    QImage background(size, QImage::Format_RGB32);
    background.fill(kBackgroundColor);
    ASSERT_TRUE(WriteTemplate(root + '/' + name, background, MakeFlatFrame(size, kFrameColor, opening), opening));
}

// The 4R template: 1400 x 2100 with the opening x 100, y 150, 600 x 800.
inline void Make4R(const QString& root)
{
    MakeTemplate(root, "4R", QSize(1400, 2100), QRect(100, 150, 600, 800));
}

inline QString SavePhoto(
    const Sandbox& box, const QString& name, const QImage& photo, const char* format, int quality = 92)
{
    const QString path = box.File(name);
    EXPECT_TRUE(photo.save(path, format, quality));
    return path;
}

} // namespace lumavo::test
