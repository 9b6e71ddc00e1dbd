#pragma once

// Writes JPEG files the way cameras and editors do, with what Qt's own
// writer cannot put in: restart markers, APPn segments, CMYK.

#include <QByteArray>
#include <QImage>
#include <QList>

namespace lumavo::test {

struct JpegOptions {
    int quality = 90;
    bool progressive = false;
    int restartRows = 0; // a restart marker every this many rows of blocks
    bool cmyk = false; // stored inverted with an Adobe segment, as Photoshop does
    // Segments written after the JFIF header: marker (0xE1 ... 0xEF) and body.
    QList<QPair<int, QByteArray>> segments = {};
};

// The picture (any format; grey pictures stay grey) as a JPEG file.
QByteArray WriteJpeg(const QImage& image, const JpegOptions& options = {});

} // namespace lumavo::test
