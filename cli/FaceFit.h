#pragma once

#include <QString>

namespace lumavo::cli {

// What place, render, batch and proof say of a photo under --fit face.
QString FaceFitNote(bool framed);

} // namespace lumavo::cli
