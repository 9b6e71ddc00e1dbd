#include "skin/CommandEvent.h"

#include <QCoreApplication>
#include <QWidget>

namespace lumavo {

CommandEvent::CommandEvent(int id)
    : QEvent(Type())
    , m_id(id)
{
}

QEvent::Type CommandEvent::Type()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

void SendCommand(QWidget* window, int id)
{
    if (!window)
        return;
    CommandEvent event(id);
    QCoreApplication::sendEvent(window, &event);
}

} // namespace lumavo
