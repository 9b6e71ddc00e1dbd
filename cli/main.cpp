// lumavo-cli: the headless batch command (kiosks, automation, scripted checks).

#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/Console.h"
#include "cli/HeapReserve.h"
#include "cli/Messages.h"
#include "imaging/LibraryMessages.h"
#include "platform/DiskPath.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <cstring>
#include <memory>

#include <new>

int main(int argc, char** argv)
{
    lumavo::cli::KeepFreedMemory();
    // Decoder warnings about a bad file would come on top of our one error line.
    lumavo::KeepLibraryMessagesOffStandardError();
    // Printing draws pages with Qt's fonts and print support, which need a
    // GUI application; the command never opens a window, so it needs no
    // display either (kiosk scripts run it without one). The command's name
    // is plain ASCII and decides before anything is decoded.
    const bool prints = argc > 1 && (std::strcmp(argv[1], "print") == 0 || std::strcmp(argv[1], "print-test") == 0);
#ifndef Q_OS_WIN
    if (prints && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
    const std::unique_ptr<QCoreApplication> app
        = prints ? std::make_unique<QGuiApplication>(argc, argv) : std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("lumavo-cli"));

    using namespace lumavo::cli;
    const ParsedArguments parsed = ParseArguments(lumavo::ProgramArguments(argc, argv).mid(1));
    if (!parsed.arguments) {
        PrintError(parsed.error);
        PrintErr(UsageText());
        return kExitUsage;
    }
    try {
        return RunCommand(*parsed.arguments);
    } catch (const std::bad_alloc&) {
        // Memory ran out in the middle of a step: said once, and no output
        // file (written only once complete) is left behind.
        PrintError(messages::OutOfMemory());
        return kExitFailure;
    }
}
