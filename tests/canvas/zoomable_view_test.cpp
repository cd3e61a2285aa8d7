// ZoomableView: hand panning, wheel zoom, cursors and set_image.
#include <gtest/gtest.h>

#include <QGraphicsPixmapItem>
#include <QGraphicsPolygonItem>
#include <QGraphicsScene>
#include <QPixmap>
#include <QSignalSpy>

#include "canvas/interactive_canvas.h"
#include "view_driver.h"

namespace {

QPixmap filled(int w, int h) {
  QPixmap pixmap(w, h);
  pixmap.fill(Qt::darkGray);
  return pixmap;
}

// A 600 x 200 image in a 400 x 300 view at zoom 1: wider than the view (so it
// scrolls sideways) and lower, so there is empty background above and below.
struct ViewFixture : ::testing::Test {
  InteractiveCanvas canvas;
  ZoomableView view;
  ViewDriver drive{view};
  QSignalSpy completed{&canvas, &InteractiveCanvas::polygon_completed};
  QSignalSpy clicked{&canvas, &InteractiveCanvas::point_clicked};

  void SetUp() override {
    canvas.addPixmap(filled(600, 200));
    canvas.setSceneRect(0, 0, 600, 200);
    view.setScene(&canvas);
    view.setFixedSize(400, 300);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    ASSERT_GE(view.horizontalScrollBar()->maximum(), 100);
  }

  void set_mode(const QString& mode) {
    canvas.set_draw_mode(mode);
    view.set_interaction_mode(mode);
  }
  void scroll_home() { view.horizontalScrollBar()->setValue(0); }
  // A viewport pixel above the image, on empty background.
  QPoint background() const {
    const QPoint p(200, 4);
    EXPECT_TRUE(canvas.items(view.mapToScene(p)).isEmpty());
    return p;
  }
};

TEST_F(ViewFixture, MiddleButtonPansInEveryModeAndAddsNothing) {
  for (const char* mode :
       {"Select/Move", "Polygon", "Rectangle", "Circle", "Pentagon", "Crop", "Warp"}) {
    SCOPED_TRACE(mode);
    set_mode(mode);
    scroll_home();
    const Qt::CursorShape idle_cursor = drive.cursor();
    const QPoint start = drive.at(QPointF(150, 100));  // on the image
    drive.press(start, Qt::MiddleButton);
    EXPECT_TRUE(view._is_panning);
    EXPECT_EQ(drive.cursor(), Qt::ClosedHandCursor);
    drive.move(start - QPoint(15, 0), Qt::MiddleButton);
    drive.move(start - QPoint(40, 0), Qt::MiddleButton);
    EXPECT_EQ(drive.h_scroll(), 40);  // content follows the hand
    drive.release(start - QPoint(40, 0), Qt::MiddleButton);
    EXPECT_FALSE(view._is_panning);
    EXPECT_EQ(drive.cursor(), idle_cursor);

    EXPECT_FALSE(canvas.drawing);
    EXPECT_TRUE(canvas.current_polygon.isEmpty());
    EXPECT_EQ(canvas.temp_poly_item, nullptr);
  }
  EXPECT_EQ(completed.count(), 0);
  EXPECT_EQ(clicked.count(), 0);
}

TEST_F(ViewFixture, MiddlePanDuringPolygonKeepsItsVertices) {
  set_mode("Polygon");
  scroll_home();
  drive.click(drive.at(QPointF(50, 50)));
  drive.click(drive.at(QPointF(150, 60)));
  const QPoint p = drive.at(QPointF(100, 150));
  drive.drag(p, p - QPoint(30, 0), Qt::MiddleButton);
  EXPECT_EQ(drive.h_scroll(), 30);
  EXPECT_EQ(canvas.current_polygon.size(), 2);
  EXPECT_EQ(view.viewport()->cursor().shape(), Qt::CrossCursor);
}

TEST_F(ViewFixture, SelectMoveLeftDragPansOnlyOnEmptyBackground) {
  set_mode("Select/Move");
  scroll_home();
  const QPoint bg = background();
  drive.press(bg);
  EXPECT_EQ(drive.cursor(), Qt::ClosedHandCursor);
  drive.move(bg - QPoint(25, 0));
  drive.release(bg - QPoint(25, 0));
  EXPECT_EQ(drive.h_scroll(), 25);
  EXPECT_EQ(drive.cursor(), Qt::OpenHandCursor);

  // On the image the press reaches the scene and nothing scrolls.
  scroll_home();
  drive.drag(drive.at(QPointF(150, 100)), drive.at(QPointF(100, 100)));
  EXPECT_EQ(drive.h_scroll(), 0);
  EXPECT_FALSE(view._is_panning);
}

TEST_F(ViewFixture, SelectMoveLeftDragOnShapeMovesIt) {
  auto* shape = new QGraphicsPolygonItem(QPolygonF(QRectF(40, 40, 60, 60)));
  shape->setFlags(QGraphicsItem::ItemIsSelectable | QGraphicsItem::ItemIsMovable);
  canvas.addItem(shape);
  set_mode("Select/Move");
  scroll_home();
  drive.drag(drive.at(QPointF(70, 70)), drive.at(QPointF(90, 80)));
  EXPECT_TRUE(shape->isSelected());
  EXPECT_EQ(shape->pos(), QPointF(20, 10));
  EXPECT_EQ(drive.h_scroll(), 0);
}

TEST_F(ViewFixture, DrawingModeLeftDragOnBackgroundDoesNotPan) {
  set_mode("Rectangle");
  scroll_home();
  const QPoint bg = background();
  drive.drag(bg, bg - QPoint(25, 0));
  EXPECT_EQ(drive.h_scroll(), 0);
  EXPECT_FALSE(view._is_panning);
}

TEST(ZoomableViewPlainScene, CountsAsSelectMove) {
  QGraphicsScene scene(0, 0, 600, 200);
  scene.addRect(0, 0, 600, 200);  // an outline: only its edge is an item hit
  ZoomableView view;
  ViewDriver drive{view};
  view.setScene(&scene);
  view.setFixedSize(400, 300);
  view.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  view.horizontalScrollBar()->setValue(0);
  const QPoint bg(200, 4);
  ASSERT_TRUE(scene.items(view.mapToScene(bg)).isEmpty());
  drive.drag(bg, bg - QPoint(35, 0));
  EXPECT_EQ(drive.h_scroll(), 35);
  EXPECT_EQ(drive.cursor(), Qt::OpenHandCursor);
}

TEST_F(ViewFixture, WheelZoomsOneFixedStepPerEvent) {
  struct Case {
    QPoint delta;
    double factor;
  };
  const Case cases[] = {
      {{0, 120}, 1.15},    {{0, 1}, 1.15},        {{0, 720}, 1.15},     {{0, -120}, 1 / 1.15},
      {{0, -1}, 1 / 1.15}, {{0, -960}, 1 / 1.15}, {{120, 0}, 1 / 1.15},  // horizontal wheel: zero
                                                                         // vertical delta zooms out
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.delta.x() << "," << c.delta.y());
    const QTransform before = view.transform();
    drive.wheel(drive.at(QPointF(150, 100)), c.delta);
    EXPECT_DOUBLE_EQ(view.transform().m11(), before.m11() * c.factor);
    EXPECT_DOUBLE_EQ(view.transform().m22(), before.m22() * c.factor);
  }
}

TEST(ZoomableViewEmptyScene, WheelScrollsInsteadOfZooming) {
  QGraphicsScene scene(0, 0, 3000, 3000);
  ZoomableView view;
  ViewDriver drive{view};
  view.setScene(&scene);
  view.setFixedSize(400, 300);
  view.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  view.verticalScrollBar()->setValue(0);
  drive.wheel(QPoint(200, 150), QPoint(0, -120));
  EXPECT_TRUE(view.transform().isIdentity());
  EXPECT_GT(drive.v_scroll(), 0);

  ZoomableView no_scene;
  ViewDriver(no_scene).wheel(QPoint(10, 10), QPoint(0, 120));
  EXPECT_TRUE(no_scene.transform().isIdentity());
}

TEST(ZoomableView, InteractionModeCursors) {
  ZoomableView view;
  struct Case {
    const char* mode;
    Qt::CursorShape cursor;
  };
  for (const Case& c : {Case{"Polygon", Qt::CrossCursor}, Case{"Select/Move", Qt::OpenHandCursor},
                        Case{"Crop", Qt::CrossCursor}, Case{"Warp", Qt::CrossCursor},
                        Case{"Rectangle", Qt::CrossCursor}, Case{"anything", Qt::CrossCursor}}) {
    view.set_interaction_mode(c.mode);
    EXPECT_EQ(view.viewport()->cursor().shape(), c.cursor) << c.mode;
  }
}

TEST(ZoomableView, SetImageFitsAndSetsSceneRect) {
  ZoomableView view;
  view.setFixedSize(400, 300);
  view.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  ASSERT_EQ(view.scene(), nullptr);

  view.set_image(filled(800, 400));
  ASSERT_NE(view.scene(), nullptr);
  EXPECT_EQ(view.scene()->parent(), &view);
  EXPECT_EQ(view.scene()->sceneRect(), QRectF(0, 0, 800, 400));
  ASSERT_EQ(view.scene()->items().size(), 1);
  auto* item = qgraphicsitem_cast<QGraphicsPixmapItem*>(view.scene()->items().first());
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->pos(), QPointF(0, 0));
  // Fitted keeping the aspect ratio: the width fills the viewport, all visible.
  const QRect shown = view.mapFromScene(QRectF(0, 0, 800, 400)).boundingRect();
  const QRect port = view.viewport()->rect();
  EXPECT_DOUBLE_EQ(view.transform().m11(), view.transform().m22());
  EXPECT_TRUE(port.adjusted(-1, -1, 1, 1).contains(shown));
  EXPECT_GE(shown.width(), port.width() - 8);

  // keep_transform: same zoom, new content and rectangle.
  view.scale(2, 2);
  const QTransform zoomed = view.transform();
  QGraphicsScene* scene = view.scene();
  view.set_image(filled(100, 50), true);
  EXPECT_EQ(view.scene(), scene);
  EXPECT_EQ(view.transform(), zoomed);
  EXPECT_EQ(scene->sceneRect(), QRectF(0, 0, 100, 50));
  EXPECT_EQ(scene->items().size(), 1);

  // Without it the new image is fitted again.
  view.set_image(filled(100, 50));
  EXPECT_NEAR(view.transform().m11(), (port.width() - 4) / 100.0, 0.1);
}

}  // namespace
