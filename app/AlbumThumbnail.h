#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

namespace lumavo {

// Thumbnails for the album. All of these are safe to call off the
// user-interface thread and decode only as much as the thumbnail needs
// (JPEG files are decoded at a reduced size by the decoder itself).

// A template's look in small: its background with the foreground drawn over
// it, fitted into box with its proportions kept. Null when the background
// cannot be read; a missing foreground leaves the background alone.
QImage MakeTemplateThumbnail(const QString& templateFolder, QSize box);

// MakeTemplateThumbnail through a cache of made thumbnails in the user's
// cache folder ("album-thumbnails"), keyed by the template's two picture
// files (path, size, modification time) and the box, so that a changed
// template is made afresh. The cache is only a speed-up: when it cannot be
// read or written the thumbnail is simply made.
QImage CachedTemplateThumbnail(const QString& templateFolder, QSize box);

// A picture file fitted into box; null when it cannot be read.
QImage LoadThumbnailFile(const QString& path, QSize box);

// Picture bytes (from the network) fitted into box; null when undecodable.
QImage DecodeThumbnail(const QByteArray& bytes, QSize box);

} // namespace lumavo
