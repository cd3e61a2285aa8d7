#include "labels/ring_clip.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <numeric>

namespace orvane {

namespace {

using Ring = std::vector<QPointF>;

struct Edge {
  QPointF a, b;
};

// One pass of polygon clipping: the part of `ring` on the kept side of the
// line where coordinate `axis` (0: x, 1: y) equals `value`. Points made on the
// line get exactly that coordinate, and a vertex already on it is kept as it
// is rather than made again, so the pieces can be told apart later by exact
// comparison.
Ring clip_half(const Ring& ring, int axis, double value, bool keep_above) {
  const auto coord = [axis](const QPointF& p) { return axis == 0 ? p.x() : p.y(); };
  const auto inside = [&](const QPointF& p) {
    return keep_above ? coord(p) >= value : coord(p) <= value;
  };
  const auto crossing = [&](const QPointF& a, const QPointF& b) {
    const double t = (value - coord(a)) / (coord(b) - coord(a));
    return axis == 0 ? QPointF(value, a.y() + t * (b.y() - a.y()))
                     : QPointF(a.x() + t * (b.x() - a.x()), value);
  };
  Ring out;
  out.reserve(ring.size() + 8);
  const size_t n = ring.size();
  for (size_t i = 0; i < n; ++i) {
    const QPointF& a = ring[(i + n - 1) % n];
    const QPointF& b = ring[i];
    if (inside(b)) {
      if (!inside(a) && coord(b) != value) out.push_back(crossing(a, b));
      out.push_back(b);
    } else if (inside(a) && coord(a) != value) {
      out.push_back(crossing(a, b));
    }
  }
  return out;
}

// The frame line (0: left, 1: right, 2: top, 3: bottom) both ends of an edge
// lie on, or -1.
int frame_line(const double lines[4], const QPointF& a, const QPointF& b) {
  for (int k = 0; k < 4; ++k) {
    const double va = k < 2 ? a.x() : a.y(), vb = k < 2 ? b.x() : b.y();
    if (va == lines[k] && vb == lines[k]) return k;
  }
  return -1;
}

// Position along frame line k of a point on it.
double along(int k, const QPointF& p) { return k < 2 ? p.y() : p.x(); }

QPointF on_line(const double lines[4], int k, double v) {
  return k < 2 ? QPointF(lines[k], v) : QPointF(v, lines[k]);
}

// The edges of the clipped ring that lie on frame line k run to and fro where
// the passes joined its pieces. Between two neighbouring vertices on the line,
// the runs one way and the other cancel; what is left (none, for a ring that
// does not wind twice, or one edge) closes a piece.
void frame_edges(const double lines[4], int k, const Ring& ring,
                 const std::vector<std::pair<double, double>>& runs, std::vector<Edge>& out) {
  if (runs.empty()) return;
  std::vector<double> stops;
  for (const QPointF& p : ring) {
    if ((k < 2 ? p.x() : p.y()) == lines[k]) stops.push_back(along(k, p));
  }
  std::sort(stops.begin(), stops.end());
  stops.erase(std::unique(stops.begin(), stops.end()), stops.end());
  const auto index = [&](double v) {
    return std::lower_bound(stops.begin(), stops.end(), v) - stops.begin();
  };
  // net[i]: the runs towards higher positions less those towards lower ones
  // between stops i and i + 1, summed from the differences at each stop.
  std::vector<int> net(stops.size(), 0);
  for (const auto& [from, to] : runs) {
    const auto i = index(from), j = index(to);
    const int way = i < j ? 1 : -1;
    net[std::min(i, j)] += way;
    net[std::max(i, j)] -= way;
  }
  int count = 0;
  for (size_t i = 0; i + 1 < stops.size(); ++i) {
    count += net[i];
    const QPointF low = on_line(lines, k, stops[i]), high = on_line(lines, k, stops[i + 1]);
    for (int c = 0; c < std::abs(count); ++c) {
      out.push_back(count > 0 ? Edge{low, high} : Edge{high, low});
    }
  }
}

// Points compare exactly: every point of a piece is a copy of one of the ring.
bool same(const QPointF& p, const QPointF& q) { return p.x() == q.x() && p.y() == q.y(); }

// Twice the signed area: positive for a ring wound one way, negative the other.
double winding(const Ring& ring) {
  double twice = 0;
  for (size_t i = 0, n = ring.size(); i < n; ++i) {
    const QPointF& a = ring[i];
    const QPointF& b = ring[(i + 1) % n];
    twice += a.x() * b.y() - b.x() * a.y();
  }
  return twice;
}

bool before(const QPointF& p, const QPointF& q) {
  return p.x() < q.x() || (p.x() == q.x() && p.y() < q.y());
}

// Clipping a concave polygon in passes leaves one ring whose pieces are joined
// by edges running to and fro along the frame. Those cancel, and what remains
// is linked into one ring per piece: from the end of each edge on to an
// unused edge that starts there.
std::vector<QPolygonF> separate_pieces(const Ring& ring, const QRectF& frame) {
  const double lines[4] = {frame.left(), frame.right(), frame.top(), frame.bottom()};
  std::vector<Edge> edges;
  std::vector<std::pair<double, double>> runs[4];
  const size_t n = ring.size();
  for (size_t i = 0; i < n; ++i) {
    const QPointF& a = ring[i];
    const QPointF& b = ring[(i + 1) % n];
    if (same(a, b)) continue;
    const int k = frame_line(lines, a, b);
    if (k < 0) {
      edges.push_back({a, b});
    } else {
      runs[k].emplace_back(along(k, a), along(k, b));
    }
  }
  for (int k = 0; k < 4; ++k) frame_edges(lines, k, ring, runs[k], edges);

  // Edges by their start. Where pieces touch on the frame's edge, a point
  // starts more than one: the walk goes on along the first edge clockwise from
  // the one it came by (counter-clockwise for a ring wound the other way),
  // which keeps it to the piece it is on. Elsewhere it takes the first unused
  // edge in the ring's order, so a polygon that touches itself stays whole.
  std::vector<size_t> by_start(edges.size());
  std::iota(by_start.begin(), by_start.end(), size_t{0});
  std::stable_sort(by_start.begin(), by_start.end(),
                   [&](size_t i, size_t j) { return before(edges[i].a, edges[j].a); });
  const double turn = winding(ring) > 0 ? -1.0 : 1.0;
  std::vector<bool> gone(edges.size(), false);
  const auto next_from = [&](size_t in, size_t start) {
    const QPointF& p = edges[in].b;
    auto at = std::lower_bound(by_start.begin(), by_start.end(), p,
                               [&](size_t i, const QPointF& q) { return before(edges[i].a, q); });
    size_t best = same(edges[start].a, p) ? start : edges.size();
    double best_angle = -1;  // worked out only where there is a choice
    const bool on_frame =
        p.x() == lines[0] || p.x() == lines[1] || p.y() == lines[2] || p.y() == lines[3];
    const QPointF back = edges[in].a - p;
    const auto angle = [&](size_t e) {
      const QPointF d = edges[e].b - p;
      const double a = turn * std::atan2(back.x() * d.y() - back.y() * d.x(),
                                         back.x() * d.x() + back.y() * d.y());
      return a > 0 ? a : a + 2 * std::numbers::pi;
    };
    for (; at != by_start.end() && same(edges[*at].a, p); ++at) {
      if (gone[*at]) continue;
      if (best == edges.size()) {
        best = *at;  // the only one, most often: no angle needed
        continue;
      }
      if (!on_frame) break;  // the polygon's own pinch: back at the start, or on in order
      if (best_angle < 0) best_angle = angle(best);
      const double a = angle(*at);
      if (a < best_angle) best = *at, best_angle = a;
    }
    return best;
  };

  std::vector<QPolygonF> pieces;
  for (size_t start = 0; start < edges.size(); ++start) {
    if (gone[start]) continue;
    QPolygonF piece;
    size_t at = start;
    while (true) {
      gone[at] = true;
      piece.append(edges[at].a);
      at = next_from(at, start);
      if (at == start) break;
      if (at == edges.size()) break;  // cannot close: keep what was walked
    }
    if (piece.size() >= 3) pieces.push_back(std::move(piece));
  }
  return pieces;
}

}  // namespace

std::vector<QPolygonF> polygon_pieces_inside(const QPolygonF& polygon, const QRectF& rect) {
  Ring ring(polygon.begin(), polygon.end());
  ring = clip_half(ring, 0, rect.left(), true);
  ring = clip_half(ring, 0, rect.right(), false);
  ring = clip_half(ring, 1, rect.top(), true);
  ring = clip_half(ring, 1, rect.bottom(), false);
  if (ring.size() < 3) return {};
  for (const QPointF& p : ring) {
    if (!std::isfinite(p.x()) || !std::isfinite(p.y())) return {};
  }
  return separate_pieces(ring, rect);
}

}  // namespace orvane
