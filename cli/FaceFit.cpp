#include "cli/FaceFit.h"

#include "cli/Console.h"

namespace lumavo::cli {

PortraitRequest RequestFrom(const Arguments& arguments, const QString& photo, std::optional<QString> caption)
{
    return { arguments.root, arguments.templateName, photo, arguments.edits, arguments.steps, std::move(caption),
        arguments.keys, arguments.fitFaces };
}

void ReportFaceFit(const Arguments& arguments, const PreparedPortrait& portrait)
{
    if (!arguments.fitFaces)
        return;
    if (!portrait.faceWarning.isEmpty())
        PrintWarning(portrait.faceWarning);
    PrintErr(FaceFitNote(portrait.framed));
}

QString FaceFitNote(bool framed)
{
    return framed ? QStringLiteral("智能构图：已按人脸放置")
                  : QStringLiteral("智能构图：相片中没有找到人脸，按整张相片放置");
}

} // namespace lumavo::cli
