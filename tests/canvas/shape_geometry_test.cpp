// Shape geometry of dragged shapes.
#include "canvas/shape_geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

void expect_near(const QPointF& actual, const QPointF& expected, double tolerance = 1e-9) {
  EXPECT_NEAR(actual.x(), expected.x(), tolerance);
  EXPECT_NEAR(actual.y(), expected.y(), tolerance);
}

TEST(ShapeGeometry, RectangleCornersInDrawingOrder) {
  struct Case {
    QPointF start, end;
  };
  // Every drag direction keeps the order start, (end.x, start.y), end, (start.x, end.y).
  for (const Case& c : {Case{{10, 20}, {110.5, 70.25}}, Case{{110, 70}, {10, 20}},
                        Case{{50, 10}, {5, 90}}, Case{{-3, 4}, {-3, 4}}}) {
    const QList<QPointF> points = calculate_shape("Rectangle", c.start, c.end);
    ASSERT_EQ(points.size(), 4);
    EXPECT_EQ(points[0], c.start);
    EXPECT_EQ(points[1], QPointF(c.end.x(), c.start.y()));
    EXPECT_EQ(points[2], c.end);
    EXPECT_EQ(points[3], QPointF(c.start.x(), c.end.y()));
  }
}

TEST(ShapeGeometry, ZeroSizeRectangleIsFourEqualPoints) {
  const QPointF p(42.5, 17);
  EXPECT_EQ(calculate_shape("Rectangle", p, p), QList<QPointF>({p, p, p, p}));
}

TEST(ShapeGeometry, RoundShapesHaveTheirVertexCountOnTheCircle) {
  struct Case {
    const char* mode;
    qsizetype count;
  };
  const QPointF centre(100, 80);
  const QPointF end(130, 120);  // radius 50
  for (const Case& c : {Case{"Circle", 32}, Case{"Pentagon", 5}}) {
    SCOPED_TRACE(c.mode);
    const QList<QPointF> points = calculate_shape(c.mode, centre, end);
    ASSERT_EQ(points.size(), c.count);
    expect_near(points[0], QPointF(100, 30));  // straight above the centre
    for (qsizetype i = 0; i < points.size(); ++i) {
      const QPointF d = points[i] - centre;
      EXPECT_NEAR(std::hypot(d.x(), d.y()), 50.0, 1e-9);
      // Equal steps, clockwise on screen (y down): angle grows by 2π/n.
      const double angle = std::atan2(d.y(), d.x());
      constexpr double pi = std::numbers::pi;
      const double expected = -pi / 2 + 2 * pi * i / c.count;
      EXPECT_NEAR(std::remainder(angle - expected, 2 * pi), 0.0, 1e-9) << "vertex " << i;
    }
  }
}

TEST(ShapeGeometry, PentagonFromItsTopVertexAndFirstStep) {
  const QList<QPointF> points = calculate_shape("Pentagon", QPointF(200, 200), QPointF(200, 300));
  ASSERT_EQ(points.size(), 5);
  expect_near(points[0], QPointF(200, 100));
  expect_near(points[1], QPointF(295.1, 169.1), 0.06);
  // Standing on its base: the two bottom vertices share one y below the centre.
  EXPECT_NEAR(points[2].y(), points[3].y(), 1e-9);
  EXPECT_GT(points[2].y(), 200);
  EXPECT_GT(points[2].x(), points[3].x());
}

TEST(ShapeGeometry, EmptyResults) {
  struct Case {
    const char* mode;
    QPointF start, end;
  };
  const Case cases[] = {
      {"Circle", {10, 10}, {10, 10}},        // no drag
      {"Circle", {10, 10}, {11, 10}},        // radius exactly 1
      {"Pentagon", {10, 10}, {10, 9}},       // radius exactly 1, upwards
      {"Pentagon", {10, 10}, {10.5, 10.5}},  // below 1
      {"Polygon", {0, 0}, {50, 50}},         // not a dragged shape
      {"Select/Move", {0, 0}, {50, 50}},
      {"Crop", {0, 0}, {50, 50}},
      {"Ellipse", {0, 0}, {50, 50}},    // unknown
      {"rectangle", {0, 0}, {50, 50}},  // modes are case-sensitive
      {"", {0, 0}, {50, 50}},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(calculate_shape(c.mode, c.start, c.end).isEmpty())
        << c.mode << " " << c.end.x() << "," << c.end.y();
  }
  // Just above 1 already makes a shape.
  EXPECT_EQ(calculate_shape("Circle", QPointF(10, 10), QPointF(11.01, 10)).size(), 32);
}

}  // namespace
