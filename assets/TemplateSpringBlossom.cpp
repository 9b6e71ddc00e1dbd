#include "SampleOrnaments.h"
#include "SampleTemplates.h"

#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <QTransform>

#include <cmath>

namespace lumavo::samples {

namespace {

const QColor kSkyTop(250, 236, 232);
const QColor kSkyBottom(243, 214, 208);
const QColor kPetalLight(255, 246, 246);
const QColor kPetalPink(240, 184, 192);
const QColor kBark(122, 92, 86);
const QColor kGoldLight(232, 208, 170);
const QColor kGoldDark(190, 152, 110);

void DrawBlossom(QPainter& painter, QPointF centre, double radius, double rotation, double alpha)
{
    const QPainterPath flower = BlossomPath(centre, radius, rotation);
    QRadialGradient g(centre, radius);
    g.setColorAt(0, WithAlpha(QColor(236, 150, 166), alpha));
    g.setColorAt(0.28, WithAlpha(kPetalLight, alpha));
    g.setColorAt(0.8, WithAlpha(Mix(kPetalLight, kPetalPink, 0.5), alpha));
    g.setColorAt(1, WithAlpha(kPetalPink, alpha));
    painter.fillPath(flower.translated(radius * 0.04, radius * 0.07), WithAlpha(QColor(150, 90, 90), 0.12 * alpha));
    painter.fillPath(flower, g);
    // Stamens: a ring of fine dots.
    painter.fillPath(DotRingPath(centre, radius * 0.22, 9, radius * 0.035), WithAlpha(QColor(200, 120, 110), alpha));
    painter.fillPath(DotRingPath(centre, radius * 0.32, 7, radius * 0.04), WithAlpha(kGoldDark, alpha));
}

void DrawTwig(QPainter& painter, const BlossomTwig& twig, double flowerRadius, uint32_t seed, double alpha)
{
    Random random(seed);
    painter.fillPath(twig.twig, WithAlpha(kBark, alpha));
    for (const QPointF& bud : twig.buds) {
        QPainterPath b;
        b.addEllipse(bud, flowerRadius * 0.22, flowerRadius * 0.3);
        painter.fillPath(b, WithAlpha(QColor(232, 150, 164), alpha));
    }
    for (const QPointF& at : twig.flowers)
        DrawBlossom(painter, at, flowerRadius * random.Range(0.75, 1.15), random.Range(0, 6.28), alpha);
}

QPainterPath Petal(QPointF at, double size, double angle)
{
    QPainterPath petal;
    petal.moveTo(0, 0);
    petal.cubicTo(size * 0.4, -size * 0.5, size * 0.9, -size * 0.3, size, 0);
    petal.cubicTo(size * 0.9, size * 0.3, size * 0.4, size * 0.5, 0, 0);
    QTransform t;
    t.translate(at.x(), at.y());
    t.rotateRadians(angle);
    return t.map(petal);
}

} // namespace

// 春日花语: a soft blush sky with light bokeh, an arched window framed in
// white and gold, and cherry twigs reaching in from two corners.
TemplateArt DrawSpringBlossom()
{
    constexpr int W = 1400;
    constexpr int H = 2100;
    const QRect opening(250, 330, 900, 1200);
    TemplateArt art;
    art.folderName = QStringLiteral("春日花语");
    art.layer = opening;
    art.feather = 46;
    art.opening = ArchOpening(QRectF(opening));

    art.frame = NewCanvas(W, H, kSkyTop);
    {
        QPainter p(&art.frame);
        QLinearGradient sky(0, 0, 0, H);
        sky.setColorAt(0, kSkyTop);
        sky.setColorAt(1, kSkyBottom);
        p.fillRect(art.frame.rect(), sky);
    }
    AddPaperTexture(art.frame, 61, 2.4, 0.5, 360);

    QPainter p(&art.frame);
    p.setRenderHint(QPainter::Antialiasing);
    // Out-of-focus light: large soft discs.
    Random random(62);
    for (int i = 0; i < 34; ++i) {
        const QPointF c(random.Range(0, W), random.Range(0, H));
        const double r = random.Range(30, 110);
        QRadialGradient g(c, r);
        const QColor tone = (i % 3 == 0) ? QColor(255, 255, 250) : QColor(255, 226, 226);
        const double a = random.Range(0.12, 0.32);
        g.setColorAt(0, WithAlpha(tone, a));
        g.setColorAt(0.8, WithAlpha(tone, a * 0.8));
        g.setColorAt(1, WithAlpha(tone, 0));
        p.setBrush(g);
        p.setPen(Qt::NoPen);
        p.drawEllipse(c, r, r);
    }

    // The arched window's frame: a white band with a gold line either side.
    const double radius = opening.width() / 2.0;
    auto arch = [&](double grow) {
        QPainterPath path;
        const QRectF r = QRectF(opening).adjusted(-grow, -grow, grow, grow);
        const double rr = radius + grow;
        path.moveTo(r.left(), r.bottom());
        path.lineTo(r.left(), r.top() + rr);
        path.arcTo(QRectF(r.left(), r.top(), 2 * rr, 2 * rr), 180, -180);
        path.lineTo(r.right(), r.bottom());
        path.closeSubpath();
        return path;
    };
    QPainterPath band = arch(60);
    DrawSoftShadow(p, QSize(W, H), band, QPointF(4, 12), 30, QColor(150, 90, 90, 70));
    p.fillPath(band, QColor(255, 251, 249));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kGoldDark, 2.2));
    p.drawPath(arch(24));
    p.setPen(QPen(WithAlpha(kGoldDark, 0.7), 1.2));
    p.drawPath(arch(52));
    p.setPen(Qt::NoPen);
    FillOrnament(p, FlourishDivider(QPointF(W / 2.0, opening.bottom() + 130), 300), kGoldLight, kGoldDark, 0.12);

    // Cherry twigs from the top left and the bottom right corners.
    DrawTwig(p, BlossomBranch(QPointF(-40, 120), 0.35, 700, 71), 46, 72, 1.0);
    DrawTwig(p, BlossomBranch(QPointF(-30, 420), 0.1, 420, 73), 38, 74, 0.95);
    DrawTwig(p, BlossomBranch(QPointF(W + 40, 1880), 3.14159 + 0.45, 760, 75), 48, 76, 1.0);
    DrawTwig(p, BlossomBranch(QPointF(W + 30, 1500), 3.14159 + 0.2, 360, 77), 36, 78, 0.9);
    // Drifting petals.
    for (int i = 0; i < 26; ++i) {
        const QPointF at(random.Range(40, W - 40), random.Range(60, H - 200));
        if (art.opening(at.x(), at.y()) < 80)
            continue;
        p.fillPath(Petal(at, random.Range(16, 30), random.Range(0, 6.28)),
            WithAlpha(Mix(kPetalLight, kPetalPink, random.Unit()), 0.85));
    }
    p.end();

    art.mat = NewCanvas(W, H, QColor(252, 240, 238));
    {
        QPainter m(&art.mat);
        QRadialGradient glow(QRectF(opening).center(), 800);
        glow.setColorAt(0, QColor(253, 246, 244));
        glow.setColorAt(1, QColor(240, 220, 216));
        m.fillRect(art.mat.rect(), glow);
    }

    // Blossoms and petals over the window's edge, half see-through.
    art.overlay = NewLayer(W, H);
    {
        QPainter o(&art.overlay);
        o.setRenderHint(QPainter::Antialiasing);
        DrawTwig(o, BlossomBranch(QPointF(160, 300), 0.75, 300, 81), 40, 82, 0.8);
        DrawTwig(o, BlossomBranch(QPointF(1240, 1560), 3.14159 + 0.8, 280, 83), 40, 84, 0.8);
        Random drift(85);
        for (int i = 0; i < 7; ++i) {
            const QPointF at(drift.Range(opening.left() + 40, opening.right() - 40),
                drift.Range(opening.bottom() - 260, opening.bottom() - 30));
            o.fillPath(Petal(at, drift.Range(16, 26), drift.Range(0, 6.28)), WithAlpha(kPetalLight, 0.55));
        }
    }
    return art;
}

} // namespace lumavo::samples
