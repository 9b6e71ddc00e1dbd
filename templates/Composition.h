#pragma once

#include "imaging/PhotoImage.h"
#include "templates/TemplateFolder.h"

#include <cstdint>
#include <memory>

namespace lumavo {

struct TemplateLayers;

// Where the photo is drawn, in background pixels.
struct PhotoPlacement {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
    friend bool operator==(const PhotoPlacement&, const PhotoPlacement&) = default;
};

// The photo fitted (never enlarged) and centred in the opening.
PhotoPlacement PlacePhoto(const LayerRect& opening, int32_t photoWidth, int32_t photoHeight);
PhotoPlacement MovePlacement(PhotoPlacement placement, int32_t dx, int32_t dy);
// The least width that shrinking leaves: the photo stays in sight.
inline constexpr int32_t kMinimumZoomWidth = 20;
// Grows by step on the left and the right and proportionally on the top and
// the bottom. A placement of width 0 or less is returned unchanged; a
// shrink stops at kMinimumZoomWidth (the last step is cut short to reach it).
PhotoPlacement ZoomPlacement(PhotoPlacement placement, int32_t step);

// Where a composite is shown (the picture control of the working windows).
// It makes a display copy of its own; it keeps no reference to the picture.
class CompositeSink {
public:
    virtual ~CompositeSink() = default;
    virtual void SetImage(const PhotoImage* picture) = 0;
};

// Draws background, photo and foreground into composites of the
// background's size. It keeps what a recomposition can reuse (the template
// layers combined, the photo scaled to the placement size, composite
// buffers that their holders have released), so a key press that only
// moves the photo costs little.
class Compositor {
public:
    Compositor();
    ~Compositor();
    Compositor(const Compositor&) = delete;
    Compositor& operator=(const Compositor&) = delete;

    // A new composite (the caller's) of the background's size, without
    // alpha, shown on the canvas when one is given. Without a usable
    // background the composite is a failed picture, handed on all the same.
    std::unique_ptr<PhotoImage> ComposeTemplate(CompositeSink* canvas, const PhotoImage* foreground,
        const PhotoImage* photo, const PhotoImage* background, const PhotoPlacement& placement);
    // The same on layers combined beforehand (kept while in use). Without
    // layers the composite is a failed picture.
    std::unique_ptr<PhotoImage> ComposeTemplate(CompositeSink* canvas, std::shared_ptr<const TemplateLayers> layers,
        const PhotoImage* photo, const PhotoPlacement& placement);

private:
    std::unique_ptr<PhotoImage> Compose(
        CompositeSink* canvas, const PhotoImage* photo, const PhotoPlacement& placement);
    struct Cache;
    std::unique_ptr<Cache> m_cache;
};

// One-off composition without caches kept between calls.
std::unique_ptr<PhotoImage> ComposeTemplate(CompositeSink* canvas, const PhotoImage* foreground,
    const PhotoImage* photo, const PhotoImage* background, const PhotoPlacement& placement);

} // namespace lumavo
