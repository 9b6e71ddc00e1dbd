// BmpLooksComplete on its own: arbitrary headers, and an uncompressed BMP
// called complete really holds its header's pixel area.
#include "fuzz/FuzzSupport.h"
#include "imaging/PictureChecks.h"

#include <algorithm>
#include <cstdlib>

namespace {

uint32_t U16(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8;
}
uint32_t U32(const uint8_t* p)
{
    return U16(p) | U16(p + 2) << 16;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    lumavo::fuzz::StartQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const bool complete = lumavo::BmpLooksComplete(lumavo::fuzz::WriteScratchFile(data, size, ".bmp"));
    if (!complete || size < 34 || U32(data + 14) == 12)
        return 0;
    const uint32_t compression = U32(data + 30);
    if (compression != 0 && compression != 3 && compression != 6)
        return 0;
    // Recomputed with 128-bit arithmetic, where nothing can wrap around.
    const int64_t width = std::max<int64_t>(int32_t(U32(data + 18)), 0);
    const int64_t height = std::abs(int64_t(int32_t(U32(data + 22))));
    const unsigned __int128 rowBytes = (unsigned __int128)(uint64_t(width) * U16(data + 28) + 31) / 32 * 4;
    const unsigned __int128 needed = U32(data + 10) + rowBytes * uint64_t(height);
    if (needed > size)
        abort();
    return 0;
}
