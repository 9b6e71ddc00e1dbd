// lumavo-cli: the headless batch command (kiosks, automation, scripted checks).

#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/Console.h"
#include "cli/HeapReserve.h"
#include "cli/Messages.h"
#include "imaging/LibraryMessages.h"
#include "platform/DiskPath.h"

#include <QCoreApplication>

#include <new>

int main(int argc, char** argv)
{
    lumavo::cli::KeepFreedMemory();
    // Decoder warnings about a bad file would come on top of our one error line.
    lumavo::KeepLibraryMessagesOffStandardError();
    QCoreApplication app(argc, argv);
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
