#include "cli/FaceFit.h"

namespace lumavo::cli {

QString FaceFitNote(bool framed)
{
    return framed ? QStringLiteral("智能构图：已按人脸放置")
                  : QStringLiteral("智能构图：相片中没有找到人脸，按整张相片放置");
}

} // namespace lumavo::cli
