#include "app/Startup.h"

#include "platform/ExecutablePath.h"
#include "platform/ProfileFile.h"
#include "platform/ProgramFolder.h"
#include "platform/Shortcuts.h"

#include <QMessageBox>

#include <atomic>

namespace lumavo {

namespace {

// Set at start-up when TempPath could not be written: whatever the file
// still says (a value from an older place, or nothing) is not this run's root.
std::atomic<bool> g_templateRootUnwritten { false };

QString OwnTemplateRoot()
{
    return ProgramFolder() + QLatin1String(kTemplateRootName);
}

} // namespace

bool WriteTemplateRoot()
{
    const bool written = WriteProfileString(
        SettingsPath(), QLatin1String(kSettingsSection), QLatin1String(kTempPathKey), OwnTemplateRoot());
    g_templateRootUnwritten = !written;
    return written;
}

QString TemplateRoot()
{
    if (g_templateRootUnwritten)
        return OwnTemplateRoot();
    const QString configured
        = GetProfileString(SettingsPath(), QLatin1String(kSettingsSection), QLatin1String(kTempPathKey));
    return configured.isEmpty() ? OwnTemplateRoot() : configured;
}

void CreateShortcut(int folderId, const QString& linkName, const QString& targetPath)
{
    if (linkName.isEmpty() || targetPath.isEmpty()) {
        QMessageBox::warning(
            nullptr, QString(), QStringLiteral("Please,enter the Menu Item and File name correctly."), QMessageBox::Ok);
        return;
    }
    WriteShortcut(folderId, linkName, targetPath);
}

void CreateShortcuts()
{
    const QString target = ExecutablePath();
    const QString name = QString::fromLatin1(kProductName);
    QStringList written;
    for (const int folder : { kShellFolderDesktop, kShellFolderStartMenu, kShellFolderPrograms }) {
        // Where two folders are one (the applications menu stands for both
        // Start-menu folders), the launcher is written once.
        const QString file = ShortcutFilePath(folder, name);
        if (!target.isEmpty() && !file.isEmpty() && written.contains(file))
            continue;
        CreateShortcut(folder, name, target);
        written << file;
    }
}

bool SplashWanted(const QStringList& arguments)
{
    // The first entry is the program itself.
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument.size() < 2 || (argument[0] != u'-' && argument[0] != u'/'))
            continue;
        const QString flag = argument.mid(1);
        if (flag.compare(QLatin1String("Embedding"), Qt::CaseInsensitive) == 0
            || flag.compare(QLatin1String("Automation"), Qt::CaseInsensitive) == 0)
            return false;
    }
    return true;
}

} // namespace lumavo
