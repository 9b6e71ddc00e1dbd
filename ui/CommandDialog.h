#pragma once

#include <QDialog>

#include <functional>
#include <map>

namespace lumavo {

// A dialog whose commands go through one map (id -> handler), so a skin
// button, a key and a test reach a handler the same way. Enter sends
// command 1, Esc and closing the window command 2; an id without a handler
// does nothing, except 1 and 2, which fall back to the dialog's own accept
// and reject.
class CCommandDialog : public QDialog {
    Q_OBJECT
public:
    explicit CCommandDialog(QWidget* parent = nullptr);

    // Runs the handler of a command; false when the id has none.
    bool OnCommand(int id);

    void accept() override;
    void reject() override;

protected:
    void MapCommand(int id, std::function<void()> handler);
    // Ends the modal run with a result, bypassing the command map.
    void EndDialog(int result);

    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    std::map<int, std::function<void()>> m_commands;
};

} // namespace lumavo
