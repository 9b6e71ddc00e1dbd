#include "ui/PrintCalibrationDlg.h"

#include "printing/CalibrationStore.h"
#include "printing/PrintJobs.h"
#include "printing/PrintMessages.h"
#include "printing/PrintQueue.h"
#include "ui/BusyCursor.h"
#include "ui/OffThread.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

namespace lumavo {

namespace {

const QString kTitle = QStringLiteral("打印校准");

QSpinBox* MakeSpin(QWidget* parent, const char* name, int low, int high, int value)
{
    auto* spin = new QSpinBox(parent);
    spin->setObjectName(QLatin1String(name));
    spin->setRange(low, high);
    spin->setValue(value);
    spin->setAlignment(Qt::AlignRight);
    return spin;
}

} // namespace

struct CPrintCalibrationDlg::State {
    PrintQueue* queue = nullptr;
    CalibrationStore* store = nullptr;
    QComboBox* printers = nullptr;
    QComboBox* sizes = nullptr;
    QSpinBox* offsetX = nullptr;
    QSpinBox* offsetY = nullptr;
    QSpinBox* scale = nullptr;
    QPushButton* print = nullptr;
    QLabel* status = nullptr;
    bool unsaved = false;
    PrintReport lastPrint;

    QString Printer() const { return printers->currentText(); }
    QString Size() const { return sizes->currentText(); }
    Calibration Shown() const { return Calibration { offsetX->value(), offsetY->value(), scale->value() }; }
};

CPrintCalibrationDlg::CPrintCalibrationDlg(PrintQueue& queue, CalibrationStore& store, QWidget* parent)
    : QDialog(parent)
    , m_state(std::make_unique<State>())
{
    State& s = *m_state;
    s.queue = &queue;
    s.store = &store;
    setWindowTitle(kTitle);
    setObjectName(QStringLiteral("printCalibration"));

    s.printers = new QComboBox(this);
    s.printers->setObjectName(QStringLiteral("printerBox"));
    s.printers->addItems(queue.PrinterNames());
    const int defaultPrinter = s.printers->findText(queue.DefaultPrinter());
    if (defaultPrinter >= 0)
        s.printers->setCurrentIndex(defaultPrinter);
    s.sizes = new QComboBox(this);
    s.sizes->setObjectName(QStringLiteral("sizeBox"));
    for (const PrintFormat& format : kPrintFormats)
        s.sizes->addItem(FormatName(format));
    s.offsetX = MakeSpin(this, "offsetX", -kMaxOffsetTenthsMm, kMaxOffsetTenthsMm, 0);
    s.offsetY = MakeSpin(this, "offsetY", -kMaxOffsetTenthsMm, kMaxOffsetTenthsMm, 0);
    s.scale = MakeSpin(this, "scale", kMinScaleThousandths, kMaxScaleThousandths, 1000);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("打印机"), s.printers);
    form->addRow(QStringLiteral("尺寸"), s.sizes);
    form->addRow(QStringLiteral("水平偏移（0.1 毫米，向右为正）"), s.offsetX);
    form->addRow(QStringLiteral("垂直偏移（0.1 毫米，向下为正）"), s.offsetY);
    form->addRow(QStringLiteral("比例（千分之，1000 为原大）"), s.scale);

    auto* hint = new QLabel(QStringLiteral("打印测试页后量一量：框线应正好落在所选尺寸的边缘。"
                                           "框线偏右 1.5 毫米，水平偏移就减 15；"
                                           "标尺上的 100 毫米实际量得 99.5 毫米，比例就加 5。"),
        this);
    hint->setWordWrap(true);
    s.status = new QLabel(this);
    s.status->setObjectName(QStringLiteral("calibrationStatus"));
    s.status->setWordWrap(true);

    s.print = new QPushButton(QStringLiteral("打印测试页"), this);
    s.print->setObjectName(QStringLiteral("printSheet"));
    auto* save = new QPushButton(QStringLiteral("保存"), this);
    save->setObjectName(QStringLiteral("saveCalibration"));
    auto* close = new QPushButton(QStringLiteral("关闭"), this);
    close->setObjectName(QStringLiteral("closeCalibration"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(s.print);
    buttons->addStretch();
    buttons->addWidget(save);
    buttons->addWidget(close);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(hint);
    layout->addWidget(s.status);
    layout->addLayout(buttons);

    connect(s.printers, &QComboBox::currentIndexChanged, this, [this] { ShowCalibration(); });
    connect(s.sizes, &QComboBox::currentIndexChanged, this, [this] { ShowCalibration(); });
    for (QSpinBox* spin : { s.offsetX, s.offsetY, s.scale })
        connect(spin, &QSpinBox::valueChanged, this, [this] { KeepCalibration(); });
    connect(s.print, &QPushButton::clicked, this, [this] { PrintTestSheet(); });
    connect(save, &QPushButton::clicked, this, [this] { Save(); });
    connect(close, &QPushButton::clicked, this, [this] { reject(); });

    if (s.printers->count() == 0) {
        s.print->setEnabled(false);
        s.status->setText(QStringLiteral("没有可用的打印机，请先在系统中添加打印机"));
    }
    ShowCalibration();
}

CPrintCalibrationDlg::~CPrintCalibrationDlg() = default;

void CPrintCalibrationDlg::ShowCalibration()
{
    State& s = *m_state;
    const Calibration stored = s.store->Get(s.Printer(), s.Size());
    const QSignalBlocker blockX(s.offsetX), blockY(s.offsetY), blockScale(s.scale);
    s.offsetX->setValue(stored.offsetXTenthsMm);
    s.offsetY->setValue(stored.offsetYTenthsMm);
    s.scale->setValue(stored.scaleThousandths);
}

void CPrintCalibrationDlg::KeepCalibration()
{
    State& s = *m_state;
    if (s.store->Set(s.Printer(), s.Size(), s.Shown()))
        s.unsaved = true;
}

bool CPrintCalibrationDlg::PrintTestSheet()
{
    State& s = *m_state;
    PrintRequest request;
    request.printer = s.Printer();
    request.format = FindPrintFormat(s.Size());
    request.calibration = s.Shown();
    request.title = QStringLiteral("%1 %2").arg(kTitle, s.Size());
    // The window keeps painting while the queue is asked and the job watched.
    s.print->setEnabled(false);
    s.status->setText(QStringLiteral("正在打印测试页…"));
    s.lastPrint = RunOffThread([&] { return PrintCalibrationSheet(*s.queue, request); });
    s.print->setEnabled(true);
    const PrintReport& report = s.lastPrint;
    const QString message = PrintReportMessage(report);
    s.status->setText(message);
    if (!report.outcome.TakenByQueue()) {
        QMessageBox::warning(this, kTitle, message, QMessageBox::Ok);
        return false;
    }
    return true;
}

const PrintReport& CPrintCalibrationDlg::LastPrint() const
{
    return m_state->lastPrint;
}

bool CPrintCalibrationDlg::Save()
{
    State& s = *m_state;
    QString error;
    if (!WhileBusy([&] { return s.store->Save(&error); })) {
        s.status->clear();
        QMessageBox::warning(this, kTitle,
            QStringLiteral("保存校准失败：无法写入 %1（%2）").arg(s.store->path(), error), QMessageBox::Ok);
        return false;
    }
    s.unsaved = false;
    s.status->setText(QStringLiteral("校准已保存"));
    return true;
}

void CPrintCalibrationDlg::done(int result)
{
    State& s = *m_state;
    if (s.unsaved) {
        const auto answer = QMessageBox::question(this, kTitle, QStringLiteral("校准值尚未保存，是否保存？"),
            QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
        if (answer == QMessageBox::Cancel || (answer == QMessageBox::Save && !Save()))
            return;
        if (answer == QMessageBox::Discard) {
            // Back to what the file holds, so no print uses a dropped correction.
            s.store->Load();
            s.unsaved = false;
        }
    }
    QDialog::done(result);
}

} // namespace lumavo
