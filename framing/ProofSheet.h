#pragma once

#include "framing/TemplateTrial.h"

#include <QImage>
#include <QRect>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace lumavo {

// One photo tried in every template of a template root, as one contact
// sheet: a cell per template, its name under its picture.

// The template folders of a root: every sub-folder, names sorted the way
// people sort them (numbers by value).
QStringList ProofTemplateNames(const QString& root);

// Where cell `index` of a sheet of `count` cells lies: the picture's box
// and the name's line under it, in sheet pixels.
struct ProofCellGeometry {
    QRect picture;
    QRect name;
};
ProofCellGeometry ProofCell(int index, int count);
QSize ProofSheetSize(int count);

inline constexpr int kProofPictureSide = 480;

struct ProofEntry {
    QString name;
    bool framed = false; // the photo placed by its faces
    QString error; // the template could not be drawn (its cell shows the name only)
};

struct ProofSheet {
    QImage image; // null when the root holds no template
    std::vector<ProofEntry> entries; // one per template, in the sheet's order
    bool namesDrawn = true; // false when no Chinese font was found for the names
};

// Progress: called before each template with its place (from 1), the count and its name.
using ProofProgress = std::function<void(int, int, const QString&)>;

ProofSheet MakeProofSheet(
    const QString& root, const TrialPhoto& photo, const FramingGoal& goal, const ProofProgress& progress = {});

} // namespace lumavo
