#pragma once

#include "cli/Arguments.h"

namespace lumavo::cli {

// print: the finished picture of render, printed at a size on a printer
// with its calibration. print-test: the calibration test sheet of a size.
// Both say on standard output what the print queue did with the job, and
// fail (one error line) when nothing will be printed.
int RunPrint(const Arguments& arguments);
int RunPrintTest(const Arguments& arguments);

} // namespace lumavo::cli
