// Draws the splash picture app/resources/splash.png (640 x 454): a portrait
// studio backdrop, an oval cameo frame with a sitter's silhouette, the product
// name and "影像工作室". Run once by hand; the PNG is kept in the repository.
//
//   g++ -std=c++20 -fPIC make_splash.cpp -o /tmp/make_splash $(pkg-config --cflags --libs Qt6Gui)
//   QT_QPA_PLATFORM=offscreen /tmp/make_splash app/resources/splash.png
//
// Fonts are Debian's: P052 (fonts-urw-base35) for the Latin name, AR PL
// KaitiM GB (fonts-arphic-gkai00mp) for the Chinese line, with fallbacks.
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QTransform>

#include <cstdio>
#include <random>

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 454;

const QColor kGoldLight(0xf1, 0xdc, 0xa7);
const QColor kGold(0xc9, 0xa8, 0x6a);
const QColor kGoldDeep(0x8c, 0x6b, 0x3a);

QLinearGradient GoldGradient(QPointF from, QPointF to)
{
    QLinearGradient gold(from, to);
    gold.setColorAt(0.0, kGoldDeep);
    gold.setColorAt(0.35, kGoldLight);
    gold.setColorAt(0.6, kGold);
    gold.setColorAt(1.0, kGoldDeep);
    return gold;
}

// A mottled muslin backdrop lit from the upper left, as in a portrait studio.
void DrawBackdrop(QPainter& p)
{
    QRadialGradient base(QPointF(230, 190), 520);
    base.setColorAt(0.0, QColor(0x4a, 0x6b, 0x6b));
    base.setColorAt(0.55, QColor(0x25, 0x3a, 0x3c));
    base.setColorAt(1.0, QColor(0x10, 0x18, 0x1a));
    p.fillRect(QRect(0, 0, kWidth, kHeight), base);

    std::mt19937 random(20240517);
    std::uniform_real_distribution<double> x(0, kWidth), y(0, kHeight), radius(40, 140), light(0, 1);
    for (int i = 0; i < 26; ++i) {
        const QPointF centre(x(random), y(random));
        const double r = radius(random);
        const bool bright = light(random) < 0.5;
        QRadialGradient blob(centre, r);
        blob.setColorAt(0.0, bright ? QColor(255, 244, 225, 16) : QColor(0, 0, 0, 22));
        blob.setColorAt(1.0, QColor(0, 0, 0, 0));
        p.setPen(Qt::NoPen);
        p.setBrush(blob);
        p.drawEllipse(centre, r, r);
    }

    // Vignette toward the edges.
    QRadialGradient vignette(QPointF(kWidth / 2.0, kHeight / 2.0), 420);
    vignette.setColorAt(0.6, QColor(0, 0, 0, 0));
    vignette.setColorAt(1.0, QColor(0, 0, 0, 110));
    p.fillRect(QRect(0, 0, kWidth, kHeight), vignette);
}

// The sitter: head, neck and shoulders as one soft silhouette, the head
// turned slightly toward the light.
QPainterPath SitterPath(const QRectF& oval)
{
    const double cx = oval.center().x();
    const double top = oval.top();
    const double h = oval.height();
    QPainterPath body;
    body.moveTo(cx - 125, oval.bottom() + 10);
    body.cubicTo(cx - 118, top + h * 0.82, cx - 74, top + h * 0.72, cx - 28, top + h * 0.675);
    body.cubicTo(cx - 20, top + h * 0.64, cx - 17, top + h * 0.58, cx - 17, top + h * 0.52);
    body.lineTo(cx + 19, top + h * 0.52);
    body.cubicTo(cx + 19, top + h * 0.58, cx + 22, top + h * 0.64, cx + 30, top + h * 0.675);
    body.cubicTo(cx + 78, top + h * 0.72, cx + 118, top + h * 0.82, cx + 125, oval.bottom() + 10);
    body.closeSubpath();
    QPainterPath head;
    head.addEllipse(QPointF(0, 0), 37, 47);
    QTransform turn;
    turn.translate(cx - 2, top + h * 0.375);
    turn.rotate(-8);
    return body.united(turn.map(head));
}

void DrawCameo(QPainter& p, const QRectF& oval)
{
    // Soft shadow behind the frame.
    for (int i = 12; i > 0; --i) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 0, 9));
        p.drawEllipse(oval.adjusted(-i - 6, -i - 2, i + 6, i + 14));
    }

    // The picture inside: a warm paper backdrop with the sitter.
    QPainterPath clip;
    clip.addEllipse(oval);
    p.save();
    p.setClipPath(clip);
    QRadialGradient paper(oval.center() - QPointF(20, 40), oval.height() * 0.75);
    paper.setColorAt(0.0, QColor(0xfb, 0xf6, 0xec));
    paper.setColorAt(0.7, QColor(0xe6, 0xda, 0xc6));
    paper.setColorAt(1.0, QColor(0xc9, 0xb8, 0x9c));
    p.fillRect(oval, paper);
    QLinearGradient sitter(oval.topLeft(), oval.bottomLeft());
    sitter.setColorAt(0.0, QColor(0x3c, 0x5c, 0x5e));
    sitter.setColorAt(1.0, QColor(0x1f, 0x33, 0x35));
    p.setPen(Qt::NoPen);
    p.setBrush(sitter);
    p.drawPath(SitterPath(oval));
    // Rim light on the sitter's lit side.
    QLinearGradient rim(oval.left(), 0, oval.right(), 0);
    rim.setColorAt(0.0, QColor(255, 240, 210, 60));
    rim.setColorAt(0.45, QColor(255, 240, 210, 0));
    p.setBrush(rim);
    p.drawPath(SitterPath(oval));
    p.restore();

    // The gilt frame: a broad band and a fine inner bead.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QBrush(GoldGradient(oval.topLeft(), oval.bottomRight())), 9));
    p.drawEllipse(oval.adjusted(-5, -5, 5, 5));
    p.setPen(QPen(QColor(0x5a, 0x43, 0x22, 200), 1.2));
    p.drawEllipse(oval.adjusted(-0.5, -0.5, 0.5, 0.5));
    p.setPen(QPen(QColor(0xf6, 0xe7, 0xc0, 160), 1.0));
    p.drawEllipse(oval.adjusted(-10, -10, 10, 10));
}

QFont PickFont(const QStringList& families, int pixelSize, int weight = QFont::Normal)
{
    QFont font;
    font.setFamilies(families);
    font.setPixelSize(pixelSize);
    font.setWeight(static_cast<QFont::Weight>(weight));
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

void DrawTitle(QPainter& p)
{
    const double left = 352;

    QFont latin = PickFont({ "P052", "DejaVu Serif" }, 66);
    latin.setLetterSpacing(QFont::AbsoluteSpacing, 2);
    p.setFont(latin);
    p.setPen(QColor(0, 0, 0, 90));
    p.drawText(QPointF(left + 2, 200 + 3), "Lumavo");
    p.setPen(QPen(QBrush(GoldGradient(QPointF(left, 150), QPointF(left + 240, 210))), 1));
    p.drawText(QPointF(left, 200), "Lumavo");

    // A fine rule with a diamond, between the two lines.
    QLinearGradient rule(left, 0, left + 236, 0);
    rule.setColorAt(0.0, QColor(0xc9, 0xa8, 0x6a, 0));
    rule.setColorAt(0.2, kGold);
    rule.setColorAt(0.8, kGold);
    rule.setColorAt(1.0, QColor(0xc9, 0xa8, 0x6a, 0));
    p.fillRect(QRectF(left, 224, 236, 1.2), rule);
    QPainterPath diamond;
    const QPointF mid(left + 118, 224.6);
    diamond.moveTo(mid + QPointF(0, -5));
    diamond.lineTo(mid + QPointF(5, 0));
    diamond.lineTo(mid + QPointF(0, 5));
    diamond.lineTo(mid + QPointF(-5, 0));
    diamond.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(kGoldLight);
    p.drawPath(diamond);

    QFont chinese = PickFont({ "AR PL KaitiM GB", "WenQuanYi Zen Hei" }, 40);
    chinese.setLetterSpacing(QFont::AbsoluteSpacing, 8);
    p.setFont(chinese);
    p.setPen(QColor(0, 0, 0, 90));
    p.drawText(QRectF(left + 2, 238 + 2, 236, 56), Qt::AlignHCenter | Qt::AlignVCenter, "影像工作室");
    p.setPen(QColor(0xf4, 0xec, 0xdc));
    p.drawText(QRectF(left, 238, 236, 56), Qt::AlignHCenter | Qt::AlignVCenter, "影像工作室");

    QFont small = PickFont({ "WenQuanYi Zen Hei" }, 13);
    small.setLetterSpacing(QFont::AbsoluteSpacing, 4);
    p.setFont(small);
    p.setPen(QColor(0xd8, 0xcc, 0xb4, 200));
    p.drawText(QRectF(left, 300, 236, 22), Qt::AlignHCenter | Qt::AlignVCenter, "人像 · 模板 · 合成 · 输出");
}

// A thin gilt border with cut corners frames the whole picture.
void DrawBorder(QPainter& p)
{
    const QRectF r(12.5, 12.5, kWidth - 25, kHeight - 25);
    const double cut = 12;
    QPainterPath border;
    border.moveTo(r.left() + cut, r.top());
    border.lineTo(r.right() - cut, r.top());
    border.lineTo(r.right(), r.top() + cut);
    border.lineTo(r.right(), r.bottom() - cut);
    border.lineTo(r.right() - cut, r.bottom());
    border.lineTo(r.left() + cut, r.bottom());
    border.lineTo(r.left(), r.bottom() - cut);
    border.lineTo(r.left(), r.top() + cut);
    border.closeSubpath();
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0xc9, 0xa8, 0x6a, 150), 1));
    p.drawPath(border);
    p.setPen(QPen(QColor(0xc9, 0xa8, 0x6a, 70), 1));
    p.drawRect(r.adjusted(5, 5, -5, -5));
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("splash.png");

    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    DrawBackdrop(p);
    DrawCameo(p, QRectF(88, 72, 200, 272));
    DrawTitle(p);
    DrawBorder(p);
    p.end();

    // 2835 pixels per metre: 72 dpi, as the old bitmap carried.
    image.setDotsPerMeterX(2835);
    image.setDotsPerMeterY(2835);
    if (!image.convertToFormat(QImage::Format_RGB888).save(out, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(out));
        return 1;
    }
    return 0;
}
