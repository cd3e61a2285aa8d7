// The fixture of the view and drawing tests: an InteractiveCanvas in a shown
// ZoomableView, driven with real mouse and wheel events on the viewport at
// scene positions mapped through the view.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QGraphicsPolygonItem>
#include <QMouseEvent>
#include <QPixmap>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

#include "canvas/interactive_canvas.h"
#include "canvas/zoomable_view.h"

namespace orvane {

inline QPixmap filled(int w, int h) {
  QPixmap pixmap(w, h);
  pixmap.fill(Qt::darkGray);
  return pixmap;
}

inline void expect_points(const QList<QPointF>& actual, const QList<QPointF>& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  for (qsizetype i = 0; i < actual.size(); ++i) {
    EXPECT_NEAR(actual[i].x(), expected[i].x(), 1e-9) << "point " << i;
    EXPECT_NEAR(actual[i].y(), expected[i].y(), 1e-9) << "point " << i;
  }
}

// A 600 x 200 image in a 400 x 300 view at zoom 1: wider than the view (so it
// scrolls sideways) and lower, so there is empty background above and below.
struct CanvasFixture : ::testing::Test {
  InteractiveCanvas canvas;
  ZoomableView view;
  QSignalSpy completed{&canvas, &InteractiveCanvas::polygon_completed};
  QSignalSpy clicked{&canvas, &InteractiveCanvas::point_clicked};

  void SetUp() override {
    canvas.addPixmap(filled(600, 200));
    canvas.setSceneRect(0, 0, 600, 200);
    view.setScene(&canvas);
    view.setFixedSize(400, 300);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    scroll_home();
    ASSERT_GE(view.horizontalScrollBar()->maximum(), 100);
  }
  void set_mode(const QString& mode) {
    canvas.set_draw_mode(mode);
    view.set_interaction_mode(mode);
  }
  QGraphicsPolygonItem* add_shape(const QRectF& rect) {
    auto* shape = canvas.addPolygon(QPolygonF(rect));
    shape->setFlags(QGraphicsItem::ItemIsSelectable | QGraphicsItem::ItemIsMovable);
    return shape;
  }

  QPoint at(const QPointF& scene_pos) const { return view.mapFromScene(scene_pos); }
  // The scene position the view reports for a viewport pixel.
  QPointF scene_at(const QPoint& viewport_pos) const { return view.mapToScene(viewport_pos); }
  // A viewport pixel above the image, on empty background.
  QPoint background() const {
    EXPECT_TRUE(view.scene()->items(scene_at(QPoint(200, 4))).isEmpty());
    return QPoint(200, 4);
  }
  void press(const QPoint& pos, Qt::MouseButton button = Qt::LeftButton,
             Qt::KeyboardModifiers keys = {}) {
    QTest::mousePress(view.viewport(), button, keys, pos);
  }
  void release(const QPoint& pos, Qt::MouseButton button = Qt::LeftButton) {
    QTest::mouseRelease(view.viewport(), button, {}, pos);
  }
  void click(const QPoint& pos, Qt::MouseButton button = Qt::LeftButton) {
    press(pos, button);
    release(pos, button);
  }
  // A move with `buttons` held (QTest's own move carries no buttons).
  void move(const QPoint& pos, Qt::MouseButtons buttons = Qt::LeftButton) {
    QMouseEvent event(QEvent::MouseMove, pos, view.viewport()->mapToGlobal(pos), Qt::NoButton,
                      buttons, Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &event);
  }
  void drag(const QPoint& from, const QPoint& to, Qt::MouseButton button = Qt::LeftButton) {
    press(from, button);
    move((from + to) / 2, button);
    move(to, button);
    release(to, button);
  }
  void wheel(const QPoint& pos, const QPoint& angle_delta) {
    QWheelEvent event(pos, view.viewport()->mapToGlobal(pos), QPoint(), angle_delta, Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view.viewport(), &event);
  }
  void scroll_home() { view.horizontalScrollBar()->setValue(0); }
  int h_scroll() const { return view.horizontalScrollBar()->value(); }
  Qt::CursorShape cursor() const { return view.viewport()->cursor().shape(); }

  QList<QPointF> emitted(qsizetype i) const {
    return completed.at(i).at(0).value<QPolygonF>().toList();
  }
  // No shape in progress and no preview left on the scene: only the image and `shapes`.
  void expect_idle(qsizetype shapes = 0) const {
    EXPECT_FALSE(canvas.drawing);
    EXPECT_TRUE(canvas.current_polygon.isEmpty());
    EXPECT_FALSE(canvas.start_pos.has_value());
    EXPECT_EQ(canvas.temp_poly_item, nullptr);
    EXPECT_EQ(canvas.items().size(), 1 + shapes);
  }
};

}  // namespace orvane
