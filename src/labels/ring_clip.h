// Cutting a polygon at the edges of an axis-aligned rectangle.
#pragma once

#include <QPolygonF>
#include <QRectF>
#include <vector>

namespace orvane {

// The parts of `polygon` that lie inside `rect`, one ring per piece (a concave
// polygon may fall into many), in the polygon's own coordinates. Points made
// on the rectangle's edges lie exactly on them. Takes O(n log n) time in the
// polygon's points. A polygon with a point that is not finite has no parts.
std::vector<QPolygonF> polygon_pieces_inside(const QPolygonF& polygon, const QRectF& rect);

}  // namespace orvane
