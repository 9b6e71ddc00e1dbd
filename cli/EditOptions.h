#pragma once

#include "templates/KeyClick.h"

#include <QString>

#include <optional>

namespace lumavo::cli {

// The value of "--edit key:..." after "key:" ("X,Y" or "X,Y:TOL", X and Y
// in pixels or as "2%"); an error line when it is not one.
std::optional<KeyClick> ParseKeyClick(const QString& text, QString* error);

} // namespace lumavo::cli
