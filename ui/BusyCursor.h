#pragma once

#include <QApplication>

namespace lumavo {

// Shows the busy cursor for a scope of long work (loading a big photo,
// rendering or writing a finished picture).
class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

} // namespace lumavo
