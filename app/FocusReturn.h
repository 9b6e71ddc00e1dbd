#pragma once

#include <QObject>

namespace lumavo {

// Hands the keyboard back to the window that is now on top (the innermost
// modal window, or the browser) whenever a dialog or window closes. A window
// manager does that on a desktop; on a bare X server the focus would fall to
// whatever window lies under the pointer, and the operator's keys with it.
class CFocusReturn : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ReturnFocus();
    bool m_pending = false;
};

} // namespace lumavo
