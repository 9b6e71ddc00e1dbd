#include "printing/PageDrawing.h"

#include <QFont>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cmath>

namespace lumavo {

void DrawPicturePage(QPainter& painter, const PrintPlacement& placement, const QImage& picture)
{
    const QRectF area = placement.pictureMm;
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    // Into a PDF the picture would otherwise go as a JPEG, its fine detail
    // softened once more on its way to paper.
    painter.setRenderHint(QPainter::LosslessImageRendering);
    painter.translate(area.center());
    QRectF target(-area.width() / 2, -area.height() / 2, area.width(), area.height());
    if (placement.turned) {
        // Counter-clockwise: the picture's top comes to the page's left.
        painter.rotate(-90.0);
        target = QRectF(-area.height() / 2, -area.width() / 2, area.height(), area.width());
    }
    painter.drawImage(target, picture, placement.sourcePx);
    painter.restore();
}

namespace {

// Text at a size in millimetres: fonts take whole pixels, so it is drawn in
// tenths of a millimetre.
void DrawText(
    QPainter& painter, const QRectF& boxMm, int flags, const QString& text, double heightMm, bool bold = false)
{
    painter.save();
    painter.scale(0.1, 0.1);
    QFont font = painter.font();
    font.setPixelSize(std::max(1, int(std::lround(heightMm * 10))));
    font.setBold(bold);
    painter.setFont(font);
    const QRectF box(boxMm.x() * 10, boxMm.y() * 10, boxMm.width() * 10, boxMm.height() * 10);
    painter.drawText(box, flags, text);
    painter.restore();
}

QString Signed(double value, int decimals)
{
    return (value > 0 ? QStringLiteral("+") : QString()) + QString::number(value, 'f', decimals);
}

} // namespace

void DrawTestSheet(QPainter& painter, const PrintPlacement& placement, const PrintFormat& format,
    const QString& printer, const Calibration& calibration)
{
    const QRectF frame = placement.frameMm;
    const double k = calibration.scaleThousandths > 0 ? calibration.scaleThousandths / 1000.0 : 1.0;
    // The sheet is drawn in the size's own millimetres; the correction's
    // scale is applied to all of it, so the rulers show what it does.
    const double width = frame.width() / k;
    const double height = frame.height() / k;

    painter.save();
    painter.translate(frame.topLeft());
    painter.scale(k, k);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);

    QPen line(Qt::black);
    line.setWidthF(kTestFrameLineMm);
    line.setJoinStyle(Qt::MiterJoin);
    painter.setPen(line);
    const double half = kTestFrameLineMm / 2;
    painter.drawRect(QRectF(half, half, width - kTestFrameLineMm, height - kTestFrameLineMm));

    QPen tick(Qt::black);
    tick.setWidthF(0.15);
    tick.setCapStyle(Qt::FlatCap);
    painter.setPen(tick);
    auto tickLength = [](int mm) { return mm % 10 == 0 ? 5.0 : (mm % 5 == 0 ? 3.5 : 2.0); };
    for (int mm = 1; mm < int(width); ++mm) {
        painter.drawLine(QPointF(mm, 0), QPointF(mm, tickLength(mm)));
        if (mm % 10 == 0 && mm + 4 < width)
            DrawText(painter, QRectF(mm - 5, 5.3, 10, 3), Qt::AlignHCenter | Qt::AlignTop, QString::number(mm), 2.2);
    }
    for (int mm = 1; mm < int(height); ++mm) {
        painter.drawLine(QPointF(0, mm), QPointF(tickLength(mm), mm));
        if (mm % 10 == 0 && mm + 2 < height)
            DrawText(painter, QRectF(5.5, mm - 1.5, 10, 3), Qt::AlignLeft | Qt::AlignVCenter, QString::number(mm), 2.2);
    }

    // The centre cross.
    const QPointF centre(width / 2, height / 2);
    painter.setPen(line);
    painter.drawLine(centre - QPointF(10, 0), centre + QPointF(10, 0));
    painter.drawLine(centre - QPointF(0, 10), centre + QPointF(0, 10));
    tick.setWidthF(0.2);
    painter.setPen(tick);
    painter.drawEllipse(centre, 5.0, 5.0);

    painter.setPen(Qt::black);
    const QRectF below(10, centre.y() + 14, width - 20, height / 2 - 20);
    const QString lines
        = QStringLiteral("打印校准\n打印机：%1\n尺寸：%2（%3 × %4 mm）\n偏移 X %5 mm，Y %6 mm，比例 %7")
              .arg(printer.isEmpty() ? QStringLiteral("默认打印机") : printer, FormatName(format))
              .arg(format.widthMm)
              .arg(format.heightMm)
              .arg(Signed(calibration.offsetXTenthsMm / 10.0, 1), Signed(calibration.offsetYTenthsMm / 10.0, 1),
                  QString::number(calibration.scaleThousandths / 1000.0, 'f', 3));
    DrawText(
        painter, below, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, lines, std::clamp(width / 40, 2.5, 5.0));
    painter.restore();
}

} // namespace lumavo
