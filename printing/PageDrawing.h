#pragma once

#include "printing/PageGeometry.h"

#include <QImage>
#include <QString>

class QPainter;

namespace lumavo {

// The painters below work in millimetres from the paper's top-left corner.

// Draws the part of the picture the placement names over its page area.
void DrawPicturePage(QPainter& painter, const PrintPlacement& placement, const QImage& picture);

// The calibration test sheet: a frame whose outer edge is the size's edge,
// millimetre rulers along its top and left edges, a cross at its centre,
// and the printer, the size and the correction it was printed with.
void DrawTestSheet(QPainter& painter, const PrintPlacement& placement, const PrintFormat& format,
    const QString& printer, const Calibration& calibration);

// Width of the test sheet's frame line, drawn inside the size's edge.
constexpr double kTestFrameLineMm = 0.5;

} // namespace lumavo
