#include "ProgramFolder.h"

#include "ExecutablePath.h"
#include "ProfileFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <mutex>

namespace lumavo {

namespace {

std::mutex& OverrideMutex()
{
    static std::mutex mutex;
    return mutex;
}

QString& OverrideFolder()
{
    static QString folder;
    return folder;
}

QString WithSeparator(QString folder)
{
    if (!folder.isEmpty() && !folder.endsWith(u'/'))
        folder += u'/';
    return folder;
}

} // namespace

QString ProgramFolder()
{
    {
        const std::lock_guard lock(OverrideMutex());
        if (!OverrideFolder().isEmpty())
            return OverrideFolder();
    }
    if (QCoreApplication::instance())
        return WithSeparator(QCoreApplication::applicationDirPath());
    const QString executable = ExecutablePath();
    if (executable.isEmpty())
        return QString();
    return WithSeparator(QFileInfo(executable).absolutePath());
}

void SetProgramFolderForTesting(const QString& folder)
{
    const std::lock_guard lock(OverrideMutex());
    OverrideFolder() = WithSeparator(QDir::fromNativeSeparators(folder));
}

QString SettingsPath()
{
    return ProgramFolder() + QStringLiteral("setting.ini");
}

QString ToolFolderName()
{
    return QStringLiteral("增效工具包");
}

int ReadQuality(const QString& settingsPath)
{
    return GetProfileInt(settingsPath, QLatin1String(kSettingsSection), QLatin1String(kQualityKey), kDefaultQuality);
}

QString ReadCaptionSetting(const QString& settingsPath)
{
    return GetProfileString(settingsPath, QLatin1String(kSettingsSection), QLatin1String(kCaptionKey));
}

QString ReadAlbumServer(const QString& settingsPath)
{
    QString server = GetProfileString(settingsPath, QLatin1String(kSettingsSection), QLatin1String(kAlbumServerKey));
    if (server.isEmpty())
        server = ProgramFolder();
    while (server.size() > 1 && (server.endsWith(QLatin1Char('/')) || server.endsWith(QLatin1Char('\\'))))
        server.chop(1);
    return server;
}

} // namespace lumavo
