#pragma once

#include <QByteArray>
#include <QString>

#include <map>
#include <optional>

namespace lumavo {

// One registry file in the text form of an exported registry (docs/registry.md):
// "[HIVE\key\path]" opens a key, "@=..." sets its default value,
// "\"Name\"=..." a named value. Values are quoted text with \\ and \" escapes
// (or bare text up to the end of the line). Lines starting with ";" or "#",
// blank lines and a first "Windows Registry Editor ..." line are skipped.
// HKLM and HKCU stand for HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER.
class RegistryFile {
public:
    static RegistryFile Parse(const QByteArray& text);
    // Reads and parses a file; an unreadable or absent file is empty.
    static RegistryFile Load(const QString& path);

    // Full key paths with the long hive name, e.g.
    // "HKEY_LOCAL_MACHINE\SOFTWARE\Ultimatte\AdvantEdge".
    bool HasKey(const QString& fullKeyPath) const;
    // Empty name: the default value.
    std::optional<QString> Value(const QString& fullKeyPath, const QString& valueName) const;

private:
    // Keyed by the upper-cased key path, then the upper-cased value name.
    std::map<QString, std::map<QString, QString>> m_keys;
};

} // namespace lumavo
