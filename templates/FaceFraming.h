#pragma once

#include "templates/Composition.h"
#include "templates/TemplateFolder.h"

#include <cstdint>
#include <optional>

namespace lumavo {

// The faces to frame, in photo pixels: the box around them and the height
// of their eyes.
struct FramingSubject {
    int32_t left = 0;
    int32_t top = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t eyeLine = 0;
};

struct FramingGoal {
    // Face height as a share of the opening's height; about a third gives
    // head and shoulders.
    double faceShare = 0.32;
    // Height of the eyes below the opening's top, as a share of its height.
    double eyeLine = 0.40;
    // The faces never take more of the opening's width than this, so a
    // group is not cut at the sides.
    double widestShare = 0.85;
};

// The placement that centres the subject across the opening, puts its eyes
// on the goal's line and scales it to the goal's share, keeping the photo's
// proportions. The photo always covers the whole opening: when that needs
// it larger, it is enlarged, and when a goal would uncover part of the
// opening, the photo stops at the opening's edge and the subject lies as
// near its goal as it can. None for an empty opening, photo or subject.
std::optional<PhotoPlacement> FramePlacement(const LayerRect& opening, int32_t photoWidth, int32_t photoHeight,
    const FramingSubject& subject, const FramingGoal& goal = {});

} // namespace lumavo
