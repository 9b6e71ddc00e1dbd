// PhotoImage::FromFile on arbitrary file bytes: never crashes, and a picture
// reported as decoded has pixels within the memory limit, all readable.
#include "fuzz/FuzzSupport.h"
#include "imaging/PhotoImage.h"
#include "imaging/PictureChecks.h"

#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    lumavo::fuzz::StartQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace lumavo;
    const auto picture = PhotoImage::FromFile(fuzz::WriteScratchFile(data, size));
    if (!picture)
        abort();
    if (picture->lastStatus() != Ok) {
        if (!picture->IsNull())
            abort();
        return 0;
    }
    if (picture->IsNull() || !FitsInMemoryLimit(picture->Width(), picture->Height()))
        abort();
    // Touch every byte so that a short buffer shows up under AddressSanitizer.
    const QImage& image = picture->image();
    volatile uchar sum = 0;
    for (int y = 0; y < image.height(); ++y) {
        const uchar* line = image.constScanLine(y);
        for (qsizetype x = 0; x < image.bytesPerLine(); ++x)
            sum = sum + line[x];
    }
    return 0;
}
