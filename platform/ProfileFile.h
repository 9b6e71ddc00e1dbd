#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace lumavo {

// Private profile (INI) files such as setting.ini and layer.lmv.
// Section and key names compare case-insensitively and without surrounding
// blanks; values are trimmed; ';' and '#' lines and blank lines are ignored;
// CR, LF and CRLF line ends are tolerated. The text is UTF-16 (little or big
// endian) after its byte-order mark, UTF-8 after its mark or when the bytes
// are valid UTF-8, and GBK otherwise. A write keeps the file's code page.
//
// Only regular files of at most kMaxProfileFileBytes are read: a FIFO, a
// device or an outsize file is refused at once, as if it were absent.

inline constexpr int64_t kMaxProfileFileBytes = 1024 * 1024;

// Whether a profile file could be read, and why not.
enum class ProfileFileState { Read, Missing, NotAFile, TooLarge, Unreadable };

// A profile file read once, for looking up several keys.
class ProfileContents {
public:
    explicit ProfileContents(const QString& path);

    ProfileFileState state() const { return m_state; }
    // The value of a key; none when the file, section or key is absent.
    std::optional<QString> Value(const QString& section, const QString& key) const;
    QString String(const QString& section, const QString& key, const QString& defaultValue = QString()) const;
    // As GetProfileInt.
    int32_t Int(const QString& section, const QString& key, int32_t defaultValue) const;

private:
    ProfileFileState m_state = ProfileFileState::Missing;
    QStringList m_lines;
};

// The value of a key, or the default when the file, section or key is absent.
QString GetProfileString(
    const QString& path, const QString& section, const QString& key, const QString& defaultValue = QString());

// The key's value read as an integer the way the old platform reads one:
// leading blanks skipped, an optional sign, then decimal digits (or 0x hex),
// stopping at the first other character; no digits gives 0. The default
// applies when the key is absent or its value empty.
int32_t GetProfileInt(const QString& path, const QString& section, const QString& key, int32_t defaultValue);

// Writes a key, creating the file or section when needed and keeping the
// rest of the file as it was, byte for byte, in its own code page (a new file,
// or one of ASCII alone, gets the platform's: GBK on Windows, UTF-8 elsewhere).
// The file is replaced atomically. False on failure, and when the file's code
// page cannot hold the text.
bool WriteProfileString(const QString& path, const QString& section, const QString& key, const QString& value);

// The integer reader on its own, for values already in hand.
int32_t ParseProfileInt(const QString& text);

} // namespace lumavo
