#include "platform/Registry.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <cwchar>
#include <string>
#include <vector>
#include <windows.h>

namespace lumavo {

namespace {

HKEY HiveHandle(RegistryHive hive)
{
    return hive == RegistryHive::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

// Closes the key however the lookup ends.
class OpenKey {
public:
    OpenKey(RegistryHive hive, const QString& keyPath)
    {
        // 32-bit installers register under the 32-bit view of HKLM\SOFTWARE
        // (WOW6432Node), which a 64-bit process does not see by default; the
        // process's own view answers first, then the 32-bit and 64-bit ones.
        const std::wstring path = keyPath.toStdWString();
        for (const REGSAM view : { REGSAM(0), REGSAM(KEY_WOW64_32KEY), REGSAM(KEY_WOW64_64KEY) }) {
            HKEY key = nullptr;
            if (RegOpenKeyExW(HiveHandle(hive), path.c_str(), 0, KEY_READ | view, &key) == ERROR_SUCCESS) {
                m_key = key;
                return;
            }
        }
    }
    ~OpenKey()
    {
        if (m_key)
            RegCloseKey(m_key);
    }
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;

    HKEY handle() const { return m_key; }

private:
    HKEY m_key = nullptr;
};

// Expands %NAME% references the way the shell does for expandable strings;
// text it cannot expand is kept as it was.
QString ExpandEnvironment(const QString& text)
{
    const std::wstring source = text.toStdWString();
    DWORD needed = ExpandEnvironmentStringsW(source.c_str(), nullptr, 0);
    for (int attempt = 0; attempt < 4 && needed > 0; ++attempt) {
        std::vector<wchar_t> buffer(size_t(needed) + 1, L'\0');
        const DWORD written = ExpandEnvironmentStringsW(source.c_str(), buffer.data(), DWORD(buffer.size()));
        if (written == 0)
            break;
        if (written <= buffer.size())
            return QString::fromWCharArray(buffer.data());
        needed = written; // the environment grew meanwhile
    }
    return text;
}

} // namespace

bool RegistryKeyExists(RegistryHive hive, const QString& keyPath)
{
    const OpenKey key(hive, keyPath);
    return key.handle() != nullptr;
}

std::optional<QString> ReadRegistryValue(RegistryHive hive, const QString& keyPath, const QString& valueName)
{
    const OpenKey key(hive, keyPath);
    if (!key.handle())
        return std::nullopt;

    const std::wstring name = valueName.toStdWString();
    const wchar_t* namePointer = valueName.isEmpty() ? nullptr : name.c_str();

    // The size is asked first and the whole value read after it; a value
    // that grows in between is asked for again.
    DWORD type = 0;
    DWORD size = 0;
    LSTATUS status = RegQueryValueExW(key.handle(), namePointer, nullptr, &type, nullptr, &size);
    std::vector<BYTE> buffer;
    for (int attempt = 0; attempt < 4; ++attempt) {
        if (status != ERROR_SUCCESS && status != ERROR_MORE_DATA)
            return std::nullopt;
        if (type != REG_SZ && type != REG_EXPAND_SZ)
            return std::nullopt;
        // Room for a terminator the stored value may lack.
        buffer.assign(size_t(size) + 2 * sizeof(wchar_t), 0);
        DWORD got = size;
        status = RegQueryValueExW(key.handle(), namePointer, nullptr, &type, buffer.data(), &got);
        if (status == ERROR_SUCCESS) {
            size = got;
            break;
        }
        if (status != ERROR_MORE_DATA)
            return std::nullopt;
        size = got;
    }
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::nullopt;

    const wchar_t* chars = reinterpret_cast<const wchar_t*>(buffer.data());
    // The text ends at its first terminator, stored or not.
    const size_t length = wcsnlen(chars, size_t(size) / sizeof(wchar_t));
    const QString value = QString::fromWCharArray(chars, qsizetype(length));
    return type == REG_EXPAND_SZ ? ExpandEnvironment(value) : value;
}

// Windows keeps the real registry; there are no files to list.
QStringList RegistryFiles()
{
    return {};
}

void SetRegistryFilesForTesting(const QStringList&)
{
}

} // namespace lumavo
