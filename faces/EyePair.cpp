#include "faces/EyePair.h"

#include <cmath>
#include <limits>

namespace lumavo::faces {

namespace {

QPoint At(const QRect& face, double across, double down)
{
    return QPoint(
        face.x() + int(std::lround(face.width() * across)), face.y() + int(std::lround(face.height() * down)));
}

QPoint Centre(const QRect& r)
{
    return QPoint(r.x() + r.width() / 2, r.y() + r.height() / 2);
}

} // namespace

std::pair<QPoint, QPoint> EstimatedEyes(const QRect& face)
{
    return { At(face, kLeftEyeInBox, kEyeHeightInBox), At(face, kRightEyeInBox, kEyeHeightInBox) };
}

std::optional<std::pair<QPoint, QPoint>> ChooseEyePair(const QRect& face, const std::vector<QRect>& finds)
{
    if (face.isEmpty())
        return std::nullopt;
    const auto [expectedLeft, expectedRight] = EstimatedEyes(face);
    const double w = face.width();
    const double middle = face.x() + w / 2;
    double best = std::numeric_limits<double>::max();
    std::optional<std::pair<QPoint, QPoint>> chosen;
    for (const QRect& a : finds) {
        for (const QRect& b : finds) {
            const QPoint left = Centre(a);
            const QPoint right = Centre(b);
            if (left.x() >= middle || right.x() <= middle)
                continue;
            const double dx = right.x() - left.x();
            const double dy = right.y() - left.y();
            if (dx < 0.25 * w || dx > 0.65 * w || std::abs(dy) > 0.55 * dx)
                continue;
            const double topHalf = face.y() + 0.6 * face.height();
            if (left.y() > topHalf || right.y() > topHalf || left.y() < face.y() + 0.12 * face.height()
                || right.y() < face.y() + 0.12 * face.height())
                continue;
            // Nearest the usual place wins; eyebrows and nostrils lie further off.
            const double off = std::hypot(left.x() - expectedLeft.x(), left.y() - expectedLeft.y())
                + std::hypot(right.x() - expectedRight.x(), right.y() - expectedRight.y());
            if (off < best) {
                best = off;
                chosen = std::make_pair(left, right);
            }
        }
    }
    return chosen;
}

} // namespace lumavo::faces
