#include "SampleOrnaments.h"

#include "SampleDrawing.h"

#include <QTransform>

#include <cmath>

namespace lumavo::samples {

namespace {

constexpr double kPi = 3.14159265358979323846;

double Heading(const std::vector<QPointF>& points, size_t i)
{
    const size_t j = std::min(i + 1, points.size() - 1);
    const size_t k = j == i ? i - 1 : i;
    const QPointF d = points[j] - points[k];
    return std::atan2(d.y(), d.x());
}

QPointF Direction(double angle)
{
    return QPointF(std::cos(angle), std::sin(angle));
}

QPointF QuadPoint(QPointF a, QPointF c, QPointF b, double t)
{
    const double u = 1 - t;
    return a * (u * u) + c * (2 * u * t) + b * (t * t);
}

} // namespace

QPainterPath ScrollFlourish(QPointF origin, double size, double angle, int turn)
{
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    const std::vector<QPointF> main = ScrollCurve(origin, angle, size, 1.3, turn);
    path.addPath(TaperedStroke(main, size * 0.045, size * 0.014, 1.3));

    // A counter-curl leaves the main stroke a little before its middle.
    const size_t fork = main.size() * 2 / 5;
    const double forkAngle = Heading(main, fork) - turn * 0.7;
    const std::vector<QPointF> counter = ScrollCurve(main[fork], forkAngle, size * 0.42, 1.1, -turn);
    path.addPath(TaperedStroke(counter, size * 0.028, size * 0.01, 1.2));

    // A small leaf on the outside of the sweep near the start.
    const size_t stalk = main.size() / 5;
    const double leafAngle = Heading(main, stalk) - turn * 1.1;
    path.addPath(LeafPath(main[stalk], main[stalk] + Direction(leafAngle) * (size * 0.24), 0.2));
    return path;
}

QPainterPath FlourishDivider(QPointF centre, double halfWidth)
{
    QPainterPath side;
    side.setFillRule(Qt::WindingFill);
    const QPointF start = centre + QPointF(halfWidth * 0.07, 0);
    side.addPath(ScrollFlourish(start, halfWidth * 0.62, -0.12, 1));
    side.addPath(ScrollFlourish(start + QPointF(halfWidth * 0.02, 0), halfWidth * 0.36, -0.35, -1));
    // A fine tail running out to the divider's end.
    std::vector<QPointF> tail;
    for (int i = 0; i <= 40; ++i) {
        const double t = i / 40.0;
        tail.push_back(centre + QPointF(halfWidth * (0.45 + 0.55 * t), halfWidth * 0.05 * std::sin(kPi * t)));
    }
    side.addPath(TaperedStroke(tail, halfWidth * 0.012, halfWidth * 0.004));
    side.addEllipse(centre + QPointF(halfWidth, 0), halfWidth * 0.012, halfWidth * 0.012);

    QTransform mirror;
    mirror.translate(centre.x(), centre.y());
    mirror.scale(-1, 1);
    mirror.translate(-centre.x(), -centre.y());

    QPainterPath divider;
    divider.setFillRule(Qt::WindingFill);
    divider.addPath(side);
    divider.addPath(mirror.map(side));
    // Centre bud: a lozenge between two dots.
    const double b = halfWidth * 0.06;
    QPainterPath bud;
    bud.moveTo(centre + QPointF(0, -b * 1.3));
    bud.quadTo(centre + QPointF(b * 0.7, 0), centre + QPointF(0, b * 1.3));
    bud.quadTo(centre + QPointF(-b * 0.7, 0), centre + QPointF(0, -b * 1.3));
    bud.closeSubpath();
    divider.addPath(bud);
    divider.addEllipse(centre + QPointF(0, -b * 2.0), b * 0.28, b * 0.28);
    divider.addEllipse(centre + QPointF(0, b * 2.0), b * 0.28, b * 0.28);
    return divider;
}

QPainterPath Medallion(QPointF centre, double radius)
{
    // One quarter drawn along the x axis, then turned four times.
    QPainterPath quarter;
    quarter.setFillRule(Qt::WindingFill);
    const QPointF o(0, 0);
    quarter.addPath(ScrollFlourish(o + QPointF(radius * 0.18, -radius * 0.06), radius * 0.62, -0.55, 1));
    quarter.addPath(ScrollFlourish(o + QPointF(radius * 0.18, radius * 0.06), radius * 0.62, 0.55, -1));
    quarter.addPath(LeafPath(o + QPointF(radius * 0.2, 0), o + QPointF(radius * 0.78, 0), 0.16));
    quarter.addEllipse(o + QPointF(radius * 0.9, 0), radius * 0.035, radius * 0.035);

    QPainterPath medallion;
    medallion.setFillRule(Qt::WindingFill);
    for (int k = 0; k < 4; ++k) {
        QTransform t;
        t.translate(centre.x(), centre.y());
        t.rotate(90.0 * k);
        medallion.addPath(t.map(quarter));
    }
    medallion.addPath(BlossomPath(centre, radius * 0.17, kPi / 4, 4));
    medallion.addPath(DotRingPath(centre, radius * 1.02, 24, radius * 0.012));
    return medallion;
}

QPainterPath CornerFlourish(QPointF corner, double size, int dx, int dy)
{
    QPainterPath local;
    local.setFillRule(Qt::WindingFill);
    const QPointF o(size * 0.06, size * 0.06);
    // One scroll arm along each edge: the second is the first mirrored on the diagonal.
    const QPainterPath arm = ScrollFlourish(o, size, 0.04, 1);
    local.addPath(arm);
    local.addPath(QTransform(0, 1, 1, 0, 0, 0).map(arm));
    local.addPath(LeafPath(o, o + QPointF(size * 0.3, size * 0.3), 0.18));
    local.addEllipse(o + QPointF(size * 0.36, size * 0.36), size * 0.022, size * 0.022);

    QTransform place;
    place.translate(corner.x(), corner.y());
    place.scale(dx, dy);
    return place.map(local);
}

Branch LeafyBranch(
    QPointF start, QPointF end, double bend, int leafCount, double leafLength, uint32_t seed, double leafWidth)
{
    Random random(seed);
    Branch branch;
    const QPointF d = end - start;
    const double len = std::hypot(d.x(), d.y());
    const QPointF normal = QPointF(-d.y(), d.x()) / len;
    const QPointF control = (start + end) / 2 + normal * bend;
    std::vector<QPointF> stem;
    for (int i = 0; i <= 80; ++i)
        stem.push_back(QuadPoint(start, control, end, i / 80.0));
    branch.stem = TaperedStroke(stem, leafLength * 0.07, leafLength * 0.025);
    for (int i = 0; i < leafCount; ++i) {
        const double t = 0.06 + 0.86 * double(i) / std::max(1, leafCount - 1);
        const size_t at = size_t(t * 80);
        const double heading = Heading(stem, at);
        const int side = (i % 2) ? 1 : -1;
        const double spread = (0.75 + random.Range(-0.15, 0.15)) * side;
        const double length = leafLength * (1.0 - 0.3 * t) * random.Range(0.85, 1.12);
        const QPointF base = stem[at];
        branch.leaves.push_back(LeafPath(base, base + Direction(heading + spread) * length, leafWidth));
    }
    const double endHeading = Heading(stem, 80);
    branch.leaves.push_back(LeafPath(end, end + Direction(endHeading) * leafLength * 0.75, leafWidth));
    return branch;
}

BlossomTwig BlossomBranch(QPointF start, double angle, double length, uint32_t seed)
{
    Random random(seed);
    BlossomTwig result;
    result.twig.setFillRule(Qt::WindingFill);
    // The main twig wanders a little; side twigs leave it at random points.
    std::vector<QPointF> main;
    QPointF p = start;
    double heading = angle;
    const int steps = 60;
    for (int i = 0; i <= steps; ++i) {
        main.push_back(p);
        heading += random.Range(-0.07, 0.07) + 0.004;
        p += Direction(heading) * (length / steps);
    }
    result.twig.addPath(TaperedStroke(main, length * 0.028, length * 0.006));
    result.buds.push_back(main.back());
    for (int k = 0; k < 3; ++k) {
        const size_t at = size_t(steps * random.Range(0.25, 0.75));
        const int side = (k % 2) ? 1 : -1;
        double h = Heading(main, at) + side * random.Range(0.45, 0.8);
        const double sideLength = length * random.Range(0.22, 0.38);
        std::vector<QPointF> twig;
        QPointF q = main[at];
        for (int i = 0; i <= 20; ++i) {
            twig.push_back(q);
            h += random.Range(-0.08, 0.08);
            q += Direction(h) * (sideLength / 20);
        }
        result.twig.addPath(TaperedStroke(twig, length * 0.012, length * 0.004));
        result.flowers.push_back(twig[12]);
        result.buds.push_back(twig.back());
    }
    for (int k = 0; k < 5; ++k) {
        const size_t at = size_t(steps * (0.3 + 0.14 * k));
        const QPointF offset(random.Range(-1, 1) * length * 0.03, random.Range(-1, 1) * length * 0.03);
        result.flowers.push_back(main[std::min(at, main.size() - 1)] + offset);
    }
    return result;
}

} // namespace lumavo::samples
