#pragma once

#include <QString>
#include <QStringView>

#include <array>

namespace lumavo {

// One size choice of the output window: its name and the finished picture's
// size on paper in millimetres, the upright way round.
struct PrintFormat {
    const char* name;
    int widthMm;
    int heightMm;
};

// 3R, 4R, 5R, 6R, 8R, A6, A5, A4, in the order the output window offers them.
extern const std::array<PrintFormat, 8> kPrintFormats;

// The format of a name ("4R", "a4": case does not matter); none when unknown.
const PrintFormat* FindPrintFormat(QStringView name);

QString FormatName(const PrintFormat& format);

} // namespace lumavo
