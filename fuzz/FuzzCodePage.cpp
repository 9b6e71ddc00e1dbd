// The legacy code-page conversions on arbitrary bytes: GBK decoding never
// fails, valid UTF-8 is read as UTF-8, and text GBK decoded re-encodes and
// decodes to itself (undecodable bytes aside).
#include "fuzz/FuzzSupport.h"
#include "platform/CodePage.h"

#include <QStringDecoder>

#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    lumavo::fuzz::StartQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace lumavo;
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));

    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString asUtf8 = utf8.decode(bytes);
    const QString legacy = DecodeLegacyText(bytes);
    if (!utf8.hasError() && legacy != asUtf8)
        abort();

    const QString fromGbk = FromGbk(bytes);
    if (!fromGbk.contains(QChar::ReplacementCharacter)) {
        // Everything decoded: the text goes back to GBK and returns unchanged.
        if (FromGbk(ToGbk(fromGbk)) != fromGbk)
            abort();
    }
    // Arbitrary Unicode (from the UTF-8 reading) to GBK and back: only '?' may stand in.
    const QString back = FromGbk(ToGbk(asUtf8));
    if (back.contains(QChar::ReplacementCharacter) && !asUtf8.contains(QChar::ReplacementCharacter))
        abort();
    (void)ToWidePath(bytes);
    return 0;
}
