#include "templates/OutputRender.h"

#include "imaging/PixelAccess.h"
#include "platform/ParallelFor.h"
#include "templates/Caption.h"
#include "templates/LayerBlend.h"
#include "templates/PhotoArea.h"
#include "templates/PhotoScaling.h"

#include <QPainter>

#include <new>

namespace lumavo {

namespace {

// value x loaded / recorded, truncated toward zero, in 64 bits.
int32_t Rescale(int32_t value, int32_t loaded, int32_t recorded)
{
    return SaturateInt32(int64_t(value) * loaded / recorded);
}

struct LoadedLayers {
    std::unique_ptr<PhotoImage> background;
    std::unique_ptr<PhotoImage> foreground;
};

// A template picture; memory running out on the way is a failed picture,
// not an exception on a thread of its own.
std::unique_ptr<PhotoImage> LoadLayer(const QString& path)
{
    try {
        return PhotoImage::FromFile(path, kMaxTemplatePictureBytes);
    } catch (const std::bad_alloc&) {
        return PhotoImage::Adopt(QImage(), OutOfMemory);
    }
}

// Both template pictures, decoded side by side.
LoadedLayers LoadLayers(const TemplateFolder& folder)
{
    LoadedLayers layers;
    const QString foregroundPath = folder.File(QString::fromLatin1(kForegroundFile));
    RunBeside([&] { layers.foreground = LoadLayer(foregroundPath); },
        [&] { layers.background = LoadLayer(folder.File(QString::fromLatin1(kBackgroundFile))); });
    return layers;
}

} // namespace

// Both layers at the background's size and the foreground laid over the
// background once; the combined picture becomes the finished picture.
struct OutputTemplate::Layers {
    QImage background; // RGB32, any alpha flattened over black
    QImage foreground; // straight ARGB32
    ForegroundCoverage coverage;
    QImage combined; // foreground over background, RGB32
};

OutputTemplate::OutputTemplate() = default;
OutputTemplate::OutputTemplate(OutputTemplate&&) noexcept = default;
OutputTemplate& OutputTemplate::operator=(OutputTemplate&&) noexcept = default;
OutputTemplate::~OutputTemplate() = default;

QSize OutputTemplate::size() const
{
    return m_layers ? m_layers->background.size() : QSize(0, 0);
}

OutputTemplate OutputTemplate::Load(const TemplateFolder& folder)
{
    OutputTemplate result;
    LoadedLayers loaded = LoadLayers(folder);
    // The background is judged first, so its failure is the one reported.
    if (loaded.background->TakeStatus() != Ok || loaded.foreground->TakeStatus() != Ok) {
        result.m_error = kOutputReadError;
        return result;
    }
    auto layers = std::make_unique<Layers>();
    const QSize size = loaded.background->image().size();
    layers->background = FlattenOverBlack(loaded.background->image());
    QImage foreground = loaded.foreground->image();
    loaded = LoadedLayers();
    if (foreground.size() != size)
        foreground = foreground.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    layers->foreground = ToStraightArgb(foreground);
    layers->combined = QImage(size, QImage::Format_RGB32);
    if (!layers->combined.isNull() && !layers->background.isNull() && !layers->foreground.isNull()) {
        layers->coverage.Build(layers->foreground, size.width(), size.height());
        BlendForegroundOver(layers->combined, layers->background, layers->foreground, layers->coverage);
    } else {
        // Out of memory: the rendering says so instead of drawing.
        layers->combined = QImage();
    }
    result.m_layers = std::move(layers);
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
    if (recordedWidth <= 0 || recordedHeight <= 0 || !layers.m_error.isEmpty() || !layers.m_layers) {
        result.error = kOutputReadError;
        return result;
    }
    const std::unique_ptr<OutputTemplate::Layers> taken = std::move(layers.m_layers);
    if (taken->combined.isNull()) {
        result.error = kOutputMemoryError;
        return result;
    }
    QImage picture = std::move(taken->combined);
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
            DrawPhotoArea(picture, picture, taken->background, taken->foreground, taken->coverage,
                PhotoLayerOf(scaled, scaledPlacement), visible);
        }
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
