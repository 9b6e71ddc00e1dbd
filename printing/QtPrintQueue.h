#pragma once

#include "printing/PrintQueue.h"

namespace lumavo {

// Printing through Qt's own print support: the system's printers where the
// program has no CUPS of its own (Windows), or a PDF file. Qt tells only
// whether the page could be drawn, so a job it took is reported Queued.
class QtPrintQueue : public PrintQueue {
public:
    // The system's printers.
    QtPrintQueue();
    // One printer "PDF" writing to a file.
    explicit QtPrintQueue(const QString& pdfPath);

    QStringList PrinterNames() override;
    QString DefaultPrinter() override;
    PrinterStatus Printer(const QString& name) override;
    PrintOutcome Submit(const PrintJob& job) override;

private:
    QString m_pdfPath;
};

} // namespace lumavo
