#pragma once

#include <QString>

#include <cstdint>

class QPainter;

namespace lumavo {

// The built-in caption line of finished pictures.
QString BuiltInCaptionText();

// The caption text: the configured line when set, else the built-in one.
QString CaptionTextOrDefault(const QString& configured);

// Draws the caption on a T x O picture's surface: bold regular-script type,
// the largest of 16, 14, ... 4 pixels that is narrower than T, centred,
// its top at O - O x 0.05, a translucent black shadow 1 pixel below and
// right of translucent white text.
void DrawCaption(QPainter& surface, int32_t width, int32_t height, const QString& captionText);

} // namespace lumavo
