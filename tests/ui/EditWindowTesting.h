#pragma once

#include "ui/PhotoCanvas.h"
#include "ui/PhotoEditDlg.h"
#include "ui/UiTestUtils.h"

#include <QImage>
#include <QPainter>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

namespace lumavo::test {

// Runs the edit window; `work` acts on it once it is shown and must close it.
inline int RunEdit(CPhotoEditDlg& window, std::function<void(CPhotoEditDlg&)> work)
{
    OnNextModal([&](QWidget* modal) {
        EXPECT_EQ(modal, &window);
        work(window);
        if (window.isVisible()) {
            ADD_FAILURE() << "the window is still open";
            window.done(-1);
        }
    });
    return window.exec();
}

// A picture as an opaque canvas shows it.
inline QImage Opaque(const QImage& image)
{
    return image.convertToFormat(QImage::Format_RGB32);
}

// Clicks the canvas at a picture point (the picture is shown unscaled when it fits).
inline void ClickPicture(CPhotoEditDlg& window, QPoint picturePoint)
{
    CPhotoCanvas* canvas = window.Canvas();
    QTest::mouseClick(canvas, Qt::LeftButton, {}, canvas->DisplayRect().topLeft() + picturePoint);
}

// The window's button for a command; null when it has none.
inline QPushButton* ButtonOf(CPhotoEditDlg& window, int id)
{
    for (QPushButton* button : window.findChildren<QPushButton*>()) {
        if (button->property("commandId").toInt() == id)
            return button;
    }
    return nullptr;
}

// A sitter before a backdrop of one colour: the face an ellipse of skin,
// the body a block of clothes below it, their edges smoothed.
inline QImage SitterPhoto(QSize size, QColor backdrop, QRect face, QColor skin, QRect body, QColor clothes)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(backdrop);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(skin);
    painter.drawEllipse(face);
    painter.setBrush(clothes);
    painter.drawRect(body);
    return image;
}

} // namespace lumavo::test
