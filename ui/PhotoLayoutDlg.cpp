#include "ui/PhotoLayoutDlg.h"

#include "framing/FramingSettings.h"
#include "platform/ProgramFolder.h"
#include "skin/SkinLibrary.h"
#include "ui/BusyCursor.h"
#include "ui/CommandIds.h"
#include "ui/FileDialogEx.h"
#include "ui/OutputDlg.h"
#include "ui/PhotoCanvas.h"
#include "ui/PhotoEditDlg.h"
#include "ui/SmartFramer.h"
#include "ui/StartFolders.h"
#include "ui/WorkingWindow.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>

#include <utility>
#include <vector>

namespace lumavo {

namespace {

constexpr int32_t kMoveStep = 5;
constexpr int32_t kZoomStep = 5;
const QString kWindowTitle = QStringLiteral("相片排版");
// Under the canvas.
constexpr QRect kStatusGeometry(80, 542, 640, 24);
const QString kSmartFramingTip = QStringLiteral("智能构图：把人脸放进相框正中（快捷键 F）");

// The keys HandleAdjustKey acts on.
bool IsAdjustKey(int key, Qt::KeyboardModifiers modifiers)
{
    switch (key) {
    case Qt::Key_Left:
    case Qt::Key_Up:
    case Qt::Key_Right:
    case Qt::Key_Down:
        return true;
    case Qt::Key_F:
        // F alone: smart framing.
        return !(modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    case Qt::Key_Plus:
    case Qt::Key_Minus:
        // Only the numeric keypad's + and - zoom; the main keyboard's do not.
        return bool(modifiers & Qt::KeypadModifier);
    default:
        return false;
    }
}

} // namespace

struct CPhotoLayoutDlg::State {
    // The portrait being made; the edit and output windows borrow it. Kept
    // for the window's life: its compositor reuses the template layers, the
    // scaled photo and the composite buffers from one key press to the next.
    Portrait portrait;
    CPhotoCanvas* canvas = nullptr;
    bool filtering = false;
    QLabel* status = nullptr;
    CSmartFramer* framer = nullptr;
    // The busy cursor is up while a search the operator waits for runs.
    bool cursorBusy = false;
    // The operator asked for smart framing and its search runs: adjusting
    // keys pressed meanwhile wait here and act on the framed placement, in
    // the order they were pressed.
    bool framingAwaited = false;
    std::vector<std::pair<int, Qt::KeyboardModifiers>> keysWaiting;
    QString suggestedPhoto;
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
    m_state->status = new QLabel(this);
    m_state->status->setObjectName(QStringLiteral("layoutStatus"));
    m_state->status->setGeometry(kStatusGeometry);
    m_state->framer = new CSmartFramer(this);
    connect(m_state->framer, &CSmartFramer::Searched, this, [this](qint64 key) { ApplySmartFraming(key); });

    MapCommand(kCmdOk, [this] { OnNextStep(); });
    MapCommand(kCmdEnter, [this] { OnNextStep(); });
    MapCommand(kCmdPhotoEdit, [this] { OnEditPhoto(); });
    MapCommand(kCmdSmartFraming, [this] { OnSmartFraming(); });
    MapCommand(kCmdBack, [this] { EndDialog(kCmdCancel); });
    MapCommand(kCmdCancel, [this] { EndDialog(kCmdCancel); });
}

CPhotoLayoutDlg::~CPhotoLayoutDlg()
{
    if (m_state->filtering)
        qApp->removeEventFilter(this);
    if (m_state->cursorBusy)
        QApplication::restoreOverrideCursor();
}

void CPhotoLayoutDlg::SetSuggestedPhoto(const QString& path)
{
    m_state->suggestedPhoto = path;
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

CPhotoCanvas* CPhotoLayoutDlg::Canvas() const
{
    return m_state->canvas;
}

bool CPhotoLayoutDlg::HandleAdjustKey(int key, Qt::KeyboardModifiers modifiers)
{
    if (!IsAdjustKey(key, modifiers))
        return false;
    if (m_state->framingAwaited) {
        m_state->keysWaiting.emplace_back(key, modifiers);
        return true;
    }
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
    case Qt::Key_F:
        // The placement changes when the search is done.
        OnSmartFraming();
        return true;
    case Qt::Key_Plus:
    case Qt::Key_Minus:
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
    SetStatus(QString());
    // The whole-photo fit stays the first placement unless setting.ini asks for smart framing.
    if (ReadSmartFramingFirst(SettingsPath()))
        OnSmartFraming();
    return true;
}

void CPhotoLayoutDlg::OnSmartFraming()
{
    State& state = *m_state;
    const PhotoImage* photo = state.portrait.Photo();
    if (!photo || photo->IsNull()) {
        SetStatus(QStringLiteral("请先选择相片，再用智能构图"));
        return;
    }
    const QImage& picture = photo->image();
    if (state.framer->Known(picture)) {
        FrameWithResult(picture.cacheKey());
        return;
    }
    SetStatus(QStringLiteral("正在识别人脸……"));
    state.framingAwaited = true;
    if (!state.cursorBusy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        state.cursorBusy = true;
    }
    state.framer->Request(picture);
}

bool CPhotoLayoutDlg::IsFramingBusy() const
{
    return m_state->framer->IsSearching();
}

QLabel* CPhotoLayoutDlg::StatusLine() const
{
    return m_state->status;
}

void CPhotoLayoutDlg::SetStatus(const QString& text)
{
    m_state->status->setText(text);
}

void CPhotoLayoutDlg::ApplySmartFraming(qint64 pictureKey)
{
    State& state = *m_state;
    if (state.framer->IsSearching())
        return; // a later search is the one awaited
    if (state.cursorBusy) {
        QApplication::restoreOverrideCursor();
        state.cursorBusy = false;
    }
    const bool awaited = std::exchange(state.framingAwaited, false);
    FrameWithResult(pictureKey);
    if (!awaited)
        return;
    // The keys pressed while the search ran, on top of its placement.
    const auto keys = std::exchange(state.keysWaiting, {});
    for (const auto& [key, modifiers] : keys)
        HandleAdjustKey(key, modifiers);
}

void CPhotoLayoutDlg::FinishSmartFraming()
{
    // Waits without taking new input: keys pressed meanwhile stay queued
    // and come after the framing, in order.
    while (m_state->framingAwaited && m_state->framer->IsSearching())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents | QEventLoop::ExcludeUserInputEvents);
}

void CPhotoLayoutDlg::FrameWithResult(qint64 pictureKey)
{
    State& state = *m_state;
    const PhotoImage* photo = state.portrait.Photo();
    // A result for a picture that has since been edited or replaced is not used.
    if (!photo || photo->image().cacheKey() != pictureKey)
        return;
    const auto result = state.framer->Known(photo->image());
    if (!result)
        return;
    if (!result->error.isEmpty()) {
        SetStatus(result->error);
        return;
    }
    if (!result->subject || !state.portrait.FrameFaces(*result->subject, ReadFramingGoal(SettingsPath()))) {
        SetStatus(QStringLiteral("没有找到人脸，相片位置未改变"));
        return;
    }
    Recompose();
    state.canvas->update();
    SetStatus(QStringLiteral("智能构图：已按人脸放好，可用方向键和小键盘 +、- 微调"));
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
    skin::SetSkinButtonTip(this, QStringLiteral("smartframe"), kSmartFramingTip);
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
    const QString& suggested = m_state->suggestedPhoto;
    if (!suggested.isEmpty() && QFileInfo(suggested).isFile()) {
        // The photo chosen in the template browser, already selected.
        dialog.setDirectory(QFileInfo(suggested).absolutePath());
        dialog.selectFile(QFileInfo(suggested).fileName());
        dialog.DrawPreview(suggested);
    } else {
        dialog.setDirectory(StartFolder(FolderUse::Photos));
    }
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
    // The output shows the framing asked for.
    FinishSmartFraming();
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
    FinishSmartFraming();
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
    if (result == kCmdOk && state.portrait.Photo()) {
        FitPhoto();
        // What the line said of the placement (smart framing) no longer holds.
        SetStatus(QString());
    }
    Recompose();
    state.canvas->update();
}

} // namespace lumavo
