#include "SampleOrnaments.h"
#include "SampleTemplates.h"

#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

namespace lumavo::samples {

namespace {

const QColor kPaperLight(247, 241, 232);
const QColor kPaperDeep(234, 224, 210);
const QColor kIvory(251, 248, 242);
const QColor kBlush(240, 229, 219);
const QColor kGoldLight(219, 198, 152);
const QColor kGoldDark(176, 146, 96);
const QColor kSage(150, 163, 138);
const QColor kSageDark(118, 133, 108);

QPainterPath RectPath(const QRectF& rect)
{
    QPainterPath path;
    path.addRect(rect);
    return path;
}

void DrawCard(QPainter& painter, const QSize& canvas, const QRectF& card, const QColor& top, const QColor& bottom)
{
    DrawSoftShadow(painter, canvas, RectPath(card), QPointF(5, 11), 24, QColor(92, 70, 48, 80));
    QLinearGradient fill(card.topLeft(), card.bottomRight());
    fill.setColorAt(0, top);
    fill.setColorAt(1, bottom);
    painter.fillRect(card, fill);
}

void DrawBranch(QPainter& painter, const Branch& branch, double alpha)
{
    painter.fillPath(branch.stem, WithAlpha(kSageDark, alpha));
    int i = 0;
    for (const QPainterPath& leaf : branch.leaves) {
        const QColor tone = (i++ % 3 == 0) ? Mix(kSage, kGoldLight, 0.45) : (i % 2 ? kSage : kSageDark);
        painter.fillPath(leaf, WithAlpha(tone, alpha));
    }
}

} // namespace

// A warm cream page: the photo mounted on an ivory card top left, a botanical
// card beside it, and a quiet damask with an olive wreath below.
TemplateArt DrawClassicCream4R()
{
    constexpr int W = 1400;
    constexpr int H = 2100;
    const QRect opening(100, 150, 600, 800);
    TemplateArt art;
    art.folderName = QStringLiteral("4R-classic-cream");
    art.albumCaption = QStringLiteral("典雅米白 · 4R");
    art.layer = opening;
    art.feather = 16;
    art.opening = RectOpening(QRectF(opening));

    art.frame = NewCanvas(W, H, kPaperLight);
    {
        QPainter p(&art.frame);
        QLinearGradient wash(0, 0, W, H);
        wash.setColorAt(0, kPaperLight);
        wash.setColorAt(1, kPaperDeep);
        p.fillRect(art.frame.rect(), wash);
    }
    AddPaperTexture(art.frame, 41, 3.0, 0.6, 320);

    QPainter p(&art.frame);
    p.setRenderHint(QPainter::Antialiasing);
    const QSize canvas(W, H);

    // Page border: a gold rule with a fine inner line.
    p.setPen(QPen(kGoldDark, 2.4));
    p.drawRect(QRectF(30, 30, W - 60, H - 60));
    p.setPen(QPen(WithAlpha(kGoldDark, 0.7), 1.0));
    p.drawRect(QRectF(40, 40, W - 80, H - 80));
    p.setPen(Qt::NoPen);

    // The photo card, with a gold keyline just outside the opening.
    const QRectF photoCard = QRectF(opening).adjusted(-34, -34, 34, 34);
    DrawCard(p, canvas, photoCard, kIvory, QColor(245, 240, 232));
    p.setPen(QPen(kGoldDark, 1.8));
    p.drawRect(QRectF(opening).adjusted(-14, -14, 14, 14));
    p.setPen(Qt::NoPen);

    // The botanical card beside it.
    const QRectF sideCard(790, photoCard.top(), 544, photoCard.height());
    DrawCard(p, canvas, sideCard, kBlush, QColor(233, 219, 206));
    p.setPen(QPen(WithAlpha(kGoldDark, 0.8), 1.4));
    p.drawRect(sideCard.adjusted(18, 18, -18, -18));
    p.setPen(Qt::NoPen);
    const double cx = sideCard.center().x();
    FillOrnament(p, Medallion(QPointF(cx, 250), 78), kGoldLight, kGoldDark);
    DrawBranch(p, LeafyBranch(QPointF(cx + 8, 880), QPointF(cx - 6, 400), 46, 15, 88, 7, 0.22), 0.9);
    FillOrnament(p, FlourishDivider(QPointF(cx, 915), 170), kGoldLight, kGoldDark);

    // Below: a divider, a faint damask and an olive wreath around it.
    FillOrnament(p, FlourishDivider(QPointF(W / 2.0, 1085), 430), kGoldLight, kGoldDark);
    p.setOpacity(0.22);
    FillOrnament(p, Medallion(QPointF(W / 2.0, 1500), 300), kGoldLight, kGoldDark, 0);
    p.setOpacity(1.0);
    DrawBranch(p, LeafyBranch(QPointF(W / 2.0 - 30, 1880), QPointF(330, 1260), -210, 17, 80, 11), 0.85);
    DrawBranch(p, LeafyBranch(QPointF(W / 2.0 + 30, 1880), QPointF(W - 330, 1260), 210, 17, 80, 12), 0.85);
    FillOrnament(p, BlossomPath(QPointF(W / 2.0, 1885), 26, 0.3), QColor(236, 214, 200), QColor(214, 184, 170));
    p.setPen(QPen(kGoldDark, 1.2));
    p.drawLine(QPointF(W / 2.0 - 260, 1965), QPointF(W / 2.0 + 260, 1965));
    p.setPen(Qt::NoPen);
    FillOrnament(p, CornerFlourish(QPointF(40, H - 40), 120, 1, -1), kGoldLight, kGoldDark);
    FillOrnament(p, CornerFlourish(QPointF(W - 40, H - 40), 120, -1, -1), kGoldLight, kGoldDark);
    p.end();

    // Inside the opening the background is the card's own soft ivory.
    art.mat = NewCanvas(W, H, kIvory);
    {
        QPainter m(&art.mat);
        QRadialGradient glow(QRectF(opening).center(), 520);
        glow.setColorAt(0, QColor(246, 242, 235));
        glow.setColorAt(1, QColor(232, 224, 212));
        m.fillRect(art.mat.rect(), glow);
    }

    // A translucent olive sprig over the opening's lower right corner.
    art.overlay = NewLayer(W, H);
    {
        QPainter o(&art.overlay);
        o.setRenderHint(QPainter::Antialiasing);
        DrawBranch(o, LeafyBranch(QPointF(752, 1000), QPointF(598, 862), 26, 7, 58, 21, 0.24), 0.62);
        FillOrnament(
            o, BlossomPath(QPointF(742, 990), 20, 0.5), QColor(240, 222, 210, 220), QColor(218, 190, 176, 220), 0.1);
    }
    return art;
}

} // namespace lumavo::samples
