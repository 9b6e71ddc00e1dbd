#pragma once

#include "faces/FaceFinder.h"
#include "templates/Composition.h"
#include "templates/FaceFraming.h"

#include <QImage>
#include <QSize>
#include <QString>

#include <optional>

namespace lumavo {

// The faces of a search as the subject to frame, in pixels of a photo of
// fullSize, the search having run on a copy of searchedSize (the same or a
// reduced copy). None when no face was found.
std::optional<FramingSubject> SubjectOf(const FaceSearch& search, QSize searchedSize, QSize fullSize);

// Finds the faces of a picture with this thread's finder (loaded on first
// use from the program folder's detectors, then the system's) and gives the
// subject in pixels of a photo of fullSize. None without a face; with
// `error` set when the detectors are missing.
std::optional<FramingSubject> FindSubject(const QImage& picture, QSize fullSize, QString* error = nullptr);

// Where a photo goes into an opening: framed on its faces when a subject is
// given and can be framed, else the whole-photo fit of PlacePhoto.
struct FittedPlacement {
    PhotoPlacement placement;
    bool framed = false; // placed by its faces
};
FittedPlacement FitToOpening(
    const LayerRect& opening, QSize photoSize, const std::optional<FramingSubject>& subject, const FramingGoal& goal);

} // namespace lumavo
