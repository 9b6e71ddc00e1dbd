#pragma once

#include "cli/Arguments.h"

#include <cstdint>

namespace lumavo::cli {

// The JPEG quality of a written picture: --quality, else the settings' one.
int32_t QualityOf(const Arguments& arguments);
// The caption a finished picture gets: --caption, else the settings' one.
QString CaptionOf(const Arguments& arguments);

// Runs a parsed command; returns the exit code.
int RunCommand(const Arguments& arguments);

int RunTemplates(const Arguments& arguments);
int RunPlace(const Arguments& arguments);
int RunRender(const Arguments& arguments);
int RunBatch(const Arguments& arguments);

} // namespace lumavo::cli
