// Drawn copies of long outlines.
#include "canvas/outline_simplify.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

using namespace orvane;

namespace {

// Points 0.25 px apart around a 100 px square, clockwise from `start` px past (0, 0).
QPolygonF square_edges(double start) {
  QPolygonF ring;
  for (double s = start; s < start + 400; s += 0.25) {
    const double e = std::fmod(s, 400);
    ring << (e < 200 ? QPointF(std::min(e, 100.0), std::max(e - 100, 0.0))
                     : QPointF(std::max(300 - e, 0.0), std::min(400 - e, 100.0)));
  }
  return ring;
}

TEST(OutlineSimplify, DrawnCopyStaysWithinToleranceAndKeepsTheCorners) {
  QPolygonF stairs, wavy, zigzag;  // 0.05 px steps up to (100, 100), closed by two edges
  for (int i = 0; i < 2000; ++i) stairs << QPointF(i, i) / 20 << QPointF(i + 1, i) / 20;
  stairs << QPointF(100, 100) << QPointF(0, 100);
  for (int i = 0; i < 20000; ++i) {  // a traced circle of radius 1000 with 40 waves of 50 px
    const double t = 2 * std::numbers::pi * i / 20000, r = 1000 + 50 * std::sin(40 * t);
    wavy << QPointF(r * std::cos(t), r * std::sin(t));
  }
  for (int i = 0; i < 300; ++i) zigzag << QPointF(i, i % 2 * 0.1);
  const struct {
    const char* name;
    QPolygonF outline;
    double tolerance;
    QPolygonF expected;  // empty: at most a tenth of the vertices
  } cases[] = {
      {"staircase collapses", stairs, 0.25, {{0, 0}, {100, 100}, {0, 100}}},
      {"square keeps its corners", square_edges(0), 0.25, {{0, 0}, {100, 0}, {100, 100}, {0, 100}}},
      {"first stays", square_edges(50), 1, {{50, 0}, {100, 0}, {100, 100}, {0, 100}, {0, 0}}},
      {"small outline stays exact", zigzag, 0.25, zigzag},
      {"no tolerance, no change", wavy, 0, wavy},
      {"waves keep their shape", wavy, 0.5, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const QPolygonF drawn = simplified_outline(c.outline, c.tolerance);
    EXPECT_TRUE(c.expected.isEmpty() ? drawn.size() < c.outline.size() / 10 : drawn == c.expected);
    // The outline's own vertices from its first on, each left out near the edge replacing it.
    qsizetype k = drawn.first() == c.outline.first() ? 0 : drawn.size();
    for (qsizetype i = 0; i < c.outline.size() && k < drawn.size(); ++i) {
      if (k + 1 < drawn.size() && c.outline[i] == drawn[k + 1]) ++k;
      const QPointF a = drawn[k], ab = drawn[(k + 1) % drawn.size()] - a, ap = c.outline[i] - a;
      const double t =
          std::clamp(QPointF::dotProduct(ap, ab) / QPointF::dotProduct(ab, ab), 0., 1.);
      EXPECT_LE(std::hypot((ap - t * ab).x(), (ap - t * ab).y()), c.tolerance + 1e-9) << i;
    }
    EXPECT_EQ(k + 1, drawn.size()) << "not the outline's own vertices in order";
  }
}

TEST(OutlineSimplify, DetailChangesWhenTheZoomDoubles) {  // units per pixel, level, tolerance
  const double cases[][3] = {{1, 0, 0.25}, {1.99, 0, 0.25},   {2, 1, 0.5},
                             {7, 2, 1},    {0.3, -2, 0.0625}, {0, 0, 0}};
  for (const auto& c : cases) {
    EXPECT_EQ(outline_detail(c[0]).level, int(c[1])) << c[0];
    EXPECT_DOUBLE_EQ(outline_detail(c[0]).tolerance, c[2]) << c[0];
  }
}

}  // namespace
