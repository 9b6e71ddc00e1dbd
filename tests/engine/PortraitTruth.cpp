#include "PortraitTruth.h"

#include <QDir>
#include <QFile>
#include <QTextStream>

namespace lumavo::test {

std::map<QString, std::vector<MarkedFace>> ReadMarkedFaces(const QString& listFile)
{
    std::map<QString, std::vector<MarkedFace>> faces;
    QFile file(listFile);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return faces;
    QTextStream in(&file);
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        const QStringList f = line.split(u' ', Qt::SkipEmptyParts);
        if (f.size() < 6)
            continue;
        MarkedFace face;
        face.counts = f[1] == QStringLiteral("face");
        face.box = QRect(f[2].toInt(), f[3].toInt(), f[4].toInt(), f[5].toInt());
        if (f.size() >= 10) {
            face.leftEye = QPoint(f[6].toInt(), f[7].toInt());
            face.rightEye = QPoint(f[8].toInt(), f[9].toInt());
        }
        faces[f[0]].push_back(face);
    }
    return faces;
}

QString PortraitFolder()
{
    return QDir(QStringLiteral(LUMAVO_SOURCE_DIR)).filePath(QStringLiteral("tests/data/faces"));
}

bool Matches(const QRect& found, const QRect& marked)
{
    const QRect grown
        = marked.adjusted(-marked.width() / 4, -marked.height() / 4, marked.width() / 4, marked.height() / 4);
    const double ratio = double(found.width()) / marked.width();
    return grown.contains(found.center()) && ratio > 0.6 && ratio < 2.6;
}

} // namespace lumavo::test
