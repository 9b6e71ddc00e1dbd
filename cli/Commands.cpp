#include "cli/Commands.h"

#include "cli/Console.h"
#include "cli/FaceFit.h"
#include "cli/Messages.h"
#include "cli/PortraitRoad.h"
#include "cli/PrintCommands.h"
#include "cli/ProofCommand.h"
#include "imaging/ScaledLoad.h"
#include "platform/DiskPath.h"
#include "platform/ProgramFolder.h"
#include "templates/Caption.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

namespace lumavo::cli {

namespace {

QString PlacementLine(const PhotoPlacement& placement)
{
    return QStringLiteral("%1 %2 %3 %4").arg(placement.x).arg(placement.y).arg(placement.width).arg(placement.height);
}

// Output paths compare as the file system does.
QString PathKey(const QString& path)
{
    const QString absolute = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
#ifdef Q_OS_WIN
    return absolute.toLower();
#else
    return absolute;
#endif
}

} // namespace

int32_t QualityOf(const Arguments& arguments)
{
    return arguments.quality ? *arguments.quality : ReadQuality(SettingsPath());
}

QString CaptionOf(const Arguments& arguments)
{
    return arguments.caption ? *arguments.caption : CaptionTextOrDefault(ReadCaptionSetting(SettingsPath()));
}

int RunCommand(const Arguments& arguments)
{
    switch (arguments.command) {
    case CommandKind::Templates:
        return RunTemplates(arguments);
    case CommandKind::Place:
        return RunPlace(arguments);
    case CommandKind::Render:
        return RunRender(arguments);
    case CommandKind::Batch:
        return RunBatch(arguments);
    case CommandKind::Proof:
        return RunProof(arguments);
    case CommandKind::Print:
        return RunPrint(arguments);
    case CommandKind::PrintTest:
        return RunPrintTest(arguments);
    case CommandKind::Help:
        PrintOut(UsageText());
        return kExitOk;
    }
    return kExitUsage;
}

int RunTemplates(const Arguments& arguments)
{
    if (!IsFolder(arguments.root)) {
        PrintError(messages::TemplateRootMissing(arguments.root));
        return kExitFailure;
    }
    // Every good template is listed; each broken one is named with its reason.
    int usable = 0;
    for (const QString& name : FolderEntries(arguments.root, EntryKind::Folder)) {
        const auto folder = TemplateFolder::Make(arguments.root, name);
        if (!folder) {
            PrintError(messages::TemplateNameRefused(name));
            continue;
        }
        // The header gives the size; the picture itself is not decoded.
        const QString background = folder->File(kBackgroundFile);
        const QSize size = ReadPictureSize(background);
        if (!size.isValid()) {
            PrintError(messages::TemplateBackgroundUnreadable(name, background));
            continue;
        }
        const LayerReading layer = ReadLayerFile(*folder);
        if (!layer.usable()) {
            PrintError(messages::OpeningUnusable(name, folder->File(kLayerFile), layer));
            continue;
        }
        const LayerRect& opening = layer.rect;
        PrintOut(QStringLiteral("%1 %2 %3 %4 %5 %6 %7")
                     .arg(name)
                     .arg(size.width())
                     .arg(size.height())
                     .arg(opening.left)
                     .arg(opening.top)
                     .arg(opening.right)
                     .arg(opening.bottom));
        ++usable;
    }
    if (usable == 0) {
        PrintError(messages::NoUsableTemplates(arguments.root));
        return kExitFailure;
    }
    return kExitOk;
}

int RunPlace(const Arguments& arguments)
{
    const PreparedPortrait portrait = PreparePortrait(RequestFrom(arguments, arguments.photo, std::nullopt));
    if (!portrait.error.isEmpty()) {
        PrintError(portrait.error);
        return kExitFailure;
    }
    if (!portrait.templ.warning.isEmpty())
        PrintWarning(portrait.templ.warning);
    ReportFaceFit(arguments, portrait);
    PrintOut(PlacementLine(portrait.portrait->Placement()));
    return kExitOk;
}

int RunRender(const Arguments& arguments)
{
    if (const QString error = CheckOutputPath(arguments.out, arguments.photo); !error.isEmpty()) {
        PrintError(error);
        return kExitFailure;
    }
    const QString caption = CaptionOf(arguments);
    PreparedPortrait portrait = PreparePortrait(RequestFrom(arguments, arguments.photo, caption));
    if (!portrait.error.isEmpty()) {
        PrintError(portrait.error);
        return kExitFailure;
    }
    ReportFaceFit(arguments, portrait);
    const QString error = RenderPortrait(portrait, caption, arguments.out, QualityOf(arguments));
    if (!error.isEmpty()) {
        PrintError(error);
        return kExitFailure;
    }
    return kExitOk;
}

int RunBatch(const Arguments& arguments)
{
    const OpenedTemplate templ = OpenTemplate(arguments.root, arguments.templateName);
    if (!templ.error.isEmpty()) {
        PrintError(templ.error);
        return kExitFailure;
    }
    if (!QDir().mkpath(arguments.outDir)) {
        PrintError(messages::OutputDirFailed(arguments.outDir));
        return kExitFailure;
    }
    const QDir outDir(arguments.outDir);
    const QString extension = ExtensionOfFormat(arguments.format);
    const int32_t quality = QualityOf(arguments);
    const QString caption = CaptionOf(arguments);

    QHash<QString, QString> photoOfOutput; // two photos must not write one file
    // Outputs may land beside the photos: none of the batch's photos, done
    // or still to come, is ever written over.
    QHash<QString, QString> photoAtPath;
    for (const QString& photoPath : arguments.photos) {
        if (const QString canonical = QFileInfo(photoPath).canonicalFilePath(); !canonical.isEmpty())
            photoAtPath.insert(canonical, photoPath);
    }
    QStringList failed;
    const qsizetype count = arguments.photos.size();
    for (qsizetype i = 0; i < count; ++i) {
        const QString& photoPath = arguments.photos[i];
        const QString outPath = outDir.filePath(QFileInfo(photoPath).completeBaseName() + extension);
        PrintErr(QStringLiteral("[%1/%2] %3 -> %4")
                     .arg(i + 1)
                     .arg(count)
                     .arg(messages::Native(photoPath), messages::Native(outPath)));

        QString error = CheckOutputPath(outPath, photoPath);
        const QString key = PathKey(outPath);
        if (error.isEmpty() && photoOfOutput.contains(key))
            error = messages::OutputCollision(outPath, photoOfOutput.value(key));
        if (const QString existing = QFileInfo(outPath).canonicalFilePath();
            error.isEmpty() && !existing.isEmpty() && photoAtPath.contains(existing))
            error = messages::OutputIsBatchPhoto(outPath, photoAtPath.value(existing));
        if (error.isEmpty()) {
            photoOfOutput.insert(key, photoPath);
            // Every photo of the batch gets the same edits (a keying click
            // in shares suits photos of any size), and none of the moves
            // that place one photo.
            PortraitRequest request = RequestFrom(arguments, photoPath, caption);
            request.steps.clear();
            PreparedPortrait portrait = PreparePortrait(request);
            error = portrait.error.isEmpty() ? RenderPortrait(portrait, caption, outPath, quality) : portrait.error;
            if (error.isEmpty())
                ReportFaceFit(arguments, portrait);
        }
        if (!error.isEmpty()) {
            PrintError(error);
            failed.append(photoPath);
        }
    }

    if (failed.isEmpty()) {
        PrintErr(QStringLiteral("完成：%1 张相片全部成功").arg(count));
        return kExitOk;
    }
    PrintErr(QStringLiteral("完成：%1 张成功，%2 张失败：").arg(count - failed.size()).arg(failed.size()));
    for (const QString& photoPath : failed)
        PrintErr("  " + messages::Native(photoPath));
    return kExitFailure;
}

} // namespace lumavo::cli
