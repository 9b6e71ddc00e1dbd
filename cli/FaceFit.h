#pragma once

#include "cli/Arguments.h"
#include "templates/FaceFraming.h"

#include <QList>
#include <QSize>
#include <QString>

#include <optional>

namespace lumavo::cli {

// --fit face: where the photo's faces are once its edits are applied.
struct PhotoFaces {
    std::optional<FramingSubject> subject; // in pixels of the edited photo at full size
    QString warning; // why faces could not be looked for (the whole-photo fit is used)
};

PhotoFaces FindPhotoFaces(const QString& photoPath, const QList<PhotoEdit>& edits);

// What batch and place say of a photo placed by --fit face.
QString FaceFitNote(bool framed);

} // namespace lumavo::cli
