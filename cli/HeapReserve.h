#pragma once

#include <cstddef>

namespace lumavo::cli {

// Keeps freed memory in the process for reuse (no return to the system, no
// separate per-thread pools), so that a picture allocated after another one
// was released lands on pages already faulted in. Call first thing in main.
void KeepFreedMemory();

// Faults in `bytes` of heap now and leaves them free for the pictures that
// follow. Done on an otherwise idle core while the photo decodes: first
// touches of fresh memory are slow on some machines.
void ReserveHeap(std::size_t bytes);

} // namespace lumavo::cli
