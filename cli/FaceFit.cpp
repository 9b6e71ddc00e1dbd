#include "cli/FaceFit.h"

#include "cli/PortraitRoad.h"
#include "framing/SmartFraming.h"

namespace lumavo::cli {

PhotoFaces FindPhotoFaces(const QString& photoPath, const QList<PhotoEdit>& edits)
{
    PhotoFaces faces;
    // The whole photo, edited, as the layout window holds it: the same
    // pixels give the same faces, so the command line frames as the window does.
    std::unique_ptr<PhotoImage> photo = PhotoImage::FromFile(photoPath);
    // A photo that cannot be read is reported by the road that draws it.
    if (photo->TakeStatus() != Ok || photo->IsNull())
        return faces;
    for (const PhotoEdit edit : edits) {
        if (ApplyPhotoEdit(photo, edit) != Ok)
            return faces;
    }
    const QImage& picture = photo->image();
    QString error;
    faces.subject = FindSubject(picture, picture.size(), &error);
    faces.warning = error;
    return faces;
}

QString FaceFitNote(bool framed)
{
    return framed ? QStringLiteral("智能构图：已按人脸放置")
                  : QStringLiteral("智能构图：相片中没有找到人脸，按整张相片放置");
}

} // namespace lumavo::cli
