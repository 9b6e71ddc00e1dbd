#include "app/AlbumData.h"

#include "app/AlbumServer.h"
#include "platform/CodePage.h"
#include "platform/DiskPath.h"
#include "templates/TemplateFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QXmlStreamReader>

#include <algorithm>

namespace lumavo {

namespace {

QString Attribute(const QXmlStreamAttributes& attributes, const char* name)
{
    return attributes.value(QLatin1String(name)).toString().trimmed();
}

bool IsSafeFolderName(const QString& name)
{
    return TemplateFolder::Make(QStringLiteral("/root"), name).has_value();
}

QStringView WithoutLeadingZeros(QStringView digits)
{
    while (!digits.isEmpty() && digits.front() == u'0')
        digits = digits.mid(1);
    return digits;
}

// Names as people sort them: runs of digits by their value ("模板2" before
// "模板10"), the rest by character, letters without case.
bool NaturalLess(const QString& a, const QString& b)
{
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            const qsizetype startA = i;
            const qsizetype startB = j;
            while (i < a.size() && a[i].isDigit())
                ++i;
            while (j < b.size() && b[j].isDigit())
                ++j;
            const QStringView numberA = WithoutLeadingZeros(QStringView(a).mid(startA, i - startA));
            const QStringView numberB = WithoutLeadingZeros(QStringView(b).mid(startB, j - startB));
            if (numberA.size() != numberB.size())
                return numberA.size() < numberB.size();
            if (const int order = numberA.compare(numberB); order != 0)
                return order < 0;
            continue;
        }
        const QChar ca = a[i].toCaseFolded();
        const QChar cb = b[j].toCaseFolded();
        if (ca != cb)
            return ca < cb;
        ++i;
        ++j;
    }
    if ((a.size() - i) != (b.size() - j))
        return (a.size() - i) < (b.size() - j);
    return a < b;
}

} // namespace

std::optional<AlbumData> ParseAlbumXml(QByteArrayView bytes)
{
    // Decoded here so that GBK files read right whatever they declare.
    QXmlStreamReader reader(DecodeLegacyText(bytes));
    if (!reader.readNextStartElement() || reader.name() != QLatin1String("album"))
        return std::nullopt;

    AlbumData data;
    QSet<QString> seen;
    while (!reader.atEnd()) {
        reader.readNext();
        if (!reader.isStartElement())
            continue;
        const QXmlStreamAttributes attributes = reader.attributes();
        if (reader.name() == QLatin1String("template")) {
            AlbumTemplate entry;
            entry.folder = Attribute(attributes, "folder");
            entry.caption = Attribute(attributes, "caption");
            entry.thumbnail = Attribute(attributes, "thumbnail");
            if (!IsSafeFolderName(entry.folder) || seen.contains(entry.folder))
                continue;
            if (!entry.thumbnail.isEmpty() && !IsPlainRelativePath(entry.thumbnail))
                entry.thumbnail.clear();
            seen.insert(entry.folder);
            data.templates.push_back(std::move(entry));
        } else if (reader.name() == QLatin1String("track")) {
            AlbumTrack track;
            track.file = Attribute(attributes, "file");
            track.title = Attribute(attributes, "title");
            if (!IsPlainRelativePath(track.file))
                continue;
            if (track.title.isEmpty())
                track.title = QFileInfo(track.file).completeBaseName();
            data.tracks.push_back(std::move(track));
        }
    }
    if (reader.hasError())
        return std::nullopt;
    return data;
}

std::vector<AlbumTemplate> ListTemplateFolders(const QString& templateRoot)
{
    std::vector<AlbumTemplate> templates;
    if (templateRoot.isEmpty())
        return templates;
    const QDir root(templateRoot);
    // Folder names as they read, whatever code page they were written in.
    QStringList names = FolderEntries(templateRoot, EntryKind::Folder);
    std::sort(names.begin(), names.end(), NaturalLess);
    for (const QString& name : names) {
        if (IsFile(root.filePath(name + QLatin1Char('/') + QLatin1String(kBackgroundFile))))
            templates.push_back(AlbumTemplate { name, QString(), QString() });
    }
    return templates;
}

std::vector<AlbumTrack> ListMusicFiles(const QString& serverFolder)
{
    std::vector<AlbumTrack> tracks;
    const QDir music(QDir(serverFolder).filePath(QLatin1String(kAlbumMusicFolder)));
    const QStringList filters = { QStringLiteral("*.wav"), QStringLiteral("*.mp3"), QStringLiteral("*.ogg"),
        QStringLiteral("*.oga"), QStringLiteral("*.flac"), QStringLiteral("*.m4a") };
    QStringList names = music.entryList(filters, QDir::Files);
    std::sort(names.begin(), names.end(), NaturalLess);
    for (const QString& name : names) {
        tracks.push_back(AlbumTrack {
            QFileInfo(name).completeBaseName(), QLatin1String(kAlbumMusicFolder) + QLatin1Char('/') + name });
    }
    return tracks;
}

} // namespace lumavo
