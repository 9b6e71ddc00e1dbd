#pragma once

#include "printing/PageGeometry.h"

#include <QMap>
#include <QPair>
#include <QString>

namespace lumavo {

// What a correction may be: enough for any printer that prints at all.
constexpr int kMaxOffsetTenthsMm = 500;
constexpr int kMinScaleThousandths = 800;
constexpr int kMaxScaleThousandths = 1200;

// The print corrections of every printer and size, kept in one text file
// (format in docs/printing.md).
class CalibrationStore {
public:
    // <user configuration folder>/lumavo/print-calibration.txt
    static QString DefaultPath();

    explicit CalibrationStore(QString path = DefaultPath());

    // Reads the file; lines that do not make sense are skipped. A missing
    // file is an empty store. False (and the store empty) only when the
    // file exists but cannot be read.
    bool Load();
    // Writes the whole store; the old file stays whole until the new one is
    // complete. False with the reason when it cannot be written.
    bool Save(QString* error = nullptr) const;

    // No correction for a printer and size never calibrated.
    Calibration Get(const QString& printer, const QString& format) const;
    // Values beyond the limits are brought within them. False (nothing
    // kept) for an unknown size or a name that cannot be stored.
    bool Set(const QString& printer, const QString& format, const Calibration& calibration);

    QString path() const { return m_path; }
    int size() const { return int(m_entries.size()); }

private:
    QString m_path;
    // (printer, format name in capitals)
    QMap<QPair<QString, QString>, Calibration> m_entries;
};

} // namespace lumavo
