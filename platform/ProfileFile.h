#pragma once

#include <QString>

#include <cstdint>

namespace lumavo {

// Private profile (INI) files such as setting.ini and layer.lmv.
// Section and key names compare case-insensitively and without surrounding
// blanks; values are trimmed; ';' and '#' lines and blank lines are ignored;
// CRLF and a UTF-8 byte-order mark are tolerated; bytes that are not valid
// UTF-8 are read as GBK.

// The value of a key, or the default when the file, section or key is absent.
QString GetProfileString(const QString& path, const QString& section, const QString& key,
                         const QString& defaultValue = QString());

// The key's value read as an integer the way the old platform reads one:
// leading blanks skipped, an optional sign, then decimal digits (or 0x hex),
// stopping at the first other character; no digits gives 0. The default
// applies when the key is absent or its value empty.
int32_t GetProfileInt(const QString& path, const QString& section, const QString& key, int32_t defaultValue);

// Writes a key, creating the file or section when needed and keeping the
// rest of the file as it was. The file is replaced atomically. False on failure.
bool WriteProfileString(const QString& path, const QString& section, const QString& key, const QString& value);

// The integer reader on its own, for values already in hand.
int32_t ParseProfileInt(const QString& text);

} // namespace lumavo
