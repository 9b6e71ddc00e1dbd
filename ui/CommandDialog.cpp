#include "ui/CommandDialog.h"

#include "skin/CommandEvent.h"
#include "ui/CommandIds.h"

#include <QKeyEvent>

namespace lumavo {

CCommandDialog::CCommandDialog(QWidget* parent)
    : QDialog(parent)
{
}

bool CCommandDialog::OnCommand(int id)
{
    auto found = m_commands.find(id);
    if (found == m_commands.end())
        return false;
    found->second();
    return true;
}

void CCommandDialog::accept()
{
    if (!OnCommand(kCmdOk))
        QDialog::accept();
}

void CCommandDialog::reject()
{
    if (!OnCommand(kCmdCancel))
        QDialog::reject();
}

void CCommandDialog::MapCommand(int id, std::function<void()> handler)
{
    m_commands[id] = std::move(handler);
}

void CCommandDialog::EndDialog(int result)
{
    QDialog::done(result);
}

bool CCommandDialog::event(QEvent* event)
{
    if (event->type() == CommandEvent::Type()) {
        OnCommand(static_cast<CommandEvent*>(event)->id());
        return true;
    }
    return QDialog::event(event);
}

void CCommandDialog::keyPressEvent(QKeyEvent* event)
{
    // Enter and Esc become commands 1 and 2 whichever control has the focus,
    // with no default button in between.
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (event->modifiers() & ~(Qt::KeypadModifier))
            break;
        accept();
        return;
    case Qt::Key_Escape:
        reject();
        return;
    default:
        break;
    }
    QDialog::keyPressEvent(event);
}

} // namespace lumavo
