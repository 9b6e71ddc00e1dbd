#pragma once

#include "cli/Arguments.h"
#include "cli/PortraitRoad.h"

#include <QString>

#include <optional>

namespace lumavo::cli {

// The portrait request the command's arguments make for a photo, --fit face
// included; `caption` when the portrait will be rendered.
PortraitRequest RequestFrom(const Arguments& arguments, const QString& photo, std::optional<QString> caption);

// With --fit face: whether the photo was placed by its faces, on the standard error.
void ReportFaceFit(const Arguments& arguments, const PreparedPortrait& portrait);

// What place, render, batch, print and proof say of a photo under --fit face.
QString FaceFitNote(bool framed);

} // namespace lumavo::cli
