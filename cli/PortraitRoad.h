#pragma once

#include "cli/Arguments.h"
#include "templates/Portrait.h"
#include "templates/TemplateFolder.h"

#include <QList>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>

namespace lumavo::cli {

// The road of one photo through a template, as the working windows take it,
// through the same portrait: template folder, its pictures, the photo, its
// edits, the placement and the operator's moves and zooms, then the finished
// picture. Every step that fails gives one error line and stops the road.

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

struct PortraitRequest {
    QString root;
    QString templateName;
    QString photoPath;
    QList<PhotoEdit> edits;
    QList<PlacementStep> steps;
    // The caption to be drawn, when the portrait will be rendered: its face
    // is prepared while the photo decodes.
    std::optional<QString> captionText;
    QList<KeyClick> keys; // the clicks of the keying edits, in order
    // The first placement frames the photo's faces where it has them.
    bool fitFaces = false;
};

struct PreparedPortrait {
    OpenedTemplate templ;
    // The portrait after the road: edited photo (decoded only as large as
    // the placement needs), placement after the moves and zooms, and, for a
    // rendering, the template's layers combined while the photo decoded.
    std::unique_ptr<Portrait> portrait;
    QString error; // the first failure along the road, empty when ready
    bool framed = false; // fitFaces: the placement frames the faces found
    QString faceWarning; // fitFaces: why faces could not be looked for
};

// Finds the template folder (refusing names that reach outside the root),
// reads its opening and loads its pictures once to check them and to record
// the background's size; both pictures must be readable, as for a finished picture.
OpenedTemplate OpenTemplate(const QString& root, const QString& name);

// The whole road up to the finished picture. Without a caption (a layout
// only) an unreadable foreground is a warning, as in the layout window; for
// a rendering every template picture must be readable.
PreparedPortrait PreparePortrait(const PortraitRequest& request);

// Renders the finished picture from a prepared portrait and saves it; an
// error line, or empty.
QString RenderPortrait(PreparedPortrait& prepared, const QString& captionText, const QString& outPath, int32_t quality);

// Output checks made before any work: a known file type, and not the photo itself.
QString CheckOutputPath(const QString& outPath, const QString& photoPath);

} // namespace lumavo::cli
