// lumavo-cli: the headless batch command (kiosks, automation, scripted checks).

#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/Console.h"
#include "cli/HeapReserve.h"
#include "platform/DiskPath.h"

#include <QCoreApplication>
#include <QLoggingCategory>

int main(int argc, char** argv)
{
    lumavo::cli::KeepFreedMemory();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("lumavo-cli"));
    // Decoder warnings about a bad file would come on top of our one error line.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.imageio*=false"));

    using namespace lumavo::cli;
    const ParsedArguments parsed = ParseArguments(lumavo::ProgramArguments(argc, argv).mid(1));
    if (!parsed.arguments) {
        PrintError(parsed.error);
        PrintErr(UsageText());
        return kExitUsage;
    }
    return RunCommand(*parsed.arguments);
}
