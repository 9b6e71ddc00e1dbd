#pragma once

#include "imaging/PhotoImage.h"
#include "templates/OutputRender.h"
#include "templates/Portrait.h"
#include "ui/CommandDialog.h"

#include <QRect>
#include <QSize>
#include <QString>

#include <cstdint>
#include <memory>

class QPrinter;

namespace lumavo {

class COutputPrinting;
class CPhotoCanvas;

// The last working step: previews the composite, saves or prints the
// finished picture (from the template's files as they are, with the
// caption) at one of the print sizes. A view over the portrait of the
// layout window, which it borrows.
class COutputDlg : public CCommandDialog {
    Q_OBJECT
public:
    explicit COutputDlg(QWidget* parent = nullptr);
    ~COutputDlg() override;

    // The portrait to show and finish (borrowed; it outlives the window).
    void SetPortrait(Portrait* portrait);

    int exec() override;

    // Index into kPrintFormats of the selected size (0 "3R" .. 7 "A4").
    int SizeChoice() const;
    CPhotoCanvas* Canvas() const;
    // The printer the print dialog starts from (tests point it at a PDF file).
    QPrinter& Printer();
    // The print controls: fit choice, resolution, calibration.
    COutputPrinting& Printing() const;

private:
    void InitDialog();
    void OnSave();
    void OnPrint();
    // The size chosen or the portrait changed: the print controls follow.
    void ShowPrintSize();
    // The finished picture, rendered afresh; none (after telling the
    // operator) when the template could not be read.
    RenderResult Render();
    void ShowRenderError(const QString& error);

    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace lumavo
