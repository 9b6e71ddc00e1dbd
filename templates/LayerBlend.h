#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>

#include <cstdint>
#include <span>
#include <vector>

namespace lumavo {

// What the foreground does along one run of a composite row.
enum class Cover : uint8_t {
    Clear, // alpha 0 (or no foreground there): the layers below show
    Opaque, // alpha 255: the foreground alone shows
    Partial, // anything between: blended
};

struct CoverRun {
    int32_t begin = 0;
    int32_t end = 0;
    Cover cover = Cover::Clear;
};

// The foreground's runs of equal cover for every row of a composite area, so
// the common cases (frame, opening) become plain copies.
class ForegroundCoverage {
public:
    // foreground: straight ARGB32 or null; the area is width x height. Parts
    // of the area beyond the foreground's own size are Clear.
    void Build(const QImage& foreground, int width, int height);
    std::span<const CoverRun> Row(int y) const
    {
        return { m_runs.data() + m_rowStart[size_t(y)], m_runs.data() + m_rowStart[size_t(y) + 1] };
    }
    int height() const { return int(m_rowStart.size()) - 1; }

private:
    std::vector<CoverRun> m_runs;
    std::vector<uint32_t> m_rowStart { 0 };
};

// RGB32 with any alpha blended over black; a shallow copy when the picture
// is RGB32 already. Null for a null picture.
QImage FlattenOverBlack(const QImage& picture);
// Straight (non-premultiplied) ARGB32; a shallow copy when it already is.
QImage ToStraightArgb(const QImage& picture);

// target (RGB32, the background's size) = foreground over background.
void BlendForegroundOver(
    QImage& target, const QImage& background, const QImage& foreground, const ForegroundCoverage& coverage);

// The scaled photo as drawn: RGB32 (opaque) or premultiplied ARGB32, with
// the composite position of its top-left pixel.
struct PhotoLayer {
    const QImage* pixels = nullptr;
    bool opaque = true;
    QPoint origin;
};

// Writes every pixel of rect (inside the target, covered by the photo):
// foreground over (photo over background). base holds foreground over
// background and may be the target itself.
void DrawPhotoArea(QImage& target, const QImage& base, const QImage& background, const QImage& foreground,
    const ForegroundCoverage& coverage, const PhotoLayer& photo, const QRect& rect);

// Copies rect from base into target, leaving out the part inside keep.
void RestoreFromBase(QImage& target, const QImage& base, const QRect& rect, const QRect& keep);

// Copies the whole of base into target (same size, RGB32).
void CopyWhole(QImage& target, const QImage& base);

} // namespace lumavo
