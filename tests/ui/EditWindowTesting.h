#pragma once

#include "ui/PhotoEditDlg.h"
#include "ui/UiTestUtils.h"

#include <QImage>

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

} // namespace lumavo::test
