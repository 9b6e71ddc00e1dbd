#pragma once

#include "templates/FaceFraming.h"

#include <QString>

namespace lumavo {

// setting.ini keys (section System) of smart framing.
inline constexpr const char* kFaceShareKey = "FaceShare";
inline constexpr const char* kSmartFramingFirstKey = "SmartFramingFirst";

// The framing goal with the face share from the key FaceShare: a share of
// the opening's height between 0.05 and 0.95 (a dot or a comma before the
// decimals); absent or anything else keeps the default.
FramingGoal ReadFramingGoal(const QString& settingsPath);

// Key SmartFramingFirst: 1 (or true, yes, on) makes smart framing the first
// placement of a loaded photo; absent or anything else keeps the
// whole-photo fit.
bool ReadSmartFramingFirst(const QString& settingsPath);

} // namespace lumavo
