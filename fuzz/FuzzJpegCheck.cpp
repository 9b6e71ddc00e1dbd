// JpegLooksComplete on its own: walks the segments of arbitrary bytes over a
// memory map without reading outside it. A file of exactly one page is
// common here, so an overrun past the map faults.
#include "fuzz/FuzzSupport.h"
#include "imaging/PictureChecks.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    lumavo::fuzz::StartQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const bool complete = lumavo::JpegLooksComplete(lumavo::fuzz::WriteScratchFile(data, size, ".jpg"));
    // Complete needs at least the start and end markers.
    if (complete && (size < 4 || data[0] != 0xFF || data[1] != 0xD8))
        abort();
    return 0;
}
