#pragma once

#include <QColor>
#include <QImage>
#include <QPainterPath>
#include <QPointF>
#include <QRectF>
#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

class QPainter;

namespace lumavo::samples {

// Printing resolution carried by every generated picture (350 dpi).
inline constexpr int kDotsPerMeter350 = 13780;

// A small seeded generator of our own, so the pictures come out the same on
// every machine and standard library.
class Random {
public:
    explicit Random(uint64_t seed)
        : m_state(seed * 0x9E3779B97F4A7C15ull + 0x632BE59BD9B4E019ull)
    {
    }
    uint64_t Next();
    // Uniform in [0, 1).
    double Unit() { return double(Next() >> 11) * (1.0 / 9007199254740992.0); }
    double Range(double low, double high) { return low + (high - low) * Unit(); }

private:
    uint64_t m_state;
};

// Smooth value noise in roughly [-1, 1], several octaves, seeded.
double SmoothNoise(double x, double y, uint32_t seed, int octaves = 4);

double SmoothStep(double edge0, double edge1, double x);
QColor Mix(const QColor& a, const QColor& b, double t);
QColor WithAlpha(const QColor& color, double alpha);

// A new opaque ARGB picture filled with a colour, tagged 350 dpi.
QImage NewCanvas(int width, int height, const QColor& fill);
// A new fully transparent layer of the same size, tagged 350 dpi.
QImage NewLayer(int width, int height);

// Adds a soft mottled paper look (large-scale value noise plus a faint grain)
// to an opaque picture. strength is in colour levels.
void AddPaperTexture(QImage& image, uint32_t seed, double strength, double grain, double scale);
// Adds the criss-cross threads of a linen weave.
void AddLinenTexture(QImage& image, uint32_t seed, double strength);
// Darkens the corners softly.
void AddVignette(QImage& image, double strength, double reach);

// Draws the blurred silhouette of a path as a soft shadow.
void DrawSoftShadow(QPainter& painter, const QSize& canvas, const QPainterPath& shape, const QPointF& offset,
    double radius, const QColor& color);

// A calligraphic stroke: a filled outline along a polyline whose width
// changes from startWidth to endWidth (with a swelling in the middle).
QPainterPath TaperedStroke(const std::vector<QPointF>& points, double startWidth, double endWidth, double swell = 1.0);
// A scroll: a curve leaving `start` in direction `angle` (radians) that
// bends and ends in a spiral curl. `turn` is +1 or -1 for the curl's sense.
std::vector<QPointF> ScrollCurve(QPointF start, double angle, double length, double curl, int turn);
// An almond leaf from base to tip, width as a share of its length.
QPainterPath LeafPath(QPointF base, QPointF tip, double widthShare);
// A five-petalled blossom with notched petals.
QPainterPath BlossomPath(QPointF centre, double radius, double rotation, int petals = 5);
// A small dot rosette (a ring of dots), used as a filler ornament.
QPainterPath DotRingPath(QPointF centre, double radius, int count, double dotRadius);

// Fills an ornament with a diagonal two-tone gradient over a faint drop
// shadow, so flat curves read as embossed foil or print.
void FillOrnament(QPainter& painter, const QPainterPath& path, const QColor& light, const QColor& dark,
    double shadowAlpha = 0.18, double shadowOffset = 1.5);

// Opening of a template: the signed distance (negative inside) of a point to
// the transparent shape, in pixels. The shape lies inside the layer rectangle.
using OpeningShape = std::function<double(double x, double y)>;
OpeningShape RectOpening(const QRectF& rect, double cornerRadius = 0.0);
// A rectangle whose top is a half circle (an arched window).
OpeningShape ArchOpening(const QRectF& rect);

// What one template style draws.
struct TemplateArt {
    QString folderName;
    QString albumCaption; // shown in the album; empty: the folder name
    QRect layer; // the opening rectangle written to layer.lmv
    QImage frame; // the opaque decorative design, full size
    QImage mat; // full size, opaque: what the background shows inside and around the opening
    QImage overlay; // translucent ornaments lying over the opening edge (may be null)
    OpeningShape opening; // transparent shape (inside `layer`)
    double feather = 30; // width of the soft edge band around the opening
    bool backgroundAsPng = false;
};

// Writes bs.lmv, fs.lmv and layer.lmv of one template under the root.
// False (with a message on stderr) when a file cannot be written.
bool WriteTemplate(const QString& root, const TemplateArt& art);

// Saves a picture as JPEG or PNG at 350 dpi; false on failure.
bool SavePicture(const QImage& image, const QString& path, const char* format, int quality = -1);

} // namespace lumavo::samples
