#include "app/SplashWnd.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QTimerEvent>

#include <algorithm>

namespace lumavo {

namespace {

bool g_splashEnabled = false;
QPointer<CSplashWnd> g_currentSplash;

QString SplashResource(int bitmapId)
{
    return bitmapId == kSplashBitmap ? QStringLiteral(":/splash.png") : QString();
}

} // namespace

// Owned by the window it announces: a window of its own outside that
// window's family would be blocked while the window runs modally, and a press
// on the splash would then reach nothing, the splash included.
CSplashWnd::CSplashWnd(const QPixmap& picture, QWidget* owner)
    : QWidget(owner, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
    , m_picture(picture)
    , m_owner(owner)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFixedSize(m_picture.deviceIndependentSize().toSize());
}

CSplashWnd::~CSplashWnd() = default;

void CSplashWnd::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_picture);
}

void CSplashWnd::timerEvent(QTimerEvent*)
{
    HideSplash();
}

void SetSplashEnabled(bool enabled)
{
    g_splashEnabled = enabled;
}

CSplashWnd* CurrentSplash()
{
    return g_currentSplash.data();
}

bool ShowSplash(int milliseconds, int bitmapId, QWidget* owner)
{
    if (!g_splashEnabled || g_currentSplash)
        return false;
    const QString resource = SplashResource(bitmapId);
    QPixmap picture;
    if (resource.isEmpty() || !picture.load(resource))
        return false;

    auto* splash = new CSplashWnd(picture, owner);
    // Centred in the screen's work area, kept inside it.
    QScreen* screen = owner && owner->screen() ? owner->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        const QRect area = screen->availableGeometry();
        QRect frame(QPoint(0, 0), splash->size());
        frame.moveCenter(area.center());
        frame.moveLeft(std::max(area.left(), std::min(frame.left(), area.right() - frame.width() + 1)));
        frame.moveTop(std::max(area.top(), std::min(frame.top(), area.bottom() - frame.height() + 1)));
        splash->move(frame.topLeft());
    }
    g_currentSplash = splash;
    splash->show();
    splash->repaint();
    splash->startTimer(milliseconds);
    return true;
}

void HideSplash()
{
    CSplashWnd* splash = g_currentSplash.data();
    if (!splash)
        return;
    QPointer<QWidget> owner = splash->owner();
    g_currentSplash = nullptr;
    splash->close();
    if (owner && owner->isVisible())
        owner->repaint();
}

bool FilterSplashInput(const QEvent* event)
{
    if (!g_currentSplash)
        return false;
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::NonClientAreaMouseButtonPress:
        break;
    default:
        return false;
    }
    HideSplash();
    return true;
}

} // namespace lumavo
