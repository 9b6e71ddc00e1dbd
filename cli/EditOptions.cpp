#include "cli/EditOptions.h"

#include "faces/FaceFinder.h"
#include "imaging/KeyingSession.h"
#include "imaging/SkinSmoothing.h"
#include "platform/ProgramFolder.h"

#include <QStringList>

#include <algorithm>
#include <cmath>

namespace lumavo::cli {

namespace {

std::optional<ClickCoordinate> ParseCoordinate(QString text)
{
    ClickCoordinate coordinate;
    text = text.trimmed();
    if (text.endsWith('%')) {
        coordinate.share = true;
        text.chop(1);
    }
    bool ok = false;
    coordinate.value = text.toDouble(&ok);
    if (!ok || !std::isfinite(coordinate.value) || coordinate.value < 0)
        return std::nullopt;
    if (coordinate.share) {
        if (coordinate.value > 100)
            return std::nullopt;
        coordinate.value /= 100.0;
    } else if (coordinate.value != std::floor(coordinate.value)) {
        return std::nullopt;
    }
    return coordinate;
}

} // namespace

int ClickCoordinate::PixelOn(int length) const
{
    const double pixel = share ? std::floor(value * length) : value;
    return int(std::clamp(pixel, 0.0, double(std::max(0, length - 1))));
}

std::optional<KeyClick> ParseKeyClick(const QString& text, QString* error)
{
    const QStringList parts = text.split(':');
    const QStringList point = parts.value(0).split(',');
    KeyClick click;
    const auto x = point.size() == 2 ? ParseCoordinate(point[0]) : std::nullopt;
    const auto y = point.size() == 2 ? ParseCoordinate(point[1]) : std::nullopt;
    if (parts.size() > 2 || !x || !y) {
        *error = QStringLiteral("--edit key: 需要相片上的一点 X,Y（像素，或相片宽高的百分比如 2%,2%），"
                                "可再加 :容差（0-100），而不是“key:%1”")
                     .arg(text);
        return std::nullopt;
    }
    click.x = *x;
    click.y = *y;
    if (parts.size() == 2) {
        bool ok = false;
        const int tolerance = parts[1].trimmed().toInt(&ok);
        if (!ok || tolerance < BackdropKey::kMinTolerance || tolerance > BackdropKey::kMaxTolerance) {
            *error = QStringLiteral("抠像容差必须是 0 到 100 的整数，而不是“%1”").arg(parts[1]);
            return std::nullopt;
        }
        click.tolerance = tolerance;
    }
    return click;
}

bool ClickInside(const KeyClick& click, QSize fullSize)
{
    const auto inside = [](const ClickCoordinate& c, int fullLength) { return c.share || c.value < fullLength; };
    return inside(click.x, fullSize.width()) && inside(click.y, fullSize.height());
}

void ClickPoint(const KeyClick& click, QSize size, QSize fullSize, int* x, int* y)
{
    // A point given in pixels lies on the full-size photo; a reduced decode
    // scales it down with the picture.
    const auto scaled = [](const ClickCoordinate& c, int length, int fullLength) {
        if (c.share || fullLength <= 0 || fullLength == length)
            return c.PixelOn(length);
        ClickCoordinate shrunk { std::floor(c.value * length / fullLength), false };
        return shrunk.PixelOn(length);
    };
    *x = scaled(click.x, size.width(), fullSize.width());
    *y = scaled(click.y, size.height(), fullSize.height());
}

namespace {

// A picture an edit made takes the photo's place; a failed one gives its status.
Status Replace(std::unique_ptr<PhotoImage>& photo, std::unique_ptr<PhotoImage> made)
{
    if (!made)
        return OutOfMemory;
    if (const Status status = made->TakeStatus(); status != Ok || made->IsNull())
        return status != Ok ? status : OutOfMemory;
    photo = std::move(made);
    return Ok;
}

} // namespace

Status ApplyKey(std::unique_ptr<PhotoImage>& photo, const KeyClick& click, QSize fullSize)
{
    int x = 0, y = 0;
    if (!ClickInside(click, fullSize))
        return InvalidParameter;
    ClickPoint(click, photo->image().size(), fullSize, &x, &y);
    std::unique_ptr<KeyingSession> session = KeyingSession::Start(*photo, uint32_t(x), uint32_t(y),
        click.tolerance.value_or(BackdropKey::kDefaultTolerance));
    if (!session)
        return InvalidParameter;
    return Replace(photo, session->Render());
}

Status ApplySmooth(std::unique_ptr<PhotoImage>& photo)
{
    // One finder per call: the photo is prepared on a thread of its own.
    std::vector<QRect> faces;
    if (const std::unique_ptr<FaceFinder> finder = FaceFinder::Load(FaceFinder::DefaultFolders(ProgramFolder()))) {
        for (const FoundFace& face : finder->Find(*photo).faces)
            faces.push_back(face.box);
    }
    return Replace(photo, SmoothSkin(*photo, faces));
}

} // namespace lumavo::cli
