#include "ProgramFolder.h"

#include "ExecutablePath.h"
#include "ProfileFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <mutex>
#include <optional>

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
    const std::optional<QString> value
        = ProfileContents(settingsPath).Value(QLatin1String(kSettingsSection), QLatin1String(kQualityKey));
    if (!value)
        return kDefaultQuality;
    // The integer reader would make "abc" 0 and keep "-5", which the encoder
    // takes for its lowest quality: neither is a quality anyone set.
    const QString text = value->trimmed();
    const qsizetype first = text.startsWith(u'+') ? 1 : 0;
    if (first >= text.size() || text.at(first) < u'0' || text.at(first) > u'9')
        return kDefaultQuality;
    return ParseProfileInt(text);
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
