#include "Shortcuts.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>

namespace lumavo {

namespace {

// Quoting for an Exec= argument: inside double quotes, ", `, $ and \ get a
// backslash; then the whole value is escaped again as a desktop-entry
// string (\\ for a backslash, \n \t \r for the control characters a value
// cannot hold), and % is doubled for the field codes.
QString ExecArgument(const QString& path)
{
    QString quoted;
    for (QChar c : path) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += u'\\';
        quoted += c;
    }
    quoted = u'"' + quoted + u'"';
    QString escaped;
    for (QChar c : quoted) {
        if (c == u'\\')
            escaped += QLatin1String("\\\\");
        else if (c == u'\n')
            escaped += QLatin1String("\\n");
        else if (c == u'\t')
            escaped += QLatin1String("\\t");
        else if (c == u'\r')
            escaped += QLatin1String("\\r");
        else if (c == u'%')
            escaped += QLatin1String("%%");
        else
            escaped += c;
    }
    return escaped;
}

// Desktop-entry string values cannot hold line breaks.
QString EntryValue(const QString& text)
{
    QString value = text;
    value.replace(u'\n', u' ').replace(u'\r', u' ');
    return value;
}

} // namespace

QString ShellFolderPath(int folderId)
{
    switch (folderId) {
    case kShellFolderDesktop: {
        // Only a desktop that exists: the user's home is not given a new folder.
        const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
        if (desktop.isEmpty() || desktop == QDir::homePath() || !QDir(desktop).exists())
            return QString();
        return desktop;
    }
    case kShellFolderPrograms:
    case kShellFolderStartMenu: {
        const QString apps = QStandardPaths::writableLocation(QStandardPaths::ApplicationsLocation);
        if (apps.isEmpty() || !QDir().mkpath(apps))
            return QString();
        return apps;
    }
    default:
        return QString();
    }
}

ShortcutResult WriteShortcut(int folderId, const QString& linkName, const QString& targetPath)
{
    const QString file = ShortcutFilePath(folderId, linkName);
    if (file.isEmpty())
        return ShortcutResult::NoFolder;

    QByteArray text;
    text += "[Desktop Entry]\n";
    text += "Type=Application\n";
    text += "Name=" + EntryValue(linkName).toUtf8() + "\n";
    text += "Exec=" + ExecArgument(targetPath).toUtf8() + "\n";
    text += "Terminal=false\n";

    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly))
        return ShortcutResult::Failed;
    out.write(text);
    if (!out.commit())
        return ShortcutResult::Failed;
    // Launchers on the desktop are only trusted when they are executable.
    QFile::setPermissions(file, QFile::permissions(file) | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther);
    return ShortcutResult::Created;
}

} // namespace lumavo
