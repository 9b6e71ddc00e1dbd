#pragma once

#include "printing/PrintJobs.h"

#include <QString>

namespace lumavo {

// What the operator reads about a print, in Chinese: whether the queue
// took it, and when not, why (with the print system's own words).
QString PrintReportMessage(const PrintReport& report);

} // namespace lumavo
