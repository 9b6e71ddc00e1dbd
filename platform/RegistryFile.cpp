#include "platform/RegistryFile.h"

#include "platform/CodePage.h"

#include <QFile>
#include <QStringDecoder>

namespace lumavo {

namespace {

// Short hive names an operator may write, and the long names keys are stored under.
struct HiveName {
    const char16_t* shortName;
    const char16_t* longName;
};
constexpr HiveName kHiveNames[] = {
    { u"HKLM", u"HKEY_LOCAL_MACHINE" },
    { u"HKCU", u"HKEY_CURRENT_USER" },
    { u"HKCR", u"HKEY_CLASSES_ROOT" },
    { u"HKU", u"HKEY_USERS" },
    { u"HKCC", u"HKEY_CURRENT_CONFIG" },
};

// The form keys are compared in: upper case, long hive name, single
// backslashes, none at either end.
QString NormalKeyPath(const QString& path)
{
    QStringList parts = path.trimmed().toUpper().split(u'\\', Qt::SkipEmptyParts);
    for (QString& part : parts)
        part = part.trimmed();
    parts.removeAll(QString());
    if (parts.isEmpty())
        return {};
    for (const HiveName& hive : kHiveNames) {
        if (parts.first() == QStringView(hive.shortName))
            parts.first() = QString::fromUtf16(hive.longName);
    }
    return parts.join(u'\\');
}

// Text from the file's bytes: UTF-16 when it starts with a byte-order mark
// (little-endian as the registry editor exports), otherwise UTF-8 (a mark is skipped),
// falling back to the legacy code page for older exports.
QString DecodeRegistryText(const QByteArray& bytes)
{
    if (bytes.startsWith("\xFF\xFE")) {
        QStringDecoder decoder(QStringDecoder::Utf16LE);
        return decoder(QByteArrayView(bytes).sliced(2));
    }
    if (bytes.startsWith("\xFE\xFF")) {
        QStringDecoder decoder(QStringDecoder::Utf16BE);
        return decoder(QByteArrayView(bytes).sliced(2));
    }
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(QByteArrayView(bytes).sliced(3));
    return DecodeLegacyText(bytes);
}

// Reads a quoted string starting at text[pos] == '"'. \\ and \" are the
// exported escapes; any other backslash is kept as it is, so a hand-written
// "C:\Tools\editor" survives. Returns false when the closing quote is missing.
bool ReadQuoted(const QString& text, qsizetype& pos, QString& out)
{
    out.clear();
    for (qsizetype i = pos + 1; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'"') {
            pos = i + 1;
            return true;
        }
        if (c == u'\\' && i + 1 < text.size() && (text.at(i + 1) == u'\\' || text.at(i + 1) == u'"')) {
            out += text.at(++i);
            continue;
        }
        out += c;
    }
    return false;
}

bool StartsWithHexType(const QString& value)
{
    return value.startsWith(u"hex", Qt::CaseInsensitive)
        && (value.mid(3).trimmed().startsWith(u':') || value.mid(3).trimmed().startsWith(u'('));
}

// "hex(2):41,00,..." and "hex(1):..." hold text (expandable or plain) as
// UTF-16LE bytes; other typed values (dword:, hex:, hex(7): ...) are not text.
std::optional<QString> DecodeTypedValue(const QString& value)
{
    const QString lower = value.toLower().remove(u' ');
    const bool text = lower.startsWith(u"hex(1):") || lower.startsWith(u"hex(2):");
    if (!text)
        return std::nullopt;
    QByteArray bytes;
    const QStringList items = lower.mid(7).split(u',', Qt::SkipEmptyParts);
    for (const QString& item : items) {
        bool ok = false;
        const uint byte = item.trimmed().toUInt(&ok, 16);
        if (!ok || byte > 0xFF)
            return std::nullopt;
        bytes.append(char(byte));
    }
    QStringDecoder decoder(QStringDecoder::Utf16LE);
    QString decoded = decoder(bytes);
    while (decoded.endsWith(QChar(0)))
        decoded.chop(1);
    return decoded;
}

} // namespace

RegistryFile RegistryFile::Parse(const QByteArray& bytes)
{
    RegistryFile file;
    const QStringList lines = DecodeRegistryText(bytes).split(u'\n');

    // Null while outside a key (before the first one, or after a line that
    // looked like a key but was not one), so stray values land nowhere.
    std::map<QString, QString>* key = nullptr;

    for (qsizetype n = 0; n < lines.size(); ++n) {
        QString line = lines.at(n).trimmed();
        if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#'))
            continue;

        if (line.startsWith(u'[')) {
            key = nullptr;
            if (!line.endsWith(u']'))
                continue;
            const QString path = line.mid(1, line.size() - 2);
            // "[-key]" deletes a key on import; here it simply declares nothing.
            if (path.startsWith(u'-'))
                continue;
            const QString normal = NormalKeyPath(path);
            if (!normal.isEmpty())
                key = &file.m_keys[normal];
            continue;
        }

        if (!key)
            continue;

        // The value's name: "@" for the default value, or a quoted name.
        QString name;
        qsizetype pos = 0;
        if (line.startsWith(u'@')) {
            pos = 1;
        } else if (line.startsWith(u'"')) {
            if (!ReadQuoted(line, pos, name))
                continue;
        } else {
            continue;
        }
        while (pos < line.size() && line.at(pos).isSpace())
            ++pos;
        if (pos >= line.size() || line.at(pos) != u'=')
            continue;
        ++pos;
        while (pos < line.size() && line.at(pos).isSpace())
            ++pos;

        const QString valueName = name.toUpper();
        QString rest = line.mid(pos);
        if (rest == u"-") {
            key->erase(valueName);
            continue;
        }
        if (rest.startsWith(u'"')) {
            QString value;
            qsizetype at = 0;
            if (ReadQuoted(rest, at, value))
                (*key)[valueName] = value;
            continue;
        }
        if (StartsWithHexType(rest)) {
            // Binary values run on over lines ending with a backslash.
            while (rest.endsWith(u'\\') && n + 1 < lines.size()) {
                rest.chop(1);
                rest += lines.at(++n).trimmed();
            }
            if (const std::optional<QString> text = DecodeTypedValue(rest))
                (*key)[valueName] = *text;
            else
                key->erase(valueName);
            continue;
        }
        if (rest.startsWith(u"dword:", Qt::CaseInsensitive)) {
            key->erase(valueName); // a number, not text
            continue;
        }
        // Bare text up to the end of the line: a hand-written @=gimp.
        (*key)[valueName] = rest;
    }
    return file;
}

RegistryFile RegistryFile::Load(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return Parse(file.readAll());
}

bool RegistryFile::HasKey(const QString& fullKeyPath) const
{
    return m_keys.count(NormalKeyPath(fullKeyPath)) != 0;
}

std::optional<QString> RegistryFile::Value(const QString& fullKeyPath, const QString& valueName) const
{
    const auto key = m_keys.find(NormalKeyPath(fullKeyPath));
    if (key == m_keys.end())
        return std::nullopt;
    const auto value = key->second.find(valueName.toUpper());
    if (value == key->second.end())
        return std::nullopt;
    return value->second;
}

} // namespace lumavo
