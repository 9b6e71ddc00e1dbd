#include "printing/PrintJobs.h"

#include "printing/PageDrawing.h"

#include <QPainter>

namespace lumavo {

const QString kPrintDocumentName = QStringLiteral("艺术写真");

namespace {

PrintReport Refusal(PrintResult result, PrintProblem problem, const QString& detail = {})
{
    PrintReport report;
    report.outcome.result = result;
    report.outcome.problem = problem;
    report.outcome.detail = detail;
    return report;
}

// Asks the printer, picks its paper and lays the page out; a report with a
// refusal when the printer cannot take the job.
PrintReport Prepare(PrintQueue& queue, const PrintRequest& request, QSize pictureSize)
{
    if (!request.format || request.copies < 1)
        return Refusal(PrintResult::NotStarted, PrintProblem::BadRequest);
    const QString name = request.printer.isEmpty() ? queue.DefaultPrinter() : request.printer;
    const PrinterStatus printer = queue.Printer(name);
    if (!printer.found) {
        const PrintProblem problem
            = printer.problem == PrintProblem::NoPrintService ? PrintProblem::NoPrintService : PrintProblem::NoPrinter;
        PrintReport report = Refusal(
            problem == PrintProblem::NoPrintService ? PrintResult::NotStarted : PrintResult::Refused, problem, name);
        report.printer = name;
        return report;
    }
    // A stopped queue would take the job and keep it: the operator would
    // wait for a print that does not come.
    if (printer.stopped || !printer.acceptingJobs) {
        PrintReport report = Refusal(PrintResult::Refused,
            printer.stopped ? PrintProblem::PrinterStopped : PrintProblem::NotAcceptingJobs, printer.reason);
        report.printer = printer.name;
        return report;
    }

    PrintReport report;
    report.printer = printer.name;
    const int chosen = ChoosePaper(printer.papers, printer.defaultPaper, *request.format);
    if (chosen >= 0)
        report.paper = printer.papers[chosen];
    else
        report.paper.sizeMm = QSizeF(request.format->widthMm, request.format->heightMm);
    report.placement = PlacePrint(*request.format, report.paper, pictureSize, request.fit, request.calibration);
    return report;
}

PrintJob JobFor(const PrintReport& prepared, const PrintRequest& request)
{
    PrintJob job;
    job.printer = prepared.printer;
    job.title = request.title;
    job.copies = request.copies;
    job.paper = prepared.paper;
    return job;
}

} // namespace

PrintReport PrintFinishedPicture(PrintQueue& queue, const QImage& picture, const PrintRequest& request)
{
    if (picture.isNull())
        return Refusal(PrintResult::NotStarted, PrintProblem::BadRequest);
    PrintReport report = Prepare(queue, request, picture.size());
    if (report.outcome.problem != PrintProblem::None)
        return report;
    PrintJob job = JobFor(report, request);
    const PrintPlacement placement = report.placement;
    job.drawPage = [&picture, placement](QPainter& painter) {
        DrawPicturePage(painter, placement, picture);
        return true;
    };
    report.outcome = queue.Submit(job);
    return report;
}

PrintReport PrintCalibrationSheet(PrintQueue& queue, const PrintRequest& request)
{
    PrintReport report = Prepare(queue, request, QSize());
    if (report.outcome.problem != PrintProblem::None)
        return report;
    PrintJob job = JobFor(report, request);
    const PrintPlacement placement = report.placement;
    const QString printer = report.printer;
    const PrintFormat format = *request.format;
    const Calibration calibration = request.calibration;
    job.drawPage = [=](QPainter& painter) {
        DrawTestSheet(painter, placement, format, printer, calibration);
        return true;
    };
    report.outcome = queue.Submit(job);
    return report;
}

} // namespace lumavo
