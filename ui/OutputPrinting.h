#pragma once

#include "printing/EffectiveResolution.h"
#include "printing/PageGeometry.h"
#include "printing/PrintJobs.h"

#include <QImage>
#include <QObject>
#include <QRect>
#include <QSize>
#include <QString>

#include <memory>
#include <optional>

class QLabel;
class QPrinter;
class QWidget;

namespace lumavo {

// The output window's printing: the choice between the whole picture and a
// filled size, the effective resolution at the chosen size, the calibration
// window, and the print itself through the print engine. The print queue is
// asked and the job watched on a thread of its own while the window keeps
// painting and shows the print under way.
class COutputPrinting : public QObject {
    Q_OBJECT
public:
    // The controls go into `window`; messages go to `status` and, for a
    // print that did not go through, to a message box titled `title`.
    COutputPrinting(QWidget* window, QLabel* status, QString title);
    ~COutputPrinting() override;

    // Gives the controls their places in the window.
    void Place();

    // The finished picture's size and where the customer photo of
    // photoSize pixels is drawn in it, in the picture's pixels.
    void SetPortrait(QSize pictureSize, QSize photoSize, const QRect& photoPlacement);
    // The size chosen: the fit choice is offered when the picture's
    // proportions differ from it, the resolution line shows it.
    void ShowSize(const PrintFormat& format);
    FitMode Fit() const;
    // The resolution at the size shown (none before a portrait and a size are known).
    PrintResolution Resolution() const;
    // A print is under way.
    bool Busy() const;

    // The print dialog on `printer`, its paper preselected for the size;
    // then the picture printed on the printer chosen there, with its copies
    // and the printer's correction for the size. The outcome is told to the
    // operator and returned; none when the dialog was cancelled.
    std::optional<PrintReport> Print(QPrinter& printer, const QImage& picture, const PrintFormat& format);

    // "打印校准": the calibration window on the system's printers.
    void OpenCalibration();

    // Where the corrections are kept (the user's configuration folder unless set).
    void SetCalibrationPath(const QString& path);

private:
    void ShowResolution();

    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace lumavo
