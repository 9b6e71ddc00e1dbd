#include "templates/CaptionFontLocator.h"

namespace lumavo {

QStringList CaptionFontFamilies()
{
    // "KaiTi_GB2312" is the English name of the first face, listed where a
    // system registers it under that name only.
    return {
        QStringLiteral("楷体_GB2312"),
        QStringLiteral("KaiTi_GB2312"),
        QStringLiteral("AR PL KaitiM GB"),
        QStringLiteral("AR PL UKai CN"),
        QStringLiteral("KaiTi"),
        QStringLiteral("STKaiti"),
        QStringLiteral("楷体"),
    };
}

} // namespace lumavo
