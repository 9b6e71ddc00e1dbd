#pragma once

#include <QImage>
#include <QString>

#include <vector>

namespace lumavo::samples {

struct SamplePhoto {
    QString fileName;
    QImage image;
};

// The sample customer photos: studio portraits and one in front of a green backdrop.
std::vector<SamplePhoto> DrawSamplePhotos();

} // namespace lumavo::samples
