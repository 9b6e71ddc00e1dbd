#pragma once

#include <QEvent>

class QWidget;

namespace lumavo {

// A numbered command for a window, as a key, a skin button or a test sends
// it. Windows dispatch it through their command map.
class CommandEvent : public QEvent {
public:
    explicit CommandEvent(int id);
    static QEvent::Type Type();
    int id() const { return m_id; }

private:
    int m_id;
};

// Sends a command to a window and returns when its handler has run.
void SendCommand(QWidget* window, int id);

} // namespace lumavo
