#include "printing/CalibrationStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringList>

#include <algorithm>

namespace lumavo {

namespace {

// A file larger than this is not one we wrote; only its beginning is read.
constexpr qint64 kMaxFileBytes = 1 << 20;

const char* const kHeader = "# Lumavo print calibration, one line per printer and size:\n"
                            "# size <TAB> offset x <TAB> offset y (0.1 mm) <TAB> scale (1/1000) <TAB> printer\n";

Calibration Clamped(const Calibration& c)
{
    return Calibration { std::clamp(c.offsetXTenthsMm, -kMaxOffsetTenthsMm, kMaxOffsetTenthsMm),
        std::clamp(c.offsetYTenthsMm, -kMaxOffsetTenthsMm, kMaxOffsetTenthsMm),
        std::clamp(c.scaleThousandths, kMinScaleThousandths, kMaxScaleThousandths) };
}

bool ParseInt(const QString& text, int low, int high, int* value)
{
    bool ok = false;
    const int parsed = text.toInt(&ok);
    if (!ok || parsed < low || parsed > high)
        return false;
    *value = parsed;
    return true;
}

} // namespace

QString CalibrationStore::DefaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/lumavo/print-calibration.txt");
}

CalibrationStore::CalibrationStore(QString path)
    : m_path(std::move(path))
{
}

bool CalibrationStore::Load()
{
    m_entries.clear();
    QFile file(m_path);
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QString text = QString::fromUtf8(file.read(kMaxFileBytes));
    for (const QString& rawLine : text.split(u'\n')) {
        const QString line = rawLine.trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        // Four fields, then the printer's name, which may hold blanks.
        const QStringList fields = line.split(u'\t');
        if (fields.size() < 5)
            continue;
        const PrintFormat* format = FindPrintFormat(fields[0]);
        const QString printer = fields.mid(4).join(u'\t').trimmed();
        Calibration c;
        if (!format || printer.isEmpty()
            || !ParseInt(fields[1].trimmed(), -kMaxOffsetTenthsMm, kMaxOffsetTenthsMm, &c.offsetXTenthsMm)
            || !ParseInt(fields[2].trimmed(), -kMaxOffsetTenthsMm, kMaxOffsetTenthsMm, &c.offsetYTenthsMm)
            || !ParseInt(fields[3].trimmed(), kMinScaleThousandths, kMaxScaleThousandths, &c.scaleThousandths))
            continue;
        m_entries.insert({ printer, FormatName(*format) }, c);
    }
    return true;
}

bool CalibrationStore::Save(QString* error) const
{
    const QFileInfo info(m_path);
    if (!QDir().mkpath(info.absolutePath())) {
        if (error)
            *error = QStringLiteral("cannot create %1").arg(info.absolutePath());
        return false;
    }
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    QByteArray text(kHeader);
    for (auto it = m_entries.cbegin(); it != m_entries.cend(); ++it) {
        const Calibration& c = it.value();
        text += QStringLiteral("%1\t%2\t%3\t%4\t%5\n")
                    .arg(it.key().second)
                    .arg(c.offsetXTenthsMm)
                    .arg(c.offsetYTenthsMm)
                    .arg(c.scaleThousandths)
                    .arg(it.key().first)
                    .toUtf8();
    }
    if (file.write(text) != text.size() || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

Calibration CalibrationStore::Get(const QString& printer, const QString& format) const
{
    const PrintFormat* known = FindPrintFormat(format);
    if (!known)
        return {};
    return m_entries.value({ printer.trimmed(), FormatName(*known) }, Calibration {});
}

bool CalibrationStore::Set(const QString& printer, const QString& format, const Calibration& calibration)
{
    const PrintFormat* known = FindPrintFormat(format);
    const QString name = printer.trimmed();
    // Line breaks cannot be stored; no print queue names a printer so.
    if (!known || name.isEmpty() || name.contains(u'\n') || name.contains(u'\r'))
        return false;
    m_entries.insert({ name, FormatName(*known) }, Clamped(calibration));
    return true;
}

} // namespace lumavo
