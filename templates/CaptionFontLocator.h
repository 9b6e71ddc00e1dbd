#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace lumavo {

// One face inside a font file (collections hold several).
struct FontFileRef {
    QString path;
    int faceIndex = 0;
    QString family; // the family name it was found under
};

// Regular-script Chinese families, best first; the first one is the face the
// stored templates were designed with.
QStringList CaptionFontFamilies();

// The font file for the caption: the first installed family of
// CaptionFontFamilies() (its bold face when it has one), else any installed
// font covering simplified Chinese; none when the system has no such font.
std::optional<FontFileRef> LocateCaptionFont();

} // namespace lumavo
