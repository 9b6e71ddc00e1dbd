#pragma once

#include <QIODevice>
#include <QImage>

namespace lumavo {

// The quick PNG writer behind ImageEncoder::quick.
// True when this build writes PNG files itself rather than through Qt.
bool HasQuickPngWriter();

// Writes a 32-bit picture (RGB32 as 24-bit RGB, ARGB32 as RGBA) as PNG with
// its resolution. Qt's writer tries every row filter on every row, which
// costs seconds on a 24-megapixel photo; one fixed filter and run-length
// matching take about half of that, for files up to half again larger on
// grainy photos. Text chunks and colour profiles are not written.
// False when the picture is not 32-bit or the device fails.
bool WritePngQuickly(const QImage& image, QIODevice& device);

} // namespace lumavo
