#pragma once

#include "imaging/PhotoImage.h"

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace lumavo {

inline const QString kFaceDataError = QStringLiteral("人脸识别数据缺失，请重装");

// One face, in pixels of the photo it was found in.
struct FoundFace {
    QRect box;
    // Eye centres, the one on the picture's left first. Found by the eye
    // detector when eyesFound, otherwise estimated from the box.
    QPoint leftEye;
    QPoint rightEye;
    bool eyesFound = false;

    int EyeLine() const { return (leftEye.y() + rightEye.y()) / 2; }
};

struct FaceSearch {
    // The main face first (large and near the centre), then the others,
    // largest first. Empty when the photo shows no face.
    std::vector<FoundFace> faces;
    // Ok, or why the search could not run (the photo then counts as faceless).
    Status status = Ok;
};

// The faces taken together: the box around the main face (the first) and
// every face at least half its height, and their mean eye line, in photo
// pixels. An empty box when there is no face.
struct FaceGroup {
    QRect box;
    int eyeLine = 0;
};
FaceGroup GroupOf(const std::vector<FoundFace>& faces);

// Finds faces on a reduced copy of a photo. One finder serves one thread at
// a time; make one per thread to search in parallel.
class FaceFinder {
public:
    // Reads the detectors from the first folder that holds them all. None,
    // with kFaceDataError in `error`, when no folder does.
    static std::unique_ptr<FaceFinder> Load(const QStringList& folders, QString* error = nullptr);
    // Where the detectors are looked for: a "faces" folder beside the
    // program, then the system's OpenCV data folders.
    static QStringList DefaultFolders(const QString& programFolder);

    ~FaceFinder();
    FaceFinder(const FaceFinder&) = delete;
    FaceFinder& operator=(const FaceFinder&) = delete;

    FaceSearch Find(const QImage& photo);
    FaceSearch Find(const PhotoImage& photo) { return Find(photo.image()); }

    // Longest side of the reduced copy the faces are looked for in.
    static constexpr int kWorkingSize = 640;

private:
    struct Detectors;
    explicit FaceFinder(std::unique_ptr<Detectors> detectors);
    std::unique_ptr<Detectors> m_detectors;
};

} // namespace lumavo
