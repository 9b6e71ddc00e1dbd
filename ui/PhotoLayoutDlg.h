#pragma once

#include "imaging/PhotoImage.h"
#include "templates/Portrait.h"
#include "templates/TemplateFolder.h"
#include "ui/CommandDialog.h"

#include <memory>

class QLabel;

namespace lumavo {

class CPhotoCanvas;

// The working step between the template and the output: loads the
// template, asks for the customer's photo, places it in the opening and
// lets the operator move it (arrow keys, 5 pixels) and zoom it (keypad + and
// -, 5 pixels) and retouch it in the edit window; Enter goes on to the output
// window, Esc back to the browser. Smart framing (the skin button
// "smartframe" or F) sets the placement by the photo's faces; the search
// runs on a worker thread under the busy cursor, and the status line says
// what it found.
class CPhotoLayoutDlg : public CCommandDialog {
    Q_OBJECT
public:
    explicit CPhotoLayoutDlg(QWidget* parent = nullptr);
    ~CPhotoLayoutDlg() override;

    void SetFolder(const TemplateFolder& folder);
    // The photo the photo dialog opens with selected (chosen beforehand in
    // the template browser); empty for none.
    void SetSuggestedPhoto(const QString& path);

    // Initialises (template, first composite, the photo dialog) and runs modally.
    int exec() override;

    const PhotoPlacement& Placement() const;
    const PhotoImage* Photo() const;
    const PhotoImage* Composite() const;
    CPhotoCanvas* Canvas() const;

    // What one adjusting key does: move or zoom, recompose, repaint. Returns
    // false for keys that are not adjusting keys.
    bool HandleAdjustKey(int key, Qt::KeyboardModifiers modifiers);

    // What the photo step does with each file the photo dialog returns:
    // decode it, fit it into the opening and recompose. False (nothing
    // changed) when the file cannot be decoded.
    bool LoadPhoto(const QString& path);

    // Smart framing: starts the face search, or applies what an earlier
    // search of the same picture found. Without a face the placement stays.
    void OnSmartFraming();
    // A face search is running for this window.
    bool IsFramingBusy() const;
    QLabel* StatusLine() const;

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
    // A search is done: frames the photo by its result (if the picture with
    // this key is still the photo), then replays the keys that waited for it.
    void ApplySmartFraming(qint64 pictureKey);
    void FrameWithResult(qint64 pictureKey);
    // Lets an awaited search finish before a step that needs the placement.
    void FinishSmartFraming();
    void SetStatus(const QString& text);

    struct State;
    std::unique_ptr<State> m_state;
    TemplateFolder m_folder;
};

} // namespace lumavo
