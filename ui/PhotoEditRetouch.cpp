// The edit window's retouching: keying that keeps the subject (with a
// tolerance the operator can change after the click), skin smoothing on the
// faces the face finder gives, and undo.

#include "faces/FaceFinder.h"
#include "imaging/SkinSmoothing.h"
#include "platform/ProgramFolder.h"
#include "ui/BusyCursor.h"
#include "ui/CommandIds.h"
#include "ui/PhotoCanvas.h"
#include "ui/PhotoEditDlg.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>

namespace lumavo {

namespace {

// In pixels: the row under "撤销" in the window's right column (see the
// button table in PhotoEditDlg.cpp: two pixels a dialog unit).
const QRect kToleranceLabelRect(266 * 2, 211 * 2, 26 * 2, 10 * 2);
const QRect kToleranceSliderRect(292 * 2, 209 * 2, 77 * 2, 14 * 2);

} // namespace

void CPhotoEditDlg::BuildRetouchControls()
{
    m_toleranceLabel = new QLabel(QStringLiteral("抠像容差"), this);
    m_toleranceLabel->setGeometry(kToleranceLabelRect);
    m_toleranceSlider = new QSlider(Qt::Horizontal, this);
    m_toleranceSlider->setObjectName(QStringLiteral("KeyTolerance"));
    m_toleranceSlider->setGeometry(kToleranceSliderRect);
    m_toleranceSlider->setRange(BackdropKey::kMinTolerance, BackdropKey::kMaxTolerance);
    m_toleranceSlider->setPageStep(10);
    m_toleranceSlider->setValue(BackdropKey::kDefaultTolerance);
    m_toleranceSlider->setToolTip(QStringLiteral("向右：去掉更多与背景相近的颜色；向左：保留更多"));
    // While dragging, the picture is keyed again when the handle is let go;
    // arrow keys and clicks on the groove key it at once.
    m_toleranceSlider->setTracking(false);
    connect(m_toleranceSlider, &QSlider::valueChanged, this, [this](int value) { SetKeyTolerance(value); });
    UpdateRetouchControls();
}

void CPhotoEditDlg::keyPressEvent(QKeyEvent* event)
{
    // Ctrl+Z reaches the window from whichever control has the focus.
    if (event->matches(QKeySequence::Undo)) {
        OnCommand(kCmdUndo);
        return;
    }
    CCommandDialog::keyPressEvent(event);
}

bool CPhotoEditDlg::IsKeying() const
{
    return m_portrait->IsKeying();
}

int CPhotoEditDlg::KeyTolerance() const
{
    return m_portrait->KeyTolerance();
}

bool CPhotoEditDlg::CanUndo() const
{
    return m_portrait->CanUndo();
}

const EditHistory& CPhotoEditDlg::History() const
{
    return m_portrait->History();
}

void CPhotoEditDlg::KeyOutBackdropAt(uint32_t x, uint32_t y)
{
    if (!Current())
        return;
    const EditResult keyed = WhileBusy([&] { return m_portrait->KeyOutBackdropAt(x, y); });
    // The pick stays armed: a further click adds a region.
    ShowEdit(keyed);
    ShowPickHint();
}

void CPhotoEditDlg::SetKeyTolerance(int tolerance)
{
    tolerance = std::clamp(tolerance, BackdropKey::kMinTolerance, BackdropKey::kMaxTolerance);
    if (m_toleranceSlider->value() != tolerance) {
        // The slider's own signal comes back here.
        m_toleranceSlider->setValue(tolerance);
        return;
    }
    ShowEdit(WhileBusy([&] { return m_portrait->SetKeyTolerance(tolerance); }));
}

std::vector<QRect> CPhotoEditDlg::FindFaces(bool* missing)
{
    *missing = false;
    if (!m_faceFinderTried) {
        m_faceFinderTried = true;
        m_faceFinder = FaceFinder::Load(FaceFinder::DefaultFolders(ProgramFolder()));
    }
    if (!m_faceFinder) {
        *missing = true;
        return {};
    }
    std::vector<QRect> boxes;
    for (const FoundFace& face : m_faceFinder->Find(*Current()).faces)
        boxes.push_back(face.box);
    return boxes;
}

void CPhotoEditDlg::OnSmoothSkin()
{
    if (!Current())
        return;
    bool missing = false;
    const EditResult smoothed = WhileBusy([&] { return m_portrait->SmoothSkin(FindFaces(&missing)); });
    // Without the face finder's data the whole picture's skin colours are smoothed.
    m_note = missing ? QStringLiteral("未找到人脸识别数据（请重装）：皮肤美容按肤色处理了整张相片") : QString();
    ShowEdit(smoothed);
    ShowPickHint();
}

void CPhotoEditDlg::OnUndo()
{
    if (!m_portrait->Undo())
        return;
    Redisplay();
    ShowPickHint();
}

void CPhotoEditDlg::UpdateRetouchControls()
{
    // The slider shows the portrait's tolerance (a lent portrait keeps the
    // one of an earlier visit).
    if (m_portrait && m_toleranceSlider->value() != m_portrait->KeyTolerance()) {
        const QSignalBlocker quiet(m_toleranceSlider);
        m_toleranceSlider->setValue(m_portrait->KeyTolerance());
    }
    for (QPushButton* button : findChildren<QPushButton*>()) {
        if (button->property("commandId").toInt() == kCmdUndo)
            button->setEnabled(m_portrait && m_portrait->CanUndo());
    }
}

} // namespace lumavo
