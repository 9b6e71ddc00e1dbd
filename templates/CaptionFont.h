#pragma once

#include "templates/CaptionFontLocator.h"

#include <QImage>
#include <QPoint>
#include <QPointF>
#include <QRect>
#include <QString>

#include <memory>

namespace lumavo {

// A scalable font face for the caption, read with FreeType so that captions
// are drawn the same without a GUI application (Qt's own font support needs
// one). Glyph outlines are taken unhinted at one reference size, scaled and
// rasterised by FreeType, so widths are exactly proportional to the pixel
// size. Safe to use from several threads at once.
class CaptionFont {
public:
    // One face of a font file; none when the file is missing or holds no
    // scalable face.
    static std::unique_ptr<CaptionFont> Load(const FontFileRef& file);
    // The process-wide caption face (LocateCaptionFont), loaded on first use;
    // none when the system has no suitable font.
    static const CaptionFont* Default();

    ~CaptionFont();
    CaptionFont(const CaptionFont&) = delete;
    CaptionFont& operator=(const CaptionFont&) = delete;

    const FontFileRef& file() const;

    // Width of the text set on one line (advances and kerning) at an em size
    // of 1 pixel; multiply by the pixel size.
    double EmWidth(const QString& text) const;
    // Distance from the top of the line to the baseline at an em size of 1.
    double EmAscender() const;
    // The coverage (0 to 255) of the text set on one line at the given em
    // size in pixels, with the line's top-left corner at topLeft in picture
    // pixels (the baseline lies EmAscender() x pixelSize below it). Filled
    // with the non-zero rule and anti-aliased, like a vector fill. Only the
    // part inside clip (picture pixels) is rendered, so any length of text
    // costs no more than the picture it is drawn on.
    struct LineMask {
        QImage coverage; // Format_Alpha8; null when nothing is drawn
        QPoint origin; // picture position of the coverage's pixel (0, 0)
    };
    LineMask RenderLine(const QString& text, double pixelSize, QPointF topLeft, const QRect& clip) const;
    // How many characters of the text the face has no glyph for.
    int MissingGlyphCount(const QString& text) const;

private:
    struct Face;
    explicit CaptionFont(std::unique_ptr<Face> face);
    std::unique_ptr<Face> m_face;
};

} // namespace lumavo
