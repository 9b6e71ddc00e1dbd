#include "ui/PhotoEditDlg.h"

#include "faces/FaceFinder.h"
#include "ui/BusyCursor.h"
#include "ui/CommandIds.h"
#include "ui/PhotoCanvas.h"

#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>

namespace lumavo {

namespace {

// The window is laid out in dialog units; one unit is two pixels in either
// direction, which suits the interface font and fits an 800 x 600 screen.
constexpr int kUnit = 2;

QRect Units(int x, int y, int width, int height)
{
    return QRect(x * kUnit, y * kUnit, width * kUnit, height * kUnit);
}

struct GroupBox {
    const char* caption;
    QRect rect;
};

struct Button {
    int id;
    const char* caption;
    QRect rect;
    const char* tip;
};

// The tone tool's and the white spot's buttons are ours: they take a third
// row in the outside-tool group, and the rows below move down to make room.
constexpr int kExtraRow = 18;
// Two more rows below "原始相片": "撤销" and the keying tolerance
// (PhotoEditRetouch.cpp); OK and Cancel move down under them.
constexpr int kRetouchRows = 36;

const GroupBox kGroups[] = {
    { "旋转与翻转", Units(263, 3, 111, 53) },
    { "特殊艺术相片风格", Units(262, 59, 111, 33) },
    { "超级外挂处理", Units(262, 94, 111, 55 + kExtraRow) },
};

const Button kButtons[] = {
    { kCmdRotateLeft, "左转90度", Units(266, 18, 50, 14), nullptr },
    { kCmdRotateRight, "右转90度", Units(319, 18, 50, 14), nullptr },
    { kCmdFlipHorizontal, "水平翻转", Units(266, 36, 50, 14), nullptr },
    { kCmdFlipVertical, "重直翻转", Units(319, 36, 50, 14), nullptr },
    { kCmdSepia, "怀旧风格", Units(266, 72, 50, 14), nullptr },
    { kCmdBlackWhite, "黑白风格", Units(319, 72, 50, 14), nullptr },
    { kCmdAutoKeying, "全自动去抠像", Units(267, 111, 50, 14), nullptr },
    { kCmdSemiAutoKeying, "半自动抠像", Units(319, 111, 50, 14), "单击后，在相片上点一下背景颜色，背景即变透明" },
    { kCmdPhotoshop, "Photoshop", Units(266, 130, 50, 14), "用外部图像软件编辑，编辑后保存并点“重新载入”" },
    { kCmdReload, "重新载入", Units(318, 129, 50, 14), "载入外部软件保存的相片" },
    { kCmdToneToolPick, "偏紫淡蓝", Units(266, 148, 50, 14), "单击后，在相片上点一下，交给偏紫淡蓝工具处理" },
    { kCmdWhiteSpotPick, "白点修饰", Units(319, 148, 50, 14), "单击后，在相片上点要加白点的位置" },
    { kCmdInitialPhoto, "原始相片", Units(266, 155 + kExtraRow, 50, 14), nullptr },
    { kCmdSkinSmoothing, "全自动皮肤美容", Units(317, 155 + kExtraRow, 50, 14), nullptr },
    { kCmdUndo, "撤销", Units(266, 173 + kExtraRow, 50, 14), "撤销上一步编辑（Ctrl+Z）" },
    { kCmdOk, "确       定", Units(266, 189 + kExtraRow + kRetouchRows, 50, 14), nullptr },
    { kCmdCancel, "取       消", Units(319, 188 + kExtraRow + kRetouchRows, 50, 14), nullptr },
};

const QRect kCanvasRect = Units(7, 7, 253, 199);
const QRect kHintRect = Units(7, 210, 253, 20);
const QSize kWindowSize(381 * kUnit, (216 + kExtraRow + kRetouchRows) * kUnit);

const QString kTitle = QStringLiteral("编辑处理相片");

} // namespace

CPhotoEditDlg::CPhotoEditDlg(QWidget* parent)
    : CCommandDialog(parent)
    , m_own(std::make_unique<Portrait>())
    , m_portrait(m_own.get())
{
    setWindowTitle(kTitle);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setObjectName(QStringLiteral("PhotoEditDlg"));
    BuildControls();
    MapCommands();
}

CPhotoEditDlg::~CPhotoEditDlg() = default;

void CPhotoEditDlg::BuildControls()
{
    resize(kWindowSize);
    m_canvas = new CPhotoCanvas(this);
    m_canvas->setGeometry(kCanvasRect);
    // Clicks on the picture that pick the backdrop colour are taken here.
    m_canvas->installEventFilter(this);

    for (const GroupBox& group : kGroups) {
        auto* box = new QGroupBox(QString::fromUtf8(group.caption), this);
        box->setGeometry(group.rect);
    }
    for (const Button& entry : kButtons) {
        auto* button = new QPushButton(QString::fromUtf8(entry.caption), this);
        button->setGeometry(entry.rect);
        button->setProperty("commandId", entry.id);
        if (entry.tip)
            button->setToolTip(QString::fromUtf8(entry.tip));
        const int id = entry.id;
        connect(button, &QPushButton::clicked, this, [this, id] { OnCommand(id); });
        if (id == kCmdOk)
            button->setDefault(true);
    }

    m_hint = new QLabel(this);
    m_hint->setGeometry(kHintRect);
    m_hint->setWordWrap(true);
    BuildRetouchControls();
}

void CPhotoEditDlg::MapCommands()
{
    MapCommand(kCmdRotateLeft, [this] { OnRotateFlip(Rotate270FlipNone); });
    MapCommand(kCmdRotateRight, [this] { OnRotateFlip(Rotate90FlipNone); });
    MapCommand(kCmdToneToolPick, [this] { ArmToneToolPick(); });
    MapCommand(kCmdPhotoshop, [this] { OpenInPhotoshop(); });
    MapCommand(kCmdReload, [this] { ReloadExchangeFile(); });
    MapCommand(kCmdSepia, [this] { OnToneStyle(SepiaFilter); });
    MapCommand(kCmdBlackWhite, [this] { OnToneStyle(BlackWhiteFilter); });
    MapCommand(kCmdFlipHorizontal, [this] { OnRotateFlip(RotateNoneFlipX); });
    MapCommand(kCmdFlipVertical, [this] { OnRotateFlip(RotateNoneFlipY); });
    MapCommand(kCmdAutoKeying, [this] { EnsureKeyingSoftware(); });
    MapCommand(kCmdSemiAutoKeying, [this] { ArmBackdropPick(); });
    MapCommand(kCmdInitialPhoto, [this] { OnInitialPhoto(); });
    MapCommand(kCmdSkinSmoothing, [this] { OnSmoothSkin(); });
    MapCommand(kCmdWhiteSpotPick, [this] { ArmCanvasPick(kPickWhiteSpot); });
    MapCommand(kCmdUndo, [this] { OnUndo(); });
    MapCommand(kCmdOk, [this] { EndDialog(kCmdOk); });
    MapCommand(kCmdCancel, [this] { EndDialog(kCmdCancel); });
}

void CPhotoEditDlg::SetPortrait(Portrait* portrait)
{
    m_own.reset();
    m_portrait = portrait;
}

void CPhotoEditDlg::SetPhoto(std::unique_ptr<PhotoImage> photo)
{
    if (!m_own) {
        m_own = std::make_unique<Portrait>();
        m_portrait = m_own.get();
    }
    m_portrait->SetPhoto(std::move(photo));
    m_portrait->BeginEdit();
}

std::unique_ptr<PhotoImage> CPhotoEditDlg::TakePhoto()
{
    return m_portrait->TakePhoto();
}

const PhotoImage* CPhotoEditDlg::InitialPicture() const
{
    return m_portrait->OriginalPhoto();
}

PhotoImage* CPhotoEditDlg::Current() const
{
    return m_portrait->Photo();
}

int CPhotoEditDlg::exec()
{
    InitDialog();
    return CCommandDialog::exec();
}

void CPhotoEditDlg::InitDialog()
{
    m_portrait->BeginEdit();
    // The picture given is the initial picture (SetPhoto): the same object, not a copy.
    m_canvas->SetImage(Current());
    ShowPickHint();
}

QString CPhotoEditDlg::PickHint() const
{
    return m_hint->text();
}

void CPhotoEditDlg::OnRotateFlip(RotateFlipType code)
{
    if (!Current())
        return;
    // A failure is kept in the picture's lastStatus; the display is refreshed anyway.
    m_portrait->Turn(code);
    Redisplay();
}

void CPhotoEditDlg::OnToneStyle(ToneKernel kernel)
{
    if (!Current())
        return;
    ShowEdit(WhileBusy([&] { return m_portrait->ApplyTone(kernel); }));
}

void CPhotoEditDlg::OnWhiteSpot(uint32_t x, uint32_t y)
{
    if (!Current())
        return;
    // The click's coordinates as the window message carries them. The spot
    // shows at once, not only at the canvas's next repaint.
    m_portrait->PaintWhiteSpot(int32_t(x), int32_t(y));
    Redisplay();
}

void CPhotoEditDlg::OnInitialPhoto()
{
    m_portrait->BackToOriginal();
    Redisplay();
}

void CPhotoEditDlg::ArmCanvasPick(PickModeValue mode)
{
    if (!Current())
        return;
    m_backdropPickArmed = false;
    // Pressing the armed pick's button again disarms it.
    CPhotoCanvas::SetPickMode(CPhotoCanvas::PickMode() == mode ? kPickNone : mode);
    ShowPickHint();
}

void CPhotoEditDlg::ArmBackdropPick()
{
    if (!Current())
        return;
    // A second press takes the pick back; arming it disarms the canvas's picks.
    m_backdropPickArmed = !m_backdropPickArmed;
    if (m_backdropPickArmed)
        CPhotoCanvas::SetPickMode(kPickNone);
    ShowPickHint();
}

void CPhotoEditDlg::ReplaceCurrent(std::unique_ptr<PhotoImage> picture)
{
    ShowEdit(m_portrait->Replace(std::move(picture)));
}

void CPhotoEditDlg::ShowEdit(EditResult result)
{
    // A picture that could not be made (no memory for it) replaced nothing.
    if (result == EditResult::NoMemory)
        ShowMessage(QStringLiteral("内存不足，无法完成处理"));
    else if (result == EditResult::Replaced)
        Redisplay();
}

void CPhotoEditDlg::Redisplay()
{
    UpdateRetouchControls();
    m_canvas->SetImage(Current());
    // The canvas has no background of its own: the window repaints beneath it.
    m_canvas->update();
}

void CPhotoEditDlg::ShowPickHint()
{
    QString hint;
    if (m_backdropPickArmed && IsKeying())
        hint = QStringLiteral("半自动抠像：单击另一处背景可加选，拖动“抠像容差”调整；再按“半自动抠像”结束");
    else if (m_backdropPickArmed)
        hint = QStringLiteral("半自动抠像：请在相片上单击背景，与单击处相连的背景将变为透明；再按一次取消");
    else if (CPhotoCanvas::PickMode() == kPickWhiteSpot)
        hint = QStringLiteral("白点修饰：单击相片，在单击处右下方加一个白点；再按“白点修饰”取消");
    else if (!m_rewrittenNote.isEmpty())
        hint = m_rewrittenNote;
    else if (CPhotoCanvas::PickMode() == kPickToneTool)
        hint = QStringLiteral("偏紫淡蓝：单击相片，交给偏紫淡蓝工具处理，完成后点“重新载入”；再按一次取消");
    const bool armed = CPhotoCanvas::PickMode() != kPickNone || m_backdropPickArmed;
    if (hint.isEmpty())
        hint = m_note;
    m_hint->setText(hint);
    m_canvas->setCursor(armed ? Qt::CrossCursor : Qt::ArrowCursor);
}

void CPhotoEditDlg::ShowMessage(const QString& text)
{
    QMessageBox box(QMessageBox::Warning, kTitle, text, QMessageBox::Ok, this);
    box.exec();
}

void CPhotoEditDlg::ReportStartFailure(const QString& program)
{
    ShowMessage(QStringLiteral("无法启动程序：%1").arg(QDir::toNativeSeparators(program)));
}

bool CPhotoEditDlg::event(QEvent* event)
{
    if (event->type() == PickEvent::Type()) {
        const auto* pick = static_cast<PickEvent*>(event);
        if (pick->message() == kPickMessageUser1)
            OnWhiteSpot(pick->x(), pick->y());
        else if (pick->message() == kPickMessageApp)
            LaunchToneTool();
        return true;
    }
    return CCommandDialog::event(event);
}

bool CPhotoEditDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_canvas && m_backdropPickArmed && event->type() == QEvent::MouseButtonPress) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton) {
            uint32_t x = 0;
            uint32_t y = 0;
            if (m_canvas->PicturePoint(mouse->position().toPoint(), &x, &y))
                KeyOutBackdropAt(x, y);
            // The click picked the backdrop; it arms nothing else.
            return true;
        }
    }
    return CCommandDialog::eventFilter(watched, event);
}

} // namespace lumavo
