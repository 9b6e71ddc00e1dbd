#include "ui/FileDialogEx.h"

#include "imaging/PixelAccess.h"
#include "imaging/ScaledLoad.h"
#include "platform/DiskPath.h"
#include "ui/FileListDates.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QSplitter>
#include <QTreeView>

namespace lumavo {

namespace {

const QString kDialogTitle = QStringLiteral("打开图片预览对话框");

// The filters as the dialog lists them, and the texts the list shows for them
// (the texts keep their own spacing, which the dialog would otherwise trim).
const QStringList kNameFilters = {
    QStringLiteral(".JPG .JPEG (*.jpg *.jpeg)"),
    QStringLiteral(".PNG (*.png)"),
    QStringLiteral("所有文件  (*)"),
};
const QStringList kShownFilterTexts = {
    QStringLiteral(".JPG .JPEG"),
    QStringLiteral(".PNG"),
    QStringLiteral("所有文件 "),
};

// Client size of the preview frame in pixels (inside its one-pixel border):
// a portrait photo fills it, big enough to judge the face. With the frame
// beside the list the dialog keeps to an 800 x 600 screen with a title bar.
constexpr int kFrameClientWidth = 240;
constexpr int kFrameClientHeight = 360;
constexpr QSize kDialogSize(790, 500);

const QString kHelpText = QStringLiteral("请选择顾客的相片（JPEG 或 PNG 文件）。\n"
                                         "在列表中单击一个文件，右边即显示相片和它的宽、高；"
                                         "双击文件或按“打开”载入相片，按“取消”则不载入相片。");

// The preview frame keeps what it shows, so covering and uncovering the
// dialog does not wipe the preview.
class PreviewLabel : public QLabel {
public:
    explicit PreviewLabel(QWidget* parent)
        : QLabel(parent)
    {
        setFrameStyle(QFrame::Panel | QFrame::Sunken);
        setLineWidth(1);
        setFixedSize(kFrameClientWidth + 2, kFrameClientHeight + 2);
    }

    void Show(QImage picture, QRect clientRect)
    {
        m_picture = std::move(picture);
        m_rect = clientRect;
        update();
    }
    QRect DrawnRect() const { return m_rect; }
    const QImage& Picture() const { return m_picture; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        if (!m_picture.isNull()) {
            const QRect client = contentsRect();
            painter.fillRect(client, Qt::white);
            painter.drawImage(m_rect.translated(client.topLeft()), m_picture);
        }
        drawFrame(&painter);
    }

private:
    QImage m_picture;
    QRect m_rect;
};

QLineEdit* MakeInfoBox(QWidget* parent, int width)
{
    auto* box = new QLineEdit(parent);
    box->setReadOnly(true);
    box->setFixedWidth(width);
    return box;
}

// The standard controls on the left with the read-only box and the
// information group under them; Open, Cancel and Help in one column beside
// the name, the type and the read-only box; the frame beside them all.
void ArrangeControls(QFileDialog* dialog, QDialogButtonBox* buttons, QWidget* readOnly, QWidget* group, QWidget* frame)
{
    auto* grid = qobject_cast<QGridLayout*>(dialog->layout());
    if (!grid) {
        if (dialog->layout()) {
            dialog->layout()->addWidget(readOnly);
            dialog->layout()->addWidget(group);
            dialog->layout()->addWidget(frame);
        }
        return;
    }
    const int rows = grid->rowCount();
    const int columns = grid->columnCount();
    if (buttons && grid->indexOf(buttons) >= 0) {
        int row = 0, column = 0, rowSpan = 0, columnSpan = 0;
        grid->getItemPosition(grid->indexOf(buttons), &row, &column, &rowSpan, &columnSpan);
        grid->removeWidget(buttons);
        grid->addWidget(buttons, row, column, rowSpan + 1, columnSpan, Qt::AlignTop);
    }
    grid->addWidget(readOnly, rows, 1);
    grid->addWidget(group, rows + 1, 0, 1, columns);
    grid->addWidget(frame, 0, columns, rows + 2, 1, Qt::AlignCenter);
}

// The list gets the room the frame leaves: a narrow side bar, and columns
// wide enough for a camera's file name, size, type and date.
void GiveTheListRoom(QFileDialog* dialog)
{
    if (auto* splitter = dialog->findChild<QSplitter*>(QStringLiteral("splitter")))
        splitter->setSizes({ 72, kDialogSize.width() });
    if (auto* list = dialog->findChild<QTreeView*>(QStringLiteral("treeView"))) {
        for (const auto& [column, width] : { std::pair { 0, 156 }, { 1, 80 }, { 2, 74 }, { 3, 128 } })
            list->header()->resizeSection(column, width);
    }
}

} // namespace

struct CFileDialogEx::Panel {
    PreviewLabel* frame = nullptr;
    QCheckBox* readOnly = nullptr;
    QPushButton* help = nullptr;
    QLineEdit* width = nullptr;
    QLineEdit* height = nullptr;
    QLineEdit* location = nullptr;
};

CFileDialogEx::CFileDialogEx(QWidget* parent)
    : QFileDialog(parent)
    , m_panel(std::make_unique<Panel>())
{
    // The Qt-drawn form: the platform's own dialog would not take our panel.
    setOption(QFileDialog::DontUseNativeDialog);
    setWindowTitle(kDialogTitle);
    setAcceptMode(QFileDialog::AcceptOpen);
    // One file that exists: the caller loads it straight away.
    setFileMode(QFileDialog::ExistingFile);

    // Cameras name their files in capitals (IMG_0001.JPG): the patterns
    // must match regardless of case (the Qt-drawn dialog's default; kept
    // explicit so no later filter setting turns it off).
    setFilter(filter() & ~QDir::CaseSensitive);
    setOption(QFileDialog::HideNameFilterDetails);
    setNameFilters(kNameFilters);
    if (auto* types = findChild<QComboBox*>(QStringLiteral("fileTypeCombo"))) {
        for (int i = 0; i < kShownFilterTexts.size() && i < types->count(); ++i)
            types->setItemText(i, kShownFilterTexts.at(i));
    }
    selectNameFilter(kNameFilters.first());

    // The panel: information boxes in the group box under the list, the
    // frame to their right, beside the whole dialog.
    auto* group = new QGroupBox(QStringLiteral("图像预浏览"), this);
    auto* rows = new QGridLayout(group);
    m_panel->width = MakeInfoBox(group, 60);
    m_panel->height = MakeInfoBox(group, 60);
    m_panel->location = MakeInfoBox(group, 160);
    m_panel->location->setMinimumWidth(160);
    m_panel->location->setMaximumWidth(QWIDGETSIZE_MAX);
    rows->addWidget(new QLabel(QStringLiteral("宽:"), group), 0, 0);
    rows->addWidget(m_panel->width, 0, 1);
    rows->addWidget(new QLabel(QStringLiteral("像素"), group), 0, 2);
    rows->addWidget(new QLabel(QStringLiteral("高:"), group), 1, 0);
    rows->addWidget(m_panel->height, 1, 1);
    rows->addWidget(new QLabel(QStringLiteral("像素"), group), 1, 2);
    rows->addWidget(new QLabel(QStringLiteral("位置:"), group), 2, 0);
    rows->addWidget(m_panel->location, 2, 1, 1, 3);
    rows->setColumnStretch(3, 1);
    m_panel->frame = new PreviewLabel(this);
    m_panel->frame->setObjectName(QStringLiteral("previewFrame"));

    // Opening a photo never writes it: the box is there, as on the dialogs
    // operators know, and changes nothing.
    m_panel->readOnly = new QCheckBox(QStringLiteral("以只读方式打开(&R)"), this);
    m_panel->readOnly->setObjectName(QStringLiteral("readOnlyBox"));

    auto* buttons = findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
    if (buttons) {
        m_panel->help = buttons->addButton(QDialogButtonBox::Help);
        connect(buttons, &QDialogButtonBox::helpRequested, this, [this] {
            QMessageBox box(QMessageBox::Information, kDialogTitle, kHelpText, QMessageBox::Ok, this);
            box.exec();
        });
    }

    ArrangeControls(this, buttons, m_panel->readOnly, group, m_panel->frame);
    // One size, as the operator knows it: no sizing grip, no resizing.
    setSizeGripEnabled(false);
    setFixedSize(kDialogSize);
    GiveTheListRoom(this);
    ShowChineseDates(this);
    connect(this, &QFileDialog::currentChanged, this, &CFileDialogEx::OnSelectionChanged);
    // After the dialog's own check of the typed name, which runs first.
    if (auto* name = findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
        connect(name, &QLineEdit::textChanged, this, &CFileDialogEx::AllowTypedDiskName);
}

CFileDialogEx::~CFileDialogEx() = default;

QLabel* CFileDialogEx::PreviewFrame() const
{
    return m_panel->frame;
}

QCheckBox* CFileDialogEx::ReadOnlyBox() const
{
    return m_panel->readOnly;
}

QPushButton* CFileDialogEx::HelpButton() const
{
    return m_panel->help;
}

QLineEdit* CFileDialogEx::WidthBox() const
{
    return m_panel->width;
}

QLineEdit* CFileDialogEx::HeightBox() const
{
    return m_panel->height;
}

QLineEdit* CFileDialogEx::LocationBox() const
{
    return m_panel->location;
}

QRect CFileDialogEx::PreviewRect() const
{
    return m_panel->frame->DrawnRect();
}

QImage CFileDialogEx::PreviewImage() const
{
    return m_panel->frame->Picture();
}

bool CFileDialogEx::TypedDiskNameOnly() const
{
    const QStringList files = selectedFiles();
    return files.size() == 1 && !QFileInfo::exists(files.first()) && IsFile(files.first());
}

void CFileDialogEx::AllowTypedDiskName()
{
    if (!TypedDiskNameOnly())
        return;
    DrawPreview(selectedFiles().first());
    if (auto* buttons = findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"))) {
        if (QPushButton* open = buttons->button(QDialogButtonBox::Open))
            open->setEnabled(true);
    }
}

void CFileDialogEx::accept()
{
    if (TypedDiskNameOnly()) {
        const QStringList files = selectedFiles();
        emit fileSelected(files.first());
        emit filesSelected(files);
        QDialog::accept();
        return;
    }
    QFileDialog::accept();
}

void CFileDialogEx::OnSelectionChanged(const QString& path)
{
    if (path.isEmpty() || QFileInfo(path).isDir())
        return;
    DrawPreview(path);
}

bool CFileDialogEx::DrawPreview(const QString& path)
{
    // The header gives the size; a file that is no picture stops here
    // without being read any further.
    const QSize declared = ReadPictureSize(path);
    if (declared.isEmpty())
        return false;

    const QRect client = m_panel->frame->contentsRect();
    const int32_t frameWidth = client.width();
    const int32_t frameHeight = client.height();
    const FitResult declaredFit = FitSize(declared.width(), declared.height(), frameWidth, frameHeight);

    // A camera photo is decoded at a fraction of its size: only the
    // frame's few pixels are shown.
    ScaledPicture loaded = LoadForDrawing(path, declaredFit.width, declaredFit.height);
    if (loaded.picture->lastStatus() != Ok || loaded.picture->IsNull() || loaded.fullSize.isEmpty())
        return false;

    const int32_t width = loaded.fullSize.width();
    const int32_t height = loaded.fullSize.height();
    const FitResult drawn = FitSize(width, height, frameWidth, frameHeight);
    const int32_t x = frameWidth / 2 - drawn.width / 2;
    const int32_t y = frameHeight / 2 - drawn.height / 2;

    QImage fitted = loaded.picture->image().size() == QSize(drawn.width, drawn.height)
        ? loaded.picture->image()
        : loaded.picture->image().scaled(drawn.width, drawn.height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    // Transparent parts show the frame's white.
    if (fitted.hasAlphaChannel()) {
        QImage onWhite(fitted.size(), QImage::Format_RGB32);
        onWhite.fill(Qt::white);
        QPainter painter(&onWhite);
        painter.drawImage(0, 0, fitted);
        painter.end();
        fitted = std::move(onWhite);
    }

    m_panel->location->setText(QDir::toNativeSeparators(path));
    m_panel->width->setText(QString::number(uint32_t(width)));
    m_panel->height->setText(QString::number(uint32_t(height)));
    m_panel->frame->Show(std::move(fitted), QRect(x, y, drawn.width, drawn.height));
    return true;
}

} // namespace lumavo
