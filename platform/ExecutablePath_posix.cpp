#include "ExecutablePath.h"

#include <QFileInfo>

#ifdef Q_OS_MACOS
#include <cstdint>
#include <mach-o/dyld.h>
#include <vector>
#endif

namespace lumavo {

QString ExecutablePath()
{
#ifdef Q_OS_MACOS
    uint32_t size = 0;
    _NSGetExecutablePath(nullptr, &size);
    std::vector<char> buffer(size + 1, '\0');
    if (_NSGetExecutablePath(buffer.data(), &size) != 0)
        return QString();
    return QFileInfo(QString::fromUtf8(buffer.data())).canonicalFilePath();
#else
    // The kernel's link to the running image; resolved whatever its length.
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
#endif
}

} // namespace lumavo
