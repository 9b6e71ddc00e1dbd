#include "SampleDrawing.h"

#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace lumavo::samples {

namespace {

constexpr double kPi = 3.14159265358979323846;

// A middling zlib level: a fifth larger files than the default, written in
// a fraction of the time.
constexpr int kPngQuality = 50;

uint32_t Hash(int32_t x, int32_t y, uint32_t seed)
{
    uint32_t h = uint32_t(x) * 0x8DA6B343u ^ uint32_t(y) * 0xD8163841u ^ seed * 0xCB1AB31Fu;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    h *= 0x297A2D39u;
    h ^= h >> 15;
    return h;
}

double HashUnit(int32_t x, int32_t y, uint32_t seed)
{
    return double(Hash(x, y, seed) & 0xFFFFFF) / double(0xFFFFFF) * 2.0 - 1.0;
}

double Fade(double t)
{
    return t * t * (3.0 - 2.0 * t);
}

double ValueNoise(double x, double y, uint32_t seed)
{
    const double fx = std::floor(x);
    const double fy = std::floor(y);
    const int32_t ix = int32_t(fx);
    const int32_t iy = int32_t(fy);
    const double tx = Fade(x - fx);
    const double ty = Fade(y - fy);
    const double a = HashUnit(ix, iy, seed);
    const double b = HashUnit(ix + 1, iy, seed);
    const double c = HashUnit(ix, iy + 1, seed);
    const double d = HashUnit(ix + 1, iy + 1, seed);
    return (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty;
}

// Rounds to the nearest level; values below zero end at 0 either way.
int Clamp255(double v)
{
    return std::clamp(int(v + 0.5), 0, 255);
}

// A coarse field of smooth noise sampled bilinearly, so textures over
// millions of pixels cost only a few noise evaluations per cell.
class NoiseField {
public:
    NoiseField(int width, int height, double scale, uint32_t seed, int octaves)
        : m_step(std::max(2.0, scale / 6.0))
        , m_inverseStep(1.0 / m_step)
        , m_cols(int(width / m_step) + 3)
        , m_rows(int(height / m_step) + 3)
        , m_values(size_t(m_cols) * size_t(m_rows))
    {
        for (int r = 0; r < m_rows; ++r)
            for (int c = 0; c < m_cols; ++c)
                m_values[size_t(r) * m_cols + c] = SmoothNoise(c * m_step / scale, r * m_step / scale, seed, octaves);
    }
    double At(double x, double y) const
    {
        const double gx = x * m_inverseStep;
        const double gy = y * m_inverseStep;
        const int c = std::clamp(int(gx), 0, m_cols - 2);
        const int r = std::clamp(int(gy), 0, m_rows - 2);
        const double tx = gx - c;
        const double ty = gy - r;
        const double* row0 = &m_values[size_t(r) * m_cols + c];
        const double* row1 = row0 + m_cols;
        const double top = row0[0] + (row0[1] - row0[0]) * tx;
        const double bottom = row1[0] + (row1[1] - row1[0]) * tx;
        return top + (bottom - top) * ty;
    }

private:
    double m_step;
    double m_inverseStep;
    int m_cols;
    int m_rows;
    std::vector<double> m_values;
};

// One box-blur pass along rows (horizontal) or columns of a premultiplied picture.
void BoxPass(QImage& image, int radius, bool horizontal)
{
    const int w = image.width();
    const int h = image.height();
    const int lines = horizontal ? h : w;
    const int length = horizontal ? w : h;
    std::vector<uint32_t> buffer(static_cast<size_t>(length));
    const int window = 2 * radius + 1;
    for (int line = 0; line < lines; ++line) {
        auto pixel = [&](int i) -> uint32_t& {
            i = std::clamp(i, 0, length - 1);
            return horizontal ? reinterpret_cast<uint32_t*>(image.scanLine(line))[i]
                              : reinterpret_cast<uint32_t*>(image.scanLine(i))[line];
        };
        int sum[4] = { 0, 0, 0, 0 };
        for (int i = -radius; i <= radius; ++i) {
            const uint32_t p = pixel(i);
            for (int k = 0; k < 4; ++k)
                sum[k] += int((p >> (8 * k)) & 0xFF);
        }
        for (int i = 0; i < length; ++i) {
            uint32_t out = 0;
            for (int k = 0; k < 4; ++k)
                out |= uint32_t((sum[k] + window / 2) / window) << (8 * k);
            buffer[size_t(i)] = out;
            const uint32_t leaving = pixel(i - radius);
            const uint32_t entering = pixel(i + radius + 1);
            for (int k = 0; k < 4; ++k)
                sum[k] += int((entering >> (8 * k)) & 0xFF) - int((leaving >> (8 * k)) & 0xFF);
        }
        for (int i = 0; i < length; ++i)
            pixel(i) = buffer[size_t(i)];
    }
}

} // namespace

uint64_t Random::Next()
{
    uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

double SmoothNoise(double x, double y, uint32_t seed, int octaves)
{
    double sum = 0.0;
    double amplitude = 1.0;
    double norm = 0.0;
    for (int o = 0; o < octaves; ++o) {
        sum += amplitude * ValueNoise(x, y, seed + uint32_t(o) * 1013u);
        norm += amplitude;
        amplitude *= 0.5;
        x = x * 2.03 + 17.1;
        y = y * 2.03 + 5.7;
    }
    return sum / norm;
}

double SmoothStep(double edge0, double edge1, double x)
{
    const double t = std::clamp((x - edge0) / (edge1 - edge0), 0.0, 1.0);
    return t * t * (3.0 - 2.0 * t);
}

QColor Mix(const QColor& a, const QColor& b, double t)
{
    return QColor::fromRgbF(float(a.redF() + (b.redF() - a.redF()) * t),
        float(a.greenF() + (b.greenF() - a.greenF()) * t), float(a.blueF() + (b.blueF() - a.blueF()) * t),
        float(a.alphaF() + (b.alphaF() - a.alphaF()) * t));
}

QColor WithAlpha(const QColor& color, double alpha)
{
    QColor c = color;
    c.setAlphaF(float(std::clamp(alpha, 0.0, 1.0)));
    return c;
}

QImage NewCanvas(int width, int height, const QColor& fill)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(fill);
    image.setDotsPerMeterX(kDotsPerMeter350);
    image.setDotsPerMeterY(kDotsPerMeter350);
    return image;
}

QImage NewLayer(int width, int height)
{
    return NewCanvas(width, height, Qt::transparent);
}

void AddPaperTexture(QImage& image, uint32_t seed, double strength, double grain, double scale)
{
    // Without a mottle only the grain is needed; the fields would cost more than the rest.
    const int fieldWidth = strength > 0 ? image.width() : 1;
    const int fieldHeight = strength > 0 ? image.height() : 1;
    const NoiseField field(fieldWidth, fieldHeight, scale, seed, 4);
    const NoiseField fibres(fieldWidth, fieldHeight, scale / 9.0, seed + 77, 2);
    // Grain from a 256 x 256 tile: its repeat is invisible at grain scale.
    std::vector<float> tile(256 * 256);
    for (int i = 0; i < 256 * 256; ++i)
        tile[size_t(i)] = float(grain * HashUnit(i & 255, i >> 8, seed + 991));
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<uint32_t*>(image.scanLine(y));
        const float* grainRow = &tile[size_t(y & 255) * 256];
        for (int x = 0; x < image.width(); ++x) {
            double delta = grainRow[x & 255];
            if (strength > 0)
                delta += strength * (field.At(x, y) + 0.35 * fibres.At(x, y));
            const uint32_t p = line[x];
            line[x] = (p & 0xFF000000u) | uint32_t(Clamp255(((p >> 16) & 0xFF) + delta)) << 16
                | uint32_t(Clamp255(((p >> 8) & 0xFF) + delta)) << 8 | uint32_t(Clamp255((p & 0xFF) + delta));
        }
    }
}

void AddLinenTexture(QImage& image, uint32_t seed, double strength)
{
    const int w = image.width();
    const int h = image.height();
    // Each thread has its own thickness; slubs come and go along it.
    std::vector<double> rows(static_cast<size_t>(h));
    std::vector<double> cols(static_cast<size_t>(w));
    for (int y = 0; y < h; ++y)
        rows[size_t(y)] = HashUnit(y / 2, 0, seed) * 0.7 + 0.3 * std::sin(y * 2.1);
    for (int x = 0; x < w; ++x)
        cols[size_t(x)] = HashUnit(x / 2, 1, seed) * 0.7 + 0.3 * std::sin(x * 2.1);
    const NoiseField slubA(w, h, 60.0, seed + 3, 2);
    const NoiseField slubB(w, h, 60.0, seed + 4, 2);
    const NoiseField cloud(w, h, 420.0, seed + 5, 3);
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<uint32_t*>(image.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const double weftWeight = 0.6 + 0.4 * slubA.At(x, y);
            const double warpWeight = 0.6 + 0.4 * slubB.At(x, y);
            const double delta = strength
                * (0.55 * rows[size_t(y)] * weftWeight + 0.55 * cols[size_t(x)] * warpWeight + 0.6 * cloud.At(x, y));
            const uint32_t p = line[x];
            line[x] = (p & 0xFF000000u) | uint32_t(Clamp255(((p >> 16) & 0xFF) + delta)) << 16
                | uint32_t(Clamp255(((p >> 8) & 0xFF) + delta)) << 8 | uint32_t(Clamp255((p & 0xFF) + delta));
        }
    }
}

void AddVignette(QImage& image, double strength, double reach)
{
    const double cx = image.width() / 2.0;
    const double cy = image.height() / 2.0;
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<uint32_t*>(image.scanLine(y));
        const double dy = (y - cy) / cy;
        for (int x = 0; x < image.width(); ++x) {
            const double dx = (x - cx) / cx;
            const double d = std::sqrt(dx * dx + dy * dy) / std::sqrt(2.0);
            const double f = 1.0 - strength * SmoothStep(reach, 1.0, d);
            const uint32_t p = line[x];
            line[x] = (p & 0xFF000000u) | uint32_t(Clamp255(((p >> 16) & 0xFF) * f)) << 16
                | uint32_t(Clamp255(((p >> 8) & 0xFF) * f)) << 8 | uint32_t(Clamp255((p & 0xFF) * f));
        }
    }
}

void DrawSoftShadow(QPainter& painter, const QSize& canvas, const QPainterPath& shape, const QPointF& offset,
    double radius, const QColor& color)
{
    // Draw the silhouette small, blur it there and stretch it back: a shadow
    // has no detail worth computing at full size.
    const double factor = std::max(1.0, radius / 6.0);
    const QSize small(std::max(1, int(canvas.width() / factor)), std::max(1, int(canvas.height() / factor)));
    QImage layer(small, QImage::Format_ARGB32_Premultiplied);
    layer.fill(Qt::transparent);
    {
        QPainter p(&layer);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(1.0 / factor, 1.0 / factor);
        p.translate(offset);
        p.fillPath(shape, color);
    }
    const int box = std::max(1, int(std::lround(radius / factor / 1.7)));
    for (int pass = 0; pass < 3; ++pass) {
        BoxPass(layer, box, true);
        BoxPass(layer, box, false);
    }
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRectF(QPointF(0, 0), QSizeF(canvas)), layer);
    painter.restore();
}

QPainterPath TaperedStroke(const std::vector<QPointF>& points, double startWidth, double endWidth, double swell)
{
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    const size_t n = points.size();
    if (n < 2)
        return path;
    std::vector<QPointF> left(n);
    std::vector<QPointF> right(n);
    for (size_t i = 0; i < n; ++i) {
        const QPointF a = points[i == 0 ? 0 : i - 1];
        const QPointF b = points[i + 1 < n ? i + 1 : n - 1];
        QPointF d = b - a;
        const double len = std::hypot(d.x(), d.y());
        d = len > 0 ? d / len : QPointF(1, 0);
        const QPointF normal(-d.y(), d.x());
        const double t = double(i) / double(n - 1);
        const double width = (startWidth + (endWidth - startWidth) * t) * (1.0 + (swell - 1.0) * std::sin(kPi * t));
        left[i] = points[i] + normal * (width / 2);
        right[i] = points[i] - normal * (width / 2);
    }
    path.moveTo(left[0]);
    for (size_t i = 1; i < n; ++i)
        path.lineTo(left[i]);
    for (size_t i = n; i-- > 0;)
        path.lineTo(right[i]);
    path.closeSubpath();
    // Round the ends so strokes join their neighbours smoothly.
    path.addEllipse(points.front(), startWidth / 2, startWidth / 2);
    path.addEllipse(points.back(), endWidth * 0.9, endWidth * 0.9);
    return path;
}

std::vector<QPointF> ScrollCurve(QPointF start, double angle, double length, double curl, int turn)
{
    // The curvature grows along the curve, so it starts as a gentle sweep
    // and winds up into a spiral at its end (as a drawn scroll does).
    const int steps = 120;
    const double ds = length / steps;
    std::vector<QPointF> points;
    points.reserve(steps + 1);
    QPointF p = start;
    double theta = angle;
    points.push_back(p);
    for (int i = 1; i <= steps; ++i) {
        const double s = double(i) / steps;
        const double curvature = turn * (0.35 + curl * 12.0 * s * s * s) / length;
        theta += curvature * ds;
        p += QPointF(std::cos(theta), std::sin(theta)) * ds;
        points.push_back(p);
    }
    return points;
}

QPainterPath LeafPath(QPointF base, QPointF tip, double widthShare)
{
    const QPointF d = tip - base;
    const QPointF n = QPointF(-d.y(), d.x()) * widthShare;
    QPainterPath path;
    path.moveTo(base);
    path.cubicTo(base + d * 0.2 + n, base + d * 0.65 + n * 0.9, tip);
    path.cubicTo(base + d * 0.65 - n * 0.9, base + d * 0.2 - n, base);
    path.closeSubpath();
    return path;
}

QPainterPath BlossomPath(QPointF centre, double radius, double rotation, int petals)
{
    QPainterPath petal;
    const double r = radius;
    petal.moveTo(0, 0);
    petal.cubicTo(r * 0.25, -r * 0.5, r * 0.8, -r * 0.62, r * 0.97, -r * 0.16);
    petal.lineTo(r * 0.84, 0);
    petal.lineTo(r * 0.97, r * 0.16);
    petal.cubicTo(r * 0.8, r * 0.62, r * 0.25, r * 0.5, 0, 0);
    petal.closeSubpath();
    QPainterPath flower;
    flower.setFillRule(Qt::WindingFill);
    for (int k = 0; k < petals; ++k) {
        QTransform t;
        t.translate(centre.x(), centre.y());
        t.rotateRadians(rotation + 2 * kPi * k / petals);
        flower.addPath(t.map(petal));
    }
    return flower;
}

QPainterPath DotRingPath(QPointF centre, double radius, int count, double dotRadius)
{
    QPainterPath path;
    for (int k = 0; k < count; ++k) {
        const double a = 2 * kPi * k / count;
        path.addEllipse(centre + QPointF(std::cos(a), std::sin(a)) * radius, dotRadius, dotRadius);
    }
    return path;
}

void FillOrnament(QPainter& painter, const QPainterPath& path, const QColor& light, const QColor& dark,
    double shadowAlpha, double shadowOffset)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    if (shadowAlpha > 0) {
        painter.fillPath(path.translated(shadowOffset * 0.6, shadowOffset),
            QColor::fromRgbF(0.25f, 0.18f, 0.1f, float(shadowAlpha)));
    }
    const QRectF box = path.boundingRect();
    QLinearGradient gradient(box.topLeft(), box.bottomRight());
    gradient.setColorAt(0.0, light);
    gradient.setColorAt(0.45, dark);
    gradient.setColorAt(0.7, light);
    gradient.setColorAt(1.0, dark);
    painter.fillPath(path, gradient);
    painter.restore();
}

OpeningShape RectOpening(const QRectF& rect, double cornerRadius)
{
    const QPointF c = rect.center();
    const double hx = rect.width() / 2 - cornerRadius;
    const double hy = rect.height() / 2 - cornerRadius;
    return [=](double x, double y) {
        const double qx = std::fabs(x - c.x()) - hx;
        const double qy = std::fabs(y - c.y()) - hy;
        const double outside = std::hypot(std::max(qx, 0.0), std::max(qy, 0.0));
        return outside + std::min(std::max(qx, qy), 0.0) - cornerRadius;
    };
}

OpeningShape ArchOpening(const QRectF& rect)
{
    const double radius = rect.width() / 2;
    const QPointF arcCentre(rect.center().x(), rect.top() + radius);
    const OpeningShape lower
        = RectOpening(QRectF(rect.left(), arcCentre.y(), rect.width(), rect.bottom() - arcCentre.y()));
    return [=](double x, double y) {
        const double round = std::hypot(x - arcCentre.x(), y - arcCentre.y()) - radius;
        return std::min(round, lower(x, y));
    };
}

bool SavePicture(const QImage& image, const QString& path, const char* format, int quality)
{
    QImage tagged = image;
    tagged.setDotsPerMeterX(kDotsPerMeter350);
    tagged.setDotsPerMeterY(kDotsPerMeter350);
    QImageWriter writer(path, format);
    if (quality >= 0)
        writer.setQuality(quality);
    if (!writer.write(tagged)) {
        std::fprintf(stderr, "cannot write %s: %s\n", qPrintable(path), qPrintable(writer.errorString()));
        return false;
    }
    return true;
}

bool WriteTemplate(const QString& root, const TemplateArt& art)
{
    const QString folder = QDir(root).filePath(art.folderName);
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(folder));
        return false;
    }
    const int w = art.frame.width();
    const int h = art.frame.height();
    const double f = art.feather;

    // The background shows the mat in and around the opening (where the
    // foreground lets it through) and the design everywhere else.
    QImage background = art.frame.convertToFormat(QImage::Format_RGB32);
    const QImage mat = art.mat.convertToFormat(QImage::Format_RGB32);
    QImage foreground = art.frame.convertToFormat(QImage::Format_ARGB32);
    const QRect near = art.layer.adjusted(-int(2 * f) - 2, -int(2 * f) - 2, int(2 * f) + 2, int(2 * f) + 2)
                           .intersected(QRect(0, 0, w, h));
    for (int y = near.top(); y <= near.bottom(); ++y) {
        auto* bg = reinterpret_cast<uint32_t*>(background.scanLine(y));
        const auto* mt = reinterpret_cast<const uint32_t*>(mat.constScanLine(y));
        auto* fg = reinterpret_cast<uint32_t*>(foreground.scanLine(y));
        for (int x = near.left(); x <= near.right(); ++x) {
            const double d = art.opening(x + 0.5, y + 0.5);
            // Soft edge: clear 0.35 f inside the opening, solid 0.65 f outside it.
            const double alpha = SmoothStep(-0.35 * f, 0.65 * f, d);
            fg[x] = (fg[x] & 0x00FFFFFFu) | uint32_t(Clamp255(255.0 * alpha)) << 24;
            const double useFrame = SmoothStep(0.55 * f, 1.2 * f, d);
            const uint32_t a = mt[x];
            const uint32_t b = bg[x];
            uint32_t out = 0xFF000000u;
            for (int k = 0; k < 24; k += 8) {
                const double ca = (a >> k) & 0xFF;
                const double cb = (b >> k) & 0xFF;
                out |= uint32_t(Clamp255(ca + (cb - ca) * useFrame)) << k;
            }
            bg[x] = out;
        }
    }
    if (!art.overlay.isNull()) {
        QPainter painter(&foreground);
        painter.drawImage(0, 0, art.overlay);
    }

    const bool ok = SavePicture(background, QDir(folder).filePath(QStringLiteral("bs.lmv")),
                        art.backgroundAsPng ? "png" : "jpeg", art.backgroundAsPng ? kPngQuality : 93)
        && SavePicture(foreground, QDir(folder).filePath(QStringLiteral("fs.lmv")), "png", kPngQuality);
    if (!ok)
        return false;
    QFile layer(QDir(folder).filePath(QStringLiteral("layer.lmv")));
    const QByteArray text = QStringLiteral("[layer]\r\nx=%1\r\ny=%2\r\nwidth=%3\r\nheight=%4\r\n")
                                .arg(art.layer.x())
                                .arg(art.layer.y())
                                .arg(art.layer.width())
                                .arg(art.layer.height())
                                .toLatin1();
    if (!layer.open(QIODevice::WriteOnly | QIODevice::Truncate) || layer.write(text) != text.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(layer.fileName()));
        return false;
    }
    return true;
}

} // namespace lumavo::samples
