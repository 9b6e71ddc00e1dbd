#pragma once

#include <QString>
#include <QStringList>

namespace lumavo {

// Starts a program and does not wait for it. Each argument reaches the
// program whole, blanks and all. False when the program cannot be started.
bool StartProgram(const QString& program, const QStringList& arguments);

// Starts a program without arguments and waits until it ends. Meanwhile the
// application's windows keep painting, and any input given to them (keys,
// clicks, closing a window) is thrown away, not carried out afterwards.
// False, at once, when it cannot be started.
bool RunAndWait(const QString& program);

} // namespace lumavo
