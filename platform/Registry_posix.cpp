#include "platform/Registry.h"
#include "platform/RegistryFile.h"

#include <QStandardPaths>

namespace lumavo {

namespace {

QStringList& TestFiles()
{
    static QStringList files;
    return files;
}

QString FullKeyPath(RegistryHive hive, const QString& keyPath)
{
    const QString hiveName = hive == RegistryHive::LocalMachine ? QStringLiteral("HKEY_LOCAL_MACHINE")
                                                                : QStringLiteral("HKEY_CURRENT_USER");
    return hiveName + u'\\' + keyPath;
}

// The first file that declares the key answers for it, values and all, so
// the user's file can stand in for a whole key of the system's.
// The files are read at each lookup: they are small, and an operator's edit
// takes effect without restarting the program.
std::optional<RegistryFile> FileHoldingKey(const QString& fullKeyPath)
{
    for (const QString& path : RegistryFiles()) {
        RegistryFile file = RegistryFile::Load(path);
        if (file.HasKey(fullKeyPath))
            return file;
    }
    return std::nullopt;
}

} // namespace

bool RegistryKeyExists(RegistryHive hive, const QString& keyPath)
{
    return FileHoldingKey(FullKeyPath(hive, keyPath)).has_value();
}

std::optional<QString> ReadRegistryValue(RegistryHive hive, const QString& keyPath, const QString& valueName)
{
    const QString fullPath = FullKeyPath(hive, keyPath);
    const std::optional<RegistryFile> file = FileHoldingKey(fullPath);
    if (!file)
        return std::nullopt;
    return file->Value(fullPath, valueName);
}

QStringList RegistryFiles()
{
    if (!TestFiles().isEmpty())
        return TestFiles();
    // The writable (user's) location comes first, then the system's (/etc/xdg).
    QStringList folders;
    const QString user = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (!user.isEmpty())
        folders << user;
    for (const QString& folder : QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation)) {
        if (!folders.contains(folder))
            folders << folder;
    }
    QStringList files;
    for (const QString& folder : folders)
        files << folder + QStringLiteral("/lumavo/registry.reg");
    return files;
}

void SetRegistryFilesForTesting(const QStringList& files)
{
    TestFiles() = files;
}

} // namespace lumavo
