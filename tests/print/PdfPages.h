#pragma once

#include <QImage>
#include <QRectF>
#include <QSizeF>
#include <QString>

namespace lumavo::test {

// What poppler makes of a PDF: its number of pages and first page's size in millimetres.
int PdfPages(const QString& pdf);
QSizeF PdfPageSizeMm(const QString& pdf);
// The PDF's first page rendered at `dotsPerMm` (10: a pixel per 0.1 mm).
QImage RenderPdfPage(const QString& pdf, int dotsPerMm = 10);

// The area of a page picture that is not paper-white, in millimetres.
QRectF InkedAreaMm(const QImage& page, int dotsPerMm = 10);
// A test failure for each edge of the inked area farther than the
// tolerance from where it is expected.
void ExpectInkedArea(const QImage& page, const QRectF& expectedMm, double toleranceMm = 0.5);

} // namespace lumavo::test
