#include "cli/PortraitRoad.h"

#include "cli/Messages.h"
#include "faces/FaceFinder.h"
#include "framing/FramingSettings.h"
#include "framing/SmartFraming.h"
#include "imaging/ImageFiles.h"
#include "platform/DiskPath.h"
#include "platform/ProgramFolder.h"
#include "templates/OutputRender.h"

#include <QFileInfo>

namespace lumavo::cli {

namespace {

// The edit window's button texts, for messages.
QString EditName(PhotoEdit edit)
{
    switch (edit) {
    case PhotoEdit::Left:
        return QStringLiteral("左转90度");
    case PhotoEdit::Right:
        return QStringLiteral("右转90度");
    case PhotoEdit::HorizontalFlip:
        return QStringLiteral("水平翻转");
    case PhotoEdit::VerticalFlip:
        return QStringLiteral("重直翻转");
    case PhotoEdit::Sepia:
        return QStringLiteral("怀旧风格");
    case PhotoEdit::BlackWhite:
        return QStringLiteral("黑白风格");
    case PhotoEdit::Key:
        return QStringLiteral("半自动抠像");
    case PhotoEdit::Smooth:
        return QStringLiteral("全自动皮肤美容");
    }
    return {};
}

// Finds the template folder and reads its opening, without loading the pictures.
OpenedTemplate FindTemplate(const QString& root, const QString& name)
{
    OpenedTemplate templ;
    templ.name = name;
    if (!IsFolder(root)) {
        templ.error = messages::TemplateRootMissing(root);
        return templ;
    }
    const auto folder = TemplateFolder::Make(root, name);
    if (!folder) {
        templ.error = messages::TemplateNameRefused(name);
        return templ;
    }
    if (!IsFolder(folder->path())) {
        templ.error = messages::TemplateMissing(name, folder->path());
        return templ;
    }
    // The windows place a photo into an opening of nothing; a command that
    // would put out a portrait without the photo fails instead.
    const LayerReading layer = ReadLayerFile(*folder);
    if (!layer.usable()) {
        templ.error = messages::OpeningUnusable(name, folder->File(kLayerFile), layer);
        return templ;
    }
    templ.folder = folder;
    templ.opening = layer.rect;
    return templ;
}

// What the template's pictures are read for: a layout draws background and
// photo without a foreground that cannot be read; a finished picture needs both.
enum class TemplateUse { Layout, Output };

// What a reading of the template's pictures means for the road: a finished
// picture needs both; a layout goes on without a foreground that cannot be read.
void JudgeTemplatePictures(OpenedTemplate& templ, const TemplateReading& reading, TemplateUse use)
{
    if (reading.error.isEmpty() && !reading.backgroundFailed)
        return;
    const QString file = templ.folder->File(reading.backgroundFailed ? kBackgroundFile : kForegroundFile);
    QString problem;
    if (reading.status == OutOfMemory)
        problem = messages::TemplatePictureTooLarge(templ.name, file);
    else if (use == TemplateUse::Output)
        problem = messages::TemplatePictureUnreadableForOutput(kOutputReadError, templ.name, file);
    else
        problem = messages::TemplatePictureFailed(templ.name, file, kTemplateLibraryError);
    if (use == TemplateUse::Layout && !reading.backgroundFailed)
        templ.warning = problem;
    else
        templ.error = problem;
}

// The photo half's failure, in the operator's words.
QString PhotoProblem(const QString& photoPath, const RoadOutcome& outcome, const QList<KeyClick>& keys)
{
    if (outcome.photoStatus == FileNotFound)
        return messages::PhotoMissing(photoPath);
    if (outcome.photoStatus != Ok)
        return messages::PhotoUnreadable(photoPath, outcome.photoStatus);
    if (outcome.failedEdit == PhotoEdit::Key) {
        // The click that failed: the first that lies beyond the photo, if one does.
        for (const KeyClick& click : keys) {
            if (!ClickInside(click, outcome.editedSize))
                return messages::KeyClickOutside(photoPath, click, outcome.editedSize);
        }
    }
    if (outcome.failedEdit)
        return messages::EditFailed(photoPath, EditName(*outcome.failedEdit), outcome.editStatus);
    return {};
}

// The faces for the skin smoothing, found by a finder made on the thread
// that asks (the photo is edited on a second one). None without the finder's data.
std::vector<QRect> FindFacesOn(const PhotoImage& photo)
{
    std::vector<QRect> faces;
    if (const std::unique_ptr<FaceFinder> finder = FaceFinder::Load(FaceFinder::DefaultFolders(ProgramFolder()))) {
        for (const FoundFace& face : finder->Find(photo).faces)
            faces.push_back(face.box);
    }
    return faces;
}

} // namespace

OpenedTemplate OpenTemplate(const QString& root, const QString& name)
{
    OpenedTemplate templ = FindTemplate(root, name);
    if (!templ.folder || !templ.error.isEmpty())
        return templ;
    Portrait portrait;
    const TemplateReading& reading = portrait.LoadTemplate(*templ.folder);
    templ.backgroundWidth = portrait.RecordedSize().width();
    templ.backgroundHeight = portrait.RecordedSize().height();
    JudgeTemplatePictures(templ, reading, TemplateUse::Output);
    return templ;
}

PreparedPortrait PreparePortrait(const PortraitRequest& request)
{
    PreparedPortrait prepared;
    prepared.templ = FindTemplate(request.root, request.templateName);
    if (!prepared.templ.error.isEmpty()) {
        prepared.error = prepared.templ.error;
        return prepared;
    }

    // The photo decodes on a second core, only as large as it will be
    // drawn, while this one reads the template's pictures and, for a
    // rendering, combines their layers and readies the caption face.
    PortraitRoad road;
    road.photoPath = request.photoPath;
    road.edits = request.edits;
    road.steps = request.steps;
    road.captionText = request.captionText;
    road.keys = request.keys;
    road.smoothFaces = FindFacesOn;
    // The road may search on its second thread; what it reports is read once the road is done.
    QString faceError;
    if (request.fitFaces) {
        road.findFaces
            = [&faceError](const QImage& picture) { return FindSubject(picture, picture.size(), &faceError); };
        road.framingGoal = ReadFramingGoal(SettingsPath());
    }
    prepared.portrait = std::make_unique<Portrait>();
    const RoadOutcome outcome = prepared.portrait->TakeRoad(*prepared.templ.folder, road);
    prepared.framed = outcome.facesFramed;
    prepared.faceWarning = faceError;

    const QSize size = prepared.portrait->RecordedSize();
    prepared.templ.backgroundWidth = size.width();
    prepared.templ.backgroundHeight = size.height();
    JudgeTemplatePictures(
        prepared.templ, prepared.portrait->Reading(), request.captionText ? TemplateUse::Output : TemplateUse::Layout);
    prepared.error = !prepared.templ.error.isEmpty() ? prepared.templ.error
                                                     : PhotoProblem(request.photoPath, outcome, request.keys);
    return prepared;
}

QString RenderPortrait(PreparedPortrait& prepared, const QString& captionText, const QString& outPath, int32_t quality)
{
    // The portrait is finished once: its layers go into the picture.
    const SaveOutcome saved = prepared.portrait->Save(outPath, captionText, quality, Portrait::Layers::UseUp);
    if (!saved.renderError.isEmpty())
        return messages::RenderFailed(prepared.templ.name, saved.renderError);
    if (saved.status != Ok)
        return messages::OutputWriteFailed(outPath, saved.status);
    return {};
}

QString CheckOutputPath(const QString& outPath, const QString& photoPath)
{
    if (!ImageEncoder(outPath).found())
        return messages::OutputTypeUnknown(outPath);
    const QFileInfo out(outPath);
    if (out.exists() && out.canonicalFilePath() == QFileInfo(photoPath).canonicalFilePath())
        return messages::OutputIsPhoto(outPath);
    return {};
}

} // namespace lumavo::cli
