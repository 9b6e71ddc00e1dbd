#pragma once

// Inside faces/ only: the eye line of one face from the eye detector's finds.

#include <QPoint>
#include <QRect>

#include <optional>
#include <utility>
#include <vector>

namespace lumavo::faces {

// Where the eyes of a face detector's box lie on average, as shares of the
// box (measured on the portraits the tests use).
inline constexpr double kEyeHeightInBox = 0.38;
inline constexpr double kLeftEyeInBox = 0.32;
inline constexpr double kRightEyeInBox = 0.68;

// The eyes estimated from the face box alone.
std::pair<QPoint, QPoint> EstimatedEyes(const QRect& face);

// The likeliest pair among the eye detector's finds inside the face box
// (both in the same pixels): one on each side of the middle, level within a
// tilt of about 30 degrees, a plausible distance apart, in the upper half.
// None when no pair qualifies.
std::optional<std::pair<QPoint, QPoint>> ChooseEyePair(const QRect& face, const std::vector<QRect>& finds);

} // namespace lumavo::faces
