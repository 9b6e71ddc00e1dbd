#pragma once

#include "imaging/PhotoImage.h"
#include "templates/OutputRender.h"
#include "templates/Portrait.h"
#include "ui/CommandDialog.h"

#include <QRect>
#include <QSize>
#include <QString>

#include <array>
#include <cstdint>
#include <memory>

class QPrinter;

namespace lumavo {

class CPhotoCanvas;

// One of the eight output sizes: its radio caption, control id and the
// printed size in millimetres (portrait way round).
struct PrintSize {
    const char* caption;
    int controlId;
    int widthMm;
    int heightMm;
};
extern const std::array<PrintSize, 8> kPrintSizes;

// The millimetre rectangle (from the top-left of the printable area) that a
// picture of pictureWidth x pictureHeight takes when printed at a size:
// turned to the picture's orientation, the picture's proportions kept
// inside it. With a printable area (whole millimetres), a size larger than
// it is cut down to it first, so the whole picture and its caption stay on
// the page.
QRect PrintRectangle(
    const PrintSize& size, int32_t pictureWidth, int32_t pictureHeight, const QSize& printableMm = QSize());

// Turns the printer's page to the picture's way round (landscape for a
// picture wider than high), so a landscape size lies on a landscape page.
void TurnPageToPicture(QPrinter& printer, int32_t pictureWidth, int32_t pictureHeight);

// Prints a picture on one page of the printer (after its print dialog was
// accepted) into the millimetre rectangle, under the document name
// "艺术写真". Sets the picture's resolution to 350 dpi. False when printing
// could not start.
bool PrintPicture(PhotoImage* picture, int32_t x, int32_t y, int32_t width, int32_t height, QPrinter& printer);

// The last working step: previews the composite, saves or prints the
// finished picture (from the template's files as they are, with the
// caption). A view over the portrait of the layout window, which it borrows.
class COutputDlg : public CCommandDialog {
    Q_OBJECT
public:
    explicit COutputDlg(QWidget* parent = nullptr);
    ~COutputDlg() override;

    // The portrait to show and finish (borrowed; it outlives the window).
    void SetPortrait(Portrait* portrait);

    int exec() override;

    // Index of the selected size (0 "3R" .. 7 "A4").
    int SizeChoice() const;
    CPhotoCanvas* Canvas() const;
    // The printer that print uses (tests point it at a PDF file).
    QPrinter& Printer();

private:
    void InitDialog();
    void OnSave();
    void OnPrint();
    // The finished picture, rendered afresh; none (after telling the
    // operator) when the template could not be read.
    RenderResult Render();
    void ShowRenderError(const QString& error);

    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace lumavo
