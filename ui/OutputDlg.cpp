#include "ui/OutputDlg.h"

#include "imaging/ImageFiles.h"
#include "imaging/PixelAccess.h"
#include "platform/ProgramFolder.h"
#include "skin/SkinLibrary.h"
#include "templates/Caption.h"
#include "ui/BusyCursor.h"
#include "ui/CommandIds.h"
#include "ui/FileListDates.h"
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
#include <QPageLayout>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QRadioButton>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace lumavo {

const std::array<PrintSize, 8> kPrintSizes = { {
    { "3R", 1038, 89, 127 },
    { "4R", 1044, 102, 152 },
    { "5R", 1045, 127, 178 },
    { "6R", 1046, 152, 203 },
    { "8R", 1047, 203, 254 },
    { "A6", 1048, 105, 148 },
    { "A5", 1040, 148, 210 },
    { "A4", 1050, 210, 297 },
} };

namespace {

const QString kWindowTitle = QStringLiteral("输出相片");
const QString kDocumentName = QStringLiteral("艺术写真");
constexpr float kPrintResolution = 350.0f;
constexpr double kMillimetresPerInch = 25.4;

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

QRect PrintRectangle(const PrintSize& size, int32_t pictureWidth, int32_t pictureHeight, const QSize& printableMm)
{
    // The size turned to the picture's way round (a square picture prints
    // upright), the picture fitted into it keeping its proportions (it may
    // be enlarged: pixels and millimetres are unrelated) and centred in it;
    // the size's own rectangle starts at the top-left of the printable area.
    const bool landscape = pictureWidth > pictureHeight;
    int32_t boxWidth = landscape ? size.heightMm : size.widthMm;
    int32_t boxHeight = landscape ? size.widthMm : size.heightMm;
    // What lies beyond the printable area would be cut off the print (the
    // caption near the bottom edge first).
    if (!printableMm.isEmpty()) {
        boxWidth = std::min(boxWidth, int32_t(printableMm.width()));
        boxHeight = std::min(boxHeight, int32_t(printableMm.height()));
    }
    if (pictureWidth <= 0 || pictureHeight <= 0)
        return QRect(0, 0, boxWidth, boxHeight);

    int32_t width = boxWidth;
    int32_t height = boxHeight;
    if (int64_t(pictureWidth) * boxHeight > int64_t(pictureHeight) * boxWidth)
        height = MulDiv(pictureHeight, boxWidth, pictureWidth);
    else
        width = MulDiv(pictureWidth, boxHeight, pictureHeight);
    return QRect((boxWidth - width) / 2, (boxHeight - height) / 2, width, height);
}

void TurnPageToPicture(QPrinter& printer, int32_t pictureWidth, int32_t pictureHeight)
{
    printer.setPageOrientation(pictureWidth > pictureHeight ? QPageLayout::Landscape : QPageLayout::Portrait);
}

bool PrintPicture(PhotoImage* picture, int32_t x, int32_t y, int32_t width, int32_t height, QPrinter& printer)
{
    if (!picture || picture->IsNull())
        return false;
    printer.setDocName(kDocumentName);
    // One page, drawn once, whatever the dialog said about copies or pages.
    printer.setCopyCount(1);
    printer.setPrintRange(QPrinter::AllPages);
    picture->SetResolution(kPrintResolution, kPrintResolution);

    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    // The painter's origin is the top-left of the printable area. Some
    // printers resolve more finely one way than the other (600 x 1200 dpi).
    const double dotsPerMmX = printer.logicalDpiX() / kMillimetresPerInch;
    const double dotsPerMmY = printer.logicalDpiY() / kMillimetresPerInch;
    const QRectF target(x * dotsPerMmX, y * dotsPerMmY, width * dotsPerMmX, height * dotsPerMmY);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, picture->image());
    return painter.end();
}

struct COutputDlg::State {
    Portrait* portrait = nullptr; // borrowed

    CPhotoCanvas* canvas = nullptr;
    QGroupBox* sizeGroup = nullptr;
    QButtonGroup sizes;
    std::array<QRadioButton*, kPrintSizes.size()> sizeButtons {};
    QLabel* status = nullptr;
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
    for (size_t i = 0; i < kPrintSizes.size(); ++i) {
        auto* button = new QRadioButton(QString::fromLatin1(kPrintSizes[i].caption), this);
        button->setObjectName(QStringLiteral("size%1").arg(kPrintSizes[i].controlId));
        m_state->sizes.addButton(button, int(i));
        m_state->sizeButtons[i] = button;
    }
    m_state->sizeButtons[0]->setChecked(true);
    m_state->status = new QLabel(this);
    m_state->status->setObjectName(QStringLiteral("outputStatus"));

    MapCommand(kCmdOk, [this] { OnSave(); });
    MapCommand(kCmdSave, [this] { OnSave(); });
    MapCommand(kCmdPrint, [this] { OnPrint(); });
    MapCommand(kCmdBack, [this] { EndDialog(kCmdCancel); });
    MapCommand(kCmdCancel, [this] { EndDialog(kCmdCancel); });
}

COutputDlg::~COutputDlg() = default;

void COutputDlg::SetPortrait(Portrait* portrait)
{
    m_state->portrait = portrait;
}

int COutputDlg::exec()
{
    InitDialog();
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
    const PrintSize& size = kPrintSizes[size_t(SizeChoice())];
    RenderResult rendered = Render();
    if (!rendered.picture)
        return;
    std::unique_ptr<PhotoImage> picture = std::move(rendered.picture);

    const int32_t width = int32_t(picture->Width());
    const int32_t height = int32_t(picture->Height());
    // The dialog offers the page the picture's way round; the operator may still turn it.
    TurnPageToPicture(Printer(), width, height);
    QPrintDialog dialog(&Printer(), this);
    if (dialog.exec() != QDialog::Accepted) {
        std::fputs("Failure\n", stdout);
        std::fflush(stdout);
        return;
    }
    const QSizeF printable = Printer().pageLayout().paintRect(QPageLayout::Millimeter).size();
    const QRect area = PrintRectangle(
        size, width, height, QSize(int(std::floor(printable.width())), int(std::floor(printable.height()))));
    bool printed = false;
    {
        BusyCursor busy;
        printed = PrintPicture(picture.get(), area.x(), area.y(), area.width(), area.height(), Printer());
    }
    if (!printed) {
        QMessageBox::warning(
            this, kWindowTitle, QStringLiteral("打印失败：无法开始打印，请检查打印机"), QMessageBox::Ok);
        return;
    }
    m_state->status->setText(QStringLiteral("已送去打印：%1").arg(QString::fromLatin1(size.caption)));
}

} // namespace lumavo
