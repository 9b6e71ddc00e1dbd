#include "platform/ProcessLauncher.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QProcess>

#ifdef Q_OS_WIN
#include <QDir>
#include <QWinEventNotifier>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <string>
// clang-format off
#include <windows.h>
#include <shellapi.h> // needs windows.h first
// clang-format on
#endif

namespace lumavo {

namespace {

// While it lives, every key, click, wheel turn, touch and shortcut given to
// any window of the application is thrown away, as is a close asked by the
// window system; painting, timers and the program's own events go on.
class InputDiscarder : public QObject {
public:
    InputDiscarder()
    {
        if (QCoreApplication* application = QCoreApplication::instance())
            application->installEventFilter(this);
    }
    ~InputDiscarder() override
    {
        if (QCoreApplication* application = QCoreApplication::instance())
            application->removeEventFilter(this);
    }

    bool eventFilter(QObject*, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::NonClientAreaMouseButtonPress:
        case QEvent::NonClientAreaMouseButtonRelease:
        case QEvent::NonClientAreaMouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TouchCancel:
        case QEvent::TabletPress:
        case QEvent::TabletMove:
        case QEvent::TabletRelease:
        case QEvent::ContextMenu:
        case QEvent::InputMethod:
        case QEvent::NativeGesture:
        case QEvent::Gesture:
            return true;
        case QEvent::Close:
            return event->spontaneous();
        default:
            return false;
        }
    }
};

#ifdef Q_OS_WIN
// Installers that ask for administrator rights cannot be created as plain
// child processes (ERROR_ELEVATION_REQUIRED); the shell starts them after
// its elevation prompt. Waits like RunAndWait; false when nothing started.
bool ShellRunAndWait(const QString& program)
{
    const std::wstring file = QDir::toNativeSeparators(program).toStdWString();
    SHELLEXECUTEINFOW info {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpFile = file.c_str();
    info.nShow = SW_SHOW;
    if (!ShellExecuteExW(&info) || !info.hProcess)
        return false;
    {
        QEventLoop loop;
        QWinEventNotifier notifier(info.hProcess);
        QObject::connect(&notifier, &QWinEventNotifier::activated, &loop, &QEventLoop::quit);
        const InputDiscarder discarder;
        if (WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT)
            loop.exec();
    }
    CloseHandle(info.hProcess);
    return true;
}
#endif

} // namespace

bool StartProgram(const QString& program, const QStringList& arguments)
{
    if (program.isEmpty())
        return false;
    return QProcess::startDetached(program, arguments);
}

bool RunAndWait(const QString& program)
{
    if (program.isEmpty())
        return false;

    QProcess process;
    process.setProgram(program);
    // The program's output goes where ours goes instead of piling up unread.
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.setStandardInputFile(QProcess::nullDevice());

    // Waiting in a local loop keeps the windows painting. Input given
    // meanwhile is thrown away: held back, it would be carried out after the
    // wait, unseen (a turn, a Cancel).
    const InputDiscarder discarder;
    QEventLoop loop;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&process, &QProcess::errorOccurred, &loop, [&](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            loop.quit();
    });

    process.start();
    // A start that failed at once leaves the process not running.
    if (process.state() != QProcess::NotRunning)
        loop.exec();

    if (process.error() == QProcess::FailedToStart) {
#ifdef Q_OS_WIN
        return ShellRunAndWait(program);
#else
        return false;
#endif
    }
    return true;
}

} // namespace lumavo
