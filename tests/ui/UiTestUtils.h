#pragma once

#include <QApplication>
#include <QString>
#include <QWidget>

#include <functional>

namespace lumavo::test {

// Runs `action` on the next modal window that opens (a nested exec() the
// code under test starts), once it is shown. Returns at once; the action
// runs from the event loop of that modal window.
void OnNextModal(std::function<void(QWidget* modal)> action, int timeoutMs = 10000);

// The window of a class among the top-level widgets, or null.
template <typename T>
T* FindTopLevel()
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* t = qobject_cast<T*>(w); t && t->isVisible())
            return t;
    }
    return nullptr;
}

} // namespace lumavo::test
