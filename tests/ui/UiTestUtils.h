#pragma once

#include <QString>
#include <QWidget>

#include <functional>

namespace lumavo::test {

// Runs `action` on the next modal window that opens (a nested exec() the
// code under test starts), once it is shown. Returns at once; the action
// runs from the event loop of that modal window.
void OnNextModal(std::function<void(QWidget* modal)> action, int timeoutMs = 10000);

} // namespace lumavo::test
