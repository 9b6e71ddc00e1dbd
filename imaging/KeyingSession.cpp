#include "imaging/KeyingSession.h"

#include <algorithm>

namespace lumavo {

KeyingSession::KeyingSession(std::unique_ptr<BackdropKey> key, int tolerance)
    : m_key(std::move(key))
{
    SetTolerance(tolerance);
}

std::unique_ptr<KeyingSession> KeyingSession::Start(const PhotoImage& picture, uint32_t x, uint32_t y, int tolerance)
{
    std::unique_ptr<BackdropKey> key = BackdropKey::Start(picture, x, y);
    if (!key)
        return nullptr;
    return std::unique_ptr<KeyingSession>(new KeyingSession(std::move(key), tolerance));
}

bool KeyingSession::AddPick(uint32_t x, uint32_t y)
{
    return m_key->AddPick(x, y);
}

void KeyingSession::SetTolerance(int tolerance)
{
    m_tolerance = std::clamp(tolerance, BackdropKey::kMinTolerance, BackdropKey::kMaxTolerance);
}

std::unique_ptr<PhotoImage> KeyingSession::Render()
{
    std::unique_ptr<PhotoImage> keyed = m_key->Render(m_tolerance);
    m_latest = keyed && !keyed->IsNull() ? keyed.get() : nullptr;
    m_latestKey = m_latest ? keyed->image().cacheKey() : 0;
    return keyed;
}

bool KeyingSession::IsLatestResult(const PhotoImage* picture) const
{
    // An edit in place (a turn, a white spot) changes the pixels' key.
    return picture && picture == m_latest && picture->image().cacheKey() == m_latestKey;
}

} // namespace lumavo
