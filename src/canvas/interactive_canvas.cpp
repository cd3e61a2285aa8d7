#include "canvas/interactive_canvas.h"

#include <QBrush>
#include <QColor>
#include <QGraphicsSceneMouseEvent>
#include <QPen>

#include "canvas/shape_geometry.h"

namespace orvane {

namespace {

const QString kSelectMove = QStringLiteral("Select/Move");
const QString kPolygon = QStringLiteral("Polygon");

bool is_point_mode(const QString& mode) {
  return mode == QStringLiteral("Crop") || mode == QStringLiteral("Warp");
}

// The owners clear the whole scene when they show a new image, which deletes
// the preview behind the canvas's back; the item forgets itself so the canvas
// never touches a deleted item.
class PreviewItem : public QGraphicsPolygonItem {
 public:
  PreviewItem(const QPolygonF& polygon, InteractiveCanvas* canvas)
      : QGraphicsPolygonItem(polygon), canvas_(canvas) {}
  ~PreviewItem() override {
    if (canvas_->temp_poly_item == this) canvas_->temp_poly_item = nullptr;
  }

 private:
  InteractiveCanvas* canvas_;
};

}  // namespace

InteractiveCanvas::InteractiveCanvas(QObject* parent) : QGraphicsScene(parent) {}

// The preview goes first, while the members it writes to on deletion still exist.
InteractiveCanvas::~InteractiveCanvas() { reset_drawing(); }

void InteractiveCanvas::set_draw_mode(const QString& mode) {
  draw_mode = mode;
  reset_drawing();
}

void InteractiveCanvas::reset_drawing() {
  delete temp_poly_item;  // also takes it off the scene
  temp_poly_item = nullptr;
  current_polygon.clear();
  drawing = false;
  start_pos.reset();
}

QList<QPointF> InteractiveCanvas::calculate_shape(const QPointF& start, const QPointF& end) const {
  return orvane::calculate_shape(draw_mode, start, end);
}

void InteractiveCanvas::update_preview() {
  delete temp_poly_item;
  temp_poly_item = nullptr;
  if (current_polygon.isEmpty()) return;

  auto* item = new PreviewItem(QPolygonF(current_polygon), this);
  item->setPen(QPen(QColor("#6366F1"), 2, Qt::DashLine));
  item->setBrush(Qt::NoBrush);
  addItem(item);
  temp_poly_item = item;
}

void InteractiveCanvas::mousePressEvent(QGraphicsSceneMouseEvent* event) {
  if (event->button() == Qt::MiddleButton) {
    event->ignore();
    return;
  }
  if (draw_mode == kSelectMove) {
    QGraphicsScene::mousePressEvent(event);
    return;
  }
  const QPointF pos = event->scenePos();
  if (is_point_mode(draw_mode)) {
    if (event->button() == Qt::LeftButton) Q_EMIT point_clicked(pos);
    QGraphicsScene::mousePressEvent(event);
    return;
  }

  if (event->button() == Qt::LeftButton) {
    // A shape is never started on top of an existing one: the press selects it.
    for (QGraphicsItem* item : items(pos)) {
      if (qgraphicsitem_cast<QGraphicsPolygonItem*>(item) && item != temp_poly_item) {
        QGraphicsScene::mousePressEvent(event);
        return;
      }
    }
    drawing = true;
    if (draw_mode == kPolygon) {
      current_polygon.append(pos);
      update_preview();
    } else {
      start_pos = pos;
    }
    event->accept();
    return;
  }

  if (event->button() == Qt::RightButton && drawing && draw_mode == kPolygon) {
    // One or two clicks make no polygon and are dropped.
    if (current_polygon.size() > 2) Q_EMIT polygon_completed(QPolygonF(current_polygon));
    reset_drawing();
    event->accept();
    return;
  }

  QGraphicsScene::mousePressEvent(event);
}

void InteractiveCanvas::mouseMoveEvent(QGraphicsSceneMouseEvent* event) {
  if (draw_mode == kSelectMove || is_point_mode(draw_mode)) {
    QGraphicsScene::mouseMoveEvent(event);
    return;
  }
  if (drawing && draw_mode != kPolygon && start_pos) {
    current_polygon = calculate_shape(*start_pos, event->scenePos());
    update_preview();
    event->accept();
    return;
  }
  QGraphicsScene::mouseMoveEvent(event);
}

void InteractiveCanvas::mouseReleaseEvent(QGraphicsSceneMouseEvent* event) {
  if (draw_mode == kSelectMove || is_point_mode(draw_mode)) {
    QGraphicsScene::mouseReleaseEvent(event);
    return;
  }
  if (event->button() == Qt::LeftButton && draw_mode != kPolygon) {
    if (drawing && start_pos) {
      const QList<QPointF> shape = calculate_shape(*start_pos, event->scenePos());
      // The preview stays up while the receivers run (a label dialog, say);
      // the drawing state is reset only once they return.
      if (shape.size() > 2) Q_EMIT polygon_completed(QPolygonF(shape));
      reset_drawing();
      event->accept();
      return;
    }
    // A press on an existing shape went to the scene, which grabbed the mouse
    // for that shape; the release must reach it too, or the grab stays and
    // later clicks act on that shape.
    if (mouseGrabberItem()) QGraphicsScene::mouseReleaseEvent(event);
    return;
  }
  QGraphicsScene::mouseReleaseEvent(event);
}

}  // namespace orvane
