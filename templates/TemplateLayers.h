#pragma once

#include "templates/LayerBlend.h"

#include <QImage>

#include <memory>

namespace lumavo {

// A template's two pictures made ready for drawing the photo between them.
// Shared by the composition and the finished picture; never changed once made.
struct TemplateLayers {
    QImage background; // RGB32, any alpha flattened over black
    QImage foreground; // straight ARGB32, or null when there is none
    ForegroundCoverage coverage; // at the background's size
    QImage base; // foreground over background, RGB32
};

// How a foreground of another size than the background is taken.
enum class ForegroundFit {
    AsGiven, // drawn from the top-left corner at its own size (the layout's composite)
    ToBackground, // scaled to the background's size first (the finished picture)
};

// The one combine step: background flattened, foreground in straight alpha,
// its coverage, and the foreground laid over the background. None when
// there is no background or memory ran out on the way.
std::shared_ptr<TemplateLayers> CombineLayers(const QImage& background, const QImage& foreground, ForegroundFit fit);

} // namespace lumavo
