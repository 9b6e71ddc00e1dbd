#include "templates/Portrait.h"

#include "imaging/ImageFiles.h"
#include "imaging/ScaledLoad.h"
#include "imaging/SkinSmoothing.h"
#include "platform/ParallelFor.h"
#include "templates/Caption.h"
#include "templates/TemplateLayers.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace lumavo {

namespace {

bool IsQuarterTurn(PhotoEdit edit)
{
    return edit == PhotoEdit::Left || edit == PhotoEdit::Right;
}

bool TurnsOddTimes(const QList<PhotoEdit>& edits)
{
    return std::count_if(edits.begin(), edits.end(), IsQuarterTurn) % 2 == 1;
}

// Edits whose result on fewer pixels is not theirs averaged down.
bool WantsWholePhoto(PhotoEdit edit)
{
    return edit == PhotoEdit::Sepia || edit == PhotoEdit::BlackWhite || edit == PhotoEdit::Key
        || edit == PhotoEdit::Smooth;
}

bool SwapsSides(RotateFlipType code)
{
    return code == Rotate90FlipNone || code == Rotate270FlipNone || code == Rotate90FlipX || code == Rotate270FlipX;
}

RotateFlipType TurnOf(PhotoEdit edit)
{
    switch (edit) {
    case PhotoEdit::Left:
        return Rotate270FlipNone;
    case PhotoEdit::Right:
        return Rotate90FlipNone;
    case PhotoEdit::HorizontalFlip:
        return RotateNoneFlipX;
    default:
        return RotateNoneFlipY;
    }
}

PhotoPlacement Stepped(PhotoPlacement placement, const QList<PlacementStep>& steps)
{
    for (const PlacementStep& step : steps) {
        placement = step.kind == PlacementStep::Kind::Move ? MovePlacement(placement, step.dx, step.dy)
                                                           : ZoomPlacement(placement, step.zoom);
    }
    return placement;
}

} // namespace

Portrait::Portrait() = default;
Portrait::~Portrait() = default;

Portrait::FileStamps Portrait::StampFiles() const
{
    return { StatPath(m_folder.File(QString::fromLatin1(kBackgroundFile))),
        StatPath(m_folder.File(QString::fromLatin1(kForegroundFile))) };
}

const TemplateReading& Portrait::LoadTemplate(const TemplateFolder& folder)
{
    m_folder = folder;
    m_layers.reset();
    m_finishedLayers.reset();
    // Stamped before reading: a change made while it reads is seen next time.
    m_loadedStamps = StampFiles();
    TemplatePictures pictures = LoadTemplatePictures(folder);
    m_background = std::move(pictures.background);
    m_foreground = std::move(pictures.foreground);
    m_reading = TemplateReading();
    m_reading.read = true;
    m_reading.error = pictures.error;
    m_reading.status = pictures.status;
    m_reading.backgroundFailed = !m_background || m_background->IsNull();
    m_recordedSize = m_reading.backgroundFailed ? QSize(0, 0) : m_background->image().size();
    return m_reading;
}

bool Portrait::LoadPhoto(const QString& path)
{
    if (path.isEmpty())
        return false;
    std::unique_ptr<PhotoImage> photo = PhotoImage::FromFile(path);
    if (photo->TakeStatus() != Ok || photo->IsNull())
        return false;
    SetPhoto(std::move(photo));
    return true;
}

void Portrait::SetPhoto(std::unique_ptr<PhotoImage> photo)
{
    m_made = Held();
    const QSize size = photo ? photo->image().size() : QSize();
    m_photo = Held { std::move(photo), size };
}

std::unique_ptr<PhotoImage> Portrait::TakePhoto()
{
    return m_made.picture ? std::move(m_made.picture) : std::move(m_photo.picture);
}

PhotoImage* Portrait::Photo() const
{
    return m_made.picture ? m_made.picture.get() : m_photo.picture.get();
}

Portrait::Held& Portrait::Current()
{
    return m_made.picture ? m_made : m_photo;
}

void Portrait::Place()
{
    // The opening is read afresh: the template's files are the authority.
    Place(ReadLayerRect(m_folder));
}

void Portrait::Place(const LayerRect& opening)
{
    const Held& current = Current();
    if (!current.picture)
        return;
    m_placement = PlacePhoto(opening, current.fullSize.width(), current.fullSize.height());
}

bool Portrait::FrameFaces(const FramingSubject& subject, const FramingGoal& goal)
{
    return FrameFaces(ReadLayerRect(m_folder), subject, goal);
}

bool Portrait::FrameFaces(const LayerRect& opening, const FramingSubject& subject, const FramingGoal& goal)
{
    const Held& current = Current();
    if (!current.picture || current.picture->IsNull() || current.fullSize.isEmpty())
        return false;
    // The subject is in the picture's pixels; the placement is made for its full size.
    const double sx = double(current.fullSize.width()) / current.picture->Width();
    const double sy = double(current.fullSize.height()) / current.picture->Height();
    const auto scaled = [](int32_t value, double scale) { return int32_t(std::lround(value * scale)); };
    const FramingSubject full { scaled(subject.left, sx), scaled(subject.top, sy), scaled(subject.width, sx),
        scaled(subject.height, sy), scaled(subject.eyeLine, sy) };
    const auto placement = FramePlacement(opening, current.fullSize.width(), current.fullSize.height(), full, goal);
    if (!placement)
        return false;
    m_placement = *placement;
    return true;
}

void Portrait::Move(int32_t dx, int32_t dy)
{
    m_placement = MovePlacement(m_placement, dx, dy);
}

void Portrait::Zoom(int32_t step)
{
    m_placement = ZoomPlacement(m_placement, step);
}

void Portrait::BeginEdit()
{
    if (m_editing)
        return;
    if (m_made.picture)
        m_photo = std::move(m_made);
    m_made = Held();
    m_editing = true;
    m_history.Clear();
    m_keying.reset();
}

void Portrait::EndEdit()
{
    if (m_made.picture)
        m_photo = std::move(m_made);
    m_made = Held();
    m_editing = false;
    m_history.Clear();
    m_keying.reset();
}

void Portrait::Remember()
{
    if (!m_editing)
        return;
    EditStep step;
    if (m_photo.picture) {
        step.initial = PictureState::Of(*m_photo.picture);
        step.initialFullSize = m_photo.fullSize;
    }
    if (m_made.picture) {
        step.made = PictureState::Of(*m_made.picture);
        step.madeFullSize = m_made.fullSize;
    }
    m_history.Push(std::move(step));
}

bool Portrait::Undo()
{
    std::optional<EditStep> step = m_history.Pop();
    if (!step)
        return false;
    // The picture the edit started from stays the same object; its pixels come back.
    if (m_photo.picture) {
        step->initial.RestoreInto(*m_photo.picture);
        m_photo.fullSize = step->initialFullSize;
    }
    m_made = step->made ? Held { step->made->MakePicture(), step->madeFullSize } : Held();
    // A keying taken back is over; a click starts a new one.
    m_keying.reset();
    return true;
}

Status Portrait::Turn(RotateFlipType code)
{
    Held& current = Current();
    if (!current.picture)
        return InvalidParameter;
    Remember();
    const Status status = RotateFlip(*current.picture, code);
    if (status == Ok && SwapsSides(code))
        current.fullSize.transpose();
    return status;
}

void Portrait::PaintWhiteSpot(int32_t x, int32_t y)
{
    if (PhotoImage* current = Photo()) {
        Remember();
        lumavo::PaintWhiteSpot(*current, x, y);
    }
}

EditResult Portrait::ApplyTone(ToneKernel kernel)
{
    return Replace(ApplyToneFilter(Photo(), kernel));
}

bool Portrait::IsKeying() const
{
    return m_keying && m_keying->IsLatestResult(Photo());
}

EditResult Portrait::KeyOutBackdropAt(uint32_t x, uint32_t y)
{
    const PhotoImage* current = Photo();
    if (!current)
        return EditResult::NotMade;
    if (IsKeying()) {
        // A further region of backdrop: one more step to take back.
        if (!m_keying->AddPick(x, y))
            return EditResult::NoBackdrop;
        return Replace(m_keying->Render());
    }
    std::unique_ptr<KeyingSession> session = KeyingSession::Start(*current, x, y, m_keyTolerance);
    if (!session)
        return EditResult::NoBackdrop;
    std::unique_ptr<PhotoImage> keyed = session->Render();
    const EditResult result = Replace(std::move(keyed));
    if (result == EditResult::Replaced)
        m_keying = std::move(session);
    return result;
}

EditResult Portrait::SetKeyTolerance(int tolerance)
{
    tolerance = std::clamp(tolerance, BackdropKey::kMinTolerance, BackdropKey::kMaxTolerance);
    const bool changed = tolerance != m_keyTolerance;
    m_keyTolerance = tolerance;
    if (!changed || !IsKeying())
        return EditResult::NotMade;
    // The same keying at another tolerance replaces its own picture.
    m_keying->SetTolerance(tolerance);
    return ReplaceWith(m_keying->Render(), false);
}

EditResult Portrait::SmoothSkin(const std::vector<QRect>& faces)
{
    const PhotoImage* current = Photo();
    if (!current)
        return EditResult::NotMade;
    return Replace(lumavo::SmoothSkin(*current, faces));
}

EditResult Portrait::Replace(std::unique_ptr<PhotoImage> picture)
{
    return ReplaceWith(std::move(picture), true);
}

EditResult Portrait::ReplaceWith(std::unique_ptr<PhotoImage> picture, bool undoable)
{
    if (!picture)
        return EditResult::NotMade;
    // A picture that could not be made (no memory for it) replaces nothing.
    if (picture->IsNull())
        return EditResult::NoMemory;
    if (undoable)
        Remember();
    // A picture of the current one's size stands for it at its full size
    // (a reduced photo keeps its full size); any other is its own size.
    const Held& current = Current();
    const QSize size = picture->image().size();
    const QSize fullSize = current.picture && current.picture->image().size() == size ? current.fullSize : size;
    // Outside an edit the photo itself is replaced; inside, the picture the
    // edit started from is kept apart and the previous made one released.
    if (m_editing)
        m_made = Held { std::move(picture), fullSize };
    else
        m_photo = Held { std::move(picture), fullSize };
    return EditResult::Replaced;
}

void Portrait::BackToOriginal()
{
    // "撤销" brings back the picture that was current.
    if (m_made.picture)
        Remember();
    m_made = Held();
}

Status Portrait::Apply(PhotoEdit edit, const KeyClick* click, const FindFaces& findFaces)
{
    if (!Photo())
        return InvalidParameter;
    const auto made = [](EditResult result) {
        return result == EditResult::Replaced ? Ok : result == EditResult::NoBackdrop ? InvalidParameter : OutOfMemory;
    };
    switch (edit) {
    case PhotoEdit::Key: {
        const Held& current = Current();
        if (!click || !ClickInside(*click, current.fullSize))
            return InvalidParameter;
        int x = 0, y = 0;
        ClickPoint(*click, current.picture->image().size(), current.fullSize, &x, &y);
        std::unique_ptr<KeyingSession> session = KeyingSession::Start(
            *current.picture, uint32_t(x), uint32_t(y), click->tolerance.value_or(BackdropKey::kDefaultTolerance));
        if (!session)
            return InvalidParameter;
        return made(Replace(session->Render()));
    }
    case PhotoEdit::Smooth:
        return made(SmoothSkin(findFaces ? findFaces(*Photo()) : std::vector<QRect> {}));
    case PhotoEdit::Sepia:
    case PhotoEdit::BlackWhite:
        break;
    default:
        return Turn(TurnOf(edit));
    }
    std::unique_ptr<PhotoImage> toned
        = ApplyToneFilter(Photo(), edit == PhotoEdit::Sepia ? SepiaFilter : BlackWhiteFilter);
    if (!toned)
        return OutOfMemory;
    if (const Status status = toned->TakeStatus(); status != Ok)
        return status;
    return Replace(std::move(toned)) == EditResult::Replaced ? Ok : OutOfMemory;
}

std::shared_ptr<TemplateLayers> Portrait::CompositionLayers()
{
    // Combined once; tried again while memory keeps running out.
    if (!m_layers && m_background && !m_background->IsNull()) {
        const QImage foreground = m_foreground && !m_foreground->IsNull() ? m_foreground->image() : QImage();
        m_layers = CombineLayers(m_background->image(), foreground, ForegroundFit::AsGiven);
    }
    return m_layers;
}

const PhotoImage* Portrait::Compose(CompositeSink* canvas)
{
    std::unique_ptr<PhotoImage> composite;
    if (!m_background || m_background->IsNull()) {
        // Without a usable background the composite is a failed picture, handed on all the same.
        composite = m_compositor.ComposeTemplate(canvas, nullptr, Photo(), m_placement);
    } else if (std::shared_ptr<TemplateLayers> layers = CompositionLayers()) {
        composite = m_compositor.ComposeTemplate(canvas, std::move(layers), Photo(), m_placement);
    } else {
        composite = PhotoImage::Adopt(QImage(), OutOfMemory);
        if (canvas)
            canvas->SetImage(composite.get());
    }
    // The new composite is made before the previous one is released.
    m_composite = std::move(composite);
    return m_composite.get();
}

std::shared_ptr<TemplateLayers> Portrait::FinishedLayers(QString* error)
{
    const FileStamps now = StampFiles();
    if (m_finishedLayers && m_finishedStamps == now)
        return m_finishedLayers;
    m_finishedLayers.reset();
    const bool unchanged = m_reading.read && m_loadedStamps == now;
    if (unchanged && m_reading.error.isEmpty() && m_foreground) {
        // The pictures in hand are the files' pictures. Layers of the same
        // size serve both the composition and the finished picture.
        if (m_foreground->image().size() == m_background->image().size())
            m_finishedLayers = CompositionLayers();
        else
            m_finishedLayers = CombineLayers(m_background->image(), m_foreground->image(), ForegroundFit::ToBackground);
    } else {
        // The files changed since (or were never read well): read them afresh.
        const TemplatePictures pictures = LoadTemplatePictures(m_folder);
        if (!pictures.error.isEmpty() || !pictures.foreground) {
            *error = kOutputReadError;
            return nullptr;
        }
        m_finishedLayers
            = CombineLayers(pictures.background->image(), pictures.foreground->image(), ForegroundFit::ToBackground);
    }
    if (!m_finishedLayers) {
        *error = kOutputMemoryError;
        return nullptr;
    }
    m_finishedStamps = now;
    return m_finishedLayers;
}

RenderResult Portrait::RenderFinished(const QString& captionText, Layers use)
{
    // Without a recorded size the placement cannot be scaled: refused
    // before any file is read.
    if (m_recordedSize.isEmpty())
        return RenderResult { nullptr, kOutputReadError };
    QString error;
    std::shared_ptr<TemplateLayers> layers = FinishedLayers(&error);
    if (!layers)
        return RenderResult { nullptr, error };
    if (use == Layers::UseUp) {
        m_finishedLayers.reset();
        m_layers.reset();
    }
    return RenderOutput(OutputTemplate::FromLayers(std::move(layers)), Photo(), m_placement, m_recordedSize.width(),
        m_recordedSize.height(), captionText);
}

SaveOutcome Portrait::Save(const QString& path, const QString& captionText, int32_t quality, Layers use)
{
    SaveOutcome outcome;
    RenderResult rendered = RenderFinished(captionText, use);
    if (!rendered.picture) {
        outcome.renderError = rendered.error.isEmpty() ? kOutputReadError : rendered.error;
        return outcome;
    }
    outcome.status = SaveImage(rendered.picture, path, quality);
    return outcome;
}

RoadOutcome Portrait::ReadRoadPhoto(const PortraitRoad& road, const LayerRect& opening)
{
    RoadOutcome outcome;
    if (!IsFile(road.photoPath)) {
        outcome.photoStatus = FileNotFound;
        return outcome;
    }
    ScaledPicture loaded;
    // A tone style (keying, smoothing) on fewer pixels is not the tone style
    // averaged down: with one among the edits the photo is decoded whole, so
    // that the portrait is the one the windows make.
    const bool toned = std::any_of(road.edits.begin(), road.edits.end(), WantsWholePhoto);
    // Faces, like a tone style, are found on the whole photo, as in the
    // windows; the placement then no longer follows from the size alone.
    const bool whole = toned || road.findFaces;
    const QSize declared = road.decodeAsDrawn && !whole ? ReadPictureSize(road.photoPath) : QSize();
    if (declared.isValid()) {
        // The final placement follows from the size alone, so the photo
        // need only be decoded as large as it will be drawn.
        const bool turned = TurnsOddTimes(road.edits);
        const QSize placed = turned ? declared.transposed() : declared;
        const PhotoPlacement planned = Stepped(PlacePhoto(opening, placed.width(), placed.height()), road.steps);
        loaded = LoadForDrawing(
            road.photoPath, turned ? planned.height : planned.width, turned ? planned.width : planned.height);
    } else {
        loaded.picture = PhotoImage::FromFile(road.photoPath);
        loaded.fullSize = loaded.picture->image().size();
    }
    if (const Status status = loaded.picture->TakeStatus(); status != Ok) {
        outcome.photoStatus = status;
        return outcome;
    }
    m_made = Held();
    m_photo = Held { std::move(loaded.picture), loaded.fullSize };
    qsizetype key = 0;
    for (const PhotoEdit edit : road.edits) {
        const KeyClick* click = edit == PhotoEdit::Key && key < road.keys.size() ? &road.keys[key++] : nullptr;
        if (const Status status = Apply(edit, click, road.smoothFaces); status != Ok) {
            outcome.failedEdit = edit;
            outcome.editStatus = status;
            outcome.editedSize = m_photo.fullSize;
            return outcome;
        }
    }
    Place(opening);
    if (road.findFaces) {
        if (const auto subject = road.findFaces(Current().picture->image()))
            outcome.facesFramed = FrameFaces(opening, *subject, road.framingGoal);
    }
    m_placement = Stepped(m_placement, road.steps);
    return outcome;
}

RoadOutcome Portrait::TakeRoad(const TemplateFolder& folder, const PortraitRoad& road)
{
    m_folder = folder;
    m_editing = false;
    const LayerRect opening = ReadLayerRect(folder);
    // The photo half (photo, edits, placement) runs on a second core while
    // this thread takes the template half (pictures, layers, caption): the
    // two touch separate members until the photo half is joined.
    RoadOutcome outcome;
    const auto photoHalf = [&] { outcome = ReadRoadPhoto(road, opening); };
    const auto templateHalf = [&] {
        const TemplateReading& reading = LoadTemplate(folder);
        if (road.captionText && reading.error.isEmpty()) {
            // The finished picture is drawn from the template's files as they
            // are now; their layers are combined here meanwhile.
            QString error;
            if (FinishedLayers(&error))
                LayOutCaption(m_recordedSize.width(), m_recordedSize.height(), *road.captionText);
        }
    };
    if (road.photoAlongside) {
        RunBeside(photoHalf, templateHalf);
    } else {
        templateHalf();
        photoHalf();
    }
    return outcome;
}

} // namespace lumavo
