#include "CodePage.h"

#include <QByteArray>

#include <climits>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace lumavo {

namespace {

constexpr UINT kGbkCodePage = 936;

} // namespace

QString FromGbk(QByteArrayView bytes)
{
    if (bytes.isEmpty() || bytes.size() > INT_MAX)
        return QString();
    const int inLength = int(bytes.size());
    // No MB_ERR_INVALID_CHARS: undecodable bytes come out as U+FFFD.
    const int needed = MultiByteToWideChar(kGbkCodePage, 0, bytes.data(), inLength, nullptr, 0);
    if (needed <= 0)
        return QString();
    QString text(needed, Qt::Uninitialized);
    const int written
        = MultiByteToWideChar(kGbkCodePage, 0, bytes.data(), inLength, reinterpret_cast<wchar_t*>(text.data()), needed);
    text.resize(written > 0 ? written : 0);
    return text;
}

QByteArray ToGbk(const QString& text)
{
    if (text.isEmpty() || text.size() > INT_MAX)
        return QByteArray();
    // GBK has no characters beyond the basic plane: each of those (a surrogate
    // pair, or a stray surrogate) becomes one '?', as any other missing character.
    QString bmp;
    bmp.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text.at(i);
        if (!ch.isSurrogate()) {
            bmp.append(ch);
            continue;
        }
        bmp.append(u'?');
        if (ch.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
    }
    const auto* wide = reinterpret_cast<const wchar_t*>(bmp.utf16());
    const int inLength = int(bmp.size());
    const char defaultChar = '?';
    BOOL usedDefault = FALSE;
    const int needed = WideCharToMultiByte(kGbkCodePage, 0, wide, inLength, nullptr, 0, &defaultChar, &usedDefault);
    if (needed <= 0)
        return QByteArray();
    QByteArray bytes(needed, Qt::Uninitialized);
    const int written
        = WideCharToMultiByte(kGbkCodePage, 0, wide, inLength, bytes.data(), needed, &defaultChar, &usedDefault);
    bytes.resize(written > 0 ? written : 0);
    return bytes;
}

} // namespace lumavo
