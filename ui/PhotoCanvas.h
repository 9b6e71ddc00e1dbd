#pragma once

#include "imaging/PhotoImage.h"
#include "templates/Composition.h"

#include <QEvent>
#include <QWidget>

#include <cstdint>
#include <memory>

namespace lumavo {

// What a click on a canvas sends to its parent window.
enum PickModeValue : int32_t {
    kPickNone = 0,
    kPickToneTool = 1, // sends a PickEvent of kind kPickMessageApp
    kPickWhiteSpot = 2, // sends a PickEvent of kind kPickMessageUser1
};
inline constexpr int kPickMessageApp = 0x8000; // WM_APP
inline constexpr int kPickMessageUser1 = 0x401; // WM_USER + 1

// A click in picture pixels, sent synchronously to the canvas's parent.
// The coordinates are unsigned: a click left of or above the picture wraps
// to a very large value instead of a small negative one.
class PickEvent : public QEvent {
public:
    PickEvent(int message, uint32_t x, uint32_t y);
    static QEvent::Type Type();
    int message() const { return m_message; }
    uint32_t x() const { return m_x; }
    uint32_t y() const { return m_y; }

private:
    int m_message;
    uint32_t m_x;
    uint32_t m_y;
};

// The picture control of the working windows: one picture fitted into the
// control, centred, never enlarged, with a thin black frame. It keeps a
// display copy of its own (transparent parts shown over white), so a caller
// that later changes its picture in place calls SetImage again.
class CPhotoCanvas : public QWidget, public CompositeSink {
    Q_OBJECT
public:
    // Constructing any canvas disarms the pick mode.
    explicit CPhotoCanvas(QWidget* parent = nullptr);
    ~CPhotoCanvas() override;

    // Replaces what the canvas shows; null empties it. The display rectangle
    // follows the control's size at this moment. Does not repaint by itself.
    void SetImage(const PhotoImage* picture) override;

    // Process-wide pick mode shared by every canvas: 0, 1 or 2; any other
    // value leaves it unchanged.
    static void SetPickMode(int32_t mode);
    static int32_t PickMode();

    // Whether a picture is shown, and where (client pixels).
    bool HasPicture() const;
    QRect DisplayRect() const;
    QSize PictureSize() const;
    // The display copy as the canvas holds it (tests compare it).
    QImage DisplayImage() const;

    // The picture pixel under a point of the control, as a click maps it
    // (unsigned, wrapping left of and above the picture). False while the
    // display rectangle is empty.
    bool PicturePoint(const QPoint& client, uint32_t* x, uint32_t* y) const;

    // Paints the display copy and its frame (what a paint event does).
    void DrawPicture(QPainter& painter);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    struct Display;
    std::unique_ptr<Display> m_display;
};

} // namespace lumavo
