#pragma once

#include "printing/PageGeometry.h"
#include "printing/PrintQueue.h"

#include <QImage>
#include <QString>

namespace lumavo {

// The document name print queues show for a portrait.
extern const QString kPrintDocumentName;

struct PrintRequest {
    QString printer; // empty: the queue's default printer
    const PrintFormat* format = nullptr;
    FitMode fit = FitMode::Whole;
    int copies = 1;
    // The correction of this printer and size (the caller looks it up).
    Calibration calibration;
    QString title = kPrintDocumentName;
};

struct PrintReport {
    PrintOutcome outcome;
    QString printer; // the printer used (the default one's name when none was asked for)
    Paper paper; // the paper asked for
    PrintPlacement placement;
};

// Prints the finished picture on one page at the request's size. The
// printer is asked first: a missing, stopped or refusing printer is
// reported and nothing is sent.
PrintReport PrintFinishedPicture(PrintQueue& queue, const QImage& picture, const PrintRequest& request);

// Prints the calibration test sheet of the request's printer and size,
// with the request's correction applied.
PrintReport PrintCalibrationSheet(PrintQueue& queue, const PrintRequest& request);

} // namespace lumavo
