#include "ProfileFile.h"

#include "CodePage.h"
#include "DiskPath.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QStringList>

#include <algorithm>
#include <optional>

namespace lumavo {

namespace {

constexpr char kUtf8Bom[] = "\xEF\xBB\xBF";
constexpr char kUtf16LeBom[] = "\xFF\xFE";
constexpr char kUtf16BeBom[] = "\xFE\xFF";

// How a file's text is stored, so that a write keeps it that way. Plain is
// ASCII alone, which every code page reads alike.
enum class Coding { Plain, Utf8, Utf8Bom, Gbk, Utf16Le, Utf16Be };

// The file as lines of text, with what is needed to write it back as it was.
struct ProfileText {
    QStringList lines;
    // Each line's bytes as read, without its line end; null for a line that
    // is new or changed and must be encoded. Lines left alone are written
    // back byte for byte, even bytes that did not decode.
    QList<QByteArray> stored;
    Coding coding = Coding::Plain;
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

bool IsUtf16(Coding coding)
{
    return coding == Coding::Utf16Le || coding == Coding::Utf16Be;
}

bool IsAscii(QByteArrayView bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [](char byte) { return uchar(byte) < 0x80; });
}

bool IsAscii(const QString& text)
{
    return std::all_of(text.cbegin(), text.cend(), [](QChar ch) { return ch.unicode() < 0x80; });
}

QString Decode(QByteArrayView bytes, Coding coding)
{
    switch (coding) {
    case Coding::Gbk:
        return FromGbk(bytes);
    case Coding::Utf16Le:
        return QStringDecoder(QStringConverter::Utf16LE, QStringConverter::Flag::Stateless).decode(bytes);
    case Coding::Utf16Be:
        return QStringDecoder(QStringConverter::Utf16BE, QStringConverter::Flag::Stateless).decode(bytes);
    default:
        return QString::fromUtf8(bytes);
    }
}

// None when the code page has no bytes for some of the text: writing '?'
// instead would damage the value.
std::optional<QByteArray> Encode(const QString& text, Coding coding)
{
    switch (coding) {
    case Coding::Gbk: {
        QByteArray bytes = ToGbk(text);
        if (FromGbk(bytes) != text)
            return std::nullopt;
        return bytes;
    }
    case Coding::Utf16Le:
        return QByteArray(QStringEncoder(QStringConverter::Utf16LE, QStringConverter::Flag::Stateless).encode(text));
    case Coding::Utf16Be:
        return QByteArray(QStringEncoder(QStringConverter::Utf16BE, QStringConverter::Flag::Stateless).encode(text));
    default:
        return text.toUtf8();
    }
}

QByteArrayView Bom(Coding coding)
{
    switch (coding) {
    case Coding::Utf8Bom:
        return kUtf8Bom;
    case Coding::Utf16Le:
        return kUtf16LeBom;
    case Coding::Utf16Be:
        return kUtf16BeBom;
    default:
        return {};
    }
}

// How a file that had only ASCII, or none at all, is written once it holds
// more: as the platform writes profile files. On Windows that is the ANSI code
// page of the systems the program is made for (GBK), or UTF-8 where GBK lacks
// a character; on Linux it is UTF-8, the system's own encoding.
Coding PlatformCoding(const QStringList& newText)
{
#ifdef Q_OS_WIN
    const bool gbkHoldsAll = std::all_of(
        newText.cbegin(), newText.cend(), [](const QString& text) { return Encode(text, Coding::Gbk).has_value(); });
    return gbkHoldsAll ? Coding::Gbk : Coding::Utf8;
#else
    Q_UNUSED(newText);
    return Coding::Utf8;
#endif
}

Coding DetectCoding(QByteArrayView bytes)
{
    if (bytes.startsWith(kUtf16LeBom))
        return Coding::Utf16Le;
    if (bytes.startsWith(kUtf16BeBom))
        return Coding::Utf16Be;
    if (bytes.startsWith(kUtf8Bom))
        return Coding::Utf8Bom;
    if (IsAscii(bytes))
        return Coding::Plain;
    return IsValidUtf8(bytes) ? Coding::Utf8 : Coding::Gbk;
}

ProfileText SplitProfileText(const QByteArray& bytes)
{
    ProfileText doc;
    doc.coding = DetectCoding(bytes);
    const QByteArrayView body = QByteArrayView(bytes).sliced(Bom(doc.coding).size());
    const qsizetype unit = IsUtf16(doc.coding) ? 2 : 1;
    const auto codeAt = [&](qsizetype i) -> char16_t {
        if (unit == 1)
            return uchar(body[i]);
        const char16_t first = uchar(body[i]);
        const char16_t second = uchar(body[i + 1]);
        return doc.coding == Coding::Utf16Le ? char16_t(first | second << 8) : char16_t(first << 8 | second);
    };

    // Lines end at CRLF, LF or a lone CR. Neither byte occurs inside a GBK
    // character, nor either code unit inside a UTF-16 pair.
    bool crlf = false;
    qsizetype start = 0;
    const auto addLine = [&](qsizetype end) {
        const QByteArrayView line = body.sliced(start, end - start);
        doc.lines.append(Decode(line, doc.coding));
        doc.stored.append(line.toByteArray());
    };
    for (qsizetype i = 0; i + unit <= body.size(); i += unit) {
        const char16_t code = codeAt(i);
        if (code != u'\n' && code != u'\r')
            continue;
        addLine(i);
        if (code == u'\r' && i + 2 * unit <= body.size() && codeAt(i + unit) == u'\n') {
            crlf = true;
            i += unit;
        }
        start = i + unit;
    }
    if (start < body.size())
        addLine(body.size());
    doc.eol = crlf ? QStringLiteral("\r\n") : DefaultEol();
    return doc;
}

// The file's bytes, refusing at once what is no profile file: a FIFO or a
// device (reading one could wait or never end) and anything over the limit.
ProfileFileState ReadProfileBytes(const QString& path, QByteArray& bytes)
{
    QFile file;
    switch (OpenForReading(file, path)) {
    case OpenError::None:
        break;
    case OpenError::Missing:
        return ProfileFileState::Missing;
    case OpenError::NotAFile:
        return ProfileFileState::NotAFile;
    case OpenError::Unreadable:
        return ProfileFileState::Unreadable;
    }
    if (file.size() > kMaxProfileFileBytes)
        return ProfileFileState::TooLarge;
    // A file still growing is cut at the limit, not followed.
    bytes = file.read(kMaxProfileFileBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return ProfileFileState::Unreadable;
    if (bytes.size() > kMaxProfileFileBytes)
        return ProfileFileState::TooLarge;
    return ProfileFileState::Read;
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

ProfileContents::ProfileContents(const QString& path)
{
    QByteArray bytes;
    m_state = ReadProfileBytes(path, bytes);
    if (m_state == ProfileFileState::Read)
        m_lines = SplitProfileText(bytes).lines;
}

std::optional<QString> ProfileContents::Value(const QString& section, const QString& key) const
{
    const KeyLocation where = Locate(m_lines, QStringView(section).trimmed(), QStringView(key).trimmed());
    if (where.keyLine < 0)
        return std::nullopt;
    return Unquote(ParseLine(m_lines.at(where.keyLine)).value);
}

QString ProfileContents::String(const QString& section, const QString& key, const QString& defaultValue) const
{
    std::optional<QString> value = Value(section, key);
    return value ? *value : defaultValue;
}

int32_t ProfileContents::Int(const QString& section, const QString& key, int32_t defaultValue) const
{
    // An empty value counts as absent, as the old platform's integer reader
    // treats it, so "Quality=" still means the default quality.
    const std::optional<QString> value = Value(section, key);
    return value && !value->isEmpty() ? ParseProfileInt(*value) : defaultValue;
}

QString GetProfileString(const QString& path, const QString& section, const QString& key, const QString& defaultValue)
{
    return ProfileContents(path).String(section, key, defaultValue);
}

int32_t GetProfileInt(const QString& path, const QString& section, const QString& key, int32_t defaultValue)
{
    return ProfileContents(path).Int(section, key, defaultValue);
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
    if (StatPath(path).kind != EntryKind::Missing) {
        // A file that cannot be read whole (or is write-protected) is left
        // alone: writing it afresh would lose everything else it holds.
        QByteArray bytes;
        if (!QFileInfo(path).isWritable() || ReadProfileBytes(path, bytes) != ProfileFileState::Read)
            return false;
        doc = SplitProfileText(bytes);
    }

    const QString trimmedKey = key.trimmed();
    const KeyLocation where = Locate(doc.lines, QStringView(section).trimmed(), QStringView(trimmedKey));
    const QString written = QuoteForWriting(value);
    const auto insertLine = [&doc](qsizetype at, const QString& line) {
        doc.lines.insert(at, line);
        doc.stored.insert(at, QByteArray());
    };
    if (where.keyLine >= 0) {
        // Keep the line's own spelling of the key and anything before its '='.
        QString& line = doc.lines[where.keyLine];
        const ParsedLine parsed = ParseLine(line);
        const QString head = parsed.equalsAt >= 0 ? line.left(parsed.equalsAt) : line.trimmed();
        line = head + u'=' + written;
        doc.stored[where.keyLine] = QByteArray();
    } else if (where.sectionLine >= 0) {
        // After the section's last non-blank line, ahead of the blank lines that part it from the next.
        qsizetype insertAt = where.sectionLine + 1;
        for (qsizetype i = where.sectionLine + 1; i < where.sectionEnd; ++i) {
            if (!doc.lines.at(i).trimmed().isEmpty())
                insertAt = i + 1;
        }
        insertLine(insertAt, trimmedKey + u'=' + written);
    } else {
        if (!doc.lines.isEmpty() && !doc.lines.constLast().trimmed().isEmpty())
            insertLine(doc.lines.size(), QString());
        insertLine(doc.lines.size(), u'[' + section.trimmed() + u']');
        insertLine(doc.lines.size(), trimmedKey + u'=' + written);
    }

    QStringList newText;
    for (qsizetype i = 0; i < doc.lines.size(); ++i) {
        if (doc.stored.at(i).isNull())
            newText.append(doc.lines.at(i));
    }
    Coding coding = doc.coding;
    if (coding == Coding::Plain
        && !std::all_of(newText.cbegin(), newText.cend(), [](const QString& text) { return IsAscii(text); }))
        coding = PlatformCoding(newText);

    QByteArray bytes = Bom(coding).toByteArray();
    const QByteArray eol = *Encode(doc.eol, coding);
    for (qsizetype i = 0; i < doc.lines.size(); ++i) {
        if (doc.stored.at(i).isNull()) {
            const std::optional<QByteArray> line = Encode(doc.lines.at(i), coding);
            if (!line)
                return false;
            bytes.append(*line);
        } else {
            bytes.append(doc.stored.at(i));
        }
        bytes.append(eol);
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
