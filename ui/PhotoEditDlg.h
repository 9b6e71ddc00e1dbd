#pragma once

#include "imaging/GeometricEdits.h"
#include "imaging/PhotoImage.h"
#include "imaging/ToneFilters.h"
#include "templates/Portrait.h"
#include "ui/CommandDialog.h"
#include "ui/PhotoCanvas.h"

#include <QRect>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

class QLabel;
class QSlider;

namespace lumavo {

class ExchangeFileWatch;
class FaceFinder;
struct Handoff;

// The retouching window: turns and flips, two tone styles, keying, skin
// smoothing, a white spot, and hand-offs to outside programs through the
// exchange file. A view over a portrait: the layout window lends it its
// own (SetPortrait); given a picture alone (SetPhoto) the window keeps a
// portrait of its own for it. It works on the caller's picture itself: turns, flips and
// the white spot change the current picture in place; the tone styles,
// keying, smoothing and the reload make a new picture that becomes the
// current one; "原始相片" goes back to the picture the window was opened
// with, which keeps any in-place edits made while it was current. Whichever
// button closes the window, its current picture is the result. "撤销"
// (Ctrl+Z) takes this visit's edits back one at a time (the portrait's Undo).
class CPhotoEditDlg : public CCommandDialog {
    Q_OBJECT
public:
    // Constructing the window (and with it its canvas) disarms the pick mode.
    explicit CPhotoEditDlg(QWidget* parent = nullptr);
    ~CPhotoEditDlg() override;

    // The portrait to edit (borrowed), before the window runs; its owner
    // ends the edit (Portrait::EndEdit) after the window has closed.
    void SetPortrait(Portrait* portrait);
    // The picture to edit, before the window runs (null: none).
    void SetPhoto(std::unique_ptr<PhotoImage> photo);
    // Hands the current picture back after the window has closed. The
    // initial picture stays with the window when another one is current.
    std::unique_ptr<PhotoImage> TakePhoto();

    // Initialises (the initial picture, the canvas) and runs modally: 1 (OK) or 2 (Cancel).
    int exec() override;

    const PhotoImage* CurrentPicture() const { return Current(); }
    const PhotoImage* InitialPicture() const;
    CPhotoCanvas* Canvas() const { return m_canvas; }
    // The line under the picture that tells what a click on it will do.
    QString PickHint() const;

    // Command handlers, reachable through OnCommand(id) as well.
    void OnRotateFlip(RotateFlipType code);
    void OnToneStyle(ToneKernel kernel);
    void OnWhiteSpot(uint32_t x, uint32_t y);
    void OnInitialPhoto();
    void ArmBackdropPick();
    // The first click keys the current picture from that point; while the
    // keyed picture is current, further clicks add regions
    // (PhotoEditRetouch.cpp, as the handlers below).
    void KeyOutBackdropAt(uint32_t x, uint32_t y);
    // The keying tolerance (0-100); while a keying is under way its picture
    // is keyed again at once.
    void SetKeyTolerance(int tolerance);
    int KeyTolerance() const;
    bool IsKeying() const;
    // Skin smoothing on the faces the face finder finds.
    void OnSmoothSkin();
    // Takes the newest edit back: the pictures as they were just before it.
    void OnUndo();
    bool CanUndo() const;
    const EditHistory& History() const;

    // Hand-offs to outside programs (PhotoEditHandoffs.cpp).
    void OpenInPhotoshop();
    void ReloadExchangeFile();
    void ArmToneToolPick();
    void LaunchToneTool();
    // Checks for the keying software and offers to install it; the window
    // keeps painting but takes no input while the installer runs.
    void EnsureKeyingSoftware();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void InitDialog();
    // The initial picture, or the newest one a command made while it is current.
    PhotoImage* Current() const;
    // Arms the process-wide pick of the canvas (tone tool or white spot).
    void ArmCanvasPick(PickModeValue mode);
    void BuildControls();
    void MapCommands();
    // Retouching controls (PhotoEditRetouch.cpp): undo, the keying tolerance.
    void BuildRetouchControls();
    void UpdateRetouchControls();
    // Faces on the current picture for the skin smoothing; empty when the
    // face finder's data is missing (then `missing` is set) or none is found.
    std::vector<QRect> FindFaces(bool* missing);
    // Makes a picture a command produced the current one and shows it; the
    // picture it replaces is released unless it is the initial picture.
    void ReplaceCurrent(std::unique_ptr<PhotoImage> picture);
    // Shows what an edit that makes a new picture came to.
    void ShowEdit(EditResult result);
    void Redisplay();
    void ShowPickHint();
    // Tells the operator what went wrong in a hand-off to an outside program.
    void TellHandoff(const Handoff& handoff);
    // After a hand-off the exchange file is watched; once the program has
    // written it back the hint line says `done` until the next reload.
    void WatchHandoff(const Handoff& handoff, const QString& done);
    void ShowMessage(const QString& text);
    void ReportStartFailure(const QString& program);

    // The window's own portrait, when none was lent to it.
    std::unique_ptr<Portrait> m_own;
    Portrait* m_portrait = nullptr;
    CPhotoCanvas* m_canvas = nullptr;
    QLabel* m_hint = nullptr;
    // The next click on the picture keys out the backdrop there.
    bool m_backdropPickArmed = false;
    QSlider* m_toleranceSlider = nullptr;
    QLabel* m_toleranceLabel = nullptr;
    std::unique_ptr<FaceFinder> m_faceFinder;
    bool m_faceFinderTried = false;
    // Why the last smoothing worked without faces, for the hint line.
    QString m_note;
    ExchangeFileWatch* m_exchangeWatch = nullptr;
    // What the hint line says once the outside program has written the
    // exchange file back (empty while it has not).
    QString m_handoffDone;
    QString m_rewrittenNote;
};

} // namespace lumavo
