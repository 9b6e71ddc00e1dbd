#include "templates/TemplateLayers.h"

#include <new>

namespace lumavo {

std::shared_ptr<TemplateLayers> CombineLayers(const QImage& background, const QImage& foreground, ForegroundFit fit)
{
    if (background.isNull())
        return nullptr;
    try {
        auto layers = std::make_shared<TemplateLayers>();
        const QSize size = background.size();
        layers->background = FlattenOverBlack(background);
        QImage fitted = foreground;
        if (fit == ForegroundFit::ToBackground && !fitted.isNull() && fitted.size() != size)
            fitted = fitted.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        layers->foreground = ToStraightArgb(fitted);
        fitted = QImage();
        if (layers->background.isNull() || (!foreground.isNull() && layers->foreground.isNull()))
            return nullptr;
        layers->coverage.Build(layers->foreground, size.width(), size.height());
        if (layers->foreground.isNull()) {
            layers->base = layers->background;
        } else {
            layers->base = QImage(size, QImage::Format_RGB32);
            if (layers->base.isNull())
                return nullptr;
            BlendForegroundOver(layers->base, layers->background, layers->foreground, layers->coverage);
        }
        return layers;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

} // namespace lumavo
