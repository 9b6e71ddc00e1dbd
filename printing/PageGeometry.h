#pragma once

#include "printing/PrintFormats.h"

#include <QList>
#include <QMarginsF>
#include <QRect>
#include <QRectF>
#include <QSize>
#include <QSizeF>
#include <QString>

namespace lumavo {

// A paper a printer offers: its name in the print queue (empty when the
// queue has none), its size as the printer feeds it and the margins it
// cannot print on, in millimetres.
struct Paper {
    QString name;
    QSizeF sizeMm;
    QMarginsF marginsMm;

    bool Borderless() const;
    // The area the printer can print on, in millimetres from the paper's top-left.
    QRectF PrintableMm() const;
};

// Two papers of one size differ by at most this much (a 4 x 6 inch paper is a 4R).
constexpr double kPaperToleranceMm = 1.0;

// True when the paper has the format's size, either way round.
bool PaperHasFormat(const Paper& paper, const PrintFormat& format);

// The paper to print a format on: one of the format's own size when the
// printer offers it (borderless first), else the printer's default paper.
// Returns an index into papers, or -1 when the list is empty.
int ChoosePaper(const QList<Paper>& papers, int defaultIndex, const PrintFormat& format);

// Whether the whole picture is shown inside the format (even white borders
// where the proportions differ) or the format is filled (the picture
// cropped evenly).
enum class FitMode { Whole, Fill };

// A correction for one printer and size: the print is moved by the offset
// and scaled about the size's centre. Kept in the operator's units.
struct Calibration {
    int offsetXTenthsMm = 0; // positive: to the right on the page
    int offsetYTenthsMm = 0; // positive: down the page
    int scaleThousandths = 1000; // 1000: no change

    bool operator==(const Calibration&) const = default;
};

// Where the finished picture lies on the page, all in millimetres from the
// paper's top-left corner (the paper as the printer feeds it).
struct PrintPlacement {
    QSizeF paperMm;
    QRectF printableMm;
    // The format's rectangle: the whole paper when the paper has the
    // format's size, else centred on it.
    QRectF frameMm;
    // The page area the drawn part of the picture covers.
    QRectF pictureMm;
    // The part of the picture drawn, in picture pixels.
    QRect sourcePx;
    // The picture is turned a quarter counter-clockwise (its top at the
    // paper's left edge) to lie the paper's way round.
    bool turned = false;
    // Millimetres on paper per picture pixel.
    double mmPerPixel = 0.0;
    // The paper is smaller than the format: everything shrunk to fit its printable area.
    bool reduced = false;
    // Part of the picture lies on the margins the printer cannot print on.
    bool beyondPrintable = false;
};

// Lays a picture of pictureSize pixels out on the paper at the format's
// size. An empty pictureSize lays out the format's frame alone (the test sheet).
PrintPlacement PlacePrint(
    const PrintFormat& format, const Paper& paper, QSize pictureSize, FitMode fit, const Calibration& calibration = {});

} // namespace lumavo
