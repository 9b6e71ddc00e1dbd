#include "cli/EditOptions.h"

#include "imaging/BackdropKey.h"

#include <QStringList>

#include <algorithm>
#include <cmath>

namespace lumavo::cli {

namespace {

std::optional<ClickCoordinate> ParseCoordinate(QString text)
{
    ClickCoordinate coordinate;
    text = text.trimmed();
    if (text.endsWith('%')) {
        coordinate.share = true;
        text.chop(1);
    }
    bool ok = false;
    coordinate.value = text.toDouble(&ok);
    if (!ok || !std::isfinite(coordinate.value) || coordinate.value < 0)
        return std::nullopt;
    if (coordinate.share) {
        if (coordinate.value > 100)
            return std::nullopt;
        coordinate.value /= 100.0;
    } else if (coordinate.value != std::floor(coordinate.value)) {
        return std::nullopt;
    }
    return coordinate;
}

} // namespace

std::optional<KeyClick> ParseKeyClick(const QString& text, QString* error)
{
    const QStringList parts = text.split(':');
    const QStringList point = parts.value(0).split(',');
    KeyClick click;
    const auto x = point.size() == 2 ? ParseCoordinate(point[0]) : std::nullopt;
    const auto y = point.size() == 2 ? ParseCoordinate(point[1]) : std::nullopt;
    if (parts.size() > 2 || !x || !y) {
        *error = QStringLiteral("--edit key: 需要相片上的一点 X,Y（像素，或相片宽高的百分比如 2%,2%），"
                                "可再加 :容差（0-100），而不是“key:%1”")
                     .arg(text);
        return std::nullopt;
    }
    click.x = *x;
    click.y = *y;
    if (parts.size() == 2) {
        bool ok = false;
        const int tolerance = parts[1].trimmed().toInt(&ok);
        if (!ok || tolerance < BackdropKey::kMinTolerance || tolerance > BackdropKey::kMaxTolerance) {
            *error = QStringLiteral("抠像容差必须是 0 到 100 的整数，而不是“%1”").arg(parts[1]);
            return std::nullopt;
        }
        click.tolerance = tolerance;
    }
    return click;
}

} // namespace lumavo::cli
