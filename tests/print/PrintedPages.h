#pragma once

#include "print/PdfPages.h"

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

} // namespace lumavo::test
