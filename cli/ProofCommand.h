#pragma once

#include "cli/Arguments.h"

namespace lumavo::cli {

// proof: one photo set into every template of the root, written as one
// contact sheet with each template's name under its picture.
int RunProof(const Arguments& arguments);

} // namespace lumavo::cli
