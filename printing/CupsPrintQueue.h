#pragma once

#include "printing/PrintQueue.h"

#include <chrono>

namespace lumavo {

// Printing through CUPS: each page is drawn into a PDF of the paper's exact
// size and handed to the queue with the copies, the paper and no scaling;
// the printer's state is asked before and the job's state after.
class CupsPrintQueue : public PrintQueue {
public:
    // server: a CUPS server (host or socket path); empty for the system's own.
    // follow: how long a submitted job is watched for its end.
    explicit CupsPrintQueue(std::chrono::milliseconds follow, QString server = {});

    QStringList PrinterNames() override;
    QString DefaultPrinter() override;
    PrinterStatus Printer(const QString& name) override;
    PrintOutcome Submit(const PrintJob& job) override;

private:
    void UseServer() const;

    std::chrono::milliseconds m_follow;
    QString m_server;
};

} // namespace lumavo
