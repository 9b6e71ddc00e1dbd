#include "app/FocusReturn.h"

#include "ui/WindowManager.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace lumavo {

bool CFocusReturn::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Hide && watched->isWidgetType() && !m_pending) {
        auto* widget = static_cast<QWidget*>(watched);
        const Qt::WindowType type = widget->windowType();
        // Pop-ups and tool tips never held the focus of a window.
        if (widget->isWindow() && (type == Qt::Window || type == Qt::Dialog || type == Qt::SplashScreen)) {
            m_pending = true;
            // Once the window is gone and the next modal loop runs.
            QTimer::singleShot(0, this, &CFocusReturn::ReturnFocus);
        }
    }
    return QObject::eventFilter(watched, event);
}

void CFocusReturn::ReturnFocus()
{
    m_pending = false;
    QWidget* target = QApplication::activeModalWidget();
    if (!target) {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window->isVisible() && window->windowType() != Qt::Popup && window->windowType() != Qt::ToolTip) {
                target = window;
                break;
            }
        }
    }
    if (!target || !target->isVisible() || QApplication::activeWindow() == target)
        return;
    if (HasWindowManager(target))
        return;
    target->activateWindow();
}

} // namespace lumavo
