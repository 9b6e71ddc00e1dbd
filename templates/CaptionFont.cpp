#include "templates/CaptionFont.h"

#include <QFile>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <algorithm>
#include <cmath>
#include <mutex>
#include <type_traits>
#include <unordered_map>
#include <vector>

namespace lumavo {

namespace {

// Outlines are read at this em size (in pixels) and scaled from there.
constexpr FT_UInt kReferencePixels = 1024;
constexpr double kFixed26_6 = 64.0;
// Enough glyphs for any caption; a runaway text cannot grow the cache
// past this plus its own glyphs.
constexpr size_t kMaxCachedGlyphs = 4096;

using ContourIndex = std::remove_pointer_t<decltype(FT_Outline::contours)>;
using PointCount = decltype(FT_Outline::n_points);
using ContourCount = decltype(FT_Outline::n_contours);

// A glyph at the reference size: its outline (26.6, y up, origin on the
// baseline), already thickened for synthetic bold.
struct Glyph {
    std::vector<FT_Vector> points;
    std::vector<char> tags;
    std::vector<ContourIndex> contours;
    FT_BBox box {}; // control box of the points
    double advance = 0.0; // reference pixels
};

// The code points of a caption; line breaks and other control characters
// become blanks, since the caption is always one line.
std::vector<char32_t> CodePoints(const QString& text)
{
    std::vector<char32_t> points;
    points.reserve(size_t(text.size()));
    for (const char32_t c : text.toUcs4())
        points.push_back(c < 0x20 || (c >= 0x7F && c < 0xA0) ? U' ' : c);
    return points;
}

// Spans of one glyph added into the line's coverage: glyphs that share
// an edge pixel each add their part of it.
struct SpanTarget {
    uchar* bits;
    qsizetype stride;
    int width;
    int height;
    static void Add(int y, int count, const FT_Span* spans, void* user)
    {
        const auto* target = static_cast<const SpanTarget*>(user);
        const int row = target->height - 1 - y; // FreeType counts rows upwards
        if (row < 0 || row >= target->height)
            return;
        uchar* line = target->bits + row * target->stride;
        for (int i = 0; i < count; ++i) {
            const int begin = std::max(0, int(spans[i].x));
            const int end = std::min(target->width, int(spans[i].x) + int(spans[i].len));
            for (int x = begin; x < end; ++x)
                line[x] = uchar(std::min(255, line[x] + spans[i].coverage));
        }
    }
};

} // namespace

struct CaptionFont::Face {
    FontFileRef file;
    QFile fontFile;
    QByteArray fontBytes; // used when the file cannot be mapped
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    bool syntheticBold = false;
    FT_Pos emboldenStrength = 0; // 26.6 at the reference size
    double emAscender = 0.0;

    // FreeType faces are not thread-safe; the glyph cache shares the lock.
    mutable std::mutex lock;
    mutable std::unordered_map<FT_UInt, Glyph> glyphs;

    ~Face()
    {
        glyphs.clear();
        if (face)
            FT_Done_Face(face);
        if (library)
            FT_Done_FreeType(library);
    }

    const Glyph& GlyphLocked(FT_UInt index) const
    {
        if (auto found = glyphs.find(index); found != glyphs.end())
            return found->second;
        Glyph glyph;
        if (FT_Load_Glyph(face, index, FT_LOAD_NO_BITMAP | FT_LOAD_NO_HINTING) == 0) {
            FT_GlyphSlot slot = face->glyph;
            glyph.advance = slot->linearHoriAdvance / 65536.0;
            if (slot->format == FT_GLYPH_FORMAT_OUTLINE) {
                FT_Outline& outline = slot->outline;
                if (syntheticBold) {
                    FT_Outline_EmboldenXY(&outline, emboldenStrength, emboldenStrength);
                    glyph.advance += emboldenStrength / kFixed26_6;
                }
                // A missing character keeps its advance but draws no box.
                if (index != 0 && outline.n_points > 0 && outline.n_contours > 0) {
                    glyph.points.assign(outline.points, outline.points + outline.n_points);
                    glyph.tags.assign(outline.tags, outline.tags + outline.n_points);
                    glyph.contours.assign(outline.contours, outline.contours + outline.n_contours);
                    FT_Outline_Get_CBox(&outline, &glyph.box);
                }
            }
        }
        return glyphs.emplace(index, std::move(glyph)).first->second;
    }

    double KerningLocked(FT_UInt left, FT_UInt right) const
    {
        if (!FT_HAS_KERNING(face) || left == 0 || right == 0)
            return 0.0;
        FT_Vector delta {};
        if (FT_Get_Kerning(face, left, right, FT_KERNING_UNFITTED, &delta) != 0)
            return 0.0;
        return delta.x / kFixed26_6;
    }

    // Calls place(glyph, penX) for each character; returns the line's
    // advance width, all in reference pixels.
    template <typename Place> double LayOutLocked(const QString& text, Place place) const
    {
        // Trimmed only between lines: the caller may hold on to every glyph
        // of this line until it is drawn.
        if (glyphs.size() >= kMaxCachedGlyphs)
            glyphs.clear();
        double pen = 0.0;
        FT_UInt previous = 0;
        for (const char32_t c : CodePoints(text)) {
            const FT_UInt index = FT_Get_Char_Index(face, c);
            pen += KerningLocked(previous, index);
            const Glyph& glyph = GlyphLocked(index);
            place(glyph, pen);
            pen += glyph.advance;
            previous = index;
        }
        return pen;
    }
};

std::unique_ptr<CaptionFont> CaptionFont::Load(const FontFileRef& file)
{
    auto face = std::make_unique<Face>();
    face->file = file;
    face->fontFile.setFileName(file.path);
    if (!face->fontFile.open(QIODevice::ReadOnly))
        return nullptr;
    // Font files are read from memory: FreeType's own file opening cannot
    // take every Unicode path on Windows.
    const qint64 size = face->fontFile.size();
    const uchar* data = size > 0 ? face->fontFile.map(0, size) : nullptr;
    qint64 length = size;
    if (!data) {
        face->fontBytes = face->fontFile.readAll();
        face->fontFile.close();
        data = reinterpret_cast<const uchar*>(face->fontBytes.constData());
        length = face->fontBytes.size();
    }
    if (length <= 0 || FT_Init_FreeType(&face->library) != 0)
        return nullptr;
    if (FT_New_Memory_Face(face->library, data, FT_Long(length), FT_Long(file.faceIndex), &face->face) != 0) {
        face->face = nullptr;
        return nullptr;
    }
    FT_Face ft = face->face;
    if (!FT_IS_SCALABLE(ft) || ft->units_per_EM == 0)
        return nullptr;
    FT_Select_Charmap(ft, FT_ENCODING_UNICODE);
    if (FT_Set_Pixel_Sizes(ft, 0, kReferencePixels) != 0)
        return nullptr;

    face->syntheticBold = (ft->style_flags & FT_STYLE_FLAG_BOLD) == 0;
    // The thickening FreeType itself uses for synthetic bold: em / 24.
    face->emboldenStrength = FT_MulFix(ft->units_per_EM, ft->size->metrics.y_scale) / 24;
    const double ascender = ft->ascender > 0 ? ft->ascender : ft->bbox.yMax;
    face->emAscender = ascender / double(ft->units_per_EM);
    return std::unique_ptr<CaptionFont>(new CaptionFont(std::move(face)));
}

const CaptionFont* CaptionFont::Default()
{
    // Located and loaded once per process; static initialisation is
    // thread-safe.
    static const std::unique_ptr<CaptionFont> font = [] {
        const auto file = LocateCaptionFont();
        return file ? Load(*file) : nullptr;
    }();
    return font.get();
}

CaptionFont::CaptionFont(std::unique_ptr<Face> face)
    : m_face(std::move(face))
{
}

CaptionFont::~CaptionFont() = default;

const FontFileRef& CaptionFont::file() const
{
    return m_face->file;
}

double CaptionFont::EmWidth(const QString& text) const
{
    std::lock_guard guard(m_face->lock);
    return m_face->LayOutLocked(text, [](const Glyph&, double) {}) / kReferencePixels;
}

double CaptionFont::EmAscender() const
{
    return m_face->emAscender;
}

CaptionFont::LineMask CaptionFont::RenderLine(
    const QString& text, double pixelSize, QPointF topLeft, const QRect& clip) const
{
    LineMask mask;
    if (!(pixelSize > 0.0) || clip.isEmpty() || !std::isfinite(topLeft.x()) || !std::isfinite(topLeft.y()))
        return mask;
    const double scale = pixelSize / kReferencePixels / kFixed26_6; // reference 26.6 -> picture pixels
    const double baseline = topLeft.y() + m_face->emAscender * pixelSize;

    std::lock_guard guard(m_face->lock);
    struct Placed {
        const Glyph* glyph;
        double x; // picture x of the glyph's origin
    };
    std::vector<Placed> placed;
    double left = 0.0, right = 0.0, top = 0.0, bottom = 0.0;
    m_face->LayOutLocked(text, [&](const Glyph& glyph, double pen) {
        if (glyph.points.empty())
            return;
        const double x = topLeft.x() + pen * pixelSize / kReferencePixels;
        const double glyphLeft = x + glyph.box.xMin * scale, glyphRight = x + glyph.box.xMax * scale;
        const double glyphTop = baseline - glyph.box.yMax * scale, glyphBottom = baseline - glyph.box.yMin * scale;
        if (glyphRight < clip.left() || glyphLeft > clip.right() + 1 || glyphBottom < clip.top()
            || glyphTop > clip.bottom() + 1)
            return;
        if (placed.empty()) {
            left = glyphLeft, right = glyphRight, top = glyphTop, bottom = glyphBottom;
        } else {
            left = std::min(left, glyphLeft), right = std::max(right, glyphRight);
            top = std::min(top, glyphTop), bottom = std::max(bottom, glyphBottom);
        }
        placed.push_back({ &glyph, x });
    });
    if (placed.empty())
        return mask;

    // The coverage spans the visible glyphs, cut to the clip (plus a pixel
    // for anti-aliased edges).
    left = std::max(left, double(clip.left()) - 1.0);
    right = std::min(right, double(clip.right()) + 2.0);
    top = std::max(top, double(clip.top()) - 1.0);
    bottom = std::min(bottom, double(clip.bottom()) + 2.0);
    if (!(left < right) || !(top < bottom))
        return mask;
    mask.origin = QPoint(int(std::floor(left)) - 1, int(std::floor(top)) - 1);
    const int width = int(std::ceil(right)) + 1 - mask.origin.x();
    const int height = int(std::ceil(bottom)) + 1 - mask.origin.y();
    QImage coverage(width, height, QImage::Format_Alpha8);
    if (coverage.isNull())
        return mask;
    coverage.fill(0);

    SpanTarget target { coverage.bits(), coverage.bytesPerLine(), width, height };
    // Glyph outlines are mapped so that FreeType's y axis (upwards) has its
    // zero at the bottom edge of the coverage.
    const double maskBottom = mask.origin.y() + height;
    std::vector<FT_Vector> points;
    std::vector<char> tags;
    std::vector<ContourIndex> contours;
    for (const Placed& item : placed) {
        const Glyph& glyph = *item.glyph;
        const double dx = item.x - mask.origin.x();
        const double dy = maskBottom - baseline;
        points.resize(glyph.points.size());
        for (size_t i = 0; i < points.size(); ++i) {
            points[i].x = FT_Pos(std::lround((dx + glyph.points[i].x * scale) * kFixed26_6));
            points[i].y = FT_Pos(std::lround((dy + glyph.points[i].y * scale) * kFixed26_6));
        }
        tags = glyph.tags;
        contours = glyph.contours;
        FT_Outline outline {};
        outline.n_points = PointCount(points.size());
        outline.n_contours = ContourCount(contours.size());
        outline.points = points.data();
        outline.tags = tags.data();
        outline.contours = contours.data();
        outline.flags = FT_OUTLINE_NONE;

        FT_Raster_Params params {};
        params.source = &outline;
        params.flags = FT_RASTER_FLAG_AA | FT_RASTER_FLAG_DIRECT | FT_RASTER_FLAG_CLIP;
        params.gray_spans = &SpanTarget::Add;
        params.user = &target;
        params.clip_box = { 0, 0, FT_Pos(width), FT_Pos(height) };
        FT_Outline_Render(m_face->library, &outline, &params);
    }
    mask.coverage = std::move(coverage);
    return mask;
}

int CaptionFont::MissingGlyphCount(const QString& text) const
{
    std::lock_guard guard(m_face->lock);
    int missing = 0;
    for (const char32_t c : CodePoints(text))
        missing += FT_Get_Char_Index(m_face->face, c) == 0 ? 1 : 0;
    return missing;
}

} // namespace lumavo
