#include "canvas/outline_simplify.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace orvane {

namespace {

// Squared distance from `p` to the segment from `a` to `b`.
double squared_distance_to_segment(const QPointF& p, const QPointF& a, const QPointF& b) {
  const QPointF ab = b - a, ap = p - a;
  const double length = QPointF::dotProduct(ab, ab);
  const double t = length > 0 ? std::clamp(QPointF::dotProduct(ap, ab) / length, 0.0, 1.0) : 0.0;
  const QPointF d = ap - t * ab;
  return QPointF::dotProduct(d, d);
}

// Marks in `keep` the vertices of the chain from `first` to `last` (indices
// modulo the outline's size) that stay, both ends excepted.
void keep_needed(const QPolygonF& outline, qsizetype first, qsizetype last,
                 double squared_tolerance, std::vector<char>& keep) {
  const qsizetype n = outline.size();
  std::vector<std::pair<qsizetype, qsizetype>> chains{{first, last}};
  while (!chains.empty()) {
    const auto [a, b] = chains.back();
    chains.pop_back();
    double farthest = squared_tolerance;
    qsizetype split = -1;
    for (qsizetype i = a + 1; i < b; ++i) {
      const double d = squared_distance_to_segment(outline[i % n], outline[a % n], outline[b % n]);
      if (d > farthest) {
        farthest = d;
        split = i;
      }
    }
    if (split < 0) continue;
    keep[split % n] = 1;
    chains.emplace_back(a, split);
    chains.emplace_back(split, b);
  }
}

}  // namespace

QPolygonF simplified_outline(const QPolygonF& outline, double tolerance) {
  const qsizetype n = outline.size();
  if (n <= kExactOutlinePoints || !(tolerance > 0)) return outline;
  // The ring is cut at its first vertex and at the vertex farthest from it;
  // each half is simplified as an open chain whose ends stay.
  qsizetype far = 0;
  double far_distance = 0;
  for (qsizetype i = 1; i < n; ++i) {
    const QPointF d = outline[i] - outline[0];
    if (const double squared = QPointF::dotProduct(d, d); squared > far_distance) {
      far_distance = squared;
      far = i;
    }
  }
  std::vector<char> keep(n, 0);
  keep[0] = 1;
  if (far > 0) {
    keep[far] = 1;
    const double squared_tolerance = tolerance * tolerance;
    keep_needed(outline, 0, far, squared_tolerance, keep);
    keep_needed(outline, far, n, squared_tolerance, keep);  // index n is the first vertex again
  }
  QPolygonF drawn;
  for (qsizetype i = 0; i < n; ++i) {
    if (keep[i]) drawn.append(outline[i]);
  }
  return drawn;
}

OutlineDetail outline_detail(double units_per_pixel) {
  if (!(units_per_pixel > 0) || !std::isfinite(units_per_pixel)) return {};
  const int level = int(std::floor(std::log2(units_per_pixel)));
  return {level, std::ldexp(0.25, level)};
}

}  // namespace orvane
