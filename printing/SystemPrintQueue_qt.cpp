#include "printing/QtPrintQueue.h"

namespace lumavo {

// Built without CUPS: the system's printers through Qt.
std::unique_ptr<PrintQueue> MakeSystemPrintQueue(std::chrono::milliseconds)
{
    return std::make_unique<QtPrintQueue>();
}

} // namespace lumavo
