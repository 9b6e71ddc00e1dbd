#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace lumavo {

// Read-only access to registry keys and their text values, where the outside
// programs (photo editor, keying software) are registered. Windows: the
// system registry. Elsewhere: registry files of the same shape, the user's
// own first, then the system's (docs/registry.md):
//   [HKEY_LOCAL_MACHINE\SOFTWARE\Classes\Photoshop.PlugIn\shell\open\command]
//   @="\"/usr/bin/gimp\" \"%1\""
// Key paths and value names compare without regard to case. Values are read
// whole, whatever their length.
enum class RegistryHive {
    LocalMachine, // HKEY_LOCAL_MACHINE (HKLM)
    CurrentUser, // HKEY_CURRENT_USER (HKCU)
};

// Whether the key can be opened for reading.
bool RegistryKeyExists(RegistryHive hive, const QString& keyPath);

// A value of the key as text; an empty name is the key's default value ("@").
// None when the key or the value is absent or the value is not text.
std::optional<QString> ReadRegistryValue(RegistryHive hive, const QString& keyPath, const QString& valueName);

// The registry files looked at, in order (not on Windows): the user's
// configuration folder's lumavo/registry.reg, then the system's.
QStringList RegistryFiles();
// Replaces that list (tests); an empty list restores the standard one.
void SetRegistryFilesForTesting(const QStringList& files);

} // namespace lumavo
