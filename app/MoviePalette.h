#pragma once

#include <QColor>

namespace lumavo::palette {

// The colours the album and the music strip share with the skin: warm paper,
// dark warm text, one teal accent.
inline const QColor kPaper(0xEC, 0xE7, 0xDF);
inline const QColor kText(0x3B, 0x36, 0x31);
inline const QColor kAccent(0x2E, 0x6E, 0x7E);

} // namespace lumavo::palette
