#include "framing/TemplateTrial.h"

#include "framing/SmartFraming.h"
#include "imaging/ScaledLoad.h"
#include "platform/DiskPath.h"

#include <QDir>
#include <QPainter>

namespace lumavo {

namespace {

QString Native(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

// A picture file decoded small and scaled to exactly size; null when it cannot be read.
QImage ReadAtSize(const QString& path, QSize size)
{
    const ScaledPicture loaded = LoadForDrawing(path, size.width(), size.height(), kMaxTemplatePictureBytes);
    if (loaded.picture->TakeStatus() != Ok || loaded.picture->IsNull())
        return {};
    const QImage& image = loaded.picture->image();
    return image.size() == size ? image : image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

} // namespace

TrialPhoto LoadTrialPhoto(const QString& path, bool findFaces)
{
    TrialPhoto trial;
    if (!IsFile(path)) {
        trial.error = QStringLiteral("找不到相片“%1”").arg(Native(path));
        return trial;
    }
    // Decoded whole, as the layout window holds it: the faces are looked for
    // on the same pixels, so every template shows the framing the window gives.
    std::unique_ptr<PhotoImage> photo = PhotoImage::FromFile(path);
    if (photo->TakeStatus() != Ok || photo->IsNull()) {
        trial.error = QStringLiteral("无法读取相片“%1”，请换一张").arg(Native(path));
        return trial;
    }
    const QImage& full = photo->image();
    trial.fullSize = full.size();
    if (findFaces)
        trial.subject = FindSubject(full, trial.fullSize, &trial.faceError);
    QImage picture = full;
    if (picture.width() > kTrialPhotoSide || picture.height() > kTrialPhotoSide)
        picture
            = picture.scaled(QSize(kTrialPhotoSide, kTrialPhotoSide), Qt::KeepAspectRatio, Qt::SmoothTransformation);
    trial.picture = picture.convertToFormat(QImage::Format_RGB32);
    return trial;
}

TrialPicture MakeTrialPicture(const TemplateFolder& folder, const TrialPhoto& photo, QSize box, const FramingGoal& goal)
{
    TrialPicture result;
    const QString backgroundPath = folder.File(QLatin1String(kBackgroundFile));
    const QSize full = ReadPictureSize(backgroundPath);
    if (!full.isValid() || box.isEmpty()) {
        result.error = QStringLiteral("模板背景“%1”无法读取").arg(Native(backgroundPath));
        return result;
    }
    const QSize size = full.scaled(box, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
    const QImage background = ReadAtSize(backgroundPath, size);
    if (background.isNull()) {
        result.error = QStringLiteral("模板背景“%1”无法读取").arg(Native(backgroundPath));
        return result;
    }
    QImage picture = background.convertToFormat(QImage::Format_RGB32);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (photo.usable()) {
        const FittedPlacement fitted = FitToOpening(ReadLayerRect(folder), photo.fullSize, photo.subject, goal);
        const double sx = double(size.width()) / full.width();
        const double sy = double(size.height()) / full.height();
        const PhotoPlacement& p = fitted.placement;
        painter.drawImage(QRectF(p.x * sx, p.y * sy, p.width * sx, p.height * sy), photo.picture);
        result.framed = fitted.framed;
    }
    // A foreground that cannot be read leaves background and photo, as in the layout window.
    const QImage foreground = ReadAtSize(folder.File(QLatin1String(kForegroundFile)), size);
    if (!foreground.isNull())
        painter.drawImage(0, 0, foreground);
    painter.end();
    result.image = picture;
    return result;
}

} // namespace lumavo
