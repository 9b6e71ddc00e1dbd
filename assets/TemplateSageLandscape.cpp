#include "SampleOrnaments.h"
#include "SampleTemplates.h"

#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

namespace lumavo::samples {

namespace {

const QColor kPaper(243, 240, 232);
const QColor kPaperDeep(232, 228, 217);
const QColor kSage(166, 180, 158);
const QColor kSageDeep(140, 156, 134);
const QColor kLeafLight(206, 214, 196);
const QColor kLeafDark(120, 138, 118);
const QColor kGoldLight(224, 206, 164);
const QColor kGoldDark(178, 150, 102);

void DrawEucalyptus(QPainter& painter, QPointF start, QPointF end, double bend, int leaves, double leafSize,
    uint32_t seed, const QColor& light, const QColor& dark, double alpha)
{
    const Branch branch = LeafyBranch(start, end, bend, leaves, leafSize, seed, 0.42);
    painter.fillPath(branch.stem, WithAlpha(dark.darker(115), alpha));
    int i = 0;
    for (const QPainterPath& leaf : branch.leaves) {
        const QRectF box = leaf.boundingRect();
        QLinearGradient g(box.topLeft(), box.bottomRight());
        const double t = (i++ % 4) / 4.0;
        g.setColorAt(0, WithAlpha(Mix(light, dark, t * 0.5), alpha));
        g.setColorAt(1, WithAlpha(Mix(light, dark, 0.5 + t * 0.5), alpha));
        painter.fillPath(leaf, g);
    }
}

} // namespace

// A landscape page: the photo on a white card at the left, a sage linen panel
// with eucalyptus and a gold rule at the right.
TemplateArt DrawSageLandscape6R()
{
    constexpr int W = 2800;
    constexpr int H = 2100;
    const QRect opening(230, 500, 1650, 1100);
    TemplateArt art;
    art.folderName = QStringLiteral("6R-sage-landscape");
    art.albumCaption = QStringLiteral("鼠尾草绿 · 6R 横幅");
    art.layer = opening;
    art.feather = 18;
    art.opening = RectOpening(QRectF(opening));

    art.frame = NewCanvas(W, H, kPaper);
    {
        QPainter p(&art.frame);
        QLinearGradient wash(0, 0, W, H);
        wash.setColorAt(0, kPaper);
        wash.setColorAt(1, kPaperDeep);
        p.fillRect(art.frame.rect(), wash);
    }
    AddPaperTexture(art.frame, 91, 2.6, 0.5, 420);

    const QRectF panel(2080, 0, W - 2080, H);
    {
        QImage linen = NewCanvas(int(panel.width()), H, kSage);
        {
            QPainter q(&linen);
            QLinearGradient g(0, 0, 0, H);
            g.setColorAt(0, kSage);
            g.setColorAt(1, kSageDeep);
            q.fillRect(linen.rect(), g);
        }
        AddLinenTexture(linen, 92, 4.5);
        QPainter p(&art.frame);
        QPainterPath panelPath;
        panelPath.addRect(panel);
        DrawSoftShadow(p, QSize(W, H), panelPath, QPointF(-8, 0), 26, QColor(60, 70, 56, 70));
        p.drawImage(panel.topLeft(), linen);
    }

    QPainter p(&art.frame);
    p.setRenderHint(QPainter::Antialiasing);
    // A gold rule along the panel's edge.
    p.fillRect(QRectF(panel.left() - 3, 0, 6, H), kGoldDark);
    p.fillRect(QRectF(panel.left() - 1, 0, 2, H), kGoldLight);

    // The photo card.
    const QRectF card = QRectF(opening).adjusted(-44, -44, 44, 44);
    QPainterPath cardPath;
    cardPath.addRect(card);
    DrawSoftShadow(p, QSize(W, H), cardPath, QPointF(8, 16), 30, QColor(70, 64, 52, 80));
    p.fillRect(card, QColor(252, 251, 248));
    p.setPen(QPen(kGoldDark, 2.0));
    p.drawRect(QRectF(opening).adjusted(-16, -16, 16, 16));
    p.setPen(Qt::NoPen);

    // Eucalyptus in cream and gold on the panel.
    const double cx = panel.center().x();
    DrawEucalyptus(
        p, QPointF(cx + 40, 1900), QPointF(cx - 60, 240), 120, 22, 120, 5, kLeafLight, QColor(188, 200, 178), 0.95);
    DrawEucalyptus(p, QPointF(cx + 60, 1500), QPointF(cx + 250, 700), -90, 10, 90, 6, kGoldLight, kGoldDark, 0.9);
    DrawEucalyptus(p, QPointF(cx - 40, 1750), QPointF(cx - 280, 1100), 80, 8, 84, 8, QColor(236, 232, 220),
        QColor(206, 204, 190), 0.85);
    FillOrnament(p, Medallion(QPointF(cx, 1980), 60), kGoldLight, kGoldDark, 0.12);

    // A quiet divider above the card; the foot stays clear for the caption.
    FillOrnament(p, FlourishDivider(QPointF(opening.center().x(), 250), 520), kGoldLight, kGoldDark);
    p.end();

    art.mat = NewCanvas(W, H, QColor(246, 245, 240));
    {
        QPainter m(&art.mat);
        QRadialGradient glow(QRectF(opening).center(), 1100);
        glow.setColorAt(0, QColor(244, 243, 238));
        glow.setColorAt(1, QColor(222, 226, 216));
        m.fillRect(art.mat.rect(), glow);
    }

    // A sprig reaching from the panel over the photo's right edge.
    art.overlay = NewLayer(W, H);
    {
        QPainter o(&art.overlay);
        o.setRenderHint(QPainter::Antialiasing);
        DrawEucalyptus(o, QPointF(2000, 1540), QPointF(1700, 1330), 40, 8, 78, 31, kLeafLight, kLeafDark, 0.6);
        DrawEucalyptus(o, QPointF(1990, 1560), QPointF(1760, 1640), -30, 5, 66, 32, kGoldLight, kGoldDark, 0.55);
    }
    return art;
}

} // namespace lumavo::samples
