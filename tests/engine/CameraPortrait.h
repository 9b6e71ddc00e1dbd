#pragma once

// Real portraits as a camera delivers them, with where their marked faces lie.

#include "PortraitTruth.h"
#include "TestUtils.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPointF>

namespace lumavo::test {

// A real portrait as a camera delivers it: enlarged inside a wider view of
// its own backdrop, with where its marked face and eyes now lie.
struct CameraPortrait {
    QImage photo;
    QPointF faceCentre;
    double eyeLine = 0;
};

inline CameraPortrait MakeCameraPortrait(const char* name, QSize size)
{
    CameraPortrait result;
    const QString file = QString::fromLatin1(name);
    const QImage portrait(QDir(test::PortraitFolder()).filePath(file));
    const auto marked = test::ReadMarkedFaces(QDir(test::PortraitFolder()).filePath(QStringLiteral("faces.txt")));
    const test::MarkedFace& truth = marked.at(file).front();
    const double scale = size.height() / 2.0 / portrait.height();
    const QPointF at((size.width() - portrait.width() * scale) / 2, size.height() / 4.0);
    result.photo = QImage(size, QImage::Format_RGB32);
    result.photo.fill(portrait.pixel(2, 2));
    QPainter painter(&result.photo);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRectF(at, QSizeF(portrait.width() * scale, portrait.height() * scale)), portrait);
    painter.end();
    result.faceCentre = at + QPointF(truth.box.center()) * scale;
    result.eyeLine = at.y() + (truth.leftEye->y() + truth.rightEye->y()) / 2.0 * scale;
    return result;
}

} // namespace lumavo::test
