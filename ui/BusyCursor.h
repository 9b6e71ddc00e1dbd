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

// Runs work under the busy cursor and returns its result; the cursor is back
// before the caller shows anything (a message, the new picture).
template <typename Work> auto WhileBusy(Work work)
{
    const BusyCursor busy;
    return work();
}

} // namespace lumavo
