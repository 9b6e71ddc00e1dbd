// ReadJpegLayout on its own: walks the segments of arbitrary bytes without
// reading outside them. The bytes are copied into a block of exactly their
// size, so an overrun shows up under AddressSanitizer.
#include "imaging/JpegDecoder.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::unique_ptr<uchar[]> copy(new uchar[size ? size : 1]);
    std::copy(data, data + size, copy.get());
    size_t endMarker = 0;
    const lumavo::JpegLayout layout = lumavo::ReadJpegLayout(copy.get(), size, &endMarker);
    // Anything but Broken needs the start marker; a whole file's end marker lies inside it.
    if (layout != lumavo::JpegLayout::Broken && (size < 4 || data[0] != 0xFF || data[1] != 0xD8))
        abort();
    if (layout == lumavo::JpegLayout::Whole
        && (endMarker + 2 > size || data[endMarker] != 0xFF || data[endMarker + 1] != 0xD9))
        abort();
    return 0;
}
