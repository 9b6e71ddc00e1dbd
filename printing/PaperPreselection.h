#pragma once

#include "printing/PrintFormats.h"

class QPrinter;

namespace lumavo {

// Before the print dialog opens: sets the printer's page to its own paper
// of the format's size when it offers one, upright and with no margins to
// keep. False when it offers none; the page then stays as it was.
bool PreselectPaper(QPrinter& printer, const PrintFormat& format);

} // namespace lumavo
