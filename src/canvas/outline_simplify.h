// Drawn copies of long outlines: a traced outline of 100,000 vertices costs a
// tenth of a second or more to stroke on every repaint, most of its vertices
// closer together than a screen pixel. The copy keeps only the vertices a
// drawing at the current zoom needs; the outline itself is never changed.
#pragma once

#include <QPolygonF>

namespace orvane {

// Outlines of up to this many vertices are drawn as they are.
inline constexpr qsizetype kExactOutlinePoints = 512;

// The vertices of the closed `outline` that a drawing within `tolerance` of it
// needs (Douglas-Peucker): every vertex left out lies within `tolerance` of
// the drawn edge that replaces it. The result is a subsequence of the outline's
// own vertices, its first vertex first. Outlines of up to kExactOutlinePoints
// vertices, and a tolerance <= 0, come back unchanged.
QPolygonF simplified_outline(const QPolygonF& outline, double tolerance);

// How much of an outline a view needs where one screen pixel covers
// `units_per_pixel` units of the outline: `level` is floor(log2 of it), so
// the detail changes each time the zoom doubles or halves, and `tolerance`
// (in outline units) stays between an eighth and a quarter of a screen pixel.
struct OutlineDetail {
  int level = 0;
  double tolerance = 0;
};
OutlineDetail outline_detail(double units_per_pixel);

}  // namespace orvane
