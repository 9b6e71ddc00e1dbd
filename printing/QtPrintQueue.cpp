#include "printing/QtPrintQueue.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

namespace lumavo {

namespace {

const QString kPdfPrinter = QStringLiteral("PDF");
constexpr double kMillimetresPerInch = 25.4;

Paper PaperOf(const QPageSize& size, const QPrinterInfo& info)
{
    Paper paper;
    paper.name = size.key();
    paper.sizeMm = size.size(QPageSize::Millimeter);
    // What Qt knows of the printer's margins for that paper.
    QPrinter probe(info, QPrinter::HighResolution);
    probe.setPageSize(size);
    paper.marginsMm = probe.pageLayout().minimumMargins();
    if (probe.pageLayout().units() != QPageLayout::Millimeter) {
        const QRectF full = probe.pageLayout().fullRect(QPageLayout::Millimeter);
        const QRectF paint = probe.pageLayout().paintRect(QPageLayout::Millimeter);
        paper.marginsMm = QMarginsF(paint.left() - full.left(), paint.top() - full.top(), full.right() - paint.right(),
            full.bottom() - paint.bottom());
    }
    return paper;
}

} // namespace

QtPrintQueue::QtPrintQueue() = default;

QtPrintQueue::QtPrintQueue(const QString& pdfPath)
    : m_pdfPath(pdfPath)
{
}

QStringList QtPrintQueue::PrinterNames()
{
    if (!m_pdfPath.isEmpty())
        return { kPdfPrinter };
    return QPrinterInfo::availablePrinterNames();
}

QString QtPrintQueue::DefaultPrinter()
{
    if (!m_pdfPath.isEmpty())
        return kPdfPrinter;
    return QPrinterInfo::defaultPrinterName();
}

PrinterStatus QtPrintQueue::Printer(const QString& name)
{
    PrinterStatus status;
    status.name = name;
    if (!m_pdfPath.isEmpty()) {
        // A file takes any size: the page is the size printed.
        status.found = name == kPdfPrinter;
        status.problem = status.found ? PrintProblem::None : PrintProblem::NoPrinter;
        return status;
    }
    const QPrinterInfo info = QPrinterInfo::printerInfo(name);
    if (info.isNull()) {
        status.problem = PrintProblem::NoPrinter;
        return status;
    }
    status.found = true;
    status.stopped = info.state() == QPrinter::Error || info.state() == QPrinter::Aborted;
    const QPageSize defaultSize = info.defaultPageSize();
    for (const QPageSize& size : info.supportedPageSizes()) {
        if (size.isEquivalentTo(defaultSize))
            status.defaultPaper = int(status.papers.size());
        status.papers << PaperOf(size, info);
    }
    return status;
}

PrintOutcome QtPrintQueue::Submit(const PrintJob& job)
{
    PrintOutcome outcome;
    QPrinter printer(QPrinter::HighResolution);
    if (!m_pdfPath.isEmpty()) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(m_pdfPath);
    } else {
        printer.setPrinterName(job.printer);
    }
    printer.setDocName(job.title);
    printer.setCreator(QStringLiteral("Lumavo"));
    // The painter's origin at the paper's corner, not at the printable area's.
    printer.setFullPage(true);
    const QSizeF paperMm = job.paper.sizeMm;
    const bool landscape = paperMm.width() > paperMm.height();
    const QSizeF uprightMm = landscape ? paperMm.transposed() : paperMm;
    // The printer's own paper when it has it, so its driver picks that tray and size.
    QPageSize size(uprightMm, QPageSize::Millimeter, job.paper.name, QPageSize::ExactMatch);
    if (m_pdfPath.isEmpty()) {
        for (const QPageSize& offered : QPrinterInfo::printerInfo(job.printer).supportedPageSizes()) {
            if (!job.paper.name.isEmpty() && offered.key() == job.paper.name)
                size = offered;
        }
    }
    printer.setPageSize(size);
    printer.setPageOrientation(landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
    printer.setCopyCount(job.copies);
    // Where the printer cannot make copies itself, each copy is a page.
    const int pages = printer.supportsMultipleCopies() ? 1 : job.copies;

    QPainter painter;
    if (!painter.begin(&printer)) {
        outcome.problem = PrintProblem::SubmitFailed;
        return outcome;
    }
    const double dotsPerMmX = printer.logicalDpiX() / kMillimetresPerInch;
    const double dotsPerMmY = printer.logicalDpiY() / kMillimetresPerInch;
    painter.scale(dotsPerMmX, dotsPerMmY);
    bool drawn = true;
    for (int page = 0; page < pages && drawn; ++page) {
        if (page > 0 && !printer.newPage())
            drawn = false;
        else
            drawn = job.drawPage(painter);
    }
    if (!painter.end() || !drawn) {
        outcome.problem = drawn ? PrintProblem::SubmitFailed : PrintProblem::DrawingFailed;
        return outcome;
    }
    // A file is complete once written; a printer's spooler is not asked.
    outcome.result = m_pdfPath.isEmpty() ? PrintResult::Queued : PrintResult::Printed;
    outcome.copies = job.copies;
    return outcome;
}

std::unique_ptr<PrintQueue> MakePdfFileQueue(const QString& path)
{
    return std::make_unique<QtPrintQueue>(path);
}

} // namespace lumavo
