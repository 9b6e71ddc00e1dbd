#include "cli/HeapReserve.h"

#include <cstdlib>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace lumavo::cli {

void KeepFreedMemory()
{
#ifdef __GLIBC__
    // Pictures come from the heap, not from mappings of their own, and the
    // heap's top is not trimmed: the process lives for one job only.
    mallopt(M_MMAP_THRESHOLD, 512 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 1024 * 1024 * 1024);
    // One pool for all threads: pictures decoded on one thread and released
    // leave their pages to the next picture on any thread.
    mallopt(M_ARENA_MAX, 1);
#endif
}

} // namespace lumavo::cli
