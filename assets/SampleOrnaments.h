#pragma once

#include <QPainterPath>
#include <QPointF>

#include <cstdint>
#include <vector>

namespace lumavo::samples {

// Ornaments drawn from curves only; the template styles combine them.

// One scroll flourish: a main curl with a smaller counter-curl and a leaf,
// growing from `origin` in direction `angle` (radians). turn = +1 or -1.
QPainterPath ScrollFlourish(QPointF origin, double size, double angle, int turn);

// A horizontal divider: mirrored scrolls either side of a small centre bud.
QPainterPath FlourishDivider(QPointF centre, double halfWidth);

// A four-fold damask medallion.
QPainterPath Medallion(QPointF centre, double radius);

// A corner ornament for the corner at `corner`; (dx, dy) = (+1|-1, +1|-1)
// point from the corner into the picture.
QPainterPath CornerFlourish(QPointF corner, double size, int dx, int dy);

// A leafy branch along a gentle curve.
struct Branch {
    QPainterPath stem;
    std::vector<QPainterPath> leaves;
};
Branch LeafyBranch(
    QPointF start, QPointF end, double bend, int leafCount, double leafLength, uint32_t seed, double leafWidth = 0.28);

// A hanging stem of blossoms (a cherry twig): the twig and the flower centres.
struct BlossomTwig {
    QPainterPath twig;
    std::vector<QPointF> flowers;
    std::vector<QPointF> buds;
};
BlossomTwig BlossomBranch(QPointF start, double angle, double length, uint32_t seed);

} // namespace lumavo::samples
