#include "templates/Composition.h"

#include "templates/LayerBlend.h"
#include "templates/PhotoArea.h"
#include "templates/PhotoScaling.h"
#include "templates/TemplateLayers.h"

#include <algorithm>
#include <vector>

namespace lumavo {

namespace {

// Composite buffers kept for reuse: the layout window holds one while the
// next is made, so two alternate; the third covers a composite that
// someone else (the output window) still borrows.
constexpr size_t kPoolSize = 3;

std::unique_ptr<PhotoImage> Deliver(CompositeSink* canvas, std::unique_ptr<PhotoImage> composite)
{
    if (canvas)
        canvas->SetImage(composite.get());
    return composite;
}

} // namespace

struct Compositor::Cache {
    // The template layers in use, with the pictures they were combined from
    // when the compositor combined them itself.
    struct Layers {
        std::shared_ptr<const TemplateLayers> combined;
        int64_t backgroundKey = 0;
        int64_t foregroundKey = 0;
        QSize backgroundSize;
        QSize foregroundSize;
        uint64_t serial = 0;
    };

    // A composite buffer and what it holds: the base with the photo drawn
    // into `drawn` from scaled photo `photoSerial` at `placement`.
    struct Slot {
        QImage image;
        uint64_t baseSerial = 0;
        uint64_t photoSerial = 0;
        PhotoPlacement placement;
        QRect drawn;
        uint64_t lastUse = 0;
    };

    Layers layers;
    PhotoScaler scaler;
    ScaledPhoto scaled;
    uint64_t scaledSerial = 0;
    std::vector<Slot> buffers;
    uint64_t nextSerial = 1;
    uint64_t useClock = 0;

    bool UpdateLayers(const QImage& background, const QImage& foreground);
    void UseLayers(std::shared_ptr<const TemplateLayers> combined);
    const ScaledPhoto* UpdateScaledPhoto(
        const QImage& photo, const PhotoPlacement& placement, const QRect& visible, const QSize& composite);
    Slot* TakeSlot(const QSize& size);
};

bool Compositor::Cache::UpdateLayers(const QImage& background, const QImage& foreground)
{
    if (layers.serial != 0 && layers.backgroundKey == background.cacheKey()
        && layers.backgroundSize == background.size() && layers.foregroundKey == foreground.cacheKey()
        && layers.foregroundSize == foreground.size())
        return true;
    layers = Layers();
    std::shared_ptr<const TemplateLayers> combined = CombineLayers(background, foreground, ForegroundFit::AsGiven);
    if (!combined)
        return false;
    UseLayers(std::move(combined));
    layers.backgroundKey = background.cacheKey();
    layers.backgroundSize = background.size();
    layers.foregroundKey = foreground.cacheKey();
    layers.foregroundSize = foreground.size();
    return true;
}

void Compositor::Cache::UseLayers(std::shared_ptr<const TemplateLayers> combined)
{
    if (layers.serial != 0 && layers.combined == combined)
        return;
    layers = Layers();
    const QSize size = combined->base.size();
    layers.combined = std::move(combined);
    layers.serial = nextSerial++;
    // Buffers of another template size are of no further use.
    std::erase_if(buffers, [&](const Slot& slot) { return slot.image.size() != size; });
}

const ScaledPhoto* Compositor::Cache::UpdateScaledPhoto(
    const QImage& photo, const PhotoPlacement& placement, const QRect& visible, const QSize& composite)
{
    const QRect needed = InPlacement(visible, placement);
    if (scaledSerial != 0 && !scaled.pixels.isNull() && scaled.photoKey == photo.cacheKey()
        && scaled.photoSize == photo.size() && scaled.width == placement.width && scaled.height == placement.height
        && scaled.window.contains(needed))
        return &scaled;

    // A placement larger than the composite is scaled only around what
    // shows, with a margin so that the next few moves reuse it.
    const int margin = std::max(32, std::max(composite.width(), composite.height()) / 8);
    const QRect window = ScalingWindow(placement, needed, composite, margin);
    // The previous scaled photo's memory is reused when the shape matches (a
    // large placement's window keeps its size from one zoom to the next).
    QImage spare = std::move(scaled.pixels);
    scaled = scaler.Scale(photo, placement.width, placement.height, window, false, std::move(spare));
    scaledSerial = nextSerial++;
    return scaled.pixels.isNull() ? nullptr : &scaled;
}

Compositor::Cache::Slot* Compositor::Cache::TakeSlot(const QSize& size)
{
    Slot* chosen = nullptr;
    for (Slot& slot : buffers) {
        // Free once every composite handed out from it has been released.
        if (!slot.image.isDetached())
            continue;
        if (!chosen || (slot.baseSerial == layers.serial && chosen->baseSerial != layers.serial))
            chosen = &slot;
    }
    if (!chosen) {
        if (buffers.size() < kPoolSize) {
            chosen = &buffers.emplace_back();
        } else {
            // All are held elsewhere: leave the oldest to its holder.
            chosen = &*std::min_element(
                buffers.begin(), buffers.end(), [](const Slot& a, const Slot& b) { return a.lastUse < b.lastUse; });
            *chosen = Slot();
        }
    }
    if (chosen->image.size() != size) {
        *chosen = Slot();
        chosen->image = QImage(size, QImage::Format_RGB32);
        if (chosen->image.isNull()) {
            buffers.erase(buffers.begin() + (chosen - buffers.data()));
            return nullptr;
        }
    }
    chosen->lastUse = ++useClock;
    return chosen;
}

Compositor::Compositor()
    : m_cache(std::make_unique<Cache>())
{
}

Compositor::~Compositor() = default;

std::unique_ptr<PhotoImage> Compositor::ComposeTemplate(CompositeSink* canvas, const PhotoImage* foreground,
    const PhotoImage* photo, const PhotoImage* background, const PhotoPlacement& placement)
{
    if (!background || background->IsNull())
        return Deliver(canvas, PhotoImage::Adopt(QImage(), InvalidParameter));
    const QImage noForeground;
    const QImage& foregroundImage = foreground && !foreground->IsNull() ? foreground->image() : noForeground;
    if (!m_cache->UpdateLayers(background->image(), foregroundImage))
        return Deliver(canvas, PhotoImage::Adopt(QImage(), OutOfMemory));
    return Compose(canvas, photo, placement);
}

std::unique_ptr<PhotoImage> Compositor::ComposeTemplate(CompositeSink* canvas,
    std::shared_ptr<const TemplateLayers> layers, const PhotoImage* photo, const PhotoPlacement& placement)
{
    if (!layers)
        return Deliver(canvas, PhotoImage::Adopt(QImage(), InvalidParameter));
    m_cache->UseLayers(std::move(layers));
    return Compose(canvas, photo, placement);
}

std::unique_ptr<PhotoImage> Compositor::Compose(
    CompositeSink* canvas, const PhotoImage* photo, const PhotoPlacement& placement)
{
    Cache& cache = *m_cache;
    const TemplateLayers& layers = *cache.layers.combined;
    const uint64_t layersSerial = cache.layers.serial;
    const QSize size = layers.base.size();

    QRect photoRect;
    const ScaledPhoto* scaled = nullptr;
    if (photo && !photo->IsNull()) {
        photoRect = VisiblePart(placement, size);
        if (!photoRect.isEmpty())
            scaled = cache.UpdateScaledPhoto(photo->image(), placement, photoRect, size);
        if (!scaled)
            photoRect = QRect();
    }

    Cache::Slot* slot = cache.TakeSlot(size);
    if (!slot)
        return Deliver(canvas, PhotoImage::Adopt(QImage(), OutOfMemory));
    if (slot->baseSerial != layersSerial) {
        CopyWhole(slot->image, layers.base);
        slot->baseSerial = layersSerial;
        slot->photoSerial = 0;
        slot->drawn = QRect();
    }
    const uint64_t photoSerial = scaled ? cache.scaledSerial : 0;
    const bool unchanged = slot->drawn.isEmpty() && photoRect.isEmpty();
    const bool same = slot->photoSerial == photoSerial && slot->placement == placement && slot->drawn == photoRect;
    if (!unchanged && !same) {
        // Only what the old photo covered and the new one does not goes
        // back to the base; the new photo area is written whole.
        RestoreFromBase(slot->image, layers.base, slot->drawn, photoRect);
        if (scaled) {
            DrawPhotoArea(slot->image, layers.base, layers.background, layers.foreground, layers.coverage,
                PhotoLayerOf(*scaled, placement), photoRect);
        }
    }
    slot->photoSerial = photoSerial;
    slot->placement = placement;
    slot->drawn = photoRect;
    // The composite shares the buffer; the slot is free again once the
    // caller has released it.
    return Deliver(canvas, PhotoImage::Adopt(slot->image));
}

std::unique_ptr<PhotoImage> ComposeTemplate(CompositeSink* canvas, const PhotoImage* foreground,
    const PhotoImage* photo, const PhotoImage* background, const PhotoPlacement& placement)
{
    Compositor compositor;
    return compositor.ComposeTemplate(canvas, foreground, photo, background, placement);
}

} // namespace lumavo
