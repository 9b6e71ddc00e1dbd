#include "ui/PhotoLayoutDlg.h"

#include "skin/SkinLibrary.h"
#include "ui/BusyCursor.h"
#include "ui/CommandIds.h"
#include "ui/FileDialogEx.h"
#include "ui/OutputDlg.h"
#include "ui/PhotoCanvas.h"
#include "ui/PhotoEditDlg.h"
#include "ui/StartFolders.h"
#include "ui/WorkingWindow.h"

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QMessageBox>

namespace lumavo {

namespace {

constexpr int32_t kMoveStep = 5;
constexpr int32_t kZoomStep = 5;
const QString kWindowTitle = QStringLiteral("相片排版");

} // namespace

struct CPhotoLayoutDlg::State {
    // The portrait being made; the edit and output windows borrow it. Kept
    // for the window's life: its compositor reuses the template layers, the
    // scaled photo and the composite buffers from one key press to the next.
    Portrait portrait;
    CPhotoCanvas* canvas = nullptr;
    bool filtering = false;
};

CPhotoLayoutDlg::CPhotoLayoutDlg(QWidget* parent)
    : CCommandDialog(parent)
    , m_state(std::make_unique<State>())
{
    setWindowTitle(kWindowTitle);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    resize(kWorkingWindowSize);
    m_state->canvas = new CPhotoCanvas(this);
    // The layout window's picture control takes no clicks: they go to the window beneath.
    m_state->canvas->setAttribute(Qt::WA_TransparentForMouseEvents);

    MapCommand(kCmdOk, [this] { OnNextStep(); });
    MapCommand(kCmdEnter, [this] { OnNextStep(); });
    MapCommand(kCmdPhotoEdit, [this] { OnEditPhoto(); });
    MapCommand(kCmdBack, [this] { EndDialog(kCmdCancel); });
    MapCommand(kCmdCancel, [this] { EndDialog(kCmdCancel); });
}

CPhotoLayoutDlg::~CPhotoLayoutDlg()
{
    if (m_state->filtering)
        qApp->removeEventFilter(this);
}

void CPhotoLayoutDlg::SetFolder(const TemplateFolder& folder)
{
    m_folder = folder;
    // The title bar names the template being worked on.
    const QString name = QDir(folder.path()).dirName();
    setWindowTitle(name.isEmpty() ? kWindowTitle : kWindowTitle + QStringLiteral(" - ") + name);
}

int CPhotoLayoutDlg::exec()
{
    InitDialog();
    // Adjusting keys are taken from whichever of this window's controls has
    // the focus, before the control sees them.
    qApp->installEventFilter(this);
    m_state->filtering = true;
    const int result = CCommandDialog::exec();
    qApp->removeEventFilter(this);
    m_state->filtering = false;
    return result;
}

const PhotoPlacement& CPhotoLayoutDlg::Placement() const
{
    return m_state->portrait.Placement();
}

const PhotoImage* CPhotoLayoutDlg::Photo() const
{
    return m_state->portrait.Photo();
}

const PhotoImage* CPhotoLayoutDlg::Composite() const
{
    return m_state->portrait.Composite();
}

Portrait& CPhotoLayoutDlg::Model() const
{
    return m_state->portrait;
}

CPhotoCanvas* CPhotoLayoutDlg::Canvas() const
{
    return m_state->canvas;
}

bool CPhotoLayoutDlg::HandleAdjustKey(int key, Qt::KeyboardModifiers modifiers)
{
    Portrait& portrait = m_state->portrait;
    switch (key) {
    case Qt::Key_Left:
        portrait.Move(-kMoveStep, 0);
        break;
    case Qt::Key_Up:
        portrait.Move(0, -kMoveStep);
        break;
    case Qt::Key_Right:
        portrait.Move(kMoveStep, 0);
        break;
    case Qt::Key_Down:
        portrait.Move(0, kMoveStep);
        break;
    case Qt::Key_Plus:
    case Qt::Key_Minus:
        // Only the numeric keypad's + and - zoom; the main keyboard's do not.
        if (!(modifiers & Qt::KeypadModifier))
            return false;
        portrait.Zoom(key == Qt::Key_Plus ? kZoomStep : -kZoomStep);
        break;
    default:
        return false;
    }
    // Without a photo the picture does not depend on the placement.
    if (!portrait.Photo())
        return true;
    Recompose();
    // Only the picture changes; the canvas has no background of its own, so
    // the window repaints beneath it as well.
    m_state->canvas->update();
    return true;
}

bool CPhotoLayoutDlg::LoadPhoto(const QString& path)
{
    if (path.isEmpty())
        return false;
    const BusyCursor busy;
    if (!m_state->portrait.LoadPhoto(path))
        return false;
    FitPhoto();
    Recompose();
    m_state->canvas->update();
    return true;
}

bool CPhotoLayoutDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && watched->isWidgetType()) {
        auto* widget = static_cast<QWidget*>(watched);
        if (widget == this || isAncestorOf(widget)) {
            auto* key = static_cast<QKeyEvent*>(event);
            if (HandleAdjustKey(key->key(), key->modifiers()))
                return true;
        }
    }
    return CCommandDialog::eventFilter(watched, event);
}

void CPhotoLayoutDlg::keyPressEvent(QKeyEvent* event)
{
    // Reached only when the window runs without its event filter.
    if (HandleAdjustKey(event->key(), event->modifiers()))
        return;
    CCommandDialog::keyPressEvent(event);
}

void CPhotoLayoutDlg::InitDialog()
{
    skin::SetWindowSkin(this, QStringLiteral("select"));
    skin::SetSkinButtonTip(this, QStringLiteral("enter"), QStringLiteral("点这里可以下一步!"));
    skin::SetSkinButtonTip(this, QStringLiteral("cancel"), QStringLiteral("返回上一步!"));
    skin::SetSkinButtonTip(this, QStringLiteral("photoedit"), QStringLiteral("编辑处理相片!"));
    resize(size().expandedTo(kWorkingWindowSize));
    CoverScreenWithoutWindowManager(this);

    State& state = *m_state;
    state.canvas->setGeometry(kCanvasGeometry);

    const TemplateReading& reading = state.portrait.LoadTemplate(m_folder);
    if (!reading.error.isEmpty()) {
        QMessageBox box(QMessageBox::Warning, windowTitle(), reading.error, QMessageBox::Ok, this);
        box.exec();
    }

    state.portrait.SetPhoto(nullptr);
    state.portrait.SetPlacement(PhotoPlacement());
    AskForPhoto();
    // Background and foreground alone when no photo came (a loaded photo
    // has been composed already).
    if (!state.portrait.Photo())
        Recompose();
}

void CPhotoLayoutDlg::AskForPhoto()
{
    CFileDialogEx dialog(this);
    dialog.setDirectory(StartFolder(FolderUse::Photos));
    if (dialog.exec() != QDialog::Accepted)
        return;
    for (const QString& path : dialog.selectedFiles()) {
        RememberFolder(FolderUse::Photos, path);
        // A file that cannot be decoded is skipped without a message.
        LoadPhoto(path);
    }
}

void CPhotoLayoutDlg::Recompose()
{
    m_state->portrait.Compose(m_state->canvas);
}

void CPhotoLayoutDlg::OnNextStep()
{
    if (!m_state->portrait.Photo())
        return;
    COutputDlg output;
    output.SetPortrait(&m_state->portrait);
    output.exec();
}

void CPhotoLayoutDlg::FitPhoto()
{
    // The opening is read afresh: the template's files are the authority.
    m_state->portrait.Place();
}

void CPhotoLayoutDlg::OnEditPhoto()
{
    State& state = *m_state;
    if (!state.portrait.Photo())
        return;
    CPhotoEditDlg edit;
    edit.SetPortrait(&state.portrait);
    const int result = edit.exec();
    // The edited picture is the photo whichever button closed the window;
    // it may be another object than the one the edit started from, which
    // is then released.
    state.portrait.EndEdit();
    // A fresh fit, which follows a quarter turn that changed the proportions.
    if (result == kCmdOk && state.portrait.Photo())
        FitPhoto();
    Recompose();
    state.canvas->update();
}

} // namespace lumavo
