#include "templates/OutputRender.h"

#include "templates/Caption.h"
#include "templates/LayerBlend.h"
#include "templates/PhotoArea.h"
#include "templates/PhotoScaling.h"

#include <QPainter>

#include <algorithm>
#include <thread>

namespace lumavo {

namespace {

// value x loaded / recorded, truncated toward zero, in 64 bits.
int32_t Rescale(int32_t value, int32_t loaded, int32_t recorded)
{
    const int64_t scaled = int64_t(value) * loaded / recorded;
    return int32_t(std::clamp<int64_t>(scaled, INT32_MIN, INT32_MAX));
}

struct LoadedLayers {
    std::unique_ptr<PhotoImage> background;
    std::unique_ptr<PhotoImage> foreground;
};

// Both template pictures, decoded side by side.
LoadedLayers LoadLayers(const TemplateFolder& folder)
{
    LoadedLayers layers;
    const QString foregroundPath = folder.File(QString::fromLatin1(kForegroundFile));
    std::thread foregroundReader;
    try {
        foregroundReader = std::thread([&] { layers.foreground = PhotoImage::FromFile(foregroundPath); });
    } catch (const std::system_error&) {
        // No second thread to be had: read it afterwards.
    }
    layers.background = PhotoImage::FromFile(folder.File(QString::fromLatin1(kBackgroundFile)));
    if (foregroundReader.joinable())
        foregroundReader.join();
    else
        layers.foreground = PhotoImage::FromFile(foregroundPath);
    return layers;
}

} // namespace

RenderResult RenderOutput(const TemplateFolder& folder, const PhotoImage* photo, const PhotoPlacement& placement,
    int32_t recordedWidth, int32_t recordedHeight, const QString& captionText)
{
    RenderResult result;
    // The placement is scaled by loaded / recorded size; without a recorded
    // size there is nothing to scale it by.
    if (recordedWidth <= 0 || recordedHeight <= 0) {
        result.error = kOutputReadError;
        return result;
    }
    LoadedLayers layers = LoadLayers(folder);
    // The background is judged first, so its failure is the one reported.
    if (layers.background->TakeStatus() != Ok || layers.foreground->TakeStatus() != Ok) {
        result.error = kOutputReadError;
        return result;
    }

    const QSize size = layers.background->image().size();
    QImage picture(size, QImage::Format_RGB32);
    const QImage background = FlattenOverBlack(layers.background->image());
    QImage foreground = layers.foreground->image();
    if (foreground.size() != size)
        foreground = foreground.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    foreground = ToStraightArgb(foreground);
    if (picture.isNull() || background.isNull() || foreground.isNull()) {
        // The undrawn picture goes back; saving it fails later.
        result.picture = PhotoImage::Adopt(QImage(), OutOfMemory);
        return result;
    }
    layers = LoadedLayers();

    ForegroundCoverage coverage;
    coverage.Build(foreground, size.width(), size.height());
    BlendForegroundOver(picture, background, foreground, coverage);

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
            if (!scaled.pixels.isNull()) {
                const QPoint origin(
                    int(int64_t(scaledPlacement.x) + window.x()), int(int64_t(scaledPlacement.y) + window.y()));
                const PhotoLayer layer { &scaled.pixels, scaled.opaque, origin };
                // The picture holds foreground over background: it is its own base.
                DrawPhotoArea(picture, picture, background, foreground, coverage, layer, visible);
            }
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
