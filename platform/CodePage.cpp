#include "CodePage.h"

#include <QStringDecoder>

namespace lumavo {

bool IsValidUtf8(QByteArrayView bytes)
{
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString text = utf8.decode(bytes); // decoding happens on conversion
    return !utf8.hasError();
}

QString DecodeLegacyText(QByteArrayView bytes)
{
    // Stateless, so that a sequence cut short at the end counts as invalid
    // instead of being held back as pending state.
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    return FromGbk(bytes);
}

QString ToWidePath(QByteArrayView ansiPath)
{
    // The bytes are a C string: a terminator ends the name, as it would for
    // the file system. Everything before it is converted.
    const qsizetype end = ansiPath.indexOf('\0');
    if (end >= 0)
        ansiPath = ansiPath.first(end);
    return DecodeLegacyText(ansiPath);
}

} // namespace lumavo
