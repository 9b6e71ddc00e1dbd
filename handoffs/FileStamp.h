#pragma once

#include <QString>
#include <QtGlobal>

namespace lumavo {

// What a file looked like at one moment: enough to tell that a program has
// written it since (in place or by putting a new file in its stead).
struct FileStamp {
    qint64 size = -1; // -1: no such file
    qint64 modifiedMs = -1;

    static FileStamp Of(const QString& path);
    bool Exists() const { return size >= 0; }
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

} // namespace lumavo
