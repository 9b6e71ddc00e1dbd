#pragma once

#include <cstdio>

namespace lumavo {

// For command-line programs, whose standard error carries only their own
// one-line messages. The image libraries write their warnings and errors
// there themselves (libpng's "libpng error: ...", libtiff's, fontconfig's)
// or through Qt's messages; every failure already reaches the program as a
// status, so all of that goes to the null device, and the program writes
// its own lines to OwnStandardError(), the standard error as it was. A
// fatal Qt message, just before the program aborts, still gets through.
// Call once, first thing in main.
void KeepLibraryMessagesOffStandardError();

// Where the program's own error lines go (the standard error until the
// libraries' messages have been put aside).
std::FILE* OwnStandardError();

} // namespace lumavo
