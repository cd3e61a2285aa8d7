#include "canvas/zoomable_view.h"

#include <QGraphicsPixmapItem>
#include <QGraphicsScene>
#include <QMouseEvent>
#include <QScrollBar>
#include <QWheelEvent>

#include "canvas/interactive_canvas.h"

namespace orvane {

namespace {
const QString kSelectMove = QStringLiteral("Select/Move");
constexpr double kZoomStep = 1.15;
}  // namespace

ZoomableView::ZoomableView(QWidget* parent) : QGraphicsView(parent) {
  setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
  setDragMode(QGraphicsView::NoDrag);
  setTransformationAnchor(QGraphicsView::AnchorUnderMouse);
  setResizeAnchor(QGraphicsView::AnchorUnderMouse);
}

void ZoomableView::set_interaction_mode(const QString& mode) {
  viewport()->setCursor(mode == kSelectMove ? Qt::OpenHandCursor : Qt::CrossCursor);
}

void ZoomableView::set_image(const QPixmap& pixmap, bool keep_transform) {
  if (!scene()) setScene(new QGraphicsScene(this));
  if (!keep_transform) resetTransform();
  scene()->clear();
  QGraphicsPixmapItem* item = scene()->addPixmap(pixmap);
  scene()->setSceneRect(QRectF(0, 0, pixmap.width(), pixmap.height()));
  if (!keep_transform) fit_to(item->sceneBoundingRect());
}

void ZoomableView::fit_to(const QRectF& rect) {
  fitted_rect_ = rect;
  fitInView(rect, Qt::KeepAspectRatio);
}

void ZoomableView::resizeEvent(QResizeEvent* event) {
  QGraphicsView::resizeEvent(event);
  if (fitted_rect_) fitInView(*fitted_rect_, Qt::KeepAspectRatio);
}

void ZoomableView::wheelEvent(QWheelEvent* event) {
  if (scene() && !scene()->items().isEmpty()) {
    const double factor = event->angleDelta().y() > 0 ? kZoomStep : 1.0 / kZoomStep;
    scale(factor, factor);
    fitted_rect_.reset();
    event->accept();
    return;
  }
  QGraphicsView::wheelEvent(event);
}

void ZoomableView::mousePressEvent(QMouseEvent* event) {
  bool pan = event->button() == Qt::MiddleButton;
  if (!pan && event->button() == Qt::LeftButton && scene_draw_mode() == kSelectMove) {
    const QPointF scene_pos = mapToScene(event->position().toPoint());
    pan = !scene() ||
          scene()
              ->items(scene_pos, Qt::IntersectsItemShape, Qt::DescendingOrder, transform())
              .isEmpty();
  }
  if (pan) {
    _is_panning = true;
    _pan_start_pos = event->position();
    viewport()->setCursor(Qt::ClosedHandCursor);
    event->accept();
    return;
  }
  QGraphicsView::mousePressEvent(event);
}

void ZoomableView::mouseMoveEvent(QMouseEvent* event) {
  if (_is_panning) {
    const QPointF delta = event->position() - _pan_start_pos;
    QScrollBar* h = horizontalScrollBar();
    QScrollBar* v = verticalScrollBar();
    h->setValue(static_cast<int>(h->value() - delta.x()));
    v->setValue(static_cast<int>(v->value() - delta.y()));
    _pan_start_pos = event->position();
    if (!delta.isNull()) fitted_rect_.reset();
    event->accept();
    return;
  }
  QGraphicsView::mouseMoveEvent(event);
}

void ZoomableView::mouseReleaseEvent(QMouseEvent* event) {
  if (_is_panning) {
    _is_panning = false;
    set_interaction_mode(scene_draw_mode());
    event->accept();
    return;
  }
  QGraphicsView::mouseReleaseEvent(event);
}

QString ZoomableView::scene_draw_mode() const {
  if (const auto* canvas = dynamic_cast<const InteractiveCanvas*>(scene())) {
    return canvas->draw_mode;
  }
  return kSelectMove;
}

}  // namespace orvane
