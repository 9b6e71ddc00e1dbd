#pragma once

#include "imaging/PhotoImage.h"
#include "templates/Composition.h"
#include "templates/OutputRender.h"
#include "templates/TemplateFolder.h"
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
// finished picture (rendered afresh from the template files, with the
// caption) at one of the print sizes. Borrows the photo and the composite
// of the layout window.
class COutputDlg : public CCommandDialog {
    Q_OBJECT
public:
    explicit COutputDlg(QWidget* parent = nullptr);
    ~COutputDlg() override;

    void SetComposite(const PhotoImage* composite);
    void SetFolder(const TemplateFolder& folder);
    void SetPhoto(const PhotoImage* photo);
    void SetPlacement(const PhotoPlacement& placement);
    void SetBackgroundSize(int32_t width, int32_t height);

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

    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace lumavo
