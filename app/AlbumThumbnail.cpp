#include "app/AlbumThumbnail.h"

#include "platform/DiskPath.h"
#include "templates/TemplateFolder.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QSaveFile>
#include <QStandardPaths>

namespace lumavo {

namespace {

// The picture from a reader, fitted into box (never enlarged). With
// `exactSize` valid the picture is read at exactly that size instead, so that
// a foreground lands pixel for pixel on its background.
QImage ReadFitted(QImageReader& reader, QSize box, QSize exactSize = QSize())
{
    const QSize full = reader.size();
    if (!full.isValid() || box.isEmpty())
        return {};
    QSize target = exactSize;
    if (!target.isValid()) {
        target = full;
        if (full.width() > box.width() || full.height() > box.height())
            target = full.scaled(box, Qt::KeepAspectRatio);
        target = target.expandedTo(QSize(1, 1));
    }
    if (target != full)
        reader.setScaledSize(target);
    QImage image = reader.read();
    if (!image.isNull() && image.size() != target)
        image = image.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return image;
}

// A picture file, found through the names on disk, read as ReadFitted reads it.
QImage ReadFittedFile(const QString& path, QSize box, QSize exactSize = QSize())
{
    QFile file;
    if (OpenForReading(file, path) != OpenError::None)
        return {};
    QImageReader reader(&file);
    return ReadFitted(reader, box, exactSize);
}

} // namespace

QImage MakeTemplateThumbnail(const QString& templateFolder, QSize box)
{
    const QDir folder(templateFolder);
    QImage background = ReadFittedFile(folder.filePath(QLatin1String(kBackgroundFile)), box);
    if (background.isNull())
        return {};
    background = background.convertToFormat(QImage::Format_RGB32);

    const QImage foreground = ReadFittedFile(folder.filePath(QLatin1String(kForegroundFile)), box, background.size());
    if (!foreground.isNull()) {
        QPainter painter(&background);
        painter.drawImage(0, 0, foreground);
    }
    return background;
}

QImage CachedTemplateThumbnail(const QString& templateFolder, QSize box)
{
    const QString cacheRoot = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    if (cacheRoot.isEmpty())
        return MakeTemplateThumbnail(templateFolder, box);
    QCryptographicHash key(QCryptographicHash::Sha1);
    key.addData(QFileInfo(templateFolder).absoluteFilePath().toUtf8());
    for (const char* name : { kBackgroundFile, kForegroundFile }) {
        const PathFacts file = StatPath(QDir(templateFolder).filePath(QLatin1String(name)));
        key.addData(QByteArray::number(file.size) + ':' + QByteArray::number(file.modifiedMs) + ';');
    }
    key.addData(QByteArray::number(box.width()) + 'x' + QByteArray::number(box.height()));
    const QString cacheFolder = cacheRoot + QStringLiteral("/album-thumbnails");
    const QString cacheFile
        = cacheFolder + QLatin1Char('/') + QString::fromLatin1(key.result().toHex()) + QStringLiteral(".png");

    QImage image(cacheFile, "PNG");
    if (!image.isNull())
        return image;
    image = MakeTemplateThumbnail(templateFolder, box);
    if (!image.isNull() && QDir().mkpath(cacheFolder)) {
        QSaveFile file(cacheFile);
        if (file.open(QIODevice::WriteOnly)) {
            QImageWriter writer(&file, "PNG");
            if (writer.write(image))
                file.commit();
        }
    }
    return image;
}

QImage LoadThumbnailFile(const QString& path, QSize box)
{
    return ReadFittedFile(path, box);
}

QImage DecodeThumbnail(const QByteArray& bytes, QSize box)
{
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    return ReadFitted(reader, box);
}

} // namespace lumavo
