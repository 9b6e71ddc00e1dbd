#include "templates/KeyClick.h"

#include <algorithm>
#include <cmath>

namespace lumavo {

int ClickCoordinate::PixelOn(int length) const
{
    const double pixel = share ? std::floor(value * length) : value;
    return int(std::clamp(pixel, 0.0, double(std::max(0, length - 1))));
}

bool ClickInside(const KeyClick& click, QSize fullSize)
{
    const auto inside = [](const ClickCoordinate& c, int fullLength) { return c.share || c.value < fullLength; };
    return inside(click.x, fullSize.width()) && inside(click.y, fullSize.height());
}

void ClickPoint(const KeyClick& click, QSize size, QSize fullSize, int* x, int* y)
{
    // A point given in pixels lies on the full-size photo; a reduced decode
    // scales it down with the picture.
    const auto scaled = [](const ClickCoordinate& c, int length, int fullLength) {
        if (c.share || fullLength <= 0 || fullLength == length)
            return c.PixelOn(length);
        const ClickCoordinate shrunk { std::floor(c.value * length / fullLength), false };
        return shrunk.PixelOn(length);
    };
    *x = scaled(click.x, size.width(), fullSize.width());
    *y = scaled(click.y, size.height(), fullSize.height());
}

} // namespace lumavo
