#pragma once

#include <QRect>
#include <QSize>

namespace lumavo {

// The working windows' shared layout: the picture control's place, and the
// least window size that holds it and the skin's buttons while fitting an
// 800 x 600 screen with a title bar.
inline constexpr QRect kCanvasGeometry(80, 60, 640, 480);
inline constexpr QSize kWorkingWindowSize(800, 570);

} // namespace lumavo
