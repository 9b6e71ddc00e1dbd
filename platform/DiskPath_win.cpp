#include "DiskPath.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>

namespace lumavo {

// Names are wide text on Windows: Qt's own calls reach every file.

PathFacts StatPath(const QString& path)
{
    PathFacts facts;
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists())
        return facts;
    facts.kind = info.isFile() ? EntryKind::File : info.isDir() ? EntryKind::Folder : EntryKind::Other;
    facts.size = info.size();
    facts.modifiedMs = info.lastModified().toMSecsSinceEpoch();
    return facts;
}

QStringList FolderEntries(const QString& folder, EntryKind kind)
{
    if (folder.isEmpty() || (kind != EntryKind::File && kind != EntryKind::Folder))
        return {};
    QStringList names = QDir(folder).entryList(
        (kind == EntryKind::File ? QDir::Files : QDir::Dirs) | QDir::NoDotAndDotDot, QDir::Name);
    names.removeIf([](const QString& name) { return name.startsWith(u'.'); });
    return names;
}

OpenError OpenForReading(QFile& file, const QString& path)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists())
        return OpenError::Missing;
    if (!info.isFile())
        return OpenError::NotAFile;
    file.setFileName(path);
    return file.open(QIODevice::ReadOnly) ? OpenError::None : OpenError::Unreadable;
}

QStringList ProgramArguments(int argc, char** argv)
{
    // The wide command line; the narrow argv would have lost what the ANSI code page lacks.
    if (QCoreApplication::instance())
        return QCoreApplication::arguments();
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return arguments;
}

} // namespace lumavo
