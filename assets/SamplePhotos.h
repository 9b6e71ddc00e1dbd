#pragma once

#include <QImage>
#include <QString>

#include <vector>

namespace lumavo::samples {

struct SamplePhoto {
    QString fileName;
    QImage image;
    // How much of each pixel the people cover (Grayscale8, 255 inside, the
    // edge antialiased); the rest is backdrop. Keying is measured against it.
    QImage subjectMask;
};

// The sample customer photos: studio portraits and one in front of a green backdrop.
std::vector<SamplePhoto> DrawSamplePhotos();

} // namespace lumavo::samples
