#pragma once

#include "printing/PrintQueue.h"

#include <QByteArray>

namespace lumavo {

// Draws a job's page into a one-page PDF of the paper's exact size (the
// document a print queue receives). False when it could not be drawn.
bool DrawPagePdf(const PrintJob& job, QByteArray* pdf);

} // namespace lumavo
