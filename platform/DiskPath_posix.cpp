#include "CodePage.h"
#include "DiskPath.h"

#include <QByteArray>

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lumavo {

namespace {

bool Exists(const QByteArray& bytes)
{
    struct stat info;
    return lstat(bytes.constData(), &info) == 0 || errno != ENOENT;
}

bool IsAscii(const QString& text)
{
    return std::all_of(text.cbegin(), text.cend(), [](QChar ch) { return ch.unicode() < 0x80; });
}

QByteArray Join(const QByteArray& folder, const QByteArray& name)
{
    return folder.isEmpty() || folder.endsWith('/') ? folder + name : folder + '/' + name;
}

// The entry of `folder` (bytes on disk) whose name reads as `name`: the name's
// UTF-8 bytes, its GBK bytes, or else the one entry that decodes to it. Empty
// when there is none, or more than one that could be meant.
QByteArray FindEntry(const QByteArray& folder, const QString& name)
{
    const QByteArray utf8 = name.toUtf8();
    if (Exists(Join(folder, utf8)))
        return utf8;
    if (IsAscii(name))
        return {};
    // GBK bytes that are also valid UTF-8 would read as other text.
    const QByteArray gbk = ToGbk(name);
    if (DecodeLegacyText(gbk) == name && Exists(Join(folder, gbk)))
        return gbk;
    // Names holding bytes that neither code page can decode.
    DIR* dir = opendir(folder.isEmpty() ? "." : folder.constData());
    if (!dir)
        return {};
    QByteArray found;
    int matches = 0;
    while (const dirent* entry = readdir(dir)) {
        const QByteArrayView bytes(entry->d_name);
        if (DecodeLegacyText(bytes) == name) {
            found = bytes.toByteArray();
            ++matches;
        }
    }
    closedir(dir);
    return matches == 1 ? found : QByteArray();
}

// The bytes to hand to the system for a path: each name as it is on disk.
// A path that cannot be found stays in UTF-8, and the call then fails as it should.
QByteArray DiskBytes(const QString& path)
{
    const QByteArray direct = QFile::encodeName(path);
    if (IsAscii(path) || Exists(direct))
        return direct;
    QByteArray resolved = path.startsWith(u'/') ? QByteArray("/") : QByteArray();
    for (const QString& name : path.split(u'/', Qt::SkipEmptyParts)) {
        const QByteArray onDisk = FindEntry(resolved, name);
        if (onDisk.isEmpty())
            return direct;
        resolved = Join(resolved, onDisk);
    }
    return path.endsWith(u'/') ? Join(resolved, QByteArray()) : resolved;
}

EntryKind KindOf(mode_t mode)
{
    if (S_ISREG(mode))
        return EntryKind::File;
    if (S_ISDIR(mode))
        return EntryKind::Folder;
    return EntryKind::Other;
}

} // namespace

PathFacts StatPath(const QString& path)
{
    PathFacts facts;
    struct stat info;
    if (path.isEmpty() || stat(DiskBytes(path).constData(), &info) != 0)
        return facts;
    facts.kind = KindOf(info.st_mode);
    facts.size = int64_t(info.st_size);
    facts.modifiedMs = int64_t(info.st_mtim.tv_sec) * 1000 + info.st_mtim.tv_nsec / 1000000;
    return facts;
}

QStringList FolderEntries(const QString& folder, EntryKind kind)
{
    QStringList names;
    if (folder.isEmpty())
        return names;
    DIR* dir = opendir(DiskBytes(folder).constData());
    if (!dir)
        return names;
    const int dirFd = dirfd(dir);
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        struct stat info;
        if (fstatat(dirFd, entry->d_name, &info, 0) != 0 || KindOf(info.st_mode) != kind)
            continue;
        names.append(DecodeLegacyText(QByteArrayView(entry->d_name)));
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    // One name on disk in UTF-8 and one in GBK read as the same text; it opens the first.
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

OpenError OpenForReading(QFile& file, const QString& path)
{
    if (path.isEmpty())
        return OpenError::Missing;
    // Without O_NONBLOCK, opening a FIFO would wait for a writer.
    const int fd = open(DiskBytes(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return errno == ENOENT || errno == ENOTDIR ? OpenError::Missing : OpenError::Unreadable;
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return OpenError::NotAFile;
    }
    // Reads of a regular file never block; the flag goes all the same, for clarity.
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        close(fd);
        return OpenError::Unreadable;
    }
    return OpenError::None;
}

QStringList ProgramArguments(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(DecodeLegacyText(QByteArrayView(argv[i])));
    return arguments;
}

} // namespace lumavo
