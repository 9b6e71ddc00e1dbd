#include "printing/PagePdf.h"

#include <QBuffer>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

namespace lumavo {

namespace {

// Page coordinates of the PDF, fine enough for any printer.
constexpr int kPdfResolution = 1200;
constexpr double kMillimetresPerInch = 25.4;

} // namespace

bool DrawPagePdf(const PrintJob& job, QByteArray* pdf)
{
    if (!job.drawPage || job.paper.sizeMm.isEmpty())
        return false;
    QBuffer buffer(pdf);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setResolution(kPdfResolution);
    writer.setTitle(job.title);
    writer.setCreator(QStringLiteral("Lumavo"));
    const QSizeF paperMm = job.paper.sizeMm;
    const bool landscape = paperMm.width() > paperMm.height();
    // Exact: a near standard size must not be taken for it.
    const QPageSize size(
        landscape ? paperMm.transposed() : paperMm, QPageSize::Millimeter, QString(), QPageSize::ExactMatch);
    if (!writer.setPageLayout(QPageLayout(
            size, landscape ? QPageLayout::Landscape : QPageLayout::Portrait, QMarginsF(), QPageLayout::Millimeter)))
        return false;
    QPainter painter;
    if (!painter.begin(&writer))
        return false;
    painter.scale(kPdfResolution / kMillimetresPerInch, kPdfResolution / kMillimetresPerInch);
    const bool drawn = job.drawPage(painter);
    return painter.end() && drawn && !pdf->isEmpty();
}

} // namespace lumavo
