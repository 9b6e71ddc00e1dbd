#pragma once

#include <QPixmap>
#include <QPointer>
#include <QWidget>

class QEvent;

namespace lumavo {

// The start-up picture: a borderless window centred on the screen, gone
// after its time or at the first key or mouse-button press anywhere in the
// program (that press is swallowed).
class CSplashWnd : public QWidget {
    Q_OBJECT
public:
    CSplashWnd(const QPixmap& picture, QWidget* owner);
    ~CSplashWnd() override;

    QWidget* owner() const { return m_owner; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    QPixmap m_picture;
    QPointer<QWidget> m_owner;
};

// Resource number of the splash picture.
inline constexpr int kSplashBitmap = 136;
inline constexpr int kSplashMilliseconds = 3000;

// Whether a splash may be shown at all (decided once at start-up).
void SetSplashEnabled(bool enabled);
// Shows the splash picture for `milliseconds`; false when the switch is
// off, a splash is already up, or the picture cannot be loaded.
bool ShowSplash(int milliseconds, int bitmapId, QWidget* owner);
// Removes the current splash (if any) and repaints its owner at once.
void HideSplash();
// The current splash, or null.
CSplashWnd* CurrentSplash();
// True when the event hid the splash and is to be dropped: key presses and
// mouse-button presses (inside or outside a window's frame) while a splash is up.
bool FilterSplashInput(const QEvent* event);

} // namespace lumavo
