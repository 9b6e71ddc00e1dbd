#include "app/TemplateBrowserDlg.h"

#include "app/AlbumView.h"
#include "app/ShockwaveFlash.h"
#include "app/SplashWnd.h"
#include "app/Startup.h"
#include "platform/ProgramFolder.h"
#include "skin/SkinLibrary.h"
#include "ui/CommandIds.h"
#include "ui/FileDialogEx.h"
#include "ui/PhotoLayoutDlg.h"
#include "ui/StartFolders.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPointer>
#include <QScreen>

namespace lumavo {

namespace {

// Fixed pixels, laid out for an 800 x 600 screen.
constexpr QRect kAlbumRect(80, 60, 640, 460);
constexpr QRect kPlayerRect(80, 520, 640, 20);
constexpr QRect kNameBoxRect(385, 555, 60, 30);

} // namespace

CTemplateBrowserDlg::CTemplateBrowserDlg(QWidget* parent)
    : CCommandDialog(parent)
{
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setWindowTitle(QString::fromLatin1("Lumavo"));
    m_nameBox = new QLineEdit(this);
    m_album = new CShockwaveFlash(this);
    m_player = new CShockwaveFlash(this);
    m_nameBox->setObjectName(QStringLiteral("templateName"));
    m_album->setObjectName(QStringLiteral("album"));
    m_player->setObjectName(QStringLiteral("player"));

    connect(m_album, &CShockwaveFlash::FSCommand, this, &CTemplateBrowserDlg::OnAlbumCommand);
    // Once the operator types a name, the arrows edit it.
    connect(m_nameBox, &QLineEdit::textEdited, this, [this] { m_nameTyped = true; });
    MapCommand(kCmdOk, [this] { OnEnterTemplate(); });
    MapCommand(kCmdEnter, [this] { OnEnterTemplate(); });
    MapCommand(kCmdPhotoPick, [this] { OnChoosePhoto(); });
    MapCommand(kCmdExit, [this] { OnCancelBrowser(); });
    MapCommand(kCmdCancel, [this] { OnCancelBrowser(); });
}

CTemplateBrowserDlg::~CTemplateBrowserDlg()
{
    qApp->removeEventFilter(this);
}

int CTemplateBrowserDlg::exec()
{
    // The splash comes up while this window is still hidden.
    ShowSplash(kSplashMilliseconds, kSplashBitmap, this);
    InitDialog();
    const int result = CCommandDialog::exec();
    // Closed within the splash's time: the splash goes with the window, now,
    // as no event loop may run again to delete it.
    if (QPointer<CSplashWnd> splash = CurrentSplash()) {
        HideSplash();
        QCoreApplication::sendPostedEvents(splash, QEvent::DeferredDelete);
    }
    return result;
}

void CTemplateBrowserDlg::InitDialog()
{
    // Covering the whole screen.
    QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (screen)
        setGeometry(screen->geometry());

    skin::SetWindowSkin(this, QStringLiteral("main"));
    skin::SetSkinButtonTip(this, QStringLiteral("enter"), QStringLiteral("点这里可以下一步!"));
    skin::SetSkinButtonTip(this, QStringLiteral("cancel"), QStringLiteral("退出系统"));
    skin::SetSkinButtonTip(
        this, QStringLiteral("photopick"), QStringLiteral("用相片选版：选一张顾客的相片，看它放在每个模板里的样子"));

    m_nameBox->setGeometry(kNameBoxRect);
    StartMovies();
    m_nameBox->setFocus();

    // Right clicks anywhere over the window, the movies included, are dropped.
    qApp->installEventFilter(this);
}

void CTemplateBrowserDlg::StartMovies()
{
    const QString server = ReadAlbumServer(SettingsPath());
    m_album->setGeometry(kAlbumRect);
    m_album->LoadMovie(0, server + QLatin1String("/ablum/loadXml2.swf"));
    m_album->Play();
    if (auto* album = qobject_cast<CAlbumView*>(m_album->Movie())) {
        // "用相片选版" with a photo that cannot be used.
        connect(album, &CAlbumView::TrialProblem, this,
            [this](const QString& message) { QMessageBox::warning(this, QString(), message, QMessageBox::Ok); });
    }
    m_player->setGeometry(kPlayerRect);
    m_player->LoadMovie(0, server + QLatin1String("/ablum/mp3player.swf"));
    m_player->Play();
}

void CTemplateBrowserDlg::OnAlbumCommand(const QString& command, const QString& args)
{
    if (command != QLatin1String("bt") || args.isNull())
        return;
    m_nameBox->setText(args);
    m_nameTyped = false;
    // The beginning of a long name tells templates apart, not its tail.
    m_nameBox->setCursorPosition(0);
}

bool CTemplateBrowserDlg::PassKeyToAlbum(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        break;
    case Qt::Key_Left:
    case Qt::Key_Right:
        if (m_nameTyped)
            return false;
        break;
    default:
        return false;
    }
    QWidget* album = m_album->Movie();
    if (!album)
        return false;
    QKeyEvent copy(event->type(), event->key(), event->modifiers(), event->text(), event->isAutoRepeat());
    copy.setAccepted(false);
    QCoreApplication::sendEvent(album, &copy);
    if (!copy.isAccepted())
        return false;
    // The album keeps the keyboard from here on, so its highlight shows.
    album->setFocus(Qt::OtherFocusReason);
    return true;
}

void CTemplateBrowserDlg::OnEnterTemplate()
{
    const QString name = m_nameBox->text();
    if (name.isEmpty())
        return;
    // The whole value is used, however long.
    m_folder = TemplateFolder::Make(TemplateRoot(), name);
    if (!m_folder) {
        // A name that would reach outside the template root, or no root.
        QMessageBox::warning(this, QString(), kTemplateLibraryError, QMessageBox::Ok);
        return;
    }
    CPhotoLayoutDlg layout;
    layout.SetFolder(*m_folder);
    layout.SetSuggestedPhoto(TrialPhoto());
    layout.exec();
}

void CTemplateBrowserDlg::OnChoosePhoto()
{
    CFileDialogEx dialog(this);
    dialog.setDirectory(StartFolder(FolderUse::Photos));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString path = dialog.selectedFiles().constFirst();
    RememberFolder(FolderUse::Photos, path);
    ShowPhotoInAlbum(path);
}

void CTemplateBrowserDlg::ShowPhotoInAlbum(const QString& photoPath)
{
    if (auto* album = qobject_cast<CAlbumView*>(m_album->Movie()))
        album->ShowPhoto(photoPath);
}

QString CTemplateBrowserDlg::TrialPhoto() const
{
    const auto* album = qobject_cast<const CAlbumView*>(m_album->Movie());
    return album ? album->TrialPhotoPath() : QString();
}

void CTemplateBrowserDlg::OnCancelBrowser()
{
    EndDialog(0);
}

void CTemplateBrowserDlg::showEvent(QShowEvent* event)
{
    CCommandDialog::showEvent(event);
    // The splash stays in front of the window it announces.
    if (CSplashWnd* splash = CurrentSplash())
        splash->raise();
}

bool CTemplateBrowserDlg::eventFilter(QObject* watched, QEvent* event)
{
    // The album's keys work from the start, while the name box has the focus.
    if (watched == m_nameBox && event->type() == QEvent::KeyPress && PassKeyToAlbum(static_cast<QKeyEvent*>(event)))
        return true;
    const bool rightPress = (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick)
        && static_cast<QMouseEvent*>(event)->button() == Qt::RightButton;
    if (rightPress || event->type() == QEvent::ContextMenu) {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget && (widget == this || isAncestorOf(widget))) {
            // This filter may run before the splash's own: the press still
            // counts as the first one that takes the splash away.
            if (rightPress)
                HideSplash();
            return true;
        }
    }
    return CCommandDialog::eventFilter(watched, event);
}

} // namespace lumavo
