// Drives a ZoomableView with real mouse and wheel events on its viewport, at
// scene positions mapped through the view.
#pragma once

#include <QApplication>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

#include "canvas/zoomable_view.h"

struct ViewDriver {
  ZoomableView& view;

  QWidget* viewport() const { return view.viewport(); }
  QPoint at(const QPointF& scene_pos) const { return view.mapFromScene(scene_pos); }
  // The scene position the view reports for a viewport pixel.
  QPointF scene_at(const QPoint& viewport_pos) const { return view.mapToScene(viewport_pos); }

  void press(const QPoint& pos, Qt::MouseButton button = Qt::LeftButton) const {
    QTest::mousePress(viewport(), button, {}, pos);
  }
  void release(const QPoint& pos, Qt::MouseButton button = Qt::LeftButton) const {
    QTest::mouseRelease(viewport(), button, {}, pos);
  }
  void click(const QPoint& pos, Qt::MouseButton button = Qt::LeftButton) const {
    press(pos, button);
    release(pos, button);
  }
  // A move with `buttons` held (QTest's own move carries no buttons).
  void move(const QPoint& pos, Qt::MouseButtons buttons = Qt::LeftButton) const {
    QMouseEvent event(QEvent::MouseMove, QPointF(pos), viewport()->mapToGlobal(QPointF(pos)),
                      Qt::NoButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(viewport(), &event);
  }
  void drag(const QPoint& from, const QPoint& to, Qt::MouseButton button = Qt::LeftButton) const {
    press(from, button);
    move((from + to) / 2, button);
    move(to, button);
    release(to, button);
  }
  void wheel(const QPoint& pos, const QPoint& angle_delta) const {
    QWheelEvent event(QPointF(pos), viewport()->mapToGlobal(QPointF(pos)), QPoint(), angle_delta,
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(viewport(), &event);
  }

  int h_scroll() const { return view.horizontalScrollBar()->value(); }
  int v_scroll() const { return view.verticalScrollBar()->value(); }
  Qt::CursorShape cursor() const { return viewport()->cursor().shape(); }
};
