#include "templates/Caption.h"

#include "templates/CaptionFont.h"

#include <QImage>
#include <QPainter>
#include <QRect>

namespace lumavo {

QString BuiltInCaptionText()
{
    return QStringLiteral("Lumavo 影像工作室 · 用心留住每一个美好瞬间");
}

QString CaptionTextOrDefault(const QString& configured)
{
    return configured.isEmpty() ? BuiltInCaptionText() : configured;
}

CaptionLayout LayOutCaption(const CaptionFont* font, int32_t width, int32_t height, const QString& captionText)
{
    const double emWidth = font ? font->EmWidth(captionText) : 0.0;
    CaptionLayout layout;
    for (const int size : kCaptionPixelSizes) {
        layout.pixelSize = size;
        layout.width = float(emWidth * size);
        if (layout.width < float(width))
            break;
    }
    // The line's bounding box starts at its origin.
    layout.x = (float(width) - layout.width) * 0.5f;
    layout.y = float(height - height * 0.05);
    return layout;
}

CaptionLayout LayOutCaption(int32_t width, int32_t height, const QString& captionText)
{
    return LayOutCaption(CaptionFont::Default(), width, height, captionText);
}

QString CaptionFontFamily()
{
    const CaptionFont* font = CaptionFont::Default();
    return font ? font->file().family : QString();
}

namespace {

// The coverage painted in one translucent colour, premultiplied.
QImage Tinted(const QImage& coverage, uint32_t argb)
{
    QImage tinted(coverage.size(), QImage::Format_ARGB32_Premultiplied);
    if (tinted.isNull())
        return tinted;
    const uint32_t alpha = qAlpha(argb);
    for (int y = 0; y < coverage.height(); ++y) {
        const uchar* in = coverage.constScanLine(y);
        auto* out = reinterpret_cast<QRgb*>(tinted.scanLine(y));
        for (int x = 0; x < coverage.width(); ++x) {
            const uint32_t a = (alpha * in[x] + 127) / 255;
            out[x] = qRgba(qRed(argb) * a / 255, qGreen(argb) * a / 255, qBlue(argb) * a / 255, a);
        }
    }
    return tinted;
}

} // namespace

void DrawCaption(const CaptionFont* font, QPainter& surface, int32_t width, int32_t height, const QString& captionText)
{
    if (!font || captionText.isEmpty() || width <= 0 || height <= 0 || !surface.isActive())
        return;
    const CaptionLayout layout = LayOutCaption(font, width, height, captionText);
    // One coverage serves both layers: they lie exactly one pixel apart. In
    // shadow coordinates the text needs the picture shifted by one pixel.
    const QRect picture(0, 0, width + 1, height + 1);
    const CaptionFont::LineMask line
        = font->RenderLine(captionText, layout.pixelSize, QPointF(layout.x, layout.y), picture);
    if (line.coverage.isNull())
        return;
    const QImage shadow = Tinted(line.coverage, kCaptionShadowArgb);
    const QImage text = Tinted(line.coverage, kCaptionTextArgb);

    surface.save();
    surface.setCompositionMode(QPainter::CompositionMode_SourceOver);
    surface.drawImage(line.origin, shadow);
    surface.drawImage(line.origin - QPoint(1, 1), text);
    surface.restore();
}

void DrawCaption(QPainter& surface, int32_t width, int32_t height, const QString& captionText)
{
    DrawCaption(CaptionFont::Default(), surface, width, height, captionText);
}

} // namespace lumavo
