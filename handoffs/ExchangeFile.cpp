#include "handoffs/ExchangeFile.h"

#include "imaging/ImageFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace lumavo {

namespace {

QString& TestFolder()
{
    static QString folder;
    return folder;
}

QString WithSeparator(const QString& folder)
{
    return folder.endsWith(u'/') ? folder : folder + u'/';
}

// Whatever is at the path and is not a regular file (a planted link above
// all) is removed, so the write neither follows it nor fails on it. A
// folder is left alone; the write then fails on it.
void RemoveNonFile(const QString& path)
{
#ifdef Q_OS_UNIX
    const QByteArray native = QFile::encodeName(path);
    struct stat info { };
    if (lstat(native.constData(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode))
        unlink(native.constData());
#else
    const QFileInfo info(path);
    if (info.isSymLink() || info.isJunction() || (info.exists() && !info.isFile() && !info.isDir()))
        QFile::remove(path);
#endif
}

#ifdef Q_OS_UNIX
// Whoever may rename entries in the folder's parent can swap the folder for
// one of theirs between our check and the write ($TMPDIR may point anywhere).
// Only root and the user may own the parent, and others may write it only
// when it is sticky, as /tmp is. A group write bit for the user's own
// group (one group per user, umask 002) lets no one else in.
bool ParentKeepsFolder(const QString& path)
{
    struct stat parent { };
    if (stat(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), &parent) != 0)
        return false;
    if (parent.st_uid != 0 && parent.st_uid != getuid())
        return false;
    const bool othersWrite
        = (parent.st_mode & S_IWOTH) != 0 || ((parent.st_mode & S_IWGRP) != 0 && parent.st_gid != getgid());
    return !othersWrite || (parent.st_mode & S_ISVTX) != 0;
}
#endif

} // namespace

bool EnsurePrivateFolder(const QString& path)
{
    if (path.isEmpty())
        return false;
#ifdef Q_OS_UNIX
    const QByteArray native = QFile::encodeName(path);
    struct stat info { };
    if (lstat(native.constData(), &info) != 0) {
        if (errno != ENOENT)
            return false;
        // The parents are ordinary folders (the cache folder may not exist yet).
        const QString parent = QFileInfo(path).absolutePath();
        if (!QDir().mkpath(parent))
            return false;
        if (mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    // Opened without following a link, then checked and tightened through
    // the open handle, so nothing can be swapped in between.
    const int fd = open(native.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = fstat(fd, &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == getuid();
    if (ok && (info.st_mode & 07777) != 0700)
        ok = fchmod(fd, 0700) == 0;
    close(fd);
    return ok && ParentKeepsFolder(path);
#else
    const QFileInfo info(path);
    if (info.isSymLink() || info.isJunction())
        return false;
    if (!info.exists() && !QDir().mkpath(path))
        return false;
    return QFileInfo(path).isDir();
#endif
}

QString ExchangeFolder()
{
    if (!TestFolder().isEmpty()) {
        QDir().mkpath(TestFolder());
        return WithSeparator(TestFolder());
    }
#ifdef Q_OS_WIN
    // The user's own temporary folder is private already.
    return WithSeparator(QDir::tempPath());
#else
    // Not the shared temporary folder itself: a folder of the user's own in
    // it, where no one else can plant or replace the file.
    const QString temp = QStandardPaths::writableLocation(QStandardPaths::TempLocation);
    if (!temp.isEmpty()) {
        const QString folder = temp + QStringLiteral("/lumavo-") + QString::number(getuid());
        if (EnsurePrivateFolder(folder))
            return WithSeparator(folder);
    }
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (!cache.isEmpty()) {
        const QString folder = cache + QStringLiteral("/lumavo");
        if (EnsurePrivateFolder(folder))
            return WithSeparator(folder);
    }
    return {};
#endif
}

void SetExchangeFolderForTesting(const QString& folder)
{
    TestFolder() = folder;
}

QString ExchangeFilePath()
{
    const QString folder = ExchangeFolder();
    return folder.isEmpty() ? QString() : folder + QLatin1String(kExchangeFileName);
}

Status WriteExchangeFile(PhotoImage& picture, QString* path)
{
    const QString filePath = ExchangeFilePath();
    if (path)
        *path = filePath;

    std::unique_ptr<PhotoImage> copy
        = picture.CloneArea(0, 0, int32_t(picture.Width()), int32_t(picture.Height()), PixelFormat24bppRGB);
    if (!copy)
        return GenericError;
    if (filePath.isEmpty())
        return AccessDenied;

    RemoveNonFile(filePath);
    // SaveImage replaces the old file only with a complete new one.
    return SaveImage(copy, filePath, 100);
}

std::unique_ptr<PhotoImage> ReadExchangeFile(float dpi, Status* status)
{
    auto fail = [status](Status reason) -> std::unique_ptr<PhotoImage> {
        if (status)
            *status = reason;
        return nullptr;
    };

    const QString filePath = ExchangeFilePath();
    if (filePath.isEmpty())
        return fail(FileNotFound);

    std::unique_ptr<PhotoImage> loaded = PhotoImage::FromFile(filePath);
    const Status loadStatus = loaded->TakeStatus();
    if (loadStatus != Ok)
        return fail(loadStatus);

    // A fresh premultiplied picture of the same size: copying is what drawing
    // the loaded one onto a cleared premultiplied surface gives. Releasing
    // the loaded one lets go of the file.
    std::unique_ptr<PhotoImage> result;
    if (loaded->image().format() == QImage::Format_RGB32) {
        // Opaque pixels are the same bits premultiplied: no copy of 100 MB.
        QImage pixels = std::move(loaded->mutableImage());
        loaded.reset();
        if (!pixels.reinterpretAsFormat(QImage::Format_ARGB32_Premultiplied))
            return fail(GenericError);
        result = PhotoImage::Adopt(std::move(pixels));
    } else {
        result = loaded->CloneArea(0, 0, int32_t(loaded->Width()), int32_t(loaded->Height()), PixelFormat32bppPARGB);
        if (!result)
            return fail(loaded->lastStatus());
        loaded.reset();
    }
    const Status resolutionStatus = result->SetResolution(dpi, dpi);
    if (resolutionStatus != Ok)
        return fail(resolutionStatus);
    if (status)
        *status = Ok;
    return result;
}

} // namespace lumavo
