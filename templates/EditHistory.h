#pragma once

#include "imaging/PhotoImage.h"

#include <QImage>
#include <QSize>

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>

namespace lumavo {

// The pixels and resolution of one picture at one moment. The pixels are a
// shared copy of the picture's QImage: it costs memory only once the
// picture itself changes.
struct PictureState {
    QImage pixels;
    float dpiX = 96.0f;
    float dpiY = 96.0f;
    Status status = Ok;

    static PictureState Of(const PhotoImage& picture);
    // Puts the state back into the same picture object.
    void RestoreInto(PhotoImage& picture) const;
    // A new picture object in this state.
    std::unique_ptr<PhotoImage> MakePicture() const;
};

// The pictures of a retouching visit just before one edit: the opening
// picture (which in-place edits change while it is current) and, when
// another picture was current, that one.
struct EditStep {
    PictureState initial;
    std::optional<PictureState> made;
    // Each one's size at full resolution (a photo decoded reduced).
    QSize initialFullSize;
    QSize madeFullSize;
};

// The steps an operator can take back, newest last. It keeps at most
// kMaxSteps steps and at most kMaxBytes of pixels (the oldest go first,
// the newest always stays): for a 24-megapixel photo (96 MB a picture) the
// step count is the tighter limit (8 x 96 MB = 768 MB).
class EditHistory {
public:
    static constexpr int kMaxSteps = 8;
    static constexpr int64_t kMaxBytes = int64_t(1) << 30;

    explicit EditHistory(int maxSteps = kMaxSteps, int64_t maxBytes = kMaxBytes)
        : m_maxSteps(maxSteps)
        , m_maxBytes(maxBytes)
    {
    }

    void Push(EditStep step);
    // The newest step, taken off; none when there is nothing to take back.
    std::optional<EditStep> Pop();
    void Clear() { m_steps.clear(); }

    bool IsEmpty() const { return m_steps.empty(); }
    int Count() const { return int(m_steps.size()); }
    // Pixel memory the steps hold, each distinct picture counted once.
    int64_t Bytes() const;

private:
    int m_maxSteps;
    int64_t m_maxBytes;
    std::deque<EditStep> m_steps;
};

} // namespace lumavo
