// Drawn copies of long outlines.
#include "canvas/outline_simplify.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

using namespace orvane;

namespace {

// 1600 points 0.25 px apart around a 100 px square, clockwise from `start` px
// along its edges after the corner (0, 0).
QPolygonF square_edges(double start) {
  QPolygonF ring;
  for (int i = 0; i < 1600; ++i) {
    const double s = std::fmod(start + i * 0.25, 400);
    ring << (s < 100   ? QPointF(s, 0)
             : s < 200 ? QPointF(100, s - 100)
             : s < 300 ? QPointF(300 - s, 100)
                       : QPointF(0, 400 - s));
  }
  return ring;
}

TEST(OutlineSimplify, DrawnCopyStaysWithinToleranceAndKeepsTheCorners) {
  QPolygonF stairs;  // a staircase of 0.05 px steps up to (100, 100), closed by two straight edges
  for (int i = 0; i < 2000; ++i) {
    stairs << QPointF(i * 0.05, i * 0.05) << QPointF(i * 0.05 + 0.05, i * 0.05);
  }
  stairs << QPointF(100, 100) << QPointF(0, 100);
  QPolygonF wavy, zigzag;  // a traced circle of radius 1000 with 40 waves of 50 px; a small zigzag
  for (int i = 0; i < 20000; ++i) {
    const double t = 2 * std::numbers::pi * i / 20000, r = 1000 + 50 * std::sin(40 * t);
    wavy << QPointF(r * std::cos(t), r * std::sin(t));
  }
  for (int i = 0; i < 300; ++i) zigzag << QPointF(i, i % 2 * 0.1);
  const struct {
    const char* name;
    QPolygonF outline;
    double tolerance;
    QPolygonF expected;  // empty: only the bounds below are checked
    qsizetype at_most;
  } cases[] = {
      {"staircase collapses", stairs, 0.25, {{0, 0}, {100, 100}, {0, 100}}, 3},
      {"square keeps its corners",
       square_edges(0),
       0.25,
       {{0, 0}, {100, 0}, {100, 100}, {0, 100}},
       4},
      {"first vertex stays",
       square_edges(50),
       1,
       {{50, 0}, {100, 0}, {100, 100}, {0, 100}, {0, 0}},
       5},
      {"small outline stays exact", zigzag, 0.25, zigzag, 300},
      {"no tolerance, no change", wavy, 0, wavy, 20000},
      {"waves keep their shape", wavy, 0.5, {}, 2000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const QPolygonF drawn = simplified_outline(c.outline, c.tolerance);
    if (!c.expected.isEmpty()) {
      EXPECT_EQ(drawn, c.expected);
    }
    EXPECT_LE(drawn.size(), c.at_most);
    ASSERT_FALSE(drawn.isEmpty());
    EXPECT_EQ(drawn.first(), c.outline.first());
    // The drawn vertices are the outline's own, in order, and every vertex
    // between two of them lies within the tolerance of the edge joining them.
    qsizetype k = 0;
    for (qsizetype i = 0; i < c.outline.size(); ++i) {
      if (k + 1 < drawn.size() && c.outline[i] == drawn[k + 1]) ++k;
      const QPointF a = drawn[k], b = drawn[(k + 1) % drawn.size()], ab = b - a,
                    ap = c.outline[i] - a;
      const double t =
          std::clamp(QPointF::dotProduct(ap, ab) / QPointF::dotProduct(ab, ab), 0.0, 1.0);
      const QPointF off = ap - t * ab;
      EXPECT_LE(std::hypot(off.x(), off.y()), c.tolerance + 1e-9) << i;
    }
    EXPECT_EQ(k + 1, drawn.size()) << "a drawn vertex is not one of the outline's, in order";
  }
}

TEST(OutlineSimplify, DetailChangesWhenTheZoomDoubles) {
  const struct {
    double units_per_pixel;
    int level;
    double tolerance;
  } cases[] = {{1, 0, 0.25}, {1.99, 0, 0.25}, {2, 1, 0.5}, {7, 2, 1}, {0.3, -2, 0.0625}, {0, 0, 0}};
  for (const auto& c : cases) {
    const OutlineDetail detail = outline_detail(c.units_per_pixel);
    EXPECT_EQ(detail.level, c.level) << c.units_per_pixel;
    EXPECT_DOUBLE_EQ(detail.tolerance, c.tolerance) << c.units_per_pixel;
  }
}

}  // namespace
