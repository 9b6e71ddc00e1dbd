#include "ui/WorkingWindow.h"

#include "ui/WindowManager.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace lumavo {

void CoverScreenWithoutWindowManager(QWidget* window)
{
    if (HasWindowManager(window))
        return;
    QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (screen)
        window->setGeometry(screen->geometry().united(QRect(screen->geometry().topLeft(), window->size())));
}

} // namespace lumavo
