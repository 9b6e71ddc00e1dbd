#pragma once

#include <QDialog>

#include <memory>

namespace lumavo {

class CalibrationStore;
class PrintQueue;
struct PrintReport;

// "打印校准": the operator picks a printer and a size, prints the test
// sheet, reads off it how far the print lies from the paper's edges and
// how much it is too large or small, and keeps the correction. Corrections
// typed for several printers and sizes are kept until saved or dropped.
class CPrintCalibrationDlg : public QDialog {
    Q_OBJECT
public:
    // The store is read by the caller; the window writes it when saved.
    CPrintCalibrationDlg(PrintQueue& queue, CalibrationStore& store, QWidget* parent = nullptr);
    ~CPrintCalibrationDlg() override;

    void done(int result) override;

    // Prints the test sheet of the chosen printer and size with the
    // correction shown; false (after telling the operator) when it did not print.
    bool PrintTestSheet();
    // Writes every correction typed; false (after telling the operator) when it cannot.
    bool Save();
    // What became of the last test sheet.
    const PrintReport& LastPrint() const;

private:
    void ShowCalibration();
    void KeepCalibration();

    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace lumavo
