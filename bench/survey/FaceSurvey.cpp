// lumavo-face-survey: how the face finder and the framing do on the test
// portraits (tests/data/faces). Prints the figures docs/faces.md gives.
//   lumavo-face-survey [template root]

#include "PortraitTruth.h"
#include "faces/FaceFinder.h"
#include "templates/FaceFraming.h"
#include "templates/TemplateFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdio>

using namespace lumavo;

namespace {

struct Error {
    double across = 0; // face centre from the opening's middle, % of its width
    double down = 0; // eyes from the 40% line, % of its height
};

// The photo inside a view three times as tall, filled with its corner
// colour: the room a studio shot leaves around the sitter.
QImage WiderView(const QImage& photo, QPoint* offset)
{
    QImage view(photo.width() * 3, photo.height() * 3, QImage::Format_RGB32);
    view.fill(photo.pixel(1, 1));
    *offset = QPoint(photo.width(), photo.height());
    QPainter(&view).drawImage(*offset, photo);
    return view;
}

Error Frame(const LayerRect& opening, const QSize& photo, const QPoint& offset, const FaceGroup& found,
    const QRect& markedBox, double markedEyes)
{
    const FramingSubject subject { found.box.x() + offset.x(), found.box.y() + offset.y(), found.box.width(),
        found.box.height(), found.eyeLine + offset.y() };
    const auto p = FramePlacement(opening, photo.width(), photo.height(), subject);
    if (!p)
        return { 100, 100 };
    const double ow = opening.right - opening.left, oh = opening.bottom - opening.top;
    const double x = p->x + (markedBox.center().x() + offset.x()) * double(p->width) / photo.width();
    const double y = p->y + (markedEyes + offset.y()) * double(p->height) / photo.height();
    return { 100 * std::abs(x - (opening.left + ow / 2)) / ow, 100 * std::abs(y - (opening.top + 0.4 * oh)) / oh };
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QString root = argc > 1 ? QString::fromLocal8Bit(argv[1])
                                  : QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("temple"));
    auto finder = FaceFinder::Load(FaceFinder::DefaultFolders(QCoreApplication::applicationDirPath()));
    if (!finder) {
        std::fprintf(stderr, "%s\n", kFaceDataError.toLocal8Bit().constData());
        return 1;
    }
    std::vector<std::pair<QString, LayerRect>> openings;
    for (const char* name : { "4R-classic-cream", "6R-sage-landscape" }) {
        if (const auto folder = TemplateFolder::Make(root, QString::fromLatin1(name)))
            openings.emplace_back(QString::fromLatin1(name), ReadLayerRect(*folder));
    }
    const QDir folder(test::PortraitFolder());
    const auto marked = test::ReadMarkedFaces(folder.filePath(QStringLiteral("faces.txt")));

    int markedTotal = 0, foundTotal = 0, falseTotal = 0, photos = 0;
    double worstAcross = 0, worstDown = 0, sumAcross = 0, sumDown = 0;
    int framed = 0;
    std::printf("| photo | faces | found | false | eyes found | framing error across / down, %% (per opening) |\n");
    std::printf("|---|---|---|---|---|---|\n");
    for (const auto& [name, marks] : marked) {
        const QImage photo = QImage(folder.filePath(name)).convertToFormat(QImage::Format_RGB32);
        const FaceSearch search = finder->Find(photo);
        ++photos;
        int count = 0, found = 0, eyes = 0;
        std::vector<bool> explained(search.faces.size(), false);
        // The marked faces the finder saw: the subject it frames.
        QRect markedBox;
        double markedEyes = 0;
        int markedWithEyes = 0;
        for (const test::MarkedFace& mark : marks) {
            bool seen = false;
            for (size_t i = 0; i < search.faces.size(); ++i) {
                if (test::Matches(search.faces[i].box, mark.box)) {
                    explained[i] = true;
                    seen = true;
                }
            }
            if (!mark.counts)
                continue;
            ++count;
            if (!seen)
                continue;
            ++found;
            markedBox = markedBox.united(mark.box);
            if (mark.leftEye) {
                markedEyes += (mark.leftEye->y() + mark.rightEye->y()) / 2.0;
                ++markedWithEyes;
            }
        }
        for (const FoundFace& face : search.faces)
            eyes += face.eyesFound ? 1 : 0;
        const int falseFinds = int(std::count(explained.begin(), explained.end(), false));
        markedTotal += count;
        foundTotal += found;
        falseTotal += falseFinds;
        std::printf("| %s | %d | %d | %d | %d |", name.toUtf8().constData(), count, found, falseFinds, eyes);
        if (found > 0 && markedWithEyes > 0) {
            QPoint offset;
            const QImage view = WiderView(photo, &offset);
            for (const auto& [templateName, opening] : openings) {
                const Error e = Frame(
                    opening, view.size(), offset, GroupOf(search.faces), markedBox, markedEyes / markedWithEyes);
                std::printf(" %.1f / %.1f", e.across, e.down);
                worstAcross = std::max(worstAcross, e.across);
                worstDown = std::max(worstDown, e.down);
                sumAcross += e.across;
                sumDown += e.down;
                ++framed;
            }
        }
        std::printf(" |\n");
    }
    std::printf("\n%d photos: %d of %d faces found (%.0f%%), %d false finds\n", photos, foundTotal, markedTotal,
        100.0 * foundTotal / std::max(1, markedTotal), falseTotal);
    if (framed > 0)
        std::printf("framing error over %d framings: across mean %.1f%% worst %.1f%%, down mean %.1f%% worst %.1f%%\n",
            framed, sumAcross / framed, worstAcross, sumDown / framed, worstDown);
    return 0;
}
