#include "ui/UiTestUtils.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

namespace lumavo::test {

namespace {

// Runs `action` on the next visible modal window, other than the one active
// now, that `wanted` accepts.
void OnNextModalMatching(
    std::function<bool(QWidget*)> wanted, std::function<void(QWidget* modal)> action, int timeoutMs)
{
    QPointer<QWidget> before = QApplication::activeModalWidget();
    auto timer = new QTimer;
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout,
        [timer, before, clock, wanted = std::move(wanted), action = std::move(action), timeoutMs]() {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal && modal != before && modal->isVisible() && wanted(modal)) {
                timer->stop();
                timer->deleteLater();
                action(modal);
                return;
            }
            if (clock->elapsed() > timeoutMs) {
                timer->stop();
                timer->deleteLater();
                ADD_FAILURE() << "no modal window opened within " << timeoutMs << " ms";
            }
        });
    timer->start();
}

} // namespace

void OnNextModal(std::function<void(QWidget* modal)> action, int timeoutMs)
{
    OnNextModalMatching([](QWidget*) { return true; }, std::move(action), timeoutMs);
}

StrayModalGuard::StrayModalGuard(QWidget* expected)
{
    m_timer.setInterval(20);
    QObject::connect(&m_timer, &QTimer::timeout, [this, expected] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal != expected && modal->isVisible()) {
            opened = true;
            modal->close();
        }
    });
    m_timer.start();
}

void AnswerNextMessage(QString* text, QMessageBox::StandardButton answer)
{
    const auto isMessageBox = [](QWidget* modal) { return qobject_cast<QMessageBox*>(modal) != nullptr; };
    OnNextModalMatching(
        isMessageBox,
        [text, answer](QWidget* modal) {
            auto* box = static_cast<QMessageBox*>(modal);
            *text = box->text();
            // A message shown while the busy cursor is still up looks as if it could not be answered.
            EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "busy cursor over: " << text->toStdString();
            QAbstractButton* button = box->button(answer);
            if (!button) {
                ADD_FAILURE() << "the message box has no such button: " << text->toStdString();
                box->close();
                return;
            }
            button->click();
        },
        10000);
}

} // namespace lumavo::test
