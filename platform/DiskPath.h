#pragma once

#include <QFile>
#include <QString>
#include <QStringList>

#include <cstdint>

namespace lumavo {

// File and folder names as they lie on disk.
//
// On disk a name is bytes. A template library unpacked from an archive made on
// an old Chinese system has GBK names, which Qt's own file calls on Linux can
// neither list nor open (they take names for UTF-8 only). Paths inside the
// program are text, each name decoded as file contents are (UTF-8 when valid,
// else GBK); the calls below find the entries on disk again from that text.
// On Windows names are wide text already and these are the plain Qt calls.

enum class EntryKind { Missing, File, Folder, Other };

struct PathFacts {
    EntryKind kind = EntryKind::Missing; // links followed; Other: a FIFO, a device, ...
    int64_t size = 0;
    int64_t modifiedMs = 0; // since the epoch
};

// What lies at a path.
PathFacts StatPath(const QString& path);
inline bool IsFile(const QString& path)
{
    return StatPath(path).kind == EntryKind::File;
}
inline bool IsFolder(const QString& path)
{
    return StatPath(path).kind == EntryKind::Folder;
}

// The names of the files or folders (`kind`) in a folder, sorted, without
// hidden names (those starting with '.'). Empty when the folder cannot be read.
QStringList FolderEntries(const QString& folder, EntryKind kind);

enum class OpenError { None, Missing, NotAFile, Unreadable };

// Opens a regular file for reading. Never waits: a FIFO, a device or a folder
// at the path is refused as NotAFile instead of being opened.
OpenError OpenForReading(QFile& file, const QString& path);

// The program's arguments as text. On Linux they are bytes too: a name given
// in GBK bytes reads as the same text as that name typed in UTF-8.
QStringList ProgramArguments(int argc, char** argv);

} // namespace lumavo
