#pragma once

#include <QObject>

namespace lumavo {

// The application object: prepares the process, runs the template browser
// as the one main window, and ends the process when the browser closes.
class CPortraitApp : public QObject {
    Q_OBJECT
public:
    static int Run(int argc, char** argv);

protected:
    // Every event of the program passes here first: the splash takes the
    // first key or button press.
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace lumavo
