#pragma once

#include "SampleDrawing.h"

namespace lumavo::samples {

// The sample template styles; each draws one template's art.
TemplateArt DrawClassicCream4R();
TemplateArt DrawLinenBlue3R();
TemplateArt DrawSageLandscape6R();
TemplateArt DrawSpringBlossom();

} // namespace lumavo::samples
