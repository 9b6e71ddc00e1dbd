// ImageEncoder lookup on arbitrary text: never crashes, and a found encoder
// is one of the installed ones.
#include "fuzz/FuzzSupport.h"
#include "imaging/ImageFiles.h"

#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    lumavo::fuzz::StartQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace lumavo;
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const ImageEncoder encoder(text);
    if (!encoder.found())
        return 0;
    for (const EncoderInfo& info : InstalledEncoders()) {
        if (info.format == encoder.format() && info.mimeType == encoder.mimeType())
            return 0;
    }
    abort();
}
