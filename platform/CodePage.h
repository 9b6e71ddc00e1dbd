#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace lumavo {

// Text from files the old system wrote: UTF-8 when the bytes are valid
// UTF-8, otherwise GBK (code page 936).
QString DecodeLegacyText(QByteArrayView bytes);
// True when the bytes are valid UTF-8 throughout (empty text is).
bool IsValidUtf8(QByteArrayView bytes);

// GBK bytes to Unicode (undecodable bytes become U+FFFD).
QString FromGbk(QByteArrayView bytes);
// Unicode to GBK bytes ('?' for characters GBK lacks).
QByteArray ToGbk(const QString& text);

// A file name in the legacy code page converted for the imaging calls.
// Returns a fresh string each call: nothing is cut and nothing is left over
// from an earlier call.
QString ToWidePath(QByteArrayView ansiPath);

} // namespace lumavo
