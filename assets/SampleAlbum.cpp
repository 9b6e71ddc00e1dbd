#include "SampleAlbum.h"

#include <QDir>
#include <QSaveFile>
#include <QXmlStreamWriter>

namespace lumavo::samples {

namespace {

const QString kTrackTitle = QStringLiteral("晨光小调");
const QString kTrackFile = QStringLiteral("ablum/music/morning-light.wav");

bool WriteBytes(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

QByteArray AlbumXml(const std::vector<AlbumEntry>& templates)
{
    QByteArray bytes;
    QXmlStreamWriter xml(&bytes);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeComment(QStringLiteral(" The template album and its music; see docs/album-format.md "));
    xml.writeStartElement(QStringLiteral("album"));
    for (const AlbumEntry& entry : templates) {
        xml.writeEmptyElement(QStringLiteral("template"));
        xml.writeAttribute(QStringLiteral("folder"), entry.folder);
        if (!entry.caption.isEmpty())
            xml.writeAttribute(QStringLiteral("caption"), entry.caption);
    }
    xml.writeStartElement(QStringLiteral("music"));
    xml.writeEmptyElement(QStringLiteral("track"));
    xml.writeAttribute(QStringLiteral("title"), kTrackTitle);
    xml.writeAttribute(QStringLiteral("file"), kTrackFile);
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeEndDocument();
    return bytes;
}

} // namespace

bool WriteSampleAlbum(const QString& programDir, const std::vector<AlbumEntry>& templates)
{
    const QDir program(programDir);
    if (!QDir().mkpath(program.filePath(QStringLiteral("ablum/music"))))
        return false;
    const bool music = WriteBytes(program.filePath(kTrackFile), SynthesiseSampleMusic());
    const bool album = WriteBytes(program.filePath(QStringLiteral("ablum/album.xml")), AlbumXml(templates));
    return music && album;
}

} // namespace lumavo::samples
