#include "cli/ProofCommand.h"

#include "cli/Commands.h"
#include "cli/Console.h"
#include "cli/FaceFit.h"
#include "cli/Messages.h"
#include "cli/PortraitRoad.h"
#include "framing/FramingSettings.h"
#include "framing/ProofSheet.h"
#include "imaging/ImageFiles.h"
#include "platform/DiskPath.h"
#include "platform/ProgramFolder.h"

namespace lumavo::cli {

int RunProof(const Arguments& arguments)
{
    if (const QString error = CheckOutputPath(arguments.out, arguments.photo); !error.isEmpty()) {
        PrintError(error);
        return kExitFailure;
    }
    if (!IsFolder(arguments.root)) {
        PrintError(messages::TemplateRootMissing(arguments.root));
        return kExitFailure;
    }
    const TrialPhoto photo = LoadTrialPhoto(arguments.photo, arguments.fitFaces);
    if (!photo.usable()) {
        PrintError(photo.error);
        return kExitFailure;
    }
    if (arguments.fitFaces) {
        if (!photo.faceError.isEmpty())
            PrintWarning(photo.faceError);
        PrintErr(FaceFitNote(photo.subject.has_value()));
    }
    const ProofSheet sheet = MakeProofSheet(
        arguments.root, photo, ReadFramingGoal(SettingsPath()), [](int place, int count, const QString& name) {
            PrintErr(QStringLiteral("[%1/%2] %3").arg(place).arg(count).arg(name));
        });
    if (sheet.image.isNull()) {
        PrintError(messages::NoUsableTemplates(arguments.root));
        return kExitFailure;
    }
    int drawn = 0;
    for (const ProofEntry& entry : sheet.entries) {
        if (entry.error.isEmpty())
            ++drawn;
        else
            PrintWarning(QStringLiteral("模板“%1”无法画出，样张上只写了它的名称：%2").arg(entry.name, entry.error));
    }
    if (!sheet.namesDrawn)
        PrintWarning(QStringLiteral("找不到中文字体，样张上没有写模板名称"));
    if (drawn == 0) {
        PrintError(messages::NoUsableTemplates(arguments.root));
        return kExitFailure;
    }
    auto picture = PhotoImage::Adopt(sheet.image);
    if (const Status status = SaveImage(picture, arguments.out, QualityOf(arguments)); status != Ok) {
        PrintError(messages::OutputWriteFailed(arguments.out, status));
        return kExitFailure;
    }
    PrintErr(QStringLiteral("完成：样张共 %1 个模板").arg(sheet.entries.size()));
    return kExitOk;
}

} // namespace lumavo::cli
