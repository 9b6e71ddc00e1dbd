#pragma once

#include "imaging/BackdropKey.h"
#include "imaging/PhotoImage.h"

#include <cstdint>
#include <memory>

namespace lumavo {

// One keying of a picture as the operator works it: the first click finds
// the backdrop, further clicks add regions, and the tolerance may change at
// any time; each change gives the keyed picture again from what the clicks
// found. The picture keyed is the one current at the first click; the
// session goes on only while its own latest result is the current picture.
class KeyingSession {
public:
    // Starts from a click at (x, y) on the picture. None when the point is
    // outside it or it has no pixels.
    static std::unique_ptr<KeyingSession> Start(
        const PhotoImage& picture, uint32_t x, uint32_t y, int tolerance = BackdropKey::kDefaultTolerance);

    // A further click: false when the point is outside the picture.
    bool AddPick(uint32_t x, uint32_t y);
    // Clamped to the key's range.
    void SetTolerance(int tolerance);
    int Tolerance() const { return m_tolerance; }
    int PickCount() const { return m_key->PickCount(); }

    // The keyed picture at the present tolerance, with the source's
    // resolution; a failed picture (OutOfMemory) when it cannot be made.
    // The session remembers it as its latest result.
    std::unique_ptr<PhotoImage> Render();
    // Whether a picture is the session's latest result, unchanged since.
    bool IsLatestResult(const PhotoImage* picture) const;

private:
    explicit KeyingSession(std::unique_ptr<BackdropKey> key, int tolerance);

    std::unique_ptr<BackdropKey> m_key;
    int m_tolerance;
    const PhotoImage* m_latest = nullptr;
    qint64 m_latestKey = 0;
};

} // namespace lumavo
