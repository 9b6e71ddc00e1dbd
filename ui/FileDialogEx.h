#pragma once

#include <QFileDialog>
#include <QImage>
#include <QRect>

#include <memory>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace lumavo {

// The photo file dialog: the Qt-drawn file dialog titled
// "打开图片预览对话框" with the filters ".JPG .JPEG", ".PNG" and
// "所有文件 ", a read-only check box and a Help button, and a preview panel
// "图像预浏览" that shows the selected picture fitted into a frame with its
// width, height and full path. Its size is fixed.
class CFileDialogEx : public QFileDialog {
    Q_OBJECT
public:
    // An open dialog for one existing file.
    explicit CFileDialogEx(QWidget* parent = nullptr);
    ~CFileDialogEx() override;

    // The panel's controls.
    QLabel* PreviewFrame() const;
    QCheckBox* ReadOnlyBox() const;
    QPushButton* HelpButton() const;
    QLineEdit* WidthBox() const;
    QLineEdit* HeightBox() const;
    QLineEdit* LocationBox() const;

    // Fills the panel from a picture file; false (panel unchanged) when the
    // file cannot be decoded.
    bool DrawPreview(const QString& path);

    // Where the last preview was drawn, in the frame's client coordinates
    // (inside its border); empty before the first picture.
    QRect PreviewRect() const;
    // The preview as drawn (the fitted picture), null before the first picture.
    QImage PreviewImage() const;

    // Also takes a typed name of a file whose name on disk is in GBK bytes,
    // which Qt's own listing leaves out and its check would not find.
    void accept() override;

private:
    void OnSelectionChanged(const QString& path);
    // The name typed is of a file that only the names on disk find.
    bool TypedDiskNameOnly() const;
    void AllowTypedDiskName();

    struct Panel;
    std::unique_ptr<Panel> m_panel;
};

} // namespace lumavo
