#include "templates/OutputRender.h"

#include "imaging/PixelAccess.h"
#include "templates/Caption.h"
#include "templates/LayerBlend.h"
#include "templates/PhotoArea.h"
#include "templates/PhotoScaling.h"
#include "templates/TemplateLayers.h"

#include <QPainter>

namespace lumavo {

namespace {

// value x loaded / recorded, truncated toward zero, in 64 bits.
int32_t Rescale(int32_t value, int32_t loaded, int32_t recorded)
{
    return SaturateInt32(int64_t(value) * loaded / recorded);
}

// A picture of its own to draw on; false when memory for the copy ran out.
bool Detach(QImage& picture)
{
    picture.detach();
    return !picture.isNull();
}

} // namespace

OutputTemplate::OutputTemplate() = default;
OutputTemplate::OutputTemplate(OutputTemplate&&) noexcept = default;
OutputTemplate& OutputTemplate::operator=(OutputTemplate&&) noexcept = default;
OutputTemplate::~OutputTemplate() = default;

OutputTemplate OutputTemplate::Load(const TemplateFolder& folder)
{
    const TemplatePictures pictures = LoadTemplatePictures(folder);
    // Both pictures must be there; the background is judged first.
    if (!pictures.error.isEmpty() || !pictures.foreground) {
        OutputTemplate result;
        result.m_error = kOutputReadError;
        return result;
    }
    return FromPictures(pictures.background->image(), pictures.foreground->image());
}

OutputTemplate OutputTemplate::FromPictures(const QImage& background, const QImage& foreground)
{
    OutputTemplate result;
    result.m_size = background.size();
    result.m_layers = CombineLayers(background, foreground, ForegroundFit::ToBackground);
    // Out of memory: the rendering says so instead of drawing.
    result.m_outOfMemory = !result.m_layers;
    return result;
}

OutputTemplate OutputTemplate::FromLayers(std::shared_ptr<TemplateLayers> layers)
{
    OutputTemplate result;
    result.m_layers = std::move(layers);
    result.m_outOfMemory = !result.m_layers;
    if (result.m_layers)
        result.m_size = result.m_layers->base.size();
    return result;
}

RenderResult RenderOutput(const TemplateFolder& folder, const PhotoImage* photo, const PhotoPlacement& placement,
    int32_t recordedWidth, int32_t recordedHeight, const QString& captionText)
{
    // Without a recorded size the placement cannot be scaled: refused
    // before any file is read.
    if (recordedWidth <= 0 || recordedHeight <= 0)
        return RenderResult { nullptr, kOutputReadError };
    return RenderOutput(OutputTemplate::Load(folder), photo, placement, recordedWidth, recordedHeight, captionText);
}

RenderResult RenderOutput(OutputTemplate&& layers, const PhotoImage* photo, const PhotoPlacement& placement,
    int32_t recordedWidth, int32_t recordedHeight, const QString& captionText)
{
    RenderResult result;
    // The placement is scaled by loaded / recorded size; without a recorded
    // size there is nothing to scale it by.
    if (recordedWidth <= 0 || recordedHeight <= 0 || !layers.m_error.isEmpty()
        || (!layers.m_layers && !layers.m_outOfMemory)) {
        result.error = kOutputReadError;
        return result;
    }
    const std::shared_ptr<TemplateLayers> taken = std::move(layers.m_layers);
    if (!taken) {
        result.error = kOutputMemoryError;
        return result;
    }
    // The picture starts as the combined layers; while others hold them
    // too (a portrait keeps them for the next rendering) it draws on a copy.
    QImage picture = taken.use_count() == 1 ? std::move(taken->base) : taken->base;
    const QSize size = picture.size();

    if (photo && !photo->IsNull()) {
        const PhotoPlacement scaledPlacement { Rescale(placement.x, size.width(), recordedWidth),
            Rescale(placement.y, size.height(), recordedHeight), Rescale(placement.width, size.width(), recordedWidth),
            Rescale(placement.height, size.height(), recordedHeight) };
        const QRect visible = VisiblePart(scaledPlacement, size);
        if (!visible.isEmpty()) {
            const QRect window = ScalingWindow(scaledPlacement, InPlacement(visible, scaledPlacement), size, 0);
            PhotoScaler scaler;
            const ScaledPhoto scaled = scaler.Scale(
                photo->image(), scaledPlacement.width, scaledPlacement.height, window, /*fullResolution=*/true);
            if (scaled.pixels.isNull()) {
                // A portrait without the customer must not pass for one.
                result.error = kOutputMemoryError;
                return result;
            }
            // The picture holds foreground over background: it is its own base.
            if (!Detach(picture)) {
                result.error = kOutputMemoryError;
                return result;
            }
            DrawPhotoArea(picture, picture, taken->background, taken->foreground, taken->coverage,
                PhotoLayerOf(scaled, scaledPlacement), visible);
        }
    }

    if (!Detach(picture)) {
        result.error = kOutputMemoryError;
        return result;
    }
    {
        QPainter surface(&picture);
        DrawCaption(surface, size.width(), size.height(), captionText);
    }
    result.picture = PhotoImage::Adopt(std::move(picture));
    result.picture->SetResolution(kOutputResolution, kOutputResolution);
    return result;
}

} // namespace lumavo
