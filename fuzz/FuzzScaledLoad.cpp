// LoadForDrawing on arbitrary file bytes with small draw sizes (the first two
// bytes), and the reduction rules on the sizes found.
#include "fuzz/FuzzSupport.h"
#include "imaging/ScaledLoad.h"

#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    lumavo::fuzz::StartQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace lumavo;
    if (size < 2)
        return 0;
    const int32_t drawWidth = 1 + data[0] % 64;
    const int32_t drawHeight = 1 + data[1] % 64;
    const ScaledPicture loaded = LoadForDrawing(fuzz::WriteScratchFile(data + 2, size - 2), drawWidth, drawHeight);
    if (!loaded.picture)
        abort();
    const int32_t r = loaded.reduction;
    if (r < 1 || r > 256)
        abort();
    if (loaded.picture->lastStatus() == Ok) {
        // Never larger than the file's picture reduced, rounded up.
        const QSize size = loaded.picture->image().size();
        if (loaded.picture->IsNull() || size.width() > (loaded.fullSize.width() + r - 1) / r
            || size.height() > (loaded.fullSize.height() + r - 1) / r)
            abort();
    }
    const int32_t chosen = ChooseDecodeReduction(loaded.fullSize, drawWidth, drawHeight);
    if (chosen != 1 && chosen != 2 && chosen != 4 && chosen != 8)
        abort();
    const int32_t rows = ChooseRowReduction(loaded.fullSize, drawWidth, drawHeight);
    if (rows < 1 || rows > 256)
        abort();
    return 0;
}
