// lumavo-generate-samples: draws the sample template library ("temple") and
// the sample photos ("samples/photos", with the people's masks in
// "samples/masks") into a program folder, and writes the
// album server's data beside them ("ablum": album.xml and a piece of music).
//
//   lumavo-generate-samples <program folder> [--preview <folder>]
//
// --preview also writes small composed previews (background, a sample photo
// set into the opening, foreground) for a look at the designs.

#include "SampleAlbum.h"
#include "SamplePhotos.h"
#include "SampleTemplates.h"
#include "platform/ParallelFor.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPainter>

#include <cstdio>
#include <functional>

using namespace lumavo::samples;

namespace {

// Sets the photo into the opening the way the program's first placement
// does: shrunk to fit with its proportions kept, never enlarged, centred.
QRect FirstPlacement(const QRect& opening, const QSize& photo)
{
    QSize fit = photo;
    if (photo.width() > opening.width() || photo.height() > opening.height())
        fit = photo.scaled(opening.size(), Qt::KeepAspectRatio);
    const int left = opening.x();
    const int top = opening.y();
    const int right = left + opening.width();
    const int bottom = top + opening.height();
    return QRect(
        (left + right) / 2 - fit.width() / 2, (top + bottom) / 2 - fit.height() / 2, fit.width(), fit.height());
}

QImage Compose(const QImage& background, const QImage& foreground, const QImage& photo, const QRect& placement)
{
    QImage composite = background.convertToFormat(QImage::Format_RGB32);
    QPainter painter(&composite);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(placement, photo);
    painter.drawImage(0, 0, foreground);
    return composite;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 2 && !(args.size() == 4 && args[2] == QLatin1String("--preview"))) {
        std::fprintf(stderr, "usage: lumavo-generate-samples <program folder> [--preview <folder>]\n");
        return 2;
    }
    const QString programDir = args[1];
    const QString previewDir = args.size() == 4 ? args[3] : QString();
    QElapsedTimer timer;
    timer.start();

    const QString templateRoot = QDir(programDir).filePath(QStringLiteral("temple"));
    const QString photoDir = QDir(programDir).filePath(QStringLiteral("samples/photos"));
    // Beside the photos, not among them: the file dialog shows only photos.
    const QString maskDir = QDir(programDir).filePath(QStringLiteral("samples/masks"));
    if (!QDir().mkpath(templateRoot) || !QDir().mkpath(photoDir) || !QDir().mkpath(maskDir)) {
        std::fprintf(stderr, "cannot create the folders under %s\n", qPrintable(programDir));
        return 1;
    }

    // The two cores share the work: photos on one thread, templates on this one.
    std::vector<SamplePhoto> photos;
    bool photosOk = true;
    const auto drawPhotos = [&] {
        photos = DrawSamplePhotos();
        for (const SamplePhoto& photo : photos) {
            photosOk = SavePicture(photo.image, QDir(photoDir).filePath(photo.fileName), "jpeg", 92) && photosOk;
            const QString maskName = QFileInfo(photo.fileName).completeBaseName() + QStringLiteral(".png");
            photosOk = SavePicture(photo.subjectMask, QDir(maskDir).filePath(maskName), "png") && photosOk;
        }
    };

    const std::vector<std::function<TemplateArt()>> styles = {
        DrawLinenBlue3R,
        DrawClassicCream4R,
        DrawSageLandscape6R,
        DrawSpringBlossom,
    };
    bool ok = true;
    std::vector<TemplateArt> made;
    std::vector<AlbumEntry> album;
    lumavo::RunBeside(drawPhotos, [&] {
        for (const auto& style : styles) {
            TemplateArt art = style();
            ok = WriteTemplate(templateRoot, art) && ok;
            album.push_back({ art.folderName, art.albumCaption });
            if (!previewDir.isEmpty())
                made.push_back(std::move(art));
        }
    });
    ok = ok && photosOk;

    ok = WriteSampleAlbum(programDir, album) && ok;

    if (ok && !previewDir.isEmpty()) {
        QDir().mkpath(previewDir);
        for (const TemplateArt& art : made) {
            const QString folder = QDir(templateRoot).filePath(art.folderName);
            const QImage background(QDir(folder).filePath(QStringLiteral("bs.lmv")));
            const QImage foreground(QDir(folder).filePath(QStringLiteral("fs.lmv")));
            for (size_t i = 0; i < photos.size(); ++i) {
                const QImage& photo = photos[i].image;
                const QImage composite
                    = Compose(background, foreground, photo, FirstPlacement(art.layer, photo.size()));
                const QString name = QStringLiteral("%1-photo%2.png").arg(art.folderName).arg(i + 1);
                composite.scaledToHeight(900, Qt::SmoothTransformation).save(QDir(previewDir).filePath(name));
                if (i == 0) // the opening's lower right corner at full size
                    composite.copy(QRect(art.layer.bottomRight() - QPoint(400, 400), QSize(600, 600)))
                        .save(QDir(previewDir).filePath(art.folderName + QStringLiteral("-corner.png")));
            }
            const QImage empty = Compose(background, foreground, QImage(), QRect());
            empty.scaledToHeight(900, Qt::SmoothTransformation)
                .save(QDir(previewDir).filePath(art.folderName + QStringLiteral("-empty.png")));
        }
        for (const SamplePhoto& photo : photos)
            photo.image.scaledToHeight(800, Qt::SmoothTransformation)
                .save(QDir(previewDir).filePath(photo.fileName + QStringLiteral(".png")));
    }

    std::printf("lumavo-generate-samples: %zu templates, %zu photos in %lld ms%s\n", styles.size(), photos.size(),
        static_cast<long long>(timer.elapsed()), ok ? "" : " (with errors)");
    return ok ? 0 : 1;
}
