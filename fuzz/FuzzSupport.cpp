#include "fuzz/FuzzSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <memory>

namespace lumavo::fuzz {

void StartQt()
{
    static int argc = 1;
    static char name[] = "lumavo-fuzz";
    static char* argv[] = { name, nullptr };
    static std::unique_ptr<QCoreApplication> app = std::make_unique<QCoreApplication>(argc, argv);
}

QString WriteScratchFile(const uint8_t* data, size_t size, const char* suffix)
{
    const QString path = QDir::tempPath()
        + QStringLiteral("/lumavo-fuzz-%1%2").arg(QCoreApplication::applicationPid()).arg(QString::fromLatin1(suffix));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        abort();
    if (file.write(reinterpret_cast<const char*>(data), qint64(size)) != qint64(size))
        abort();
    return path;
}

} // namespace lumavo::fuzz
