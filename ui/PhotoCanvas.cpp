#include "ui/PhotoCanvas.h"

#include "imaging/PixelAccess.h"
#include "templates/Resample.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPen>

#include <cmath>

namespace lumavo {

namespace {

// Shared by every canvas of the process; only the UI thread touches it.
int32_t g_pickMode = kPickNone;

bool KeepsCopyAsShared(const QImage& picture)
{
    // An opaque 32-bit picture already is what the display copy would be;
    // sharing it costs nothing, and QImage's copy-on-write keeps the copy
    // unchanged when the caller later edits its picture in place.
    return picture.format() == QImage::Format_RGB32;
}

} // namespace

PickEvent::PickEvent(int message, uint32_t x, uint32_t y)
    : QEvent(Type())
    , m_message(message)
    , m_x(x)
    , m_y(y)
{
}

QEvent::Type PickEvent::Type()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

struct CPhotoCanvas::Display {
    // Full-size copy of the picture, opaque RGB32 (transparency over white).
    QImage copy;
    // The copy scaled to the display rectangle in device pixels, made once
    // per SetImage so that a paint only copies pixels.
    QImage scaled;
    QRect rect;
    QSize pictureSize;
};

CPhotoCanvas::CPhotoCanvas(QWidget* parent)
    : QWidget(parent)
    , m_display(std::make_unique<Display>())
{
    g_pickMode = kPickNone;
    // No background of its own: outside the frame the parent's painting shows.
    setAutoFillBackground(false);
}

CPhotoCanvas::~CPhotoCanvas() = default;

void CPhotoCanvas::SetImage(const PhotoImage* picture)
{
    Display& display = *m_display;
    // Buffers nobody else holds are written over instead of allocated anew.
    QImage spareCopy = std::move(display.copy);
    QImage spareScaled = std::move(display.scaled);
    if (!picture)
        return;

    const QRect client = rect();
    const QImage& source = picture->image();
    const int32_t width = int32_t(picture->Width());
    const int32_t height = int32_t(picture->Height());
    display.pictureSize = QSize(width, height);
    const FitResult fit = FitSize(width, height, client.width(), client.height());
    const int32_t left = client.left();
    const int32_t top = client.top();
    const int32_t right = client.left() + client.width();
    const int32_t bottom = client.top() + client.height();
    display.rect
        = QRect((left + right) / 2 - fit.width / 2, (top + bottom) / 2 - fit.height / 2, fit.width, fit.height);

    if (source.isNull() || width <= 0 || height <= 0)
        return;
    if (KeepsCopyAsShared(source)) {
        display.copy = source;
    } else {
        QImage copy;
        if (spareCopy.isDetached() && spareCopy.size() == source.size() && spareCopy.format() == QImage::Format_RGB32)
            copy = std::move(spareCopy);
        else
            copy = QImage(source.size(), QImage::Format_RGB32);
        if (copy.isNull())
            return;
        copy.fill(Qt::white);
        QPainter painter(&copy);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        painter.drawImage(0, 0, source);
        painter.end();
        display.copy = std::move(copy);
    }
    display.copy.setDevicePixelRatio(1.0);

    // The screen shows the picture at the display rectangle's size: scale
    // once to that (area average), not at every paint.
    const qreal ratio = devicePixelRatioF();
    const QSize target(int(std::lround(display.rect.width() * ratio)), int(std::lround(display.rect.height() * ratio)));
    if (target.isEmpty())
        return;
    if (target == display.copy.size()) {
        display.scaled = display.copy;
    } else if (target.width() < width && target.height() < height) {
        // Resample writes into the spare only when it fits and nobody else holds it.
        display.scaled
            = Resample(display.copy, width, height, target, QRect(QPoint(0, 0), target), std::move(spareScaled));
    } else {
        display.scaled = display.copy.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    display.scaled.setDevicePixelRatio(ratio);
}

void CPhotoCanvas::SetPickMode(int32_t mode)
{
    if (mode == kPickNone || mode == kPickToneTool || mode == kPickWhiteSpot)
        g_pickMode = mode;
}

int32_t CPhotoCanvas::PickMode()
{
    return g_pickMode;
}

bool CPhotoCanvas::HasPicture() const
{
    return !m_display->copy.isNull();
}

QRect CPhotoCanvas::DisplayRect() const
{
    return m_display->rect;
}

QSize CPhotoCanvas::PictureSize() const
{
    return m_display->pictureSize;
}

QImage CPhotoCanvas::DisplayImage() const
{
    return m_display->copy;
}

void CPhotoCanvas::DrawPicture(QPainter& painter)
{
    const Display& display = *m_display;
    if (display.copy.isNull())
        return;
    if (!display.scaled.isNull()) {
        painter.drawImage(display.rect, display.scaled);
    } else if (!display.rect.isEmpty()) {
        painter.save();
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(display.rect, display.copy);
        painter.restore();
    }
    // Left and top lines on the picture's first column and row, right and
    // bottom lines just outside it.
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(QColor(0, 0, 0), 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(display.rect);
    painter.restore();
}

void CPhotoCanvas::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    DrawPicture(painter);
}

bool CPhotoCanvas::PicturePoint(const QPoint& client, uint32_t* x, uint32_t* y) const
{
    const Display& display = *m_display;
    // A display rectangle without area cannot be mapped: the click is ignored.
    if (display.copy.isNull() || display.rect.width() <= 0 || display.rect.height() <= 0)
        return false;
    // Unsigned 32-bit arithmetic, wrapping: a click left of or above the
    // picture gives a very large coordinate, as the handlers expect.
    const uint32_t width = uint32_t(display.copy.width());
    const uint32_t height = uint32_t(display.copy.height());
    *x = ((uint32_t(client.x()) - uint32_t(display.rect.x())) * width) / uint32_t(display.rect.width());
    *y = ((uint32_t(client.y()) - uint32_t(display.rect.y())) * height) / uint32_t(display.rect.height());
    return true;
}

void CPhotoCanvas::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    uint32_t px = 0;
    uint32_t py = 0;
    if (!PicturePoint(event->position().toPoint(), &px, &py))
        return;
    int message = 0;
    if (g_pickMode == kPickToneTool)
        message = kPickMessageApp;
    else if (g_pickMode == kPickWhiteSpot)
        message = kPickMessageUser1;
    if (message == 0 || !parentWidget())
        return;
    PickEvent pick(message, px, py);
    QCoreApplication::sendEvent(parentWidget(), &pick);
}

} // namespace lumavo
