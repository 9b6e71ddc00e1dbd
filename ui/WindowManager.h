#pragma once

class QWidget;

namespace lumavo {

// Whether a window manager runs on the window's screen. Kiosks often run a
// bare X server: no frames, no title bars and nobody who hands the keyboard
// focus back when a dialog closes. Everywhere but X11 the answer is yes.
bool HasWindowManager(QWidget* window);

} // namespace lumavo
