// InteractiveCanvas shown in a ZoomableView, driven by real mouse events.
#include <gtest/gtest.h>

#include "canvas/shape_geometry.h"
#include "view_driver.h"

using namespace orvane;

namespace {

// Points given in scene (= image) coordinates, all inside the visible part.
const QPointF kA(60, 50), kB(160, 120), kC(220, 90), kD(100, 170);

using DrawingTest = CanvasFixture;

TEST_F(DrawingTest, PolygonByClicksRightClickFinishesOnlyWithThreeOrMoreAndModeChangeAbandonsIt) {
  // The fourth corner lies inside the triangle of the first three: clicking on
  // the dashed preview adds a vertex, the preview is not a shape.
  const QPointF corners[] = {{40, 40}, {240, 40}, {140, 180}, {140, 80}};
  for (int clicks = 1; clicks <= 4; ++clicks) {
    SCOPED_TRACE(clicks);
    set_mode("Polygon");
    completed.clear();
    QList<QPointF> expected;
    for (int i = 0; i < clicks; ++i) {
      const QPoint p = at(corners[i]);
      click(p);
      expected << scene_at(p);
      ASSERT_NE(canvas.temp_poly_item, nullptr);
      expect_points(canvas.temp_poly_item->polygon().toList(), expected);
    }
    EXPECT_TRUE(canvas.drawing);
    // Moving the pointer draws no rubber-band edge.
    move(at(kD + QPointF(30, 0)), Qt::NoButton);
    EXPECT_EQ(canvas.temp_poly_item->polygon().size(), clicks);

    click(at(kD), Qt::RightButton);
    ASSERT_EQ(completed.count(), clicks > 2 ? 1 : 0);
    if (clicks > 2) expect_points(emitted(0), expected);  // not closed: no repeated first vertex
    expect_idle();
  }
  EXPECT_EQ(clicked.count(), 0);

  // Choosing a mode again abandons the polygon in progress.
  completed.clear();
  click(at(kA));
  click(at(kB));
  set_mode("Polygon");
  expect_idle();
  click(at(kC), Qt::RightButton);
  EXPECT_EQ(completed.count(), 0);
}

TEST_F(DrawingTest, DraggedShapesPreviewWhileDraggingAndEmitOnRelease) {
  for (const char* mode : {"Rectangle", "Circle", "Pentagon"}) {
    SCOPED_TRACE(mode);
    set_mode(mode);
    completed.clear();
    const QPoint start = at(kB);
    press(start);
    EXPECT_TRUE(canvas.drawing);
    EXPECT_EQ(canvas.temp_poly_item, nullptr);

    const QPoint middle = at(kC);
    move(middle);
    ASSERT_NE(canvas.temp_poly_item, nullptr);
    expect_points(canvas.temp_poly_item->polygon().toList(),
                  calculate_shape(mode, scene_at(start), scene_at(middle)));
    // Dashed and 2 screen pixels wide at every zoom.
    QPen dashed(QColor("#6366F1"), 2, Qt::DashLine);
    dashed.setCosmetic(true);
    EXPECT_EQ(canvas.temp_poly_item->pen(), dashed);
    EXPECT_EQ(canvas.temp_poly_item->brush().style(), Qt::NoBrush);
    move(at(kC + QPointF(5, 5)));
    EXPECT_EQ(canvas.items().size(), 2);  // the old preview is replaced, not stacked

    // The release point, not the last move, gives the shape.
    const QPoint end = at(kD);
    release(end);
    ASSERT_EQ(completed.count(), 1);
    expect_points(emitted(0), calculate_shape(mode, scene_at(start), scene_at(end)));
    expect_idle();
  }
}

// A click makes a rectangle of four equal points; a circle or pentagon released
// within one pixel of its centre makes nothing; an unknown mode never previews.
TEST_F(DrawingTest, ClickTinyDragAndUnknownMode) {
  for (const char* mode : {"Rectangle", "Circle", "Pentagon", "Ellipse"}) {
    SCOPED_TRACE(mode);
    set_mode(mode);
    completed.clear();
    const bool rectangle = QString(mode) == "Rectangle";
    const QPoint start = at(kA);
    press(start);
    if (!rectangle) move(start + QPoint(30, 0));
    EXPECT_EQ(canvas.temp_poly_item != nullptr, !rectangle && QString(mode) != "Ellipse");
    release(start + QPoint(rectangle ? 0 : 1, 0));
    ASSERT_EQ(completed.count(), rectangle ? 1 : 0);
    const QPointF s = scene_at(start);
    if (rectangle) expect_points(emitted(0), {s, s, s, s});
    expect_idle();
  }
}

TEST_F(DrawingTest, PressOnExistingShapeSelectsItStartsNothingAndReleasesTheGrab) {
  QGraphicsPolygonItem* first = add_shape(QRectF(40, 40, 60, 50));
  QGraphicsPolygonItem* second = add_shape(QRectF(160, 60, 60, 50));
  for (const char* mode : {"Polygon", "Rectangle", "Circle", "Pentagon"}) {
    SCOPED_TRACE(mode);
    set_mode(mode);
    canvas.clearSelection();
    press(at(QPointF(70, 65)));
    EXPECT_TRUE(first->isSelected());
    EXPECT_FALSE(canvas.drawing);
    release(at(QPointF(70, 65)));
    expect_idle(2);
    // The release reached the scene, so the next click acts on the other shape.
    click(at(QPointF(190, 85)));
    EXPECT_TRUE(second->isSelected());
    EXPECT_FALSE(first->isSelected());
    EXPECT_EQ(canvas.mouseGrabberItem(), nullptr);
    // Shift starts a shape on top of it; a polygon's next click on a shape is a point.
    const bool polygon = QString(mode) == "Polygon";
    press(at(QPointF(70, 65)), Qt::LeftButton, Qt::ShiftModifier);
    polygon ? click(at(QPointF(190, 85))) : release(at(QPointF(190, 85)));
    EXPECT_EQ(canvas.current_polygon.size(), polygon ? 2 : 0);
    EXPECT_EQ(completed.count(), polygon ? 0 : 1);
    completed.clear();
  }
  // A later drag in "Select/Move" moves the shape under the pointer only.
  set_mode("Select/Move");
  drag(at(QPointF(70, 65)), at(QPointF(80, 65)));
  EXPECT_EQ(second->pos(), QPointF(0, 0));
  EXPECT_EQ(first->pos(), QPointF(10, 0));
  EXPECT_EQ(completed.count(), 0);
}

TEST_F(DrawingTest, PointModesEmitOneClickPerLeftPressAndNoPreview) {
  for (const char* mode : {"Crop", "Warp"}) {
    SCOPED_TRACE(mode);
    set_mode(mode);
    clicked.clear();
    const QPoint first = at(kA);
    const QPoint second = at(kC);
    click(first);
    drag(second, at(kD));
    click(at(kB), Qt::RightButton);
    ASSERT_EQ(clicked.count(), 2);
    EXPECT_EQ(clicked.at(0).at(0).toPointF(), scene_at(first));
    EXPECT_EQ(clicked.at(1).at(0).toPointF(), scene_at(second));
    expect_idle();
  }
  EXPECT_EQ(completed.count(), 0);
}

TEST_F(DrawingTest, SceneClearedMidDragDoesNotLeaveADanglingPreview) {
  // The owners clear the scene to show a new image, preview included.
  set_mode("Rectangle");
  press(at(kA));
  move(at(kB));
  ASSERT_NE(canvas.temp_poly_item, nullptr);
  view.set_image(filled(600, 200), true);
  EXPECT_EQ(canvas.temp_poly_item, nullptr);
  move(at(kC));
  ASSERT_NE(canvas.temp_poly_item, nullptr);
  release(at(kC));
  EXPECT_EQ(completed.count(), 1);
  expect_idle();
}

}  // namespace
