#include "SamplePhotos.h"

#include "SampleDrawing.h"

#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <QTransform>

#include <cmath>

namespace lumavo::samples {

namespace {

enum class Hair { Long, Short, Bob };
enum class Clothes { Blouse, Suit, Sweater };

struct Person {
    QPointF head; // centre of the head
    double height; // head height in pixels; everything scales with it
    Hair hair;
    Clothes clothes;
    QColor skin;
    QColor hairColor;
    QColor cloth;
    QColor accent; // tie, collar or trim
};

QPointF At(const Person& p, double x, double y)
{
    const double w = p.height * 0.72;
    return p.head + QPointF(x * w, y * p.height);
}

QPainterPath Mirrored(const Person& p, const QPainterPath& half)
{
    QTransform t;
    t.translate(p.head.x(), 0);
    t.scale(-1, 1);
    t.translate(-p.head.x(), 0);
    return t.map(half);
}

// A closed half outline joined with its mirror image about the head's centre line.
QPainterPath Symmetric(const Person& p, const QPainterPath& half)
{
    QPainterPath whole;
    whole.setFillRule(Qt::WindingFill);
    whole.addPath(half);
    whole.addPath(Mirrored(p, half));
    return whole.simplified();
}

QPainterPath HeadPath(const Person& p)
{
    QPainterPath path;
    path.moveTo(At(p, 0, -0.5));
    path.cubicTo(At(p, 0.3, -0.5), At(p, 0.5, -0.32), At(p, 0.5, -0.06));
    path.cubicTo(At(p, 0.5, 0.2), At(p, 0.26, 0.5), At(p, 0, 0.5));
    path.cubicTo(At(p, -0.26, 0.5), At(p, -0.5, 0.2), At(p, -0.5, -0.06));
    path.cubicTo(At(p, -0.5, -0.32), At(p, -0.3, -0.5), At(p, 0, -0.5));
    path.closeSubpath();
    return path;
}

QPainterPath NeckPath(const Person& p)
{
    QPainterPath path;
    path.moveTo(At(p, -0.21, 0.2));
    path.lineTo(At(p, 0.21, 0.2));
    path.cubicTo(At(p, 0.2, 0.6), At(p, 0.28, 0.72), At(p, 0.62, 0.86));
    path.lineTo(At(p, 0.5, 1.5));
    path.lineTo(At(p, -0.5, 1.5));
    path.lineTo(At(p, -0.62, 0.86));
    path.cubicTo(At(p, -0.28, 0.72), At(p, -0.2, 0.6), At(p, -0.21, 0.2));
    path.closeSubpath();
    return path;
}

// The body from the shoulders down past the picture's lower edge, with the
// neckline cut out.
QPainterPath BodyPath(const Person& p, double bottom, bool vNeck)
{
    QPainterPath half;
    const double neckDepth = vNeck ? 1.42 : 1.0;
    half.moveTo(At(p, 0, neckDepth));
    if (vNeck)
        half.lineTo(At(p, 0.34, 0.78));
    else
        half.cubicTo(At(p, 0.22, neckDepth), At(p, 0.38, 0.9), At(p, 0.42, 0.76));
    half.cubicTo(At(p, 0.9, 0.84), At(p, 1.25, 0.86), At(p, 1.45, 1.06));
    half.cubicTo(At(p, 1.62, 1.26), At(p, 1.68, 1.6), At(p, 1.72, 2.0));
    half.lineTo(QPointF(At(p, 1.85, 0).x(), bottom));
    half.lineTo(QPointF(p.head.x(), bottom));
    half.closeSubpath();
    return Symmetric(p, half);
}

QPainterPath BackHairPath(const Person& p)
{
    QPainterPath half;
    if (p.hair == Hair::Long) {
        half.moveTo(At(p, 0, -0.6));
        half.cubicTo(At(p, 0.45, -0.62), At(p, 0.7, -0.35), At(p, 0.66, 0.05));
        half.cubicTo(At(p, 0.64, 0.5), At(p, 0.7, 0.85), At(p, 0.95, 1.2));
        half.cubicTo(At(p, 0.7, 1.32), At(p, 0.4, 1.25), At(p, 0.25, 1.1));
        half.lineTo(At(p, 0, 1.0));
    } else if (p.hair == Hair::Bob) {
        half.moveTo(At(p, 0, -0.6));
        half.cubicTo(At(p, 0.45, -0.62), At(p, 0.68, -0.36), At(p, 0.64, 0.02));
        half.cubicTo(At(p, 0.62, 0.3), At(p, 0.66, 0.42), At(p, 0.6, 0.5));
        half.cubicTo(At(p, 0.45, 0.56), At(p, 0.3, 0.45), At(p, 0.2, 0.4));
        half.lineTo(At(p, 0, 0.4));
    } else {
        half.moveTo(At(p, 0, -0.58));
        half.cubicTo(At(p, 0.4, -0.6), At(p, 0.56, -0.35), At(p, 0.53, -0.08));
        half.lineTo(At(p, 0.5, 0.0));
        half.lineTo(At(p, 0, 0.0));
    }
    half.closeSubpath();
    return Symmetric(p, half);
}

// The hair over the forehead: a side-swept fringe for long hair and the bob,
// a neat short cut otherwise.
QPainterPath FrontHairPath(const Person& p)
{
    QPainterPath path;
    if (p.hair == Hair::Short) {
        path.moveTo(At(p, -0.53, -0.02));
        path.cubicTo(At(p, -0.58, -0.45), At(p, -0.3, -0.63), At(p, 0.02, -0.63));
        path.cubicTo(At(p, 0.35, -0.62), At(p, 0.58, -0.45), At(p, 0.53, -0.02));
        path.cubicTo(At(p, 0.5, -0.2), At(p, 0.45, -0.3), At(p, 0.3, -0.33));
        path.cubicTo(At(p, 0.1, -0.37), At(p, -0.08, -0.41), At(p, -0.24, -0.36));
        path.cubicTo(At(p, -0.42, -0.31), At(p, -0.5, -0.2), At(p, -0.53, -0.02));
    } else {
        path.moveTo(At(p, -0.55, 0.2));
        path.cubicTo(At(p, -0.6, -0.45), At(p, -0.3, -0.62), At(p, 0.02, -0.62));
        path.cubicTo(At(p, 0.38, -0.62), At(p, 0.6, -0.42), At(p, 0.55, 0.2));
        path.cubicTo(At(p, 0.5, -0.05), At(p, 0.45, -0.2), At(p, 0.3, -0.28));
        path.cubicTo(At(p, 0.1, -0.34), At(p, -0.05, -0.38), At(p, -0.12, -0.42));
        path.cubicTo(At(p, -0.2, -0.25), At(p, -0.42, -0.15), At(p, -0.55, 0.2));
    }
    path.closeSubpath();
    return path;
}

// Everything of the person that hides the backdrop: hair, head, ears, neck
// and body.
QPainterPath Silhouette(const Person& p, double bottom)
{
    QPainterPath whole;
    whole.setFillRule(Qt::WindingFill);
    whole.addPath(BackHairPath(p));
    whole.addPath(HeadPath(p));
    whole.addPath(NeckPath(p));
    whole.addPath(BodyPath(p, bottom, p.clothes == Clothes::Suit));
    whole.addPath(FrontHairPath(p));
    if (p.hair == Hair::Short) {
        for (int side : { -1, 1 })
            whole.addEllipse(At(p, 0.5 * side, 0.03), p.height * 0.05, p.height * 0.09);
    }
    return whole;
}

void FillShaded(QPainter& painter, const QPainterPath& path, const QColor& base, const QPointF& light, double reach)
{
    QRadialGradient g(light, reach);
    g.setColorAt(0, base.lighter(118));
    g.setColorAt(0.55, base);
    g.setColorAt(1, base.darker(135));
    painter.fillPath(path, g);
}

void DrawHairStrands(QPainter& painter, const Person& p, const QPainterPath& clip, uint32_t seed)
{
    Random random(seed);
    painter.save();
    painter.setClipPath(clip);
    for (int i = 0; i < 70; ++i) {
        const double x0 = random.Range(-0.6, 0.6);
        const double bend = random.Range(0.15, 0.35) * (x0 < 0 ? -1 : 1);
        QPainterPath strand;
        strand.moveTo(At(p, x0 * 0.3, -0.62));
        strand.cubicTo(At(p, x0 + bend, -0.4), At(p, x0 * 1.2 + bend, 0.1), At(p, x0 * 1.3, random.Range(0.3, 1.2)));
        const bool light = (i % 3) != 0;
        const QColor c = light ? p.hairColor.lighter(165) : p.hairColor.darker(150);
        painter.setPen(QPen(WithAlpha(c, random.Range(0.06, 0.16)), p.height * random.Range(0.004, 0.011),
            Qt::SolidLine, Qt::RoundCap));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(strand);
    }
    painter.restore();
}

void DrawFace(QPainter& painter, const Person& p)
{
    const double h = p.height;
    const QColor line = p.hairColor.darker(110);
    painter.save();
    painter.setBrush(Qt::NoBrush);
    // Soft shade of the eye sockets and closed, calm eyes.
    for (int side : { -1, 1 }) {
        QRadialGradient socket(At(p, 0.2 * side, 0.0), h * 0.09);
        socket.setColorAt(0, WithAlpha(p.skin.darker(125), 0.35));
        socket.setColorAt(1, WithAlpha(p.skin.darker(125), 0.0));
        painter.fillRect(QRectF(At(p, 0.2 * side, 0) - QPointF(h * 0.1, h * 0.1), QSizeF(h * 0.2, h * 0.2)), socket);

        QPainterPath lash;
        lash.moveTo(At(p, 0.2 * side - 0.085, -0.005));
        lash.quadTo(At(p, 0.2 * side, 0.04), At(p, 0.2 * side + 0.085, -0.005));
        painter.setPen(QPen(WithAlpha(line, 0.75), h * 0.011, Qt::SolidLine, Qt::RoundCap));
        painter.drawPath(lash);

        QPainterPath brow;
        brow.moveTo(At(p, 0.2 * side - 0.1 * side, -0.1));
        brow.quadTo(At(p, 0.2 * side, -0.135), At(p, 0.2 * side + 0.11 * side, -0.105));
        painter.setPen(QPen(WithAlpha(p.hairColor, 0.55), h * 0.016, Qt::SolidLine, Qt::RoundCap));
        painter.drawPath(brow);

        QRadialGradient blush(At(p, 0.26 * side, 0.15), h * 0.1);
        blush.setColorAt(0, QColor(232, 140, 130, 46));
        blush.setColorAt(1, QColor(232, 140, 130, 0));
        painter.setPen(Qt::NoPen);
        painter.fillRect(QRectF(At(p, 0.26 * side, 0.15) - QPointF(h * 0.1, h * 0.1), QSizeF(h * 0.2, h * 0.2)), blush);
    }
    // The nose as a soft shadow line, the mouth as a quiet smile.
    QPainterPath nose;
    nose.moveTo(At(p, 0.035, 0.05));
    nose.cubicTo(At(p, 0.06, 0.14), At(p, 0.07, 0.19), At(p, 0.02, 0.205));
    painter.setPen(QPen(WithAlpha(p.skin.darker(140), 0.5), h * 0.01, Qt::SolidLine, Qt::RoundCap));
    painter.drawPath(nose);

    QPainterPath lips;
    lips.moveTo(At(p, -0.1, 0.3));
    lips.cubicTo(At(p, -0.04, 0.275), At(p, 0.04, 0.275), At(p, 0.1, 0.3));
    lips.cubicTo(At(p, 0.05, 0.345), At(p, -0.05, 0.345), At(p, -0.1, 0.3));
    lips.closeSubpath();
    painter.setPen(Qt::NoPen);
    painter.fillPath(lips, WithAlpha(Mix(p.skin, QColor(196, 104, 104), 0.55), 0.85));
    painter.setPen(QPen(WithAlpha(Mix(p.skin, QColor(120, 60, 60), 0.6), 0.6), h * 0.005, Qt::SolidLine, Qt::RoundCap));
    QPainterPath parting;
    parting.moveTo(At(p, -0.095, 0.3));
    parting.quadTo(At(p, 0, 0.312), At(p, 0.095, 0.3));
    painter.drawPath(parting);
    painter.restore();
}

void DrawPerson(QPainter& painter, const QSize& canvas, const Person& p, bool castShadow)
{
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const double bottom = canvas.height() + 10;
    const bool vNeck = p.clothes == Clothes::Suit;
    const QPainterPath head = HeadPath(p);
    const QPainterPath body = BodyPath(p, bottom, vNeck);
    const QPainterPath backHair = BackHairPath(p);
    const QPainterPath neck = NeckPath(p);
    const QPointF key = At(p, -0.35, -0.3); // key light from the upper left

    if (castShadow) {
        QPainterPath silhouette;
        silhouette.setFillRule(Qt::WindingFill);
        silhouette.addPath(head);
        silhouette.addPath(body);
        silhouette.addPath(backHair);
        DrawSoftShadow(painter, canvas, silhouette, QPointF(p.height * 0.12, p.height * 0.05), p.height * 0.12,
            QColor(30, 24, 20, 70));
    }

    FillShaded(painter, backHair, p.hairColor, key, p.height * 1.2);
    DrawHairStrands(painter, p, backHair, uint32_t(p.head.x() + p.head.y()));
    FillShaded(painter, neck, p.skin.darker(104), At(p, -0.3, 0.6), p.height * 0.9);
    // Shadow under the chin.
    QRadialGradient chin(At(p, 0, 0.5), p.height * 0.3);
    chin.setColorAt(0, WithAlpha(p.skin.darker(160), 0.45));
    chin.setColorAt(1, WithAlpha(p.skin.darker(160), 0.0));
    painter.save();
    painter.setClipPath(neck);
    painter.fillRect(QRectF(At(p, -0.5, 0.2), At(p, 0.5, 0.9)), chin);
    painter.restore();

    if (p.clothes == Clothes::Suit) {
        QPainterPath shirt;
        shirt.moveTo(At(p, -0.36, 0.72));
        shirt.lineTo(At(p, 0.36, 0.72));
        shirt.lineTo(At(p, 0.1, 1.6));
        shirt.lineTo(At(p, -0.1, 1.6));
        shirt.closeSubpath();
        FillShaded(painter, shirt, p.accent.lighter(100), key, p.height * 1.6);
        // Collar points.
        for (int side : { -1, 1 }) {
            QPainterPath collar;
            collar.moveTo(At(p, 0.25 * side, 0.64));
            collar.lineTo(At(p, 0.36 * side, 0.8));
            collar.lineTo(At(p, 0.06 * side, 1.0));
            collar.lineTo(At(p, 0.0, 0.86));
            collar.closeSubpath();
            FillShaded(painter, collar, QColor(246, 246, 242), key, p.height * 1.4);
        }
        QPainterPath tie;
        tie.moveTo(At(p, -0.05, 0.88));
        tie.lineTo(At(p, 0.05, 0.88));
        tie.lineTo(At(p, 0.09, 1.5));
        tie.lineTo(At(p, 0, 1.62));
        tie.lineTo(At(p, -0.09, 1.5));
        tie.closeSubpath();
        FillShaded(painter, tie, QColor(58, 72, 104), key, p.height);
        QPainterPath knot;
        knot.addEllipse(At(p, 0, 0.9), p.height * 0.05, p.height * 0.04);
        FillShaded(painter, knot, QColor(52, 66, 98), key, p.height * 0.6);
    }

    FillShaded(painter, body, p.cloth, At(p, -0.9, 0.9), p.height * 2.4);
    if (p.clothes == Clothes::Suit) {
        // Lapel edges catch the light.
        for (int side : { -1, 1 }) {
            QPainterPath lapel;
            lapel.moveTo(At(p, 0.34 * side, 0.78));
            lapel.lineTo(At(p, 0.02 * side, 1.42));
            lapel.lineTo(At(p, 0.3 * side, 1.2));
            lapel.lineTo(At(p, 0.62 * side, 0.95));
            lapel.closeSubpath();
            painter.fillPath(lapel, WithAlpha(p.cloth.lighter(side < 0 ? 135 : 112), 0.85));
        }
    } else {
        // A soft fold or two, and a trim along the neckline.
        painter.save();
        painter.setClipPath(body);
        for (int side : { -1, 1 }) {
            QLinearGradient fold(At(p, 0.9 * side, 1.3), At(p, 1.2 * side, 1.5));
            fold.setColorAt(0, WithAlpha(p.cloth.darker(130), 0.0));
            fold.setColorAt(0.5, WithAlpha(p.cloth.darker(130), 0.35));
            fold.setColorAt(1, WithAlpha(p.cloth.darker(130), 0.0));
            // Each fold stays on its own side of the body.
            painter.fillRect(QRectF(At(p, side < 0 ? -2.0 : 0.0, 1.0), At(p, side < 0 ? 0.0 : 2.0, 3.0)), fold);
        }
        QPainterPath neckline;
        neckline.moveTo(At(p, -0.42, 0.76));
        neckline.cubicTo(At(p, -0.38, 0.9), At(p, -0.22, 1.0), At(p, 0, 1.0));
        neckline.cubicTo(At(p, 0.22, 1.0), At(p, 0.38, 0.9), At(p, 0.42, 0.76));
        painter.setPen(QPen(WithAlpha(p.accent, 0.9), p.height * 0.04, Qt::SolidLine, Qt::RoundCap));
        painter.drawPath(neckline);
        painter.setPen(Qt::NoPen);
        painter.restore();
    }

    // Ears for short hair, then the face and the hair over it.
    if (p.hair == Hair::Short) {
        for (int side : { -1, 1 }) {
            QPainterPath ear;
            ear.addEllipse(At(p, 0.5 * side, 0.03), p.height * 0.05, p.height * 0.09);
            FillShaded(painter, ear, p.skin.darker(106), key, p.height * 1.1);
        }
    }
    FillShaded(painter, head, p.skin, key, p.height * 0.95);
    DrawFace(painter, p);
    const QPainterPath front = FrontHairPath(p);
    FillShaded(painter, front, p.hairColor, key, p.height * 0.8);
    DrawHairStrands(painter, p, front, uint32_t(p.head.x() * 3 + p.head.y()));

    // A faint rim light on the shadow side separates the figure from the backdrop.
    painter.save();
    painter.setClipPath(head);
    QLinearGradient rim(At(p, 0.3, 0), At(p, 0.52, 0));
    rim.setColorAt(0, QColor(255, 255, 255, 0));
    rim.setColorAt(1, QColor(255, 250, 240, 40));
    painter.fillRect(head.boundingRect(), rim);
    painter.restore();
}

QImage Backdrop(int width, int height, const QColor& centre, const QColor& edge, QPointF glow, uint32_t seed)
{
    QImage image = NewCanvas(width, height, edge);
    {
        QPainter painter(&image);
        QRadialGradient g(glow, std::max(width, height) * 0.75);
        g.setColorAt(0, centre);
        g.setColorAt(1, edge);
        painter.fillRect(image.rect(), g);
    }
    // A hand-painted cloth backdrop: broad soft mottling.
    AddPaperTexture(image, seed, 7.0, 0.0, std::max(width, height) * 0.22);
    AddVignette(image, 0.32, 0.35);
    return image;
}

QImage FinishPhoto(QImage image, uint32_t seed)
{
    // A touch of film grain, as a real photo has.
    AddPaperTexture(image, seed, 0.0, 1.6, 100);
    return image.convertToFormat(QImage::Format_RGB32);
}

// The people's coverage of a picture of the given size.
QImage SubjectMask(const QSize& size, std::initializer_list<Person> people)
{
    QImage mask(size, QImage::Format_Grayscale8);
    mask.fill(0);
    QPainter painter(&mask);
    painter.setRenderHint(QPainter::Antialiasing);
    for (const Person& p : people)
        painter.fillPath(Silhouette(p, size.height() + 10), Qt::white);
    return mask;
}

const QColor kSkinWarm(238, 203, 178);
const QColor kSkinFair(244, 214, 194);

} // namespace

std::vector<SamplePhoto> DrawSamplePhotos()
{
    std::vector<SamplePhoto> photos;

    {
        QImage image = Backdrop(2400, 3200, QColor(200, 189, 176), QColor(118, 106, 96), QPointF(1100, 1200), 501);
        const Person woman { QPointF(1200, 1350), 1000, Hair::Long, Clothes::Blouse, kSkinFair, QColor(62, 42, 34),
            QColor(204, 158, 152), QColor(236, 222, 212) };
        QPainter painter(&image);
        DrawPerson(painter, image.size(), woman, true);
        painter.end();
        photos.push_back(
            { QStringLiteral("portrait-woman.jpg"), FinishPhoto(image, 502), SubjectMask(image.size(), { woman }) });
    }
    {
        QImage image = Backdrop(2400, 3200, QColor(168, 180, 192), QColor(78, 90, 104), QPointF(1000, 1100), 511);
        const Person man { QPointF(1200, 1300), 960, Hair::Short, Clothes::Suit, kSkinWarm, QColor(40, 32, 28),
            QColor(64, 68, 78), QColor(238, 238, 234) };
        QPainter painter(&image);
        DrawPerson(painter, image.size(), man, true);
        painter.end();
        photos.push_back(
            { QStringLiteral("portrait-man.jpg"), FinishPhoto(image, 512), SubjectMask(image.size(), { man }) });
    }
    {
        QImage image = Backdrop(3000, 2000, QColor(214, 206, 194), QColor(132, 122, 110), QPointF(1500, 800), 521);
        const Person man { QPointF(1800, 820), 600, Hair::Short, Clothes::Suit, kSkinWarm, QColor(44, 34, 28),
            QColor(92, 98, 110), QColor(238, 238, 234) };
        const Person woman { QPointF(1230, 900), 580, Hair::Long, Clothes::Blouse, kSkinFair, QColor(70, 48, 36),
            QColor(232, 218, 200), QColor(210, 180, 160) };
        QPainter painter(&image);
        DrawPerson(painter, image.size(), man, true);
        DrawPerson(painter, image.size(), woman, true);
        painter.end();
        photos.push_back({ QStringLiteral("couple-landscape.jpg"), FinishPhoto(image, 522),
            SubjectMask(image.size(), { man, woman }) });
    }
    {
        // An even, unshadowed green backdrop, as a keying screen is lit.
        QImage image = NewCanvas(2400, 3200, QColor(46, 160, 78));
        const Person woman { QPointF(1200, 1350), 980, Hair::Bob, Clothes::Sweater, kSkinFair, QColor(48, 34, 28),
            QColor(232, 228, 236), QColor(196, 200, 220) };
        {
            QPainter painter(&image);
            QRadialGradient g(QPointF(1200, 1400), 2600);
            g.setColorAt(0, QColor(52, 168, 84));
            g.setColorAt(1, QColor(42, 150, 72));
            painter.fillRect(image.rect(), g);
            DrawPerson(painter, image.size(), woman, false);
        }
        photos.push_back(
            { QStringLiteral("green-backdrop.jpg"), FinishPhoto(image, 532), SubjectMask(image.size(), { woman }) });
    }
    return photos;
}

} // namespace lumavo::samples
