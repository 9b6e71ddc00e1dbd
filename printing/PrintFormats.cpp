#include "printing/PrintFormats.h"

namespace lumavo {

const std::array<PrintFormat, 8> kPrintFormats = { {
    { "3R", 89, 127 },
    { "4R", 102, 152 },
    { "5R", 127, 178 },
    { "6R", 152, 203 },
    { "8R", 203, 254 },
    { "A6", 105, 148 },
    { "A5", 148, 210 },
    { "A4", 210, 297 },
} };

const PrintFormat* FindPrintFormat(QStringView name)
{
    for (const PrintFormat& format : kPrintFormats) {
        if (name.trimmed().compare(QLatin1String(format.name), Qt::CaseInsensitive) == 0)
            return &format;
    }
    return nullptr;
}

QString FormatName(const PrintFormat& format)
{
    return QString::fromLatin1(format.name);
}

} // namespace lumavo
