// Shape geometry of dragged shapes.
#include "canvas/shape_geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <utility>

using namespace orvane;

namespace {

void expect_near(const QPointF& actual, const QPointF& expected, double tolerance = 1e-9) {
  EXPECT_NEAR(actual.x(), expected.x(), tolerance);
  EXPECT_NEAR(actual.y(), expected.y(), tolerance);
}

TEST(ShapeGeometry, RectangleCornersInDrawingOrder) {
  // Every drag direction keeps the order start, (end.x, start.y), end, (start.x, end.y);
  // no drag gives four equal points.
  const QPointF drags[][2] = {
      {{10, 20}, {110.5, 70.25}}, {{110, 70}, {10, 20}}, {{50, 10}, {5, 90}}, {{-3, 4}, {-3, 4}}};
  for (const auto& [s, e] : drags) {
    EXPECT_EQ(calculate_shape("Rectangle", s, e),
              QList<QPointF>({s, QPointF(e.x(), s.y()), e, QPointF(s.x(), e.y())}));
  }
}

TEST(ShapeGeometry, RoundShapesHaveTheirVertexCountOnTheCircle) {
  const QPointF centre(100, 80);
  const QPointF end(130, 120);  // radius 50
  for (const auto& [mode, count] : {std::pair{"Circle", 32}, std::pair{"Pentagon", 5}}) {
    SCOPED_TRACE(mode);
    const QList<QPointF> points = calculate_shape(mode, centre, end);
    ASSERT_EQ(points.size(), count);
    expect_near(points[0], QPointF(100, 30));  // straight above the centre
    for (qsizetype i = 0; i < points.size(); ++i) {
      const QPointF d = points[i] - centre;
      EXPECT_NEAR(std::hypot(d.x(), d.y()), 50.0, 1e-9);
      // Equal steps, clockwise on screen (y down): angle grows by 2π/n.
      constexpr double pi = std::numbers::pi;
      const double expected = -pi / 2 + 2 * pi * i / count;
      EXPECT_NEAR(std::remainder(std::atan2(d.y(), d.x()) - expected, 2 * pi), 0.0, 1e-9) << i;
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

// Nothing for a circle or pentagon of radius up to 1 (no drag, exactly 1 sideways or
// upwards, below 1), for modes that are not dragged shapes, unknown modes, and modes
// in the wrong case.
TEST(ShapeGeometry, EmptyResults) {
  const std::pair<const char*, QPointF> cases[] = {
      {"Circle", {10, 10}},    {"Circle", {11, 10}},
      {"Pentagon", {10, 9}},   {"Pentagon", {10.5, 10.5}},
      {"Polygon", {60, 60}},   {"Select/Move", {60, 60}},
      {"Crop", {60, 60}},      {"Ellipse", {60, 60}},
      {"rectangle", {60, 60}}, {"", {60, 60}}};
  for (const auto& [mode, end] : cases) {
    EXPECT_TRUE(calculate_shape(mode, QPointF(10, 10), end).isEmpty())
        << mode << " " << end.x() << "," << end.y();
  }
  // Just above 1 already makes a shape.
  EXPECT_EQ(calculate_shape("Circle", QPointF(10, 10), QPointF(11.01, 10)).size(), 32);
}

}  // namespace
