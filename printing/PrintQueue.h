#pragma once

#include "printing/PageGeometry.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <memory>

class QPainter;

namespace lumavo {

// What became of a print.
enum class PrintResult {
    Printed, // the queue reports the job done
    Queued, // the queue took the job and is still at it
    Held, // the queue took the job but holds it (printer stopped, job held)
    Refused, // no job was printed: the printer or the queue said no
    NotStarted, // nothing reached the queue
};

// Why a print did not go through.
enum class PrintProblem {
    None,
    NoPrintService, // the print service cannot be reached
    NoPrinter, // no printer of that name
    PrinterStopped,
    NotAcceptingJobs,
    JobAborted,
    JobCanceled,
    JobHeld,
    BadRequest, // no picture, no size, or fewer than one copy
    DrawingFailed, // the page could not be drawn
    SubmitFailed, // the queue did not take the document
};

struct PrintOutcome {
    PrintResult result = PrintResult::NotStarted;
    PrintProblem problem = PrintProblem::None;
    // The print system's own words (a printer's or a job's state message).
    QString detail;
    int jobId = 0;
    // The copies the queue holds for the job (0 when it does not say).
    int copies = 0;

    bool TakenByQueue() const
    {
        return result == PrintResult::Printed || result == PrintResult::Queued || result == PrintResult::Held;
    }
    // Taken and not held: the job comes out of the printer without anyone
    // releasing it.
    bool WillPrint() const { return result == PrintResult::Printed || result == PrintResult::Queued; }
};

// A printer as its queue describes it.
struct PrinterStatus {
    QString name;
    bool found = false;
    PrintProblem problem = PrintProblem::None; // NoPrintService or NoPrinter when not found
    bool stopped = false;
    bool acceptingJobs = true;
    QString reason; // why it is stopped or not accepting, in the printer's words
    QList<Paper> papers;
    int defaultPaper = -1; // index into papers
};

// One page for a queue: drawn by drawPage on a painter that works in
// millimetres from the paper's top-left corner.
struct PrintJob {
    QString printer;
    QString title;
    int copies = 1;
    Paper paper;
    std::function<bool(QPainter&)> drawPage;
};

// A place to send pages to: the system's print service or a file.
class PrintQueue {
public:
    virtual ~PrintQueue() = default;
    virtual QStringList PrinterNames() = 0;
    // The printer used when none is named; empty when there is none.
    virtual QString DefaultPrinter() = 0;
    virtual PrinterStatus Printer(const QString& name) = 0;
    virtual PrintOutcome Submit(const PrintJob& job) = 0;
};

// The system's print service: CUPS where the program is built with it,
// else Qt's printing. A submitted job is followed for up to `follow` to
// learn whether it printed or was stopped.
std::unique_ptr<PrintQueue> MakeSystemPrintQueue(std::chrono::milliseconds follow = std::chrono::seconds(3));

// Prints into a PDF file instead of a printer: one printer "PDF" whose
// paper is whatever size is printed.
std::unique_ptr<PrintQueue> MakePdfFileQueue(const QString& path);

} // namespace lumavo
