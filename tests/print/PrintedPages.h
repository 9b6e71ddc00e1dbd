#pragma once

#include <QImage>
#include <QRectF>
#include <QSizeF>
#include <QString>

namespace lumavo::test {

// The tests' own print queue (tests/print/print-queue.sh), started by ctest.
QString PrintQueueFolder();
// Its CUPS server (the socket); empty when it is not running (the test
// program run by hand, not through ctest).
QString PrintQueueServer();

// The PDF the queue's PDF printer made of a job; empty when none appeared
// within the time allowed.
QString PrintedFile(int jobId, int timeoutMs = 20000);
// The copies the queue's page log recorded for a job; -1 when it has no line.
int LoggedCopies(int jobId);
// The paper the queue's page log recorded for a job (the printer's name for it).
QString LoggedMedia(int jobId);

// What poppler makes of a PDF: its number of pages and first page's size in millimetres.
int PdfPages(const QString& pdf);
QSizeF PdfPageSizeMm(const QString& pdf);
// The PDF's first page rendered at `dotsPerMm` (10: a pixel per 0.1 mm).
QImage RenderPdfPage(const QString& pdf, int dotsPerMm = 10);

// The area of a page picture that is not paper-white, in millimetres.
QRectF InkedAreaMm(const QImage& page, int dotsPerMm = 10);

} // namespace lumavo::test
