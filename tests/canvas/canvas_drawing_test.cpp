// InteractiveCanvas shown in a ZoomableView, driven by real mouse events.
#include <gtest/gtest.h>

#include <QGraphicsPixmapItem>
#include <QGraphicsPolygonItem>
#include <QPixmap>
#include <QSignalSpy>

#include "canvas/interactive_canvas.h"
#include "canvas/shape_geometry.h"
#include "view_driver.h"

namespace {

// Points given in scene (= image) coordinates, all inside the visible part.
const QPointF kA(60, 50);
const QPointF kB(160, 120);
const QPointF kC(220, 90);
const QPointF kD(100, 170);

struct DrawingFixture : ::testing::Test {
  InteractiveCanvas canvas;
  ZoomableView view;
  ViewDriver drive{view};
  QSignalSpy completed{&canvas, &InteractiveCanvas::polygon_completed};
  QSignalSpy clicked{&canvas, &InteractiveCanvas::point_clicked};

  void SetUp() override {
    QPixmap image(600, 200);
    image.fill(Qt::darkGray);
    canvas.addPixmap(image);
    canvas.setSceneRect(0, 0, 600, 200);
    view.setScene(&canvas);
    view.setFixedSize(400, 300);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  }

  void set_mode(const QString& mode) {
    canvas.set_draw_mode(mode);
    view.set_interaction_mode(mode);
  }

  int polygon_items() const {
    int n = 0;
    for (QGraphicsItem* item : canvas.items())
      n += qgraphicsitem_cast<QGraphicsPolygonItem*>(item) != nullptr;
    return n;
  }

  QList<QPointF> emitted(qsizetype i) const {
    return completed.at(i).at(0).value<QPolygonF>().toList();
  }

  void expect_idle() const {
    EXPECT_FALSE(canvas.drawing);
    EXPECT_TRUE(canvas.current_polygon.isEmpty());
    EXPECT_FALSE(canvas.start_pos.has_value());
    EXPECT_EQ(canvas.temp_poly_item, nullptr);
    EXPECT_EQ(polygon_items(), 0);
  }
};

void expect_points(const QList<QPointF>& actual, const QList<QPointF>& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  for (qsizetype i = 0; i < actual.size(); ++i) {
    EXPECT_NEAR(actual[i].x(), expected[i].x(), 1e-9) << "point " << i;
    EXPECT_NEAR(actual[i].y(), expected[i].y(), 1e-9) << "point " << i;
  }
}

TEST_F(DrawingFixture, PolygonByClicksRightClickFinishesOnlyWithThreeOrMore) {
  const QPointF corners[] = {kA, kB, kC, kD};
  for (int clicks = 1; clicks <= 4; ++clicks) {
    SCOPED_TRACE(clicks);
    set_mode("Polygon");
    completed.clear();
    QList<QPointF> expected;
    for (int i = 0; i < clicks; ++i) {
      const QPoint p = drive.at(corners[i]);
      drive.click(p);
      expected << drive.scene_at(p);
      ASSERT_NE(canvas.temp_poly_item, nullptr);
      expect_points(canvas.temp_poly_item->polygon().toList(), expected);
    }
    EXPECT_TRUE(canvas.drawing);
    // Moving the pointer draws no rubber-band edge.
    drive.move(drive.at(kD + QPointF(30, 0)), Qt::NoButton);
    EXPECT_EQ(canvas.temp_poly_item->polygon().size(), clicks);

    drive.click(drive.at(kD), Qt::RightButton);
    if (clicks > 2) {
      ASSERT_EQ(completed.count(), 1);
      expect_points(emitted(0), expected);  // not closed: no repeated first vertex
    } else {
      EXPECT_EQ(completed.count(), 0);
    }
    expect_idle();
  }
  EXPECT_EQ(clicked.count(), 0);
}

TEST_F(DrawingFixture, DraggedShapesPreviewWhileDraggingAndEmitOnRelease) {
  struct Case {
    const char* mode;
    qsizetype vertices;
  };
  for (const Case& c : {Case{"Rectangle", 4}, Case{"Circle", 32}, Case{"Pentagon", 5}}) {
    SCOPED_TRACE(c.mode);
    set_mode(c.mode);
    completed.clear();
    const QPoint start = drive.at(kB);
    drive.press(start);
    EXPECT_TRUE(canvas.drawing);
    EXPECT_EQ(canvas.temp_poly_item, nullptr);

    const QPoint middle = drive.at(kC);
    drive.move(middle);
    ASSERT_NE(canvas.temp_poly_item, nullptr);
    expect_points(canvas.temp_poly_item->polygon().toList(),
                  calculate_shape(c.mode, drive.scene_at(start), drive.scene_at(middle)));
    const QPen pen = canvas.temp_poly_item->pen();
    EXPECT_EQ(pen.color(), QColor("#6366F1"));
    EXPECT_EQ(pen.widthF(), 2.0);
    EXPECT_EQ(pen.style(), Qt::DashLine);
    EXPECT_FALSE(pen.isCosmetic());  // scales with the zoom
    EXPECT_EQ(canvas.temp_poly_item->brush().style(), Qt::NoBrush);
    EXPECT_EQ(polygon_items(), 1);  // the old preview is replaced, not stacked
    drive.move(drive.at(kC + QPointF(5, 5)));
    EXPECT_EQ(polygon_items(), 1);

    // The release point, not the last move, gives the shape.
    const QPoint end = drive.at(kD);
    drive.release(end);
    ASSERT_EQ(completed.count(), 1);
    EXPECT_EQ(emitted(0).size(), c.vertices);
    expect_points(emitted(0), calculate_shape(c.mode, drive.scene_at(start), drive.scene_at(end)));
    expect_idle();
  }
}

TEST_F(DrawingFixture, RectangleClickWithoutDragEmitsFourEqualPoints) {
  set_mode("Rectangle");
  const QPoint p = drive.at(kA);
  drive.click(p);
  ASSERT_EQ(completed.count(), 1);
  const QPointF s = drive.scene_at(p);
  expect_points(emitted(0), {s, s, s, s});
  expect_idle();
}

TEST_F(DrawingFixture, RoundShapeReleasedWithinOnePixelEmitsNothing) {
  for (const char* mode : {"Circle", "Pentagon"}) {
    SCOPED_TRACE(mode);
    set_mode(mode);
    const QPoint start = drive.at(kB);
    drive.press(start);
    drive.move(start + QPoint(30, 0));
    ASSERT_NE(canvas.temp_poly_item, nullptr);
    drive.release(start + QPoint(1, 0));
    EXPECT_EQ(completed.count(), 0);
    expect_idle();
  }
}

TEST_F(DrawingFixture, UnknownModeDrawsAndEmitsNothing) {
  set_mode("Ellipse");
  drive.press(drive.at(kA));
  drive.move(drive.at(kB));
  EXPECT_EQ(canvas.temp_poly_item, nullptr);
  drive.release(drive.at(kB));
  EXPECT_EQ(completed.count(), 0);
  expect_idle();
}

TEST_F(DrawingFixture, LeftClickOnExistingShapeSelectsItAndStartsNothing) {
  auto* shape = new QGraphicsPolygonItem(QPolygonF(QRectF(40, 40, 80, 60)));
  shape->setFlag(QGraphicsItem::ItemIsSelectable);
  canvas.addItem(shape);
  for (const char* mode : {"Polygon", "Rectangle", "Circle", "Pentagon"}) {
    SCOPED_TRACE(mode);
    set_mode(mode);
    canvas.clearSelection();
    const QPoint inside = drive.at(QPointF(80, 70));
    drive.press(inside);
    EXPECT_TRUE(shape->isSelected());
    EXPECT_FALSE(canvas.drawing);
    drive.move(drive.at(kC));
    drive.release(drive.at(kC));
    EXPECT_FALSE(canvas.drawing);
    EXPECT_TRUE(canvas.current_polygon.isEmpty());
    EXPECT_EQ(canvas.temp_poly_item, nullptr);
  }
  EXPECT_EQ(completed.count(), 0);
}

TEST_F(DrawingFixture, ClickingOneShapeThenAnotherSelectsEachInTurn) {
  auto make = [&](const QRectF& rect) {
    auto* shape = new QGraphicsPolygonItem(QPolygonF(rect));
    shape->setFlags(QGraphicsItem::ItemIsSelectable | QGraphicsItem::ItemIsMovable);
    canvas.addItem(shape);
    return shape;
  };
  QGraphicsPolygonItem* first = make(QRectF(40, 40, 60, 50));
  QGraphicsPolygonItem* second = make(QRectF(160, 60, 60, 50));
  for (const char* mode : {"Rectangle", "Circle", "Pentagon"}) {
    SCOPED_TRACE(mode);
    set_mode(mode);
    drive.press(drive.at(QPointF(70, 65)));
    drive.release(drive.at(QPointF(70, 65)));
    EXPECT_TRUE(first->isSelected());
    drive.press(drive.at(QPointF(190, 85)));
    drive.release(drive.at(QPointF(190, 85)));
    EXPECT_TRUE(second->isSelected());
    EXPECT_FALSE(first->isSelected());
    EXPECT_EQ(canvas.mouseGrabberItem(), nullptr);
  }
  // A later drag in "Select/Move" moves the shape under the pointer only.
  set_mode("Select/Move");
  drive.press(drive.at(QPointF(70, 65)));
  drive.move(drive.at(QPointF(80, 65)), Qt::LeftButton);
  drive.release(drive.at(QPointF(80, 65)));
  EXPECT_EQ(second->pos(), QPointF(0, 0));
  EXPECT_NE(first->pos(), QPointF(0, 0));
  EXPECT_EQ(completed.count(), 0);
}

TEST_F(DrawingFixture, PolygonMayCloseOverItsOwnPreview) {
  // Clicking inside the dashed preview adds a vertex: the preview is not a shape.
  set_mode("Polygon");
  drive.click(drive.at(QPointF(40, 40)));
  drive.click(drive.at(QPointF(240, 40)));
  drive.click(drive.at(QPointF(140, 180)));
  drive.click(drive.at(QPointF(140, 80)));  // inside the triangle
  EXPECT_EQ(canvas.current_polygon.size(), 4);
  drive.click(drive.at(kA), Qt::RightButton);
  ASSERT_EQ(completed.count(), 1);
  EXPECT_EQ(emitted(0).size(), 4);
}

TEST_F(DrawingFixture, PointModesEmitOneClickPerLeftPressAndNoPreview) {
  for (const char* mode : {"Crop", "Warp"}) {
    SCOPED_TRACE(mode);
    set_mode(mode);
    clicked.clear();
    const QPoint first = drive.at(kA);
    const QPoint second = drive.at(kC);
    drive.click(first);
    drive.press(second);
    drive.move(drive.at(kD));
    drive.release(drive.at(kD));
    drive.click(drive.at(kB), Qt::RightButton);
    ASSERT_EQ(clicked.count(), 2);
    EXPECT_EQ(clicked.at(0).at(0).toPointF(), drive.scene_at(first));
    EXPECT_EQ(clicked.at(1).at(0).toPointF(), drive.scene_at(second));
    expect_idle();
  }
  EXPECT_EQ(completed.count(), 0);
}

TEST_F(DrawingFixture, SetDrawModeAbandonsShapeInProgress) {
  set_mode("Polygon");
  drive.click(drive.at(kA));
  drive.click(drive.at(kB));
  ASSERT_NE(canvas.temp_poly_item, nullptr);
  set_mode("Polygon");
  expect_idle();
  drive.click(drive.at(kC), Qt::RightButton);
  EXPECT_EQ(completed.count(), 0);
}

TEST_F(DrawingFixture, SceneClearedMidDragDoesNotLeaveADanglingPreview) {
  // The owners clear the scene to show a new image, preview included.
  set_mode("Rectangle");
  drive.press(drive.at(kA));
  drive.move(drive.at(kB));
  ASSERT_NE(canvas.temp_poly_item, nullptr);
  QPixmap image(600, 200);
  image.fill(Qt::gray);
  view.set_image(image, true);
  EXPECT_EQ(canvas.temp_poly_item, nullptr);
  drive.move(drive.at(kC));
  ASSERT_NE(canvas.temp_poly_item, nullptr);
  drive.release(drive.at(kC));
  EXPECT_EQ(completed.count(), 1);
  expect_idle();
}

TEST_F(DrawingFixture, MemberCalculateShapeFollowsDrawMode) {
  canvas.set_draw_mode("Pentagon");
  EXPECT_EQ(canvas.calculate_shape(QPointF(0, 0), QPointF(0, 10)).size(), 5);
  canvas.set_draw_mode("Polygon");
  EXPECT_TRUE(canvas.calculate_shape(QPointF(0, 0), QPointF(0, 10)).isEmpty());
}

}  // namespace
