#include "cli/PortraitRoad.h"

#include "cli/FaceFit.h"
#include "cli/Messages.h"
#include "framing/FramingSettings.h"
#include "framing/SmartFraming.h"
#include "imaging/GeometricEdits.h"
#include "imaging/ImageFiles.h"
#include "imaging/ScaledLoad.h"
#include "imaging/ToneFilters.h"
#include "platform/DiskPath.h"
#include "platform/ProgramFolder.h"
#include "templates/Caption.h"
#include "templates/OutputRender.h"

#include <QFileInfo>

#include <algorithm>
#include <future>
#include <system_error>
#include <utility>

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
    }
    return {};
}

} // namespace

Status ApplyPhotoEdit(std::unique_ptr<PhotoImage>& photo, PhotoEdit edit)
{
    switch (edit) {
    case PhotoEdit::Left:
        return RotateFlip(*photo, Rotate270FlipNone);
    case PhotoEdit::Right:
        return RotateFlip(*photo, Rotate90FlipNone);
    case PhotoEdit::HorizontalFlip:
        return RotateFlip(*photo, RotateNoneFlipX);
    case PhotoEdit::VerticalFlip:
        return RotateFlip(*photo, RotateNoneFlipY);
    case PhotoEdit::Sepia:
    case PhotoEdit::BlackWhite: {
        auto toned = ApplyToneFilter(photo.get(), edit == PhotoEdit::Sepia ? SepiaFilter : BlackWhiteFilter);
        if (!toned)
            return OutOfMemory;
        if (const Status status = toned->TakeStatus(); status != Ok)
            return status;
        photo = std::move(toned);
        return Ok;
    }
    }
    return InvalidParameter;
}

namespace {

bool IsQuarterTurn(PhotoEdit edit)
{
    return edit == PhotoEdit::Left || edit == PhotoEdit::Right;
}

bool TurnsOddTimes(const QList<PhotoEdit>& edits)
{
    return std::count_if(edits.begin(), edits.end(), IsQuarterTurn) % 2 == 1;
}

// Faces to frame (--fit face); none keeps the whole-photo fit.
struct FaceFitting {
    std::optional<FramingSubject> subject;
    FramingGoal goal;
};

// Placement of a photo of the given full size (before its edits): the
// quarter turns swap its sides, then the first placement (the whole-photo
// fit, or the faces framed), then the steps in order.
PhotoPlacement FinalPlacement(const LayerRect& opening, int32_t width, int32_t height, const QList<PhotoEdit>& edits,
    const QList<PlacementStep>& steps, const FaceFitting& fitting = {})
{
    if (TurnsOddTimes(edits))
        std::swap(width, height);
    PhotoPlacement placement = FitToOpening(opening, QSize(width, height), fitting.subject, fitting.goal).placement;
    for (const PlacementStep& step : steps) {
        placement = step.kind == PlacementStep::Kind::Move ? MovePlacement(placement, step.dx, step.dy)
                                                           : ZoomPlacement(placement, step.zoom);
    }
    return placement;
}

// Loads the photo, applies the edits in order, places it into the opening
// by its full size and applies the moves and zooms in order. The photo is
// decoded at a reduced size when the final placement needs no more (the
// result stays within a level or two of the full-size road).
PreparedPhoto PreparePhoto(const LayerRect& opening, const QString& photoPath, const QList<PhotoEdit>& edits,
    const QList<PlacementStep>& steps, bool fitFaces)
{
    PreparedPhoto result;
    if (!IsFile(photoPath)) {
        result.error = messages::PhotoMissing(photoPath);
        return result;
    }
    FaceFitting fitting;
    if (fitFaces) {
        PhotoFaces faces = FindPhotoFaces(photoPath, edits);
        fitting.subject = faces.subject;
        fitting.goal = ReadFramingGoal(SettingsPath());
        result.faceWarning = faces.warning;
    }

    ScaledPicture loaded;
    const QSize declared = ReadPictureSize(photoPath);
    if (declared.isValid()) {
        // The final placement follows from the size alone, so the photo
        // need only be decoded as large as it will be drawn.
        const PhotoPlacement planned
            = FinalPlacement(opening, declared.width(), declared.height(), edits, steps, fitting);
        const bool turned = TurnsOddTimes(edits);
        loaded = LoadForDrawing(
            photoPath, turned ? planned.height : planned.width, turned ? planned.width : planned.height);
    } else {
        loaded.picture = PhotoImage::FromFile(photoPath);
        loaded.fullSize = loaded.picture->image().size();
    }
    if (const Status status = loaded.picture->TakeStatus(); status != Ok) {
        result.error
            = status == FileNotFound ? messages::PhotoMissing(photoPath) : messages::PhotoUnreadable(photoPath, status);
        return result;
    }

    for (const PhotoEdit edit : edits) {
        if (const Status status = ApplyPhotoEdit(loaded.picture, edit); status != Ok) {
            result.error = messages::EditFailed(photoPath, EditName(edit), status);
            return result;
        }
    }
    result.placement
        = FinalPlacement(opening, loaded.fullSize.width(), loaded.fullSize.height(), edits, steps, fitting);
    result.framed = fitting.subject.has_value();
    result.photo = std::move(loaded.picture);
    return result;
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

// Loads the template's pictures once to check them and to record the background's size.
void CheckTemplatePictures(OpenedTemplate& templ, TemplateUse use)
{
    if (!templ.folder || !templ.error.isEmpty())
        return;
    const TemplatePictures pictures = LoadTemplatePictures(*templ.folder);
    const bool backgroundFailed = !pictures.background || pictures.background->IsNull();
    if (!backgroundFailed) {
        templ.backgroundWidth = int32_t(pictures.background->Width());
        templ.backgroundHeight = int32_t(pictures.background->Height());
    }
    if (pictures.error.isEmpty() && !backgroundFailed)
        return;
    const QString file = templ.folder->File(backgroundFailed ? kBackgroundFile : kForegroundFile);
    QString problem;
    if (pictures.status == OutOfMemory)
        problem = messages::TemplatePictureTooLarge(templ.name, file);
    else if (use == TemplateUse::Output)
        problem = messages::TemplatePictureUnreadableForOutput(kOutputReadError, templ.name, file);
    else
        problem = messages::TemplatePictureFailed(templ.name, file, kTemplateLibraryError);
    if (use == TemplateUse::Layout && !backgroundFailed)
        templ.warning = problem;
    else
        templ.error = problem;
}

} // namespace

OpenedTemplate OpenTemplate(const QString& root, const QString& name)
{
    OpenedTemplate templ = FindTemplate(root, name);
    CheckTemplatePictures(templ, TemplateUse::Output);
    return templ;
}

Portrait PreparePortrait(const PortraitRequest& request)
{
    Portrait portrait;
    portrait.templ = FindTemplate(request.root, request.templateName);
    if (!portrait.templ.error.isEmpty()) {
        portrait.error = portrait.templ.error;
        return portrait;
    }

    // The photo decodes on a second core while this one does everything
    // that does not need it.
    const LayerRect opening = portrait.templ.opening;
    auto preparePhoto
        = [opening, &request] { return PreparePhoto(opening, request.photoPath, request.edits, request.steps, request.fitFaces); };
    std::future<PreparedPhoto> photo;
    try {
        photo = std::async(std::launch::async, preparePhoto);
    } catch (const std::system_error&) {
        // No second thread to be had: the same work, one after the other.
    }
    if (request.captionText) {
        // The finished picture is drawn from the template's files as they
        // are now; their layers are read and combined here meanwhile.
        portrait.output = OutputTemplate::Load(*portrait.templ.folder);
        if (!portrait.output->error().isEmpty()) {
            // The check names the file that failed.
            CheckTemplatePictures(portrait.templ, TemplateUse::Output);
            if (portrait.templ.error.isEmpty())
                portrait.templ.error = messages::RenderFailed(portrait.templ.name, portrait.output->error());
        } else {
            portrait.templ.backgroundWidth = portrait.output->size().width();
            portrait.templ.backgroundHeight = portrait.output->size().height();
            LayOutCaption(portrait.templ.backgroundWidth, portrait.templ.backgroundHeight, *request.captionText);
        }
    } else {
        CheckTemplatePictures(portrait.templ, TemplateUse::Layout);
    }
    portrait.photo = photo.valid() ? photo.get() : preparePhoto();

    portrait.error = !portrait.templ.error.isEmpty() ? portrait.templ.error : portrait.photo.error;
    return portrait;
}

QString RenderPortrait(Portrait& portrait, const QString& captionText, const QString& outPath, int32_t quality)
{
    const OpenedTemplate& templ = portrait.templ;
    OutputTemplate layers = portrait.output ? std::move(*portrait.output) : OutputTemplate::Load(*templ.folder);
    portrait.output.reset();
    RenderResult rendered = RenderOutput(std::move(layers), portrait.photo.photo.get(), portrait.photo.placement,
        templ.backgroundWidth, templ.backgroundHeight, captionText);
    if (!rendered.picture)
        return messages::RenderFailed(templ.name, rendered.error.isEmpty() ? kOutputReadError : rendered.error);
    if (const Status status = SaveImage(rendered.picture, outPath, quality); status != Ok)
        return messages::OutputWriteFailed(outPath, status);
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
