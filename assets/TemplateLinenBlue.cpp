#include "SampleOrnaments.h"
#include "SampleTemplates.h"

#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

namespace lumavo::samples {

namespace {

const QColor kLinen(160, 176, 190);
const QColor kLinenDeep(134, 151, 168);
const QColor kMatTop(250, 249, 245);
const QColor kMatBottom(240, 238, 232);
const QColor kSilverLight(206, 214, 222);
const QColor kSilverDark(132, 148, 166);

} // namespace

// A dusty blue linen border around an ivory mat; the photo sits in a
// bevelled window in the middle, with silver scrolls above and below.
TemplateArt DrawLinenBlue3R()
{
    constexpr int W = 1225;
    constexpr int H = 1750;
    const QRect opening(200, 325, 825, 1100);
    TemplateArt art;
    art.folderName = QStringLiteral("3R-linen-blue");
    art.albumCaption = QStringLiteral("亚麻蓝 · 3R");
    art.layer = opening;
    art.feather = 18;
    art.opening = RectOpening(QRectF(opening), 6);
    art.backgroundAsPng = true;

    art.frame = NewCanvas(W, H, kLinen);
    {
        QPainter p(&art.frame);
        QLinearGradient wash(0, 0, W * 0.4, H);
        wash.setColorAt(0, kLinen);
        wash.setColorAt(1, kLinenDeep);
        p.fillRect(art.frame.rect(), wash);
    }
    AddLinenTexture(art.frame, 77, 5.0);

    QPainter p(&art.frame);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF mat(62, 62, W - 124, H - 124);
    QPainterPath matPath;
    matPath.addRect(mat);
    DrawSoftShadow(p, QSize(W, H), matPath, QPointF(3, 8), 20, QColor(40, 52, 66, 90));
    QLinearGradient matFill(mat.topLeft(), mat.bottomLeft());
    matFill.setColorAt(0, kMatTop);
    matFill.setColorAt(1, kMatBottom);
    p.fillRect(mat, matFill);
    p.end();
    // A faint paper tooth on the mat only.
    {
        QImage paper = art.frame.copy(mat.toRect());
        AddPaperTexture(paper, 78, 1.6, 0.5, 260);
        QPainter q(&art.frame);
        q.drawImage(mat.topLeft(), paper);
    }

    p.begin(&art.frame);
    p.setRenderHint(QPainter::Antialiasing);
    // The mat's cut: a bevel lit from the top left around the window.
    const QRectF bevel = QRectF(opening).adjusted(-16, -16, 16, 16);
    QPainterPath bevelRing;
    bevelRing.setFillRule(Qt::OddEvenFill);
    bevelRing.addRoundedRect(bevel, 10, 10);
    bevelRing.addRoundedRect(QRectF(opening).adjusted(-2, -2, 2, 2), 6, 6);
    QLinearGradient bevelLight(bevel.topLeft(), bevel.bottomRight());
    bevelLight.setColorAt(0, QColor(255, 255, 253));
    bevelLight.setColorAt(0.5, QColor(236, 233, 226));
    bevelLight.setColorAt(1, QColor(214, 210, 202));
    p.fillPath(bevelRing, bevelLight);
    p.setPen(QPen(kSilverDark, 1.6));
    p.drawRoundedRect(QRectF(opening).adjusted(-34, -34, 34, 34), 14, 14);
    p.setPen(QPen(WithAlpha(kSilverDark, 0.6), 1.0));
    p.drawRoundedRect(QRectF(opening).adjusted(-42, -42, 42, 42), 18, 18);
    p.setPen(Qt::NoPen);

    FillOrnament(p, FlourishDivider(QPointF(W / 2.0, 196), 330), kSilverLight, kSilverDark, 0.14);
    FillOrnament(p, Medallion(QPointF(W / 2.0, 196), 26), kSilverLight, kSilverDark, 0.1);
    FillOrnament(p, FlourishDivider(QPointF(W / 2.0, 1540), 190), kSilverLight, kSilverDark, 0.14);
    const double inset = 84;
    FillOrnament(p, CornerFlourish(QPointF(inset, inset), 96, 1, 1), kSilverLight, kSilverDark, 0.12);
    FillOrnament(p, CornerFlourish(QPointF(W - inset, inset), 96, -1, 1), kSilverLight, kSilverDark, 0.12);
    FillOrnament(p, CornerFlourish(QPointF(inset, H - inset), 96, 1, -1), kSilverLight, kSilverDark, 0.12);
    FillOrnament(p, CornerFlourish(QPointF(W - inset, H - inset), 96, -1, -1), kSilverLight, kSilverDark, 0.12);
    p.end();

    art.mat = NewCanvas(W, H, kMatTop);
    {
        QPainter m(&art.mat);
        QRadialGradient glow(QRectF(opening).center(), 700);
        glow.setColorAt(0, QColor(236, 240, 244));
        glow.setColorAt(1, QColor(214, 222, 230));
        m.fillRect(art.mat.rect(), glow);
    }

    // White lace corners lying over the photo, half transparent.
    art.overlay = NewLayer(W, H);
    {
        QPainter o(&art.overlay);
        o.setRenderHint(QPainter::Antialiasing);
        o.setOpacity(0.55);
        FillOrnament(o, CornerFlourish(QPointF(opening.left() - 10, opening.top() - 10), 150, 1, 1),
            QColor(255, 255, 255), QColor(232, 238, 244), 0.15);
        FillOrnament(o, CornerFlourish(QPointF(opening.right() + 11, opening.bottom() + 11), 150, -1, -1),
            QColor(255, 255, 255), QColor(232, 238, 244), 0.15);
    }
    return art;
}

} // namespace lumavo::samples
