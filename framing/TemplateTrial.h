#pragma once

#include "templates/FaceFraming.h"
#include "templates/TemplateFolder.h"

#include <QImage>
#include <QSize>
#include <QString>

#include <optional>

namespace lumavo {

// The customer's photo once, ready to be tried in many templates: a reduced
// copy and where its faces are. Safe to make and use off the user-interface
// thread; one photo serves any number of templates at once.
struct TrialPhoto {
    QImage picture; // reduced copy, at most kTrialPhotoSide on its long side
    QSize fullSize; // the photo's own size, which every placement is made for
    std::optional<FramingSubject> subject; // the faces, in pixels of fullSize
    QString error; // why the photo cannot be used (the photo is then null)
    QString faceError; // why faces could not be looked for (detectors missing)

    bool usable() const { return !picture.isNull() && fullSize.isValid(); }
};

inline constexpr int kTrialPhotoSide = 1600;

// Decodes the photo and, with findFaces, looks for its faces on it (the
// whole photo, as the layout window does), then keeps a reduced copy.
TrialPhoto LoadTrialPhoto(const QString& path, bool findFaces);

struct TrialPicture {
    QImage image; // the template with the photo in it, fitted into the box; null on failure
    bool framed = false; // placed by the photo's faces
    QString error; // why the template could not be drawn
};

// The template with the photo set into its opening as the layout window
// sets it (framed on the faces where the photo has them, else the
// whole-photo fit), drawn small: the template's proportions kept within box.
TrialPicture MakeTrialPicture(
    const TemplateFolder& folder, const TrialPhoto& photo, QSize box, const FramingGoal& goal);

} // namespace lumavo
