#pragma once

#include <QMessageBox>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace lumavo::test {

// Runs `action` on the next modal window that opens (a nested exec() the
// code under test starts), once it is shown. Returns at once; the action
// runs from the event loop of that modal window.
void OnNextModal(std::function<void(QWidget* modal)> action, int timeoutMs = 10000);

// Closes any modal window other than `expected` that opens while it lives,
// and remembers that one did.
class StrayModalGuard {
public:
    explicit StrayModalGuard(QWidget* expected);
    bool opened = false;

private:
    QTimer m_timer;
};

// Answers the next message box with `answer` and keeps its text in *text;
// a busy cursor still showing over it is a failure.
void AnswerNextMessage(QString* text, QMessageBox::StandardButton answer = QMessageBox::Ok);

} // namespace lumavo::test
