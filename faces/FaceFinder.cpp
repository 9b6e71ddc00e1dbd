#include "faces/FaceFinder.h"

#include "faces/EyePair.h"
#include "faces/PictureMats.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cmath>
#include <new>
#include <opencv2/core.hpp>
#include <opencv2/objdetect.hpp>
#include <optional>
#include <tuple>

namespace lumavo {

namespace {

// The frontal detector that found the most faces on our portraits with the
// fewest false ones (docs/faces.md).
constexpr const char* kFaceFile = "haarcascade_frontalface_alt2.xml";
constexpr const char* kEyeFile = "haarcascade_eye.xml";
constexpr const char* kGlassesEyeFile = "haarcascade_eye_tree_eyeglasses.xml";

// Smallest face looked for in the reduced copy, in its pixels, and the step
// between the sizes tried (1.1 finds 2 more of our 51 faces but takes 75%
// longer, too long for a 24 MP photo).
constexpr int kSmallestFace = 20;
constexpr double kScaleStep = 1.2;
// Width the face's upper part is scaled to for the eye detector.
constexpr int kEyeSearchWidth = 128;

// Read through Qt, so that folder names outside the local code page work.
bool LoadCascade(const QString& path, cv::CascadeClassifier& cascade)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray data = file.readAll();
    try {
        cv::FileStorage storage(
            std::string(data.constData(), size_t(data.size())), cv::FileStorage::READ | cv::FileStorage::MEMORY);
        return storage.isOpened() && cascade.read(storage.getFirstTopLevelNode()) && !cascade.empty();
    } catch (const cv::Exception&) {
        return false;
    }
}

std::vector<QRect> ToQt(const std::vector<cv::Rect>& rects, double scale, const QPoint& offset)
{
    std::vector<QRect> out;
    out.reserve(rects.size());
    for (const cv::Rect& r : rects)
        out.emplace_back(offset.x() + int(std::lround(r.x * scale)), offset.y() + int(std::lround(r.y * scale)),
            int(std::lround(r.width * scale)), int(std::lround(r.height * scale)));
    return out;
}

// A find lying mostly inside a larger one is a part of the same face (part
// of a face read as a small face), not a face of its own.
bool InsideLarger(const cv::Rect& find, const std::vector<cv::Rect>& finds)
{
    for (const cv::Rect& other : finds) {
        if (other.area() > find.area() && (other & find).area() * 2 > find.area())
            return true;
    }
    return false;
}

// Large and central wins: a face at the corner must be twice the size of
// one in the middle to be taken as the main face.
double MainFaceScore(const QRect& box, const QSize& photo)
{
    const double cx = box.x() + box.width() / 2.0 - photo.width() / 2.0;
    const double cy = box.y() + box.height() / 2.0 - photo.height() / 2.0;
    const double halfDiagonal = std::hypot(photo.width(), photo.height()) / 2.0;
    const double off = halfDiagonal > 0 ? std::min(1.0, std::hypot(cx, cy) / halfDiagonal) : 0.0;
    return double(box.width()) * box.height() * (1.0 - 0.5 * off);
}

} // namespace

struct FaceFinder::Detectors {
    cv::CascadeClassifier face;
    cv::CascadeClassifier eye;
    cv::CascadeClassifier glassesEye;

    FoundFace Eyes(const QImage& photo, const QRect& box)
    {
        FoundFace face;
        face.box = box;
        const QRect upper(box.x(), box.y(), box.width(), box.height() * 6 / 10);
        const cv::Mat crop = faces::GreyCrop(photo, upper, kEyeSearchWidth);
        std::optional<std::pair<QPoint, QPoint>> pair;
        if (!crop.empty()) {
            const QRect inside = upper.intersected(photo.rect());
            const double back = double(inside.width()) / kEyeSearchWidth;
            for (cv::CascadeClassifier* detector : { &eye, &glassesEye }) {
                std::vector<cv::Rect> finds;
                detector->detectMultiScale(crop, finds, 1.1, 3, 0, cv::Size(12, 12), cv::Size(52, 52));
                pair = faces::ChooseEyePair(box, ToQt(finds, back, inside.topLeft()));
                if (pair)
                    break;
            }
        }
        face.eyesFound = pair.has_value();
        std::tie(face.leftEye, face.rightEye) = pair ? *pair : faces::EstimatedEyes(box);
        return face;
    }
};

FaceGroup GroupOf(const std::vector<FoundFace>& faces)
{
    FaceGroup group;
    if (faces.empty())
        return group;
    // Faces far smaller than the main one belong to people in the
    // background; framing them in would push the sitters aside.
    const int smallest = faces.front().box.height() / 2;
    long long eyes = 0;
    int members = 0;
    for (const FoundFace& face : faces) {
        if (face.box.height() < smallest)
            continue;
        group.box = group.box.united(face.box);
        eyes += face.EyeLine();
        ++members;
    }
    group.eyeLine = int(eyes / members);
    return group;
}

std::unique_ptr<FaceFinder> FaceFinder::Load(const QStringList& folders, QString* error)
{
    for (const QString& folder : folders) {
        const QDir dir(folder);
        auto detectors = std::make_unique<Detectors>();
        if (LoadCascade(dir.filePath(QString::fromLatin1(kFaceFile)), detectors->face)
            && LoadCascade(dir.filePath(QString::fromLatin1(kEyeFile)), detectors->eye)
            && LoadCascade(dir.filePath(QString::fromLatin1(kGlassesEyeFile)), detectors->glassesEye))
            return std::unique_ptr<FaceFinder>(new FaceFinder(std::move(detectors)));
    }
    if (error)
        *error = kFaceDataError;
    return nullptr;
}

QStringList FaceFinder::DefaultFolders(const QString& programFolder)
{
    return { QDir(programFolder).filePath(QStringLiteral("faces")), QStringLiteral("/usr/share/opencv4/haarcascades"),
        QStringLiteral("/usr/share/opencv/haarcascades") };
}

FaceFinder::FaceFinder(std::unique_ptr<Detectors> detectors)
    : m_detectors(std::move(detectors))
{
}

FaceFinder::~FaceFinder() = default;

FaceSearch FaceFinder::Find(const QImage& input)
{
    FaceSearch result;
    if (input.isNull())
        return result;
    try {
        // One conversion up front when the layout cannot be read directly,
        // instead of one per look at the picture.
        QImage photo = input;
        const QImage::Format format = input.format();
        if (format != QImage::Format_RGB32 && format != QImage::Format_ARGB32
            && format != QImage::Format_ARGB32_Premultiplied && format != QImage::Format_Grayscale8) {
            photo = input.convertToFormat(QImage::Format_RGB32);
            if (photo.isNull()) {
                result.status = OutOfMemory;
                return result;
            }
        }
        int factor = 1;
        const cv::Mat grey = faces::ReducedGrey(photo, kWorkingSize, &factor);
        if (grey.empty())
            return result;
        std::vector<cv::Rect> finds;
        m_detectors->face.detectMultiScale(grey, finds, kScaleStep, 3, 0, cv::Size(kSmallestFace, kSmallestFace));
        for (const cv::Rect& find : finds) {
            if (InsideLarger(find, finds))
                continue;
            const QRect box = QRect(find.x * factor, find.y * factor, find.width * factor, find.height * factor)
                                  .intersected(photo.rect());
            if (!box.isEmpty())
                result.faces.push_back(m_detectors->Eyes(photo, box));
        }
    } catch (const std::bad_alloc&) {
        result.faces.clear();
        result.status = OutOfMemory;
        return result;
    } catch (const cv::Exception& e) {
        result.faces.clear();
        result.status = e.code == cv::Error::StsNoMem ? OutOfMemory : GenericError;
        return result;
    }
    const QSize size = input.size();
    std::sort(result.faces.begin(), result.faces.end(), [](const FoundFace& a, const FoundFace& b) {
        return int64_t(a.box.width()) * a.box.height() > int64_t(b.box.width()) * b.box.height();
    });
    const auto main
        = std::max_element(result.faces.begin(), result.faces.end(), [&](const FoundFace& a, const FoundFace& b) {
              return MainFaceScore(a.box, size) < MainFaceScore(b.box, size);
          });
    if (main != result.faces.end())
        std::rotate(result.faces.begin(), main, main + 1);
    return result;
}

} // namespace lumavo
