#pragma once

#include <cstddef>

namespace lumavo::cli {

// Keeps freed memory in the process for reuse (no return to the system, no
// separate per-thread pools), so that a picture allocated after another one
// was released lands on pages already faulted in. Call first thing in main.
void KeepFreedMemory();

} // namespace lumavo::cli
