#pragma once

#include "cli/Arguments.h"
#include "imaging/PhotoImage.h"
#include "templates/Composition.h"
#include "templates/OutputRender.h"
#include "templates/TemplateFolder.h"

#include <QList>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>

namespace lumavo::cli {

// The road of one photo through a template, as the working windows take it:
// template folder, its pictures, the photo, its edits, the placement and the
// operator's moves and zooms, then the finished picture. Every step that
// fails gives one error line and stops the road.

// A template found and checked: its folder, opening and background size.
struct OpenedTemplate {
    QString name;
    std::optional<TemplateFolder> folder;
    LayerRect opening;
    int32_t backgroundWidth = 0;
    int32_t backgroundHeight = 0;
    QString error; // empty when the template is usable
    QString warning; // a fault the road carries on without (a layout's unreadable foreground)
};

// The photo as it goes into the finished picture.
struct PreparedPhoto {
    std::unique_ptr<PhotoImage> photo; // edited; decoded only as large as the placement needs
    PhotoPlacement placement; // in background pixels, after moves and zooms
    QString error; // empty when the photo is ready
    bool framed = false; // --fit face: placed by the faces found
    QString faceWarning; // --fit face: why no faces could be looked for
};

struct PortraitRequest {
    QString root;
    QString templateName;
    QString photoPath;
    QList<PhotoEdit> edits;
    QList<PlacementStep> steps;
    // The caption to be drawn, when the portrait will be rendered: its face
    // is prepared while the photo decodes.
    std::optional<QString> captionText;
    // The first placement frames the photo's faces where it has them.
    bool fitFaces = false;
};

struct Portrait {
    OpenedTemplate templ;
    PreparedPhoto photo;
    // For a rendering: the template's layers, read while the photo decoded.
    std::optional<OutputTemplate> output;
    QString error; // the first failure along the road, empty when ready
};

// Finds the template folder (refusing names that reach outside the root),
// reads its opening and loads its pictures once to check them and to record
// the background's size; both pictures must be readable, as for a finished picture.
OpenedTemplate OpenTemplate(const QString& root, const QString& name);

// The whole road up to the finished picture. The photo decodes on a second
// thread; meanwhile this one checks the template's pictures or, for a
// rendering, reads the template's layers for output and readies the caption
// face. Without a caption (a layout only) an unreadable foreground is a
// warning, as in the layout window; for a rendering every template picture
// must be readable.
Portrait PreparePortrait(const PortraitRequest& request);

// Renders the finished picture from a prepared portrait and saves it; an
// error line, or empty.
QString RenderPortrait(Portrait& portrait, const QString& captionText, const QString& outPath, int32_t quality);

// Applies one edit as the edit window does: turns and flips in place, tone
// styles as a new picture that replaces the photo.
Status ApplyPhotoEdit(std::unique_ptr<PhotoImage>& photo, PhotoEdit edit);

// Output checks made before any work: a known file type, and not the photo itself.
QString CheckOutputPath(const QString& outPath, const QString& photoPath);

} // namespace lumavo::cli
