// The profile reader on arbitrary file bytes: GetProfileString and
// GetProfileInt with names taken from the input, and ParseProfileInt on the
// decoded text (UBSan catches overflow in the integer reader).
#include "fuzz/FuzzSupport.h"
#include "platform/CodePage.h"
#include "platform/ProfileFile.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    lumavo::fuzz::StartQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace lumavo;
    FuzzedDataProvider input(data, size);
    const QString section = QString::fromStdString(input.ConsumeRandomLengthString(16));
    const QString key = QString::fromStdString(input.ConsumeRandomLengthString(16));
    const std::string rest = input.ConsumeRemainingBytesAsString();
    const QString path = fuzz::WriteScratchFile(reinterpret_cast<const uint8_t*>(rest.data()), rest.size(), ".ini");

    const QString marker = QStringLiteral("\x01absent");
    const QString value = GetProfileString(path, section, key, marker);
    const int32_t number = GetProfileInt(path, section, key, 12345);
    // The integer reader reads the same value the string reader finds.
    if (value == marker || value.isEmpty()) {
        if (number != 12345)
            abort();
    } else if (number != ParseProfileInt(value)) {
        abort();
    }
    (void)ParseProfileInt(DecodeLegacyText(QByteArrayView(rest.data(), qsizetype(rest.size()))));
    (void)GetProfileString(path, QStringLiteral("Setting"), QStringLiteral("Quality"));
    return 0;
}
