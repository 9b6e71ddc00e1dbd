#pragma once

#include <QRect>
#include <QSize>

class QWidget;

namespace lumavo {

// The working windows' shared layout: the picture control's place, and the
// least window size that holds it and the skin's buttons while fitting an
// 800 x 600 screen with a title bar.
inline constexpr QRect kCanvasGeometry(80, 60, 640, 480);
inline constexpr QSize kWorkingWindowSize(800, 570);

// Without a window manager there is no title bar to fill the rest of the
// screen: the window takes the whole screen, as the browser beneath does,
// so none of the browser's buttons shows under it.
void CoverScreenWithoutWindowManager(QWidget* window);

} // namespace lumavo
