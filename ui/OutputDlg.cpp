#include "ui/OutputDlg.h"

#include "imaging/ImageFiles.h"
#include "platform/ProgramFolder.h"
#include "printing/PrintFormats.h"
#include "skin/SkinLibrary.h"
#include "templates/Caption.h"
#include "ui/BusyCursor.h"
#include "ui/CommandIds.h"
#include "ui/FileListDates.h"
#include "ui/OutputPrinting.h"
#include "ui/PhotoCanvas.h"
#include "ui/StartFolders.h"
#include "ui/WorkingWindow.h"

#include <QApplication>
#include <QButtonGroup>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPrinter>
#include <QRadioButton>

#include <array>
#include <cstdio>

namespace lumavo {

namespace {

const QString kWindowTitle = QStringLiteral("输出相片");

// The size buttons' control ids, in the order of kPrintFormats.
constexpr std::array<int, kPrintFormats.size()> kSizeControlIds = { 1038, 1044, 1045, 1046, 1047, 1048, 1040, 1050 };

// The extension of a save filter such as "PNG文件 (*.png)".
QString FilterSuffix(const QString& filter)
{
    const qsizetype star = filter.lastIndexOf(QStringLiteral("*."));
    const qsizetype close = filter.lastIndexOf(u')');
    if (star < 0 || close < star)
        return {};
    return filter.mid(star + 2, close - star - 2);
}

// Why a save failed, in the operator's words.
QString SaveFailureReason(Status status, const QString& path)
{
    switch (status) {
    case GenericError:
        return ImageEncoder(path).found() ? QStringLiteral("图片编码失败") : QStringLiteral("不支持的文件类型");
    case AccessDenied:
        return QStringLiteral("没有写入权限");
    case Win32Error:
        if (!QFileInfo(QFileInfo(path).absolutePath()).isDir())
            return QStringLiteral("文件夹不存在");
        return QStringLiteral("写入时出错，可能磁盘已满");
    case InvalidParameter:
        return QStringLiteral("没有可保存的图片");
    case OutOfMemory:
        return QStringLiteral("内存不足");
    default:
        return QStringLiteral("错误代码 %1").arg(int(status));
    }
}

} // namespace

struct COutputDlg::State {
    Portrait* portrait = nullptr; // borrowed

    CPhotoCanvas* canvas = nullptr;
    QGroupBox* sizeGroup = nullptr;
    QButtonGroup sizes;
    std::array<QRadioButton*, kPrintFormats.size()> sizeButtons {};
    QLabel* status = nullptr;
    COutputPrinting* printing = nullptr;
    std::unique_ptr<QPrinter> printer;
    bool initialised = false;
};

COutputDlg::COutputDlg(QWidget* parent)
    : CCommandDialog(parent)
    , m_state(std::make_unique<State>())
{
    // The controls exist from the start (callers and tests may look at
    // them); InitDialog gives them their places and the preview.
    m_state->canvas = new CPhotoCanvas(this);
    m_state->canvas->setObjectName(QStringLiteral("outputCanvas"));
    m_state->sizeGroup = new QGroupBox(QStringLiteral("尺寸"), this);
    m_state->sizeGroup->setObjectName(QStringLiteral("sizeGroup"));
    for (size_t i = 0; i < kPrintFormats.size(); ++i) {
        auto* button = new QRadioButton(FormatName(kPrintFormats[i]), this);
        button->setObjectName(QStringLiteral("size%1").arg(kSizeControlIds[i]));
        m_state->sizes.addButton(button, int(i));
        m_state->sizeButtons[i] = button;
    }
    m_state->sizeButtons[0]->setChecked(true);
    m_state->status = new QLabel(this);
    m_state->status->setObjectName(QStringLiteral("outputStatus"));
    m_state->printing = new COutputPrinting(this, m_state->status, kWindowTitle);
    connect(&m_state->sizes, &QButtonGroup::idToggled, this, [this](int, bool checked) {
        if (checked)
            ShowPrintSize();
    });

    // While a print is under way the window waits for it.
    auto unlessPrinting = [this](auto command) {
        return [this, command] {
            if (!m_state->printing->Busy())
                command();
        };
    };
    MapCommand(kCmdOk, unlessPrinting([this] { OnSave(); }));
    MapCommand(kCmdSave, unlessPrinting([this] { OnSave(); }));
    MapCommand(kCmdPrint, unlessPrinting([this] { OnPrint(); }));
    MapCommand(kCmdBack, unlessPrinting([this] { EndDialog(kCmdCancel); }));
    MapCommand(kCmdCancel, unlessPrinting([this] { EndDialog(kCmdCancel); }));
}

COutputDlg::~COutputDlg() = default;

void COutputDlg::SetPortrait(Portrait* portrait)
{
    m_state->portrait = portrait;
    ShowPrintSize();
}

void COutputDlg::ShowPrintSize()
{
    const State& s = *m_state;
    if (!s.portrait)
        return;
    // The finished picture has the recorded background's size, the photo
    // lies where the layout put it.
    const PhotoImage* photo = s.portrait->Photo();
    const QSize photoSize = photo && !photo->IsNull() ? QSize(int(photo->Width()), int(photo->Height())) : QSize();
    const PhotoPlacement& placement = s.portrait->Placement();
    s.printing->SetPortrait(
        s.portrait->RecordedSize(), photoSize, QRect(placement.x, placement.y, placement.width, placement.height));
    s.printing->ShowSize(kPrintFormats[size_t(SizeChoice())]);
}

int COutputDlg::exec()
{
    InitDialog();
    // The layout may have moved the photo since the window was last open.
    ShowPrintSize();
    return CCommandDialog::exec();
}

int COutputDlg::SizeChoice() const
{
    const int checked = m_state->sizes.checkedId();
    return checked < 0 ? 0 : checked;
}

CPhotoCanvas* COutputDlg::Canvas() const
{
    return m_state->canvas;
}

QPrinter& COutputDlg::Printer()
{
    if (!m_state->printer)
        m_state->printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *m_state->printer;
}

COutputPrinting& COutputDlg::Printing() const
{
    return *m_state->printing;
}

void COutputDlg::InitDialog()
{
    if (m_state->initialised)
        return;
    m_state->initialised = true;

    skin::SetWindowSkin(this, QStringLiteral("print"));
    setWindowTitle(kWindowTitle);
    // Whatever the skin sets, the preview and the size column must fit.
    resize(size().expandedTo(kWorkingWindowSize));
    CoverScreenWithoutWindowManager(this);

    m_state->canvas->setGeometry(kCanvasGeometry);
    m_state->canvas->SetImage(m_state->portrait ? m_state->portrait->Composite() : nullptr);
    m_state->canvas->update();

    m_state->sizeGroup->setGeometry(730, 60, 60, 400);
    for (size_t i = 0; i < m_state->sizeButtons.size(); ++i) {
        QRadioButton* button = m_state->sizeButtons[i];
        button->setGeometry(735, 80 + int(i) * 20, 50, 18);
        button->raise();
    }
    m_state->status->setGeometry(80, 545, 640, 20);
    m_state->printing->Place();
}

RenderResult COutputDlg::Render()
{
    RenderResult rendered;
    if (m_state->portrait) {
        BusyCursor busy;
        rendered = m_state->portrait->RenderFinished(CaptionTextOrDefault(ReadCaptionSetting(SettingsPath())));
    }
    if (!rendered.error.isEmpty() || !rendered.picture) {
        ShowRenderError(rendered.error);
        rendered.picture.reset();
    }
    return rendered;
}

void COutputDlg::ShowRenderError(const QString& error)
{
    QMessageBox::warning(this, kWindowTitle, error.isEmpty() ? kOutputReadError : error, QMessageBox::Ok);
}

void COutputDlg::OnSave()
{
    QFileDialog dialog(this, QStringLiteral("保存相片"));
    dialog.setDirectory(StartFolder(FolderUse::Saves));
    dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::DontConfirmOverwrite);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters({ QStringLiteral("JPEG文件 (*.jpg)"), QStringLiteral("Bitmap files (*.bmp)"),
        QStringLiteral("PNG文件 (*.png)") });
    dialog.setDefaultSuffix(QStringLiteral("jpg"));
    ShowChineseDates(&dialog);
    // A name typed without extension takes the chosen type's; a typed
    // extension always stands.
    connect(&dialog, &QFileDialog::filterSelected, &dialog,
        [&dialog](const QString& filter) { dialog.setDefaultSuffix(FilterSuffix(filter)); });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString path = dialog.selectedFiles().constFirst();
    RememberFolder(FolderUse::Saves, path);
    // The operator reads the path in the platform's own spelling (backslashes on Windows).
    const QString shownPath = QDir::toNativeSeparators(path);

    const QString failure = QStringLiteral("保存失败：无法写入文件 %1（%2）");
    if (!ImageEncoder(path).found()) {
        QMessageBox::warning(
            this, kWindowTitle, failure.arg(shownPath, QStringLiteral("不支持的文件类型")), QMessageBox::Ok);
        return;
    }

    SaveOutcome saved;
    if (m_state->portrait) {
        BusyCursor busy;
        // Read at every save: the operator may change them while the window is open.
        const int quality = ReadQuality(SettingsPath());
        saved = m_state->portrait->Save(path, CaptionTextOrDefault(ReadCaptionSetting(SettingsPath())), quality);
    } else {
        saved.renderError = kOutputReadError;
    }
    if (!saved.renderError.isEmpty()) {
        ShowRenderError(saved.renderError);
        return;
    }
    if (const Status status = saved.status; status != Ok) {
        m_state->status->clear();
        QMessageBox::warning(
            this, kWindowTitle, failure.arg(shownPath, SaveFailureReason(status, path)), QMessageBox::Ok);
        return;
    }
    m_state->status->setText(QStringLiteral("已保存：%1").arg(shownPath));
}

void COutputDlg::OnPrint()
{
    const PrintFormat& format = kPrintFormats[size_t(SizeChoice())];
    RenderResult rendered = Render();
    if (!rendered.picture)
        return;
    if (!m_state->printing->Print(Printer(), rendered.picture->image(), format)) {
        // Cancelled in the print dialog: the old program's note on standard output.
        std::fputs("Failure\n", stdout);
        std::fflush(stdout);
    }
}

} // namespace lumavo
