#pragma once

#include <QString>

#include <cstdint>

class QPainter;

namespace lumavo {

class CaptionFont;

// Em sizes in pixels of the rendered picture, tried in this order.
inline constexpr int kCaptionPixelSizes[] = { 16, 14, 12, 10, 8, 6, 4 };
inline constexpr uint32_t kCaptionShadowArgb = 0x99000000u; // translucent black
inline constexpr uint32_t kCaptionTextArgb = 0x99FFFFFFu; // translucent white

// The built-in caption line of finished pictures.
QString BuiltInCaptionText();

// The caption text: the configured line when set, else the built-in one.
QString CaptionTextOrDefault(const QString& configured);

// Where the caption goes on a picture: the chosen em size, the measured line
// width at that size and the top-left corner of the shadow (the text itself
// is drawn 1 pixel left of and above it).
struct CaptionLayout {
    int pixelSize = 0;
    float width = 0.0f;
    float x = 0.0f;
    float y = 0.0f;
};

// The layout DrawCaption uses on a width x height picture. Without a font
// every width measures 0, so the first size is taken.
CaptionLayout LayOutCaption(int32_t width, int32_t height, const QString& captionText);
CaptionLayout LayOutCaption(const CaptionFont* font, int32_t width, int32_t height, const QString& captionText);

// The family name of the caption face found on this system; empty when the
// system has no suitable font (captions are then left out).
QString CaptionFontFamily();

// Draws the caption on a T x O picture's surface: bold regular-script type,
// the largest of 16, 14, ... 4 pixels that is narrower than T, centred,
// its top at O - O x 0.05, a translucent black shadow 1 pixel below and
// right of translucent white text.
void DrawCaption(QPainter& surface, int32_t width, int32_t height, const QString& captionText);
// The same with a given face; a null face draws nothing.
void DrawCaption(const CaptionFont* font, QPainter& surface, int32_t width, int32_t height, const QString& captionText);

} // namespace lumavo
