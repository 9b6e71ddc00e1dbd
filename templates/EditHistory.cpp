#include "templates/EditHistory.h"

#include <set>

namespace lumavo {

PictureState PictureState::Of(const PhotoImage& picture)
{
    return { picture.image(), picture.HorizontalResolution(), picture.VerticalResolution(), picture.lastStatus() };
}

void PictureState::RestoreInto(PhotoImage& picture) const
{
    picture.ReplaceImage(pixels);
    picture.SetResolution(dpiX, dpiY);
    picture.SetStatus(status);
}

std::unique_ptr<PhotoImage> PictureState::MakePicture() const
{
    auto picture = PhotoImage::Adopt(pixels);
    picture->SetResolution(dpiX, dpiY);
    picture->SetStatus(status);
    return picture;
}

void EditHistory::Push(EditStep step)
{
    m_steps.push_back(std::move(step));
    while (m_steps.size() > 1 && (Count() > m_maxSteps || Bytes() > m_maxBytes))
        m_steps.pop_front();
}

std::optional<EditStep> EditHistory::Pop()
{
    if (m_steps.empty())
        return std::nullopt;
    EditStep step = std::move(m_steps.back());
    m_steps.pop_back();
    return step;
}

int64_t EditHistory::Bytes() const
{
    // Steps share the pictures no edit changed between them.
    std::set<qint64> seen;
    int64_t bytes = 0;
    const auto count = [&](const PictureState& state) {
        if (!state.pixels.isNull() && seen.insert(state.pixels.cacheKey()).second)
            bytes += int64_t(state.pixels.sizeInBytes());
    };
    for (const EditStep& step : m_steps) {
        count(step.initial);
        if (step.made)
            count(*step.made);
    }
    return bytes;
}

} // namespace lumavo
