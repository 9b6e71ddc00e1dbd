#pragma once

#include <QString>

namespace lumavo {

// The full path of the running executable as the operating system reports
// it, with '/' separators; empty when it cannot be found. Works without an
// application object.
QString ExecutablePath();

} // namespace lumavo
