#pragma once

#include "imaging/PhotoImage.h"
#include "templates/Portrait.h"
#include "templates/TemplateFolder.h"
#include "ui/CommandDialog.h"

#include <memory>

namespace lumavo {

class CPhotoCanvas;

// The working step between the template and the output: loads the
// template, asks for the customer's photo, places it in the opening and
// lets the operator move it (arrow keys, 5 pixels) and zoom it (keypad + and
// -, 5 pixels) and retouch it in the edit window; Enter goes on to the output
// window, Esc back to the browser.
class CPhotoLayoutDlg : public CCommandDialog {
    Q_OBJECT
public:
    explicit CPhotoLayoutDlg(QWidget* parent = nullptr);
    ~CPhotoLayoutDlg() override;

    void SetFolder(const TemplateFolder& folder);

    // Initialises (template, first composite, the photo dialog) and runs modally.
    int exec() override;

    const PhotoPlacement& Placement() const;
    const PhotoImage* Photo() const;
    const PhotoImage* Composite() const;
    CPhotoCanvas* Canvas() const;
    // The portrait this window makes (it owns it; the edit and output windows borrow it).
    Portrait& Model() const;

    // What one adjusting key does: move or zoom, recompose, repaint. Returns
    // false for keys that are not adjusting keys.
    bool HandleAdjustKey(int key, Qt::KeyboardModifiers modifiers);

    // What the photo step does with each file the photo dialog returns:
    // decode it, fit it into the opening and recompose. False (nothing
    // changed) when the file cannot be decoded.
    bool LoadPhoto(const QString& path);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void InitDialog();
    void AskForPhoto();
    void Recompose();
    void OnNextStep();
    void OnEditPhoto();
    // Fits the photo into the template's opening afresh.
    void FitPhoto();

    struct State;
    std::unique_ptr<State> m_state;
    TemplateFolder m_folder;
};

} // namespace lumavo
