#pragma once

#include "imaging/PhotoImage.h"
#include "templates/FaceFraming.h"
#include "templates/KeyClick.h"

#include <QImage>
#include <QList>
#include <QRect>
#include <QSize>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace lumavo {

// The retouching edits a road names, as the edit window's buttons do them.
// Key takes its click from the road's keys, in order.
enum class PhotoEdit { Left, Right, HorizontalFlip, VerticalFlip, Sepia, BlackWhite, Key, Smooth };

// The faces on a picture (its pixels), for the skin smoothing; a face
// finder lives outside the portrait's subsystem, so the caller lends one.
using FindFaces = std::function<std::vector<QRect>(const PhotoImage&)>;

// One operator adjustment of the placement: a move (dx, dy) or a zoom step.
struct PlacementStep {
    enum class Kind { Move, Zoom } kind = Kind::Move;
    int32_t dx = 0;
    int32_t dy = 0;
    int32_t zoom = 0;
};

// Looks for the faces of a picture; the subject in its pixels, none without a face.
using FaceLocator = std::function<std::optional<FramingSubject>(const QImage& picture)>;

// A portrait's whole road taken in one go (the command-line tool): the photo
// read, edited in order, placed into the opening and moved and zoomed in order.
struct PortraitRoad {
    QString photoPath;
    QList<PhotoEdit> edits;
    QList<PlacementStep> steps;
    // The photo decoded only as large as its final placement needs (it
    // follows from the size the file declares); otherwise, and whenever a
    // tone style, keying or smoothing is among the edits, at full size.
    bool decodeAsDrawn = true;
    // The photo decodes on a second thread while this one reads the
    // template's pictures; otherwise one after the other.
    bool photoAlongside = true;
    // For a finished picture: the layers are combined for it and the
    // caption's face laid out while the photo decodes.
    std::optional<QString> captionText;
    QList<KeyClick> keys; // the clicks of the Key edits, in order
    FindFaces smoothFaces; // for Smooth; none: every skin colour is smoothed
    // Smart framing: the first placement frames the faces this finds on the
    // edited photo (decoded whole then, as the layout window holds it),
    // where it finds any; the moves and zooms follow.
    FaceLocator findFaces;
    FramingGoal framingGoal;
};

// How the photo half of a road went (the template half is the portrait's
// template reading).
struct RoadOutcome {
    Status photoStatus = Ok; // FileNotFound when there is no file at the path
    std::optional<PhotoEdit> failedEdit; // the edit that failed, which stopped the road
    Status editStatus = Ok;
    QSize editedSize; // the photo's full size when it failed (a key click beyond it)
    bool facesFramed = false; // findFaces found faces and the placement frames them
    bool ok() const { return photoStatus == Ok && !failedEdit; }
};

} // namespace lumavo
