// ZoomableView: hand panning, wheel zoom, cursors and set_image.
#include <gtest/gtest.h>

#include <QGraphicsPixmapItem>
#include <QGraphicsScene>
#include <utility>

#include "view_driver.h"

using namespace orvane;

namespace {

using ViewTest = CanvasFixture;

TEST_F(ViewTest, MiddleButtonPansInEveryModeAndAddsNothing) {
  for (const char* mode :
       {"Select/Move", "Polygon", "Rectangle", "Circle", "Pentagon", "Crop", "Warp", "Ellipse"}) {
    SCOPED_TRACE(mode);
    set_mode(mode);
    scroll_home();
    const Qt::CursorShape idle_cursor = cursor();
    EXPECT_EQ(idle_cursor, QString(mode) == "Select/Move" ? Qt::OpenHandCursor : Qt::CrossCursor);
    // A polygon in progress keeps its vertices through the pan.
    const int vertices = QString(mode) == "Polygon" ? 2 : 0;
    for (int i = 0; i < vertices; ++i) click(at(QPointF(50 + 100 * i, 50)));
    const QPoint start = at(QPointF(150, 100));  // on the image
    press(start, Qt::MiddleButton);
    EXPECT_TRUE(view._is_panning);
    EXPECT_EQ(cursor(), Qt::ClosedHandCursor);
    move(start - QPoint(15, 0), Qt::MiddleButton);
    move(start - QPoint(40, 0), Qt::MiddleButton);
    EXPECT_EQ(h_scroll(), 40);  // content follows the hand
    release(start - QPoint(40, 0), Qt::MiddleButton);
    EXPECT_FALSE(view._is_panning);
    EXPECT_EQ(cursor(), idle_cursor);
    EXPECT_EQ(canvas.current_polygon.size(), vertices);
    EXPECT_EQ(canvas.temp_poly_item != nullptr, vertices > 0);
  }
  EXPECT_EQ(completed.count(), 0);
  EXPECT_EQ(clicked.count(), 0);
}

TEST_F(ViewTest, LeftDragPansOnlyOnEmptyBackgroundInSelectMove) {
  QGraphicsPolygonItem* shape = add_shape(QRectF(40, 40, 60, 60));
  set_mode("Select/Move");
  const QPoint bg = background();
  press(bg);
  EXPECT_EQ(cursor(), Qt::ClosedHandCursor);
  move(bg - QPoint(25, 0));
  release(bg - QPoint(25, 0));
  EXPECT_EQ(h_scroll(), 25);
  EXPECT_EQ(cursor(), Qt::OpenHandCursor);

  // On a shape the drag moves it; on the image the press reaches the scene.
  // Neither scrolls.
  scroll_home();
  drag(at(QPointF(70, 70)), at(QPointF(90, 80)));
  EXPECT_TRUE(shape->isSelected());
  EXPECT_EQ(shape->pos(), QPointF(20, 10));
  drag(at(QPointF(300, 100)), at(QPointF(250, 100)));
  EXPECT_EQ(h_scroll(), 0);
  EXPECT_FALSE(view._is_panning);

  // A drawing mode never pans with the left button, not even on background.
  set_mode("Rectangle");
  drag(bg, bg - QPoint(25, 0));
  EXPECT_EQ(h_scroll(), 0);
  EXPECT_FALSE(view._is_panning);
}

TEST_F(ViewTest, WheelZoomsOneFixedStepPerEvent) {
  // A horizontal wheel has zero vertical delta and zooms out.
  const std::pair<QPoint, double> cases[] = {
      {{0, 120}, 1.15},    {{0, 1}, 1.15},        {{0, 720}, 1.15},    {{0, -120}, 1 / 1.15},
      {{0, -1}, 1 / 1.15}, {{0, -960}, 1 / 1.15}, {{120, 0}, 1 / 1.15}};
  for (const auto& [delta, factor] : cases) {
    SCOPED_TRACE(testing::Message() << delta.x() << "," << delta.y());
    const QTransform before = view.transform();
    wheel(at(QPointF(150, 100)), delta);
    EXPECT_DOUBLE_EQ(view.transform().m11(), before.m11() * factor);
    EXPECT_DOUBLE_EQ(view.transform().m22(), before.m22() * factor);
  }
}

TEST_F(ViewTest, PlainSceneCountsAsSelectMoveAndEmptySceneScrollsOnWheel) {
  QGraphicsScene plain(0, 0, 600, 200);
  plain.addRect(0, 0, 600, 200);  // an outline: only its edge is an item hit
  view.setScene(&plain);
  scroll_home();
  const QPoint bg = background();
  drag(bg, bg - QPoint(35, 0));
  EXPECT_EQ(h_scroll(), 35);
  EXPECT_EQ(cursor(), Qt::OpenHandCursor);

  // With no item to zoom, or no scene at all, the wheel never zooms.
  QGraphicsScene empty(0, 0, 3000, 3000);
  view.setScene(&empty);
  view.verticalScrollBar()->setValue(0);
  wheel(QPoint(200, 150), QPoint(0, -120));
  EXPECT_TRUE(view.transform().isIdentity());
  EXPECT_GT(view.verticalScrollBar()->value(), 0);
  view.setScene(nullptr);
  wheel(QPoint(10, 10), QPoint(0, 120));
  EXPECT_TRUE(view.transform().isIdentity());
}

TEST_F(ViewTest, SetImageFitsAndSetsSceneRect) {
  view.setScene(nullptr);
  view.set_image(filled(800, 400));
  ASSERT_NE(view.scene(), nullptr);
  EXPECT_NE(view.scene(), &canvas);
  EXPECT_EQ(view.scene()->parent(), &view);
  EXPECT_EQ(view.scene()->sceneRect(), QRectF(0, 0, 800, 400));
  ASSERT_EQ(view.scene()->items().size(), 1);
  EXPECT_EQ(view.scene()->items().first()->type(), QGraphicsPixmapItem::Type);
  EXPECT_EQ(view.scene()->items().first()->pos(), QPointF(0, 0));
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

TEST_F(ViewTest, FittedViewStaysFittedOnResizeUntilTheUserZoomsOrPans) {
  enum class Action { kNone, kWheel, kPan };
  for (Action action : {Action::kNone, Action::kWheel, Action::kPan}) {
    SCOPED_TRACE(static_cast<int>(action));
    view.setFixedSize(400, 300);
    view.fit_to(canvas.sceneRect());
    if (action == Action::kWheel) wheel(QPoint(200, 150), QPoint(0, 120));
    if (action == Action::kPan) drag(QPoint(200, 150), QPoint(170, 140), Qt::MiddleButton);
    const double before = view.transform().m11();
    view.setFixedSize(800, 500);
    if (action == Action::kNone) {
      // The image's width fills the wider view.
      EXPECT_TRUE(view.is_fitted());
      const QRect shown = view.mapFromScene(canvas.sceneRect()).boundingRect();
      EXPECT_GE(shown.width(), view.viewport()->width() - 8);
      EXPECT_LE(shown.width(), view.viewport()->width() + 1);
    } else {
      EXPECT_FALSE(view.is_fitted());
      EXPECT_EQ(view.transform().m11(), before);
    }
  }
}

}  // namespace
