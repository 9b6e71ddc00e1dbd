#include "printing/PageGeometry.h"

#include <algorithm>
#include <cmath>

namespace lumavo {

namespace {

constexpr double kEpsilonMm = 0.01;

bool Near(double a, double b)
{
    return std::abs(a - b) <= kPaperToleranceMm;
}

QRectF CentredIn(const QRectF& area, const QSizeF& size)
{
    return QRectF(
        area.center().x() - size.width() / 2, area.center().y() - size.height() / 2, size.width(), size.height());
}

bool Contains(const QRectF& outer, const QRectF& inner)
{
    return inner.left() >= outer.left() - kEpsilonMm && inner.top() >= outer.top() - kEpsilonMm
        && inner.right() <= outer.right() + kEpsilonMm && inner.bottom() <= outer.bottom() + kEpsilonMm;
}

} // namespace

bool Paper::Borderless() const
{
    return marginsMm.left() < kEpsilonMm && marginsMm.top() < kEpsilonMm && marginsMm.right() < kEpsilonMm
        && marginsMm.bottom() < kEpsilonMm;
}

QRectF Paper::PrintableMm() const
{
    return QRectF(QPointF(0, 0), sizeMm).marginsRemoved(marginsMm);
}

bool PaperHasFormat(const Paper& paper, const PrintFormat& format)
{
    const double w = paper.sizeMm.width();
    const double h = paper.sizeMm.height();
    return (Near(w, format.widthMm) && Near(h, format.heightMm))
        || (Near(w, format.heightMm) && Near(h, format.widthMm));
}

int ChoosePaper(const QList<Paper>& papers, int defaultIndex, const PrintFormat& format)
{
    int best = -1;
    for (int i = 0; i < papers.size(); ++i) {
        if (!PaperHasFormat(papers[i], format))
            continue;
        if (best < 0 || (papers[i].Borderless() && !papers[best].Borderless()))
            best = i;
    }
    if (best >= 0)
        return best;
    if (defaultIndex >= 0 && defaultIndex < papers.size())
        return defaultIndex;
    return papers.isEmpty() ? -1 : 0;
}

PrintPlacement PlacePrint(
    const PrintFormat& format, const Paper& paper, QSize pictureSize, FitMode fit, const Calibration& calibration)
{
    PrintPlacement placement;
    placement.paperMm = paper.sizeMm;
    const QRectF paperRect(QPointF(0, 0), paper.sizeMm);
    placement.printableMm = paper.PrintableMm();
    if (placement.printableMm.isEmpty())
        placement.printableMm = paperRect;

    // The format turned the paper's way round.
    QSizeF formatMm(format.widthMm, format.heightMm);
    if (paper.sizeMm.width() > paper.sizeMm.height())
        formatMm.transpose();

    if (PaperHasFormat(paper, format)) {
        // The paper's own size: the picture covers it to the edges.
        placement.frameMm = paperRect;
    } else if (formatMm.width() <= paper.sizeMm.width() + kEpsilonMm
        && formatMm.height() <= paper.sizeMm.height() + kEpsilonMm) {
        placement.frameMm = CentredIn(paperRect, formatMm);
    } else {
        // Printed at its size it would run off the paper: the whole of it is
        // kept, smaller, on what the printer can print.
        placement.reduced = true;
        const QRectF area = placement.printableMm;
        const double k = std::min(area.width() / formatMm.width(), area.height() / formatMm.height());
        placement.frameMm = CentredIn(area, formatMm * k);
    }
    const QRectF frame = placement.frameMm;

    placement.pictureMm = frame;
    if (!pictureSize.isEmpty()) {
        const bool frameLandscape = frame.width() > frame.height();
        const bool pictureLandscape = pictureSize.width() > pictureSize.height();
        placement.turned = pictureSize.width() != pictureSize.height() && frameLandscape != pictureLandscape;
        // The picture's extent along the page's x and y, in pixels.
        const int across = placement.turned ? pictureSize.height() : pictureSize.width();
        const int down = placement.turned ? pictureSize.width() : pictureSize.height();
        const double sx = frame.width() / across;
        const double sy = frame.height() / down;
        if (fit == FitMode::Whole) {
            const double s = std::min(sx, sy);
            placement.mmPerPixel = s;
            placement.pictureMm = CentredIn(frame, QSizeF(across * s, down * s));
            placement.sourcePx = QRect(QPoint(0, 0), pictureSize);
        } else {
            const double s = std::max(sx, sy);
            placement.mmPerPixel = s;
            // Whole pixels cut evenly off both ends of the side that is too long.
            const int keepAcross = std::clamp(int(std::lround(frame.width() / s)), 1, across);
            const int keepDown = std::clamp(int(std::lround(frame.height() / s)), 1, down);
            const int cutAcross = (across - keepAcross) / 2;
            const int cutDown = (down - keepDown) / 2;
            if (!placement.turned) {
                placement.sourcePx = QRect(cutAcross, cutDown, keepAcross, keepDown);
            } else {
                // Turned counter-clockwise: the page's x runs down the
                // picture, the page's y runs from the picture's right to its left.
                placement.sourcePx = QRect(pictureSize.width() - cutDown - keepDown, cutAcross, keepDown, keepAcross);
            }
        }
    }

    // The correction: scaled about the format's centre, then moved.
    const double k = calibration.scaleThousandths > 0 ? calibration.scaleThousandths / 1000.0 : 1.0;
    const QPointF centre = frame.center();
    const QPointF offset(calibration.offsetXTenthsMm / 10.0, calibration.offsetYTenthsMm / 10.0);
    auto correct = [&](const QRectF& r) { return QRectF(centre + (r.topLeft() - centre) * k + offset, r.size() * k); };
    placement.frameMm = correct(placement.frameMm);
    placement.pictureMm = correct(placement.pictureMm);
    placement.mmPerPixel *= k;
    placement.beyondPrintable = !Contains(placement.printableMm, placement.pictureMm);
    return placement;
}

} // namespace lumavo
