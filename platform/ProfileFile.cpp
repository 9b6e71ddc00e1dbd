#include "ProfileFile.h"

#include "CodePage.h"
#include "DiskPath.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>

#include <optional>

namespace lumavo {

namespace {

constexpr char kUtf8Bom[] = "\xEF\xBB\xBF";

// The file as lines of text, with what is needed to write it back in the same style.
struct ProfileText {
    QStringList lines;
    bool hasBom = false;
    QString eol;
};

QString DefaultEol()
{
#ifdef Q_OS_WIN
    return QStringLiteral("\r\n");
#else
    return QStringLiteral("\n");
#endif
}

ProfileText SplitProfileText(QByteArray bytes)
{
    ProfileText doc;
    doc.hasBom = bytes.startsWith(kUtf8Bom);
    if (doc.hasBom)
        bytes.remove(0, 3);
    const QString text = DecodeLegacyText(bytes);
    doc.eol = text.contains(QLatin1String("\r\n")) ? QStringLiteral("\r\n") : DefaultEol();

    // Lines end at CRLF, LF or a lone CR.
    qsizetype start = 0;
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar ch = text.at(i);
        if (ch != u'\n' && ch != u'\r')
            continue;
        doc.lines.append(text.mid(start, i - start));
        if (ch == u'\r' && i + 1 < size && text.at(i + 1) == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < size)
        doc.lines.append(text.mid(start));
    return doc;
}

enum class LineKind { Ignored, Section, Entry };

struct ParsedLine {
    LineKind kind = LineKind::Ignored;
    QStringView name; // section or key name, trimmed
    QStringView value; // raw value, trimmed (entries only)
    qsizetype equalsAt = -1; // position of '=' in the original line, -1 when none
};

ParsedLine ParseLine(const QString& line)
{
    ParsedLine parsed;
    const QStringView trimmed = QStringView(line).trimmed();
    if (trimmed.isEmpty() || trimmed.front() == u';' || trimmed.front() == u'#')
        return parsed;
    if (trimmed.front() == u'[') {
        // The name runs to the last ']'; without one the line reads as an entry.
        const qsizetype close = trimmed.lastIndexOf(u']');
        if (close > 0) {
            parsed.kind = LineKind::Section;
            parsed.name = trimmed.mid(1, close - 1).trimmed();
            return parsed;
        }
    }
    parsed.kind = LineKind::Entry;
    parsed.equalsAt = line.indexOf(u'=');
    if (parsed.equalsAt < 0) {
        parsed.name = trimmed;
    } else {
        parsed.name = QStringView(line).left(parsed.equalsAt).trimmed();
        parsed.value = QStringView(line).mid(parsed.equalsAt + 1).trimmed();
    }
    return parsed;
}

bool SameName(QStringView a, QStringView b)
{
    return !a.isEmpty() && a.compare(b, Qt::CaseInsensitive) == 0;
}

// Where a key lives: the first section of that name, and the first entry of
// that name inside it. Later sections of the same name are not consulted.
struct KeyLocation {
    qsizetype sectionLine = -1;
    qsizetype sectionEnd = -1; // one past the section's last line
    qsizetype keyLine = -1;
};

KeyLocation Locate(const QStringList& lines, QStringView section, QStringView key)
{
    KeyLocation where;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const ParsedLine parsed = ParseLine(lines.at(i));
        if (parsed.kind == LineKind::Section) {
            if (where.sectionLine >= 0) {
                where.sectionEnd = i;
                return where;
            }
            if (SameName(parsed.name, section))
                where.sectionLine = i;
        } else if (parsed.kind == LineKind::Entry && where.sectionLine >= 0 && where.keyLine < 0
            && SameName(parsed.name, key)) {
            where.keyLine = i;
        }
    }
    if (where.sectionLine >= 0)
        where.sectionEnd = lines.size();
    return where;
}

bool WrappedInQuotes(QStringView value)
{
    return value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front();
}

// A value wrapped in matching quotes is read without them.
QString Unquote(QStringView value)
{
    if (WrappedInQuotes(value))
        return value.mid(1, value.size() - 2).toString();
    return value.toString();
}

// Quotes a value whose blanks or quotes the reader would otherwise strip, so
// that it reads back exactly as written.
QString QuoteForWriting(const QString& value)
{
    const bool blanksAtEnds = value != value.trimmed();
    if (blanksAtEnds || WrappedInQuotes(value))
        return u'"' + value + u'"';
    return value;
}

std::optional<QString> LookUp(const QString& path, const QString& section, const QString& key)
{
    QFile file;
    if (OpenForReading(file, path) != OpenError::None)
        return std::nullopt;
    const ProfileText doc = SplitProfileText(file.readAll());
    const KeyLocation where = Locate(doc.lines, QStringView(section).trimmed(), QStringView(key).trimmed());
    if (where.keyLine < 0)
        return std::nullopt;
    return Unquote(ParseLine(doc.lines.at(where.keyLine)).value);
}

bool HasLineBreak(const QString& text)
{
    return text.contains(u'\n') || text.contains(u'\r');
}

// Names that could not be read back as written, and anything that would
// break a line, are refused rather than written into a damaged file.
bool WritableNames(const QString& section, const QString& key, const QString& value)
{
    const QString s = section.trimmed();
    const QString k = key.trimmed();
    if (s.isEmpty() || k.isEmpty() || HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value))
        return false;
    if (k.contains(u'=') || k.front() == u'[' || k.front() == u';' || k.front() == u'#')
        return false;
    return true;
}

} // namespace

QString GetProfileString(const QString& path, const QString& section, const QString& key, const QString& defaultValue)
{
    std::optional<QString> value = LookUp(path, section, key);
    return value ? *value : defaultValue;
}

int32_t GetProfileInt(const QString& path, const QString& section, const QString& key, int32_t defaultValue)
{
    // An empty value counts as absent, as the old platform's integer reader
    // treats it, so "Quality=" still means the default quality.
    const std::optional<QString> value = LookUp(path, section, key);
    return value && !value->isEmpty() ? ParseProfileInt(*value) : defaultValue;
}

int32_t ParseProfileInt(const QString& text)
{
    const qsizetype size = text.size();
    qsizetype i = 0;
    while (i < size && (text.at(i).unicode() <= u' ' || text.at(i).isSpace()))
        ++i;
    bool negative = false;
    if (i < size && (text.at(i) == u'+' || text.at(i) == u'-')) {
        negative = text.at(i) == u'-';
        ++i;
    }
    uint32_t base = 10;
    if (i + 1 < size && text.at(i) == u'0' && (text.at(i + 1) == u'x' || text.at(i + 1) == u'X')) {
        base = 16;
        i += 2;
    }
    // Unsigned arithmetic: overlong numbers wrap around modulo 2^32.
    uint32_t result = 0;
    for (; i < size; ++i) {
        const char16_t ch = text.at(i).unicode();
        uint32_t digit;
        if (ch >= u'0' && ch <= u'9')
            digit = ch - u'0';
        else if (base == 16 && ch >= u'a' && ch <= u'f')
            digit = ch - u'a' + 10;
        else if (base == 16 && ch >= u'A' && ch <= u'F')
            digit = ch - u'A' + 10;
        else
            break;
        result = result * base + digit;
    }
    if (negative)
        result = 0u - result;
    return static_cast<int32_t>(result);
}

bool WriteProfileString(const QString& path, const QString& section, const QString& key, const QString& value)
{
    if (!WritableNames(section, key, value))
        return false;

    ProfileText doc;
    doc.eol = DefaultEol();
    const QFileInfo info(path);
    if (info.exists()) {
        // A file that cannot be read (or is write-protected) is left alone: writing
        // it afresh would lose everything else it holds.
        QFile file(path);
        if (!info.isFile() || !info.isWritable() || !file.open(QIODevice::ReadOnly))
            return false;
        doc = SplitProfileText(file.readAll());
        if (file.error() != QFileDevice::NoError)
            return false;
    }

    const QString trimmedKey = key.trimmed();
    const KeyLocation where = Locate(doc.lines, QStringView(section).trimmed(), QStringView(trimmedKey));
    const QString written = QuoteForWriting(value);
    if (where.keyLine >= 0) {
        // Keep the line's own spelling of the key and anything before its '='.
        QString& line = doc.lines[where.keyLine];
        const ParsedLine parsed = ParseLine(line);
        const QString head = parsed.equalsAt >= 0 ? line.left(parsed.equalsAt) : line.trimmed();
        line = head + u'=' + written;
    } else if (where.sectionLine >= 0) {
        // After the section's last non-blank line, ahead of the blank lines that part it from the next.
        qsizetype insertAt = where.sectionLine + 1;
        for (qsizetype i = where.sectionLine + 1; i < where.sectionEnd; ++i) {
            if (!doc.lines.at(i).trimmed().isEmpty())
                insertAt = i + 1;
        }
        doc.lines.insert(insertAt, trimmedKey + u'=' + written);
    } else {
        if (!doc.lines.isEmpty() && !doc.lines.constLast().trimmed().isEmpty())
            doc.lines.append(QString());
        doc.lines.append(u'[' + section.trimmed() + u']');
        doc.lines.append(trimmedKey + u'=' + written);
    }

    QByteArray bytes;
    if (doc.hasBom)
        bytes.append(kUtf8Bom);
    for (const QString& line : std::as_const(doc.lines)) {
        bytes.append(line.toUtf8());
        bytes.append(doc.eol.toLatin1());
    }

    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    if (out.write(bytes) != bytes.size()) {
        out.cancelWriting();
        return false;
    }
    return out.commit();
}

} // namespace lumavo
