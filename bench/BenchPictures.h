#pragma once

#include "templates/TemplateFolder.h"

#include <QImage>

namespace lumavo::bench {

// A 24-megapixel photo-sized picture: gradients and a fine pattern.
QImage MakePhoto();
// A finished portrait's size of picture: gradients with some grain, so
// encoders and compressors work as hard as on a photo.
QImage MakeGrainyPicture(int width, int height);
// The same size as a camera gives it: soft shapes and light under grain of
// about five levels (luma and colour noise), which no compressor can take out.
QImage MakeGrainyPhoto();
// A template's background: gradients, opaque.
QImage MakeBackground(int width, int height);
// A template's foreground: an opaque patterned frame, the opening
// transparent, feathered semi-transparent edges between.
QImage MakeForeground(int width, int height, const LayerRect& opening);

} // namespace lumavo::bench
