#include "framing/SmartFraming.h"

#include "platform/ProgramFolder.h"

#include <cmath>
#include <memory>

namespace lumavo {

namespace {

int32_t Scaled(int value, double scale)
{
    return int32_t(std::lround(value * scale));
}

} // namespace

std::optional<FramingSubject> SubjectOf(const FaceSearch& search, QSize searchedSize, QSize fullSize)
{
    if (search.faces.empty() || searchedSize.isEmpty() || fullSize.isEmpty())
        return std::nullopt;
    const FaceGroup group = GroupOf(search.faces);
    if (group.box.isEmpty())
        return std::nullopt;
    const double sx = double(fullSize.width()) / searchedSize.width();
    const double sy = double(fullSize.height()) / searchedSize.height();
    return FramingSubject { Scaled(group.box.x(), sx), Scaled(group.box.y(), sy), Scaled(group.box.width(), sx),
        Scaled(group.box.height(), sy), Scaled(group.eyeLine, sy) };
}

std::optional<FramingSubject> FindSubject(const QImage& picture, QSize fullSize, QString* error)
{
    // Loading the detectors costs more than a search; each thread keeps its own.
    thread_local std::unique_ptr<FaceFinder> finder;
    thread_local QString loadError;
    if (!finder && loadError.isEmpty())
        finder = FaceFinder::Load(FaceFinder::DefaultFolders(ProgramFolder()), &loadError);
    if (!finder) {
        if (error)
            *error = loadError;
        return std::nullopt;
    }
    return SubjectOf(finder->Find(picture), picture.size(), fullSize);
}

FittedPlacement FitToOpening(
    const LayerRect& opening, QSize photoSize, const std::optional<FramingSubject>& subject, const FramingGoal& goal)
{
    if (subject) {
        if (const auto framed = FramePlacement(opening, photoSize.width(), photoSize.height(), *subject, goal))
            return { *framed, true };
    }
    return { PlacePhoto(opening, photoSize.width(), photoSize.height()), false };
}

} // namespace lumavo
