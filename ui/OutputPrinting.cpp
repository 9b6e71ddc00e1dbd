#include "ui/OutputPrinting.h"

#include "printing/CalibrationStore.h"
#include "printing/PaperPreselection.h"
#include "printing/PrintMessages.h"
#include "printing/PrintQueue.h"
#include "ui/OffThread.h"
#include "ui/PrintCalibrationDlg.h"

#include <QButtonGroup>
#include <QDir>
#include <QLabel>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>
#include <cmath>

namespace lumavo {

namespace {

// Below this the whole picture and the filled size look the same on paper.
constexpr double kSameSizeMm = 0.1;

const QString kUnreadableCalibration = QStringLiteral("无法读取打印校准文件“%1”，请检查文件是否可读");

// The format's frame on a paper of its own size: what the operator chose,
// whatever paper the printer turns out to have.
PrintPlacement OnOwnPaper(const PrintFormat& format, QSize pictureSize, FitMode fit)
{
    Paper paper;
    paper.sizeMm = QSizeF(format.widthMm, format.heightMm);
    return PlacePrint(format, paper, pictureSize, fit);
}

} // namespace

struct COutputPrinting::State {
    QWidget* window = nullptr;
    QLabel* status = nullptr;
    QString title;
    QString calibrationPath = CalibrationStore::DefaultPath();

    QLabel* fitLabel = nullptr;
    QRadioButton* whole = nullptr;
    QRadioButton* fill = nullptr;
    QButtonGroup fits;
    QPushButton* calibrate = nullptr;
    QLabel* resolutionLine = nullptr;
    QLabel* warning = nullptr;
    QProgressBar* progress = nullptr;

    QSize pictureSize;
    QSize photoSize;
    QRect photoPlacement;
    const PrintFormat* format = nullptr;
    PrintResolution resolution;
    bool busy = false;
};

COutputPrinting::COutputPrinting(QWidget* window, QLabel* status, QString title)
    : QObject(window)
    , m_state(std::make_unique<State>())
{
    State& s = *m_state;
    s.window = window;
    s.status = status;
    s.title = std::move(title);

    s.fitLabel = new QLabel(QStringLiteral("画面"), window);
    s.fitLabel->setObjectName(QStringLiteral("fitLabel"));
    s.whole = new QRadioButton(QStringLiteral("全图"), window);
    s.whole->setObjectName(QStringLiteral("fitWhole"));
    s.whole->setToolTip(QStringLiteral("整张相片放入所选尺寸，比例不同时两边留出相同的白边"));
    s.fill = new QRadioButton(QStringLiteral("裁满"), window);
    s.fill->setObjectName(QStringLiteral("fitFill"));
    s.fill->setToolTip(QStringLiteral("相片铺满所选尺寸，比例不同时两边均匀裁去多出的部分"));
    s.fits.addButton(s.whole, int(FitMode::Whole));
    s.fits.addButton(s.fill, int(FitMode::Fill));
    s.whole->setChecked(true);

    s.calibrate = new QPushButton(QStringLiteral("打印校准"), window);
    s.calibrate->setObjectName(QStringLiteral("printCalibration"));
    s.resolutionLine = new QLabel(window);
    s.resolutionLine->setObjectName(QStringLiteral("printResolution"));
    s.warning = new QLabel(window);
    s.warning->setObjectName(QStringLiteral("resolutionWarning"));
    s.warning->setStyleSheet(QStringLiteral("color: #b00020; font-weight: bold;"));
    s.progress = new QProgressBar(window);
    s.progress->setObjectName(QStringLiteral("printProgress"));
    s.progress->setRange(0, 0); // no steps to count: the bar moves while the queue answers
    s.progress->setTextVisible(false);
    s.progress->hide();

    connect(&s.fits, &QButtonGroup::idToggled, this, [this](int, bool checked) {
        if (checked)
            ShowResolution();
    });
    connect(s.calibrate, &QPushButton::clicked, this, [this] { OpenCalibration(); });
}

COutputPrinting::~COutputPrinting() = default;

void COutputPrinting::Place()
{
    State& s = *m_state;
    // Under the sizes in their column; the resolution above the preview.
    s.fitLabel->setGeometry(737, 250, 48, 18);
    s.whole->setGeometry(735, 270, 50, 18);
    s.fill->setGeometry(735, 290, 50, 18);
    s.calibrate->setGeometry(8, 514, 64, 36);
    s.resolutionLine->setGeometry(80, 12, 640, 20);
    s.warning->setGeometry(80, 34, 640, 20);
    s.progress->setGeometry(600, 548, 120, 14);
    for (QWidget* control : { static_cast<QWidget*>(s.fitLabel), static_cast<QWidget*>(s.whole),
             static_cast<QWidget*>(s.fill), static_cast<QWidget*>(s.calibrate) })
        control->raise();
}

void COutputPrinting::SetPortrait(QSize pictureSize, QSize photoSize, const QRect& photoPlacement)
{
    State& s = *m_state;
    s.pictureSize = pictureSize;
    s.photoSize = photoSize;
    s.photoPlacement = photoPlacement;
    ShowResolution();
}

void COutputPrinting::ShowSize(const PrintFormat& format)
{
    m_state->format = &format;
    ShowResolution();
}

FitMode COutputPrinting::Fit() const
{
    return m_state->fill->isChecked() ? FitMode::Fill : FitMode::Whole;
}

PrintResolution COutputPrinting::Resolution() const
{
    return m_state->resolution;
}

bool COutputPrinting::Busy() const
{
    return m_state->busy;
}

void COutputPrinting::ShowResolution()
{
    State& s = *m_state;
    s.resolution = {};
    if (!s.format || s.pictureSize.isEmpty()) {
        s.resolutionLine->clear();
        s.warning->clear();
        return;
    }
    const PrintFormat& format = *s.format;
    const PrintPlacement whole = OnOwnPaper(format, s.pictureSize, FitMode::Whole);
    const PrintPlacement fill = OnOwnPaper(format, s.pictureSize, FitMode::Fill);
    // The choice means something only when the proportions differ.
    const bool differ = std::abs(whole.pictureMm.width() - fill.pictureMm.width()) > kSameSizeMm
        || std::abs(whole.pictureMm.height() - fill.pictureMm.height()) > kSameSizeMm;
    s.fitLabel->setEnabled(differ);
    s.whole->setEnabled(differ);
    s.fill->setEnabled(differ);

    s.resolution = EffectiveResolution(Fit() == FitMode::Fill ? fill : whole, s.photoSize, s.photoPlacement);
    QString line = QStringLiteral("按 %1（%2 × %3 毫米）打印：成品相片 %4 dpi")
                       .arg(FormatName(format))
                       .arg(format.widthMm)
                       .arg(format.heightMm)
                       .arg(qRound(s.resolution.pictureDpi));
    if (s.resolution.photoDpi > 0)
        line += QStringLiteral("，开口内的顾客相片 %1 dpi").arg(qRound(s.resolution.photoDpi));
    s.resolutionLine->setText(line);
    s.warning->setText(s.resolution.photoTooLow ? QStringLiteral("相片分辨率偏低，打印可能不够清晰") : QString());
}

std::optional<PrintReport> COutputPrinting::Print(QPrinter& printer, const QImage& picture, const PrintFormat& format)
{
    State& s = *m_state;
    // The dialog opens on the printer's own paper of the size, when it has one.
    PreselectPaper(printer, format);
    QPrintDialog dialog(&printer, s.window);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;

    // "Print to file" in the dialog: the page goes into that PDF, uncorrected.
    const bool toFile = printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty();
    const std::unique_ptr<PrintQueue> queue
        = toFile ? MakePdfFileQueue(printer.outputFileName()) : MakeSystemPrintQueue();
    PrintRequest request;
    request.printer = toFile ? queue->DefaultPrinter() : printer.printerName();
    request.format = &format;
    request.fit = Fit();
    request.copies = std::max(1, printer.copyCount());
    if (!toFile) {
        CalibrationStore store(s.calibrationPath);
        if (!store.Load()) {
            QMessageBox::warning(s.window, s.title,
                kUnreadableCalibration.arg(QDir::toNativeSeparators(store.path()))
                    + QStringLiteral("，本次打印不做校准"),
                QMessageBox::Ok);
        }
        request.calibration = store.Get(request.printer, FormatName(format));
    }

    s.busy = true;
    s.status->setText(toFile ? QStringLiteral("正在打印到文件…")
                             : QStringLiteral("正在送往打印机“%1”，等待打印机回复…").arg(request.printer));
    s.progress->show();
    const PrintReport report = RunOffThread([&] { return PrintFinishedPicture(*queue, picture, request); });
    s.progress->hide();
    s.busy = false;

    const bool taken = report.outcome.WillPrint();
    const QString message = toFile && taken
        ? QStringLiteral("已打印到文件：%1").arg(QDir::toNativeSeparators(printer.outputFileName()))
        : PrintReportMessage(report);
    s.status->setText(message);
    if (!taken)
        QMessageBox::warning(s.window, s.title, message, QMessageBox::Ok);
    return report;
}

void COutputPrinting::OpenCalibration()
{
    State& s = *m_state;
    CalibrationStore store(s.calibrationPath);
    // Editing a store that could not be read would write over the file.
    if (!store.Load()) {
        QMessageBox::warning(
            s.window, s.title, kUnreadableCalibration.arg(QDir::toNativeSeparators(store.path())), QMessageBox::Ok);
        return;
    }
    const std::unique_ptr<PrintQueue> queue = MakeSystemPrintQueue();
    CPrintCalibrationDlg dialog(*queue, store, s.window);
    dialog.exec();
}

void COutputPrinting::SetCalibrationPath(const QString& path)
{
    m_state->calibrationPath = path;
}

} // namespace lumavo
