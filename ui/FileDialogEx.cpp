#include "ui/FileDialogEx.h"

#include "imaging/PixelAccess.h"
#include "imaging/ScaledLoad.h"
#include "platform/DiskPath.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>

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

// Client size of the preview frame in pixels (inside its one-pixel border).
constexpr int kFrameClientWidth = 100;
constexpr int kFrameClientHeight = 114;

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

} // namespace

struct CFileDialogEx::Panel {
    PreviewLabel* frame = nullptr;
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

    // The panel: information boxes in the group box, the frame to its right.
    auto* panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("previewPanel"));
    auto* group = new QGroupBox(QStringLiteral("图像预浏览"), panel);
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
    m_panel->frame = new PreviewLabel(panel);

    auto* across = new QHBoxLayout(panel);
    across->setContentsMargins(0, 0, 0, 0);
    across->addWidget(group, 1);
    across->addWidget(m_panel->frame, 0, Qt::AlignBottom);
    if (auto* grid = qobject_cast<QGridLayout*>(layout()))
        grid->addWidget(panel, grid->rowCount(), 0, 1, grid->columnCount());
    else if (layout())
        layout()->addWidget(panel);

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
