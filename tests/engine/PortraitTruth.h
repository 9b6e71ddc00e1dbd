#pragma once

#include <QPoint>
#include <QRect>
#include <QString>

#include <map>
#include <optional>
#include <vector>

namespace lumavo::test {

// One face marked in a test portrait (tests/data/faces/faces.txt).
struct MarkedFace {
    QRect box;
    bool counts = true; // false: a face that may or may not be found
    std::optional<QPoint> leftEye;
    std::optional<QPoint> rightEye;
};

// The marked faces of every portrait, by file name; photos without faces
// are not listed.
std::map<QString, std::vector<MarkedFace>> ReadMarkedFaces(const QString& listFile);

QString PortraitFolder();

// A find matches a marked face when its centre lies on the marked box
// (grown by a quarter each way) and the sizes agree within the spread of
// the two boxes' conventions.
bool Matches(const QRect& found, const QRect& marked);

} // namespace lumavo::test
