#include "handoffs/Handoffs.h"

#include "handoffs/ExchangeFile.h"
#include "handoffs/OutsidePrograms.h"
#include "handoffs/RegisteredCommand.h"
#include "platform/ProcessLauncher.h"
#include "platform/Registry.h"

#include <QDir>

#include <functional>
#include <optional>

namespace lumavo {

namespace {

// Writes the exchange file and starts the program on it.
Handoff StartOnExchangeFile(PhotoImage& picture, const std::function<ProgramCall(const QString&)>& callFor)
{
    Handoff handoff;
    if (WriteExchangeFile(picture, &handoff.exchangeFile) != Ok) {
        handoff.result = HandoffResult::NotWritten;
        return handoff;
    }
    handoff.handedOver = FileStamp::Of(handoff.exchangeFile);
    const ProgramCall call = callFor(QDir::toNativeSeparators(handoff.exchangeFile));
    handoff.program = call.program;
    if (!StartProgram(call.program, call.arguments))
        handoff.result = HandoffResult::CouldNotStart;
    return handoff;
}

} // namespace

Handoff HandToPhotoEditor(PhotoImage& picture)
{
    const QString key = QString::fromLatin1(kPhotoEditorKey);
    if (!RegistryKeyExists(RegistryHive::LocalMachine, key))
        return { HandoffResult::NotRegistered, {}, {}, {} };
    const std::optional<QString> command = ReadRegistryValue(RegistryHive::LocalMachine, key, QString());
    if (!command || command->trimmed().isEmpty())
        return { HandoffResult::UnreadableValue, {}, {}, {} };
    return StartOnExchangeFile(picture, [&](const QString& file) { return CommandForFile(*command, file); });
}

Handoff HandToToneTool(PhotoImage& picture)
{
    return StartOnExchangeFile(picture, [](const QString& file) { return ProgramCall { ToneToolPath(), { file } }; });
}

bool KeyingSoftwareRegistered()
{
    return RegistryKeyExists(RegistryHive::LocalMachine, QString::fromLatin1(kKeyingSoftwareKey));
}

KeyingInstall InstallKeyingSoftware()
{
    KeyingInstall install { KeyingResult::Installed, KeyingInstallerPath() };
    if (!RunAndWait(install.installer))
        install.result = KeyingResult::CouldNotStart;
    else if (!KeyingSoftwareRegistered())
        install.result = KeyingResult::NotRegistered;
    else if (!ReadRegistryValue(RegistryHive::LocalMachine, QString::fromLatin1(kKeyingSoftwareKey),
                 QString::fromLatin1(kKeyingPathValue)))
        install.result = KeyingResult::NoFolderValue;
    return install;
}

} // namespace lumavo
