#pragma once

#include "imaging/GeometricEdits.h"
#include "imaging/KeyingSession.h"
#include "imaging/PhotoImage.h"
#include "imaging/ToneFilters.h"
#include "platform/DiskPath.h"
#include "templates/Composition.h"
#include "templates/EditHistory.h"
#include "templates/FaceFraming.h"
#include "templates/OutputRender.h"
#include "templates/RoadSteps.h"
#include "templates/TemplateFolder.h"

#include <QRect>
#include <QSize>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

namespace lumavo {

struct TemplateLayers;

// How reading the template's pictures went.
struct TemplateReading {
    QString error; // kTemplateLibraryError when a picture failed, else empty
    Status status = Ok; // the failed picture's status
    bool backgroundFailed = false; // else the foreground failed (when there is an error)
    bool read = false; // LoadTemplate was called
};

// What an edit that makes a new picture came to.
enum class EditResult {
    Replaced, // the new picture is the current one
    NotMade, // nothing came of it (no picture to work on, or none made)
    NoBackdrop, // the click lies outside the picture: nothing to key from
    NoMemory, // a picture without pixels came: nothing was replaced
};

// What saving the finished picture came to.
struct SaveOutcome {
    QString renderError; // why there is no finished picture; empty when there is one
    Status status = Ok; // the save's status, once there was a picture
    bool ok() const { return renderError.isEmpty() && status == Ok; }
};

// One customer's portrait: the template folder and its pictures (read once,
// combined once, and reused by the composition and the finished picture for
// as long as the files are unchanged), the photo and, while it is edited,
// the photo the edit started from, the placement, the newest composite and
// the compositor that keeps what a recomposition can reuse.
//
// Edits that make a new picture go through one step that makes it the
// current picture; while an edit runs (BeginEdit .. EndEdit) the picture the
// edit started from is kept apart and "back to the original" returns to it,
// and every edit can be taken back (Undo), newest first.
class Portrait {
public:
    Portrait();
    ~Portrait();
    Portrait(const Portrait&) = delete;
    Portrait& operator=(const Portrait&) = delete;

    // The template: bs.lmv and fs.lmv read (side by side), the background's
    // size recorded for the finished picture. The reading's error text is
    // shown once by the caller; a missing foreground leaves the background
    // alone to compose on.
    const TemplateReading& LoadTemplate(const TemplateFolder& folder);
    const TemplateReading& Reading() const { return m_reading; }
    const TemplateFolder& Folder() const { return m_folder; }
    // The background's size the placement is measured in (0 x 0 without one).
    QSize RecordedSize() const { return m_recordedSize; }

    // The photo, read at full size. False (nothing changed) when it cannot be decoded.
    bool LoadPhoto(const QString& path);
    void SetPhoto(std::unique_ptr<PhotoImage> photo);
    // Hands the current picture over; the one an edit started from stays.
    std::unique_ptr<PhotoImage> TakePhoto();
    // The current picture: the newest an edit made, or the photo (null: none).
    PhotoImage* Photo() const;

    // The photo fitted into the opening (layer.lmv read afresh) by its full size.
    void Place();
    // Smart framing: the placement that frames the subject (in pixels of
    // the current picture) as the goal says, the photo covering the opening
    // (see FramePlacement). False, the placement unchanged, when there is no
    // photo or the subject cannot be framed.
    bool FrameFaces(const FramingSubject& subject, const FramingGoal& goal = {});
    void Move(int32_t dx, int32_t dy);
    void Zoom(int32_t step);
    const PhotoPlacement& Placement() const { return m_placement; }
    void SetPlacement(const PhotoPlacement& placement) { m_placement = placement; }

    // An edit session: the current picture becomes the one the edit
    // started from (nothing changes when one runs already); EndEdit makes the current picture the photo and
    // releases the one it started from, unless that is still current.
    void BeginEdit();
    void EndEdit();
    const PhotoImage* OriginalPhoto() const { return m_photo.picture.get(); }

    // The edits. Turns, flips and the white spot change the current picture
    // in place (a failure stays in its lastStatus); the others make a new one.
    Status Turn(RotateFlipType code);
    void PaintWhiteSpot(int32_t x, int32_t y);
    EditResult ApplyTone(ToneKernel kernel);
    // Keying from a click: the first keys the current picture; while the
    // keyed picture is current, further clicks add regions of backdrop.
    EditResult KeyOutBackdropAt(uint32_t x, uint32_t y);
    // The keying tolerance (0-100, clamped). While a keying is under way its
    // picture is keyed again at once (Replaced), as no further step to take back.
    EditResult SetKeyTolerance(int tolerance);
    int KeyTolerance() const { return m_keyTolerance; }
    bool IsKeying() const;
    // Skin smoothing, kept to the faces given (picture pixels) when there are any.
    EditResult SmoothSkin(const std::vector<QRect>& faces = {});
    // A picture from elsewhere (the exchange file) becomes the current one.
    EditResult Replace(std::unique_ptr<PhotoImage> picture);
    // Back to the picture the edit started from, with its in-place edits.
    void BackToOriginal();
    // A named edit; its failure's status (a new picture that failed replaces
    // nothing). Key needs its click, Smooth takes faces if it is lent a finder.
    Status Apply(PhotoEdit edit, const KeyClick* click = nullptr, const FindFaces& findFaces = {});

    // Takes the newest edit of this edit session back: the pictures as they
    // were just before it, the one the edit started from as the same object.
    // False when there is nothing to take back.
    bool Undo();
    bool CanUndo() const { return !m_history.IsEmpty(); }
    const EditHistory& History() const { return m_history; }

    // A new composite of background, photo and foreground, kept as the
    // newest (the previous one is released after) and shown on the canvas.
    const PhotoImage* Compose(CompositeSink* canvas = nullptr);
    const PhotoImage* Composite() const { return m_composite.get(); }

    // The finished picture (see RenderOutput) from the layers in hand while
    // the template's files are unchanged, from the files read afresh when
    // they have changed.
    // UseUp hands the layers to the rendering (it then draws on them
    // instead of a copy) when the portrait will not be rendered again.
    enum class Layers { Keep, UseUp };
    RenderResult RenderFinished(const QString& captionText, Layers use = Layers::Keep);
    // The finished picture rendered and saved (a save that fails loses nothing).
    SaveOutcome Save(const QString& path, const QString& captionText, int32_t quality, Layers use = Layers::Keep);

    // The whole road in one go (see PortraitRoad): template and photo read,
    // edits, placement, moves and zooms.
    RoadOutcome TakeRoad(const TemplateFolder& folder, const PortraitRoad& road);

private:
    // A picture with the size it has at full resolution (larger when it
    // was decoded reduced; quarter turns swap it).
    struct Held {
        std::unique_ptr<PhotoImage> picture;
        QSize fullSize;
    };
    struct FileStamps {
        PathFacts background;
        PathFacts foreground;
        friend bool operator==(const FileStamps& a, const FileStamps& b)
        {
            return Same(a.background, b.background) && Same(a.foreground, b.foreground);
        }
        static bool Same(const PathFacts& a, const PathFacts& b)
        {
            return a.kind == b.kind && a.size == b.size && a.modifiedMs == b.modifiedMs;
        }
    };
    FileStamps StampFiles() const;
    Held& Current();
    // While an edit session runs, the pictures as they are become an undo step.
    void Remember();
    EditResult ReplaceWith(std::unique_ptr<PhotoImage> picture, bool undoable);
    void Place(const LayerRect& opening);
    bool FrameFaces(const LayerRect& opening, const FramingSubject& subject, const FramingGoal& goal);
    RoadOutcome ReadRoadPhoto(const PortraitRoad& road, const LayerRect& opening);
    std::shared_ptr<TemplateLayers> CompositionLayers();
    // Layers for the finished picture, or the error that stops it.
    std::shared_ptr<TemplateLayers> FinishedLayers(QString* error);

    TemplateFolder m_folder;
    TemplateReading m_reading;
    std::unique_ptr<PhotoImage> m_background;
    std::unique_ptr<PhotoImage> m_foreground;
    QSize m_recordedSize { 0, 0 };
    FileStamps m_loadedStamps;
    std::shared_ptr<TemplateLayers> m_layers; // for the composition, combined once
    std::shared_ptr<TemplateLayers> m_finishedLayers; // for the finished picture
    FileStamps m_finishedStamps;

    Held m_photo; // the photo; while an edit runs, the picture it started from
    Held m_made; // the newest picture an edit made, while it is current
    bool m_editing = false;
    EditHistory m_history; // of this edit session
    std::unique_ptr<KeyingSession> m_keying;
    int m_keyTolerance = BackdropKey::kDefaultTolerance;
    PhotoPlacement m_placement;
    std::unique_ptr<PhotoImage> m_composite;
    Compositor m_compositor;
};

} // namespace lumavo
