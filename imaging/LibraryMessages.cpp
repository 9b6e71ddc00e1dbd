#include "imaging/LibraryMessages.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <cstdint>
#include <fcntl.h>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/common_interface_defs.h>
#endif

namespace lumavo {

namespace {

std::FILE* g_ownStream = nullptr;

#ifdef Q_OS_WIN
int Duplicate(int fd)
{
    return _dup(fd);
}
bool PointAtNullDevice(int fd)
{
    const int null = _open("NUL", _O_WRONLY);
    const bool ok = null >= 0 && _dup2(null, fd) == 0;
    if (null >= 0)
        _close(null);
    return ok;
}
std::FILE* StreamOf(int fd)
{
    return _fdopen(fd, "w");
}
#else
int Duplicate(int fd)
{
    return fcntl(fd, F_DUPFD_CLOEXEC, 3);
}
bool PointAtNullDevice(int fd)
{
    const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    const bool ok = null >= 0 && dup2(null, fd) == fd;
    if (null >= 0)
        close(null);
    return ok;
}
std::FILE* StreamOf(int fd)
{
    return fdopen(fd, "w");
}
#endif

void DropUnlessFatal(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type != QtFatalMsg)
        return;
    const QByteArray line = message.toLocal8Bit() + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), OwnStandardError());
    std::fflush(OwnStandardError());
}

} // namespace

void KeepLibraryMessagesOffStandardError()
{
    if (g_ownStream)
        return;
    qInstallMessageHandler(DropUnlessFatal);
    std::fflush(stderr);
    // No standard error at all (a windowed program started without one):
    // there is nothing to keep clean.
    const int own = Duplicate(2);
    if (own < 0)
        return;
    std::FILE* stream = StreamOf(own);
    if (!stream || !PointAtNullDevice(2)) {
        if (stream)
            std::fclose(stream);
        return;
    }
    g_ownStream = stream;
#if defined(__SANITIZE_ADDRESS__)
    // Sanitizer reports are the program's business too.
    __sanitizer_set_report_fd(reinterpret_cast<void*>(intptr_t(own)));
#endif
}

std::FILE* OwnStandardError()
{
    return g_ownStream ? g_ownStream : stderr;
}

} // namespace lumavo
