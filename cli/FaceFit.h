#pragma once

#include "cli/Arguments.h"
#include "cli/PortraitRoad.h"

#include <QString>

namespace lumavo::cli {

// --fit face carried into a portrait's request.
PortraitRequest FittedRequest(const Arguments& arguments, PortraitRequest request);

// With --fit face: whether the photo was placed by its faces, on the standard error.
void ReportFaceFit(const Arguments& arguments, const PreparedPortrait& portrait);

// What place, render, batch, print and proof say of a photo under --fit face.
QString FaceFitNote(bool framed);

} // namespace lumavo::cli
