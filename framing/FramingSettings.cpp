#include "framing/FramingSettings.h"

#include "platform/ProfileFile.h"
#include "platform/ProgramFolder.h"

namespace lumavo {

namespace {

constexpr double kSmallestShare = 0.05;
constexpr double kLargestShare = 0.95;

} // namespace

FramingGoal ReadFramingGoal(const QString& settingsPath)
{
    FramingGoal goal;
    const QString text
        = GetProfileString(settingsPath, QLatin1String(kSettingsSection), QLatin1String(kFaceShareKey)).trimmed();
    if (text.isEmpty())
        return goal;
    QString number = text;
    number.replace(u',', u'.');
    bool ok = false;
    const double share = number.toDouble(&ok);
    if (ok && share >= kSmallestShare && share <= kLargestShare)
        goal.faceShare = share;
    return goal;
}

bool ReadSmartFramingFirst(const QString& settingsPath)
{
    const QString text
        = GetProfileString(settingsPath, QLatin1String(kSettingsSection), QLatin1String(kSmartFramingFirstKey))
              .trimmed()
              .toLower();
    return text == QLatin1String("1") || text == QLatin1String("true") || text == QLatin1String("yes")
        || text == QLatin1String("on");
}

} // namespace lumavo
