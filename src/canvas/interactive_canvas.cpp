#include "canvas/interactive_canvas.h"

#include <QBrush>
#include <QColor>
#include <QGraphicsSceneMouseEvent>
#include <QGraphicsView>
#include <QPainter>
#include <QPen>

#include "canvas/screen_scale.h"
#include "canvas/shape_geometry.h"

namespace orvane {

namespace {

const QString kSelectMove = QStringLiteral("Select/Move");
const QString kPolygon = QStringLiteral("Polygon");

bool is_point_mode(const QString& mode) {
  return mode == QStringLiteral("Crop") || mode == QStringLiteral("Warp");
}

// Side of the marks of the points placed so far, in screen pixels.
constexpr double kVertexMarkPx = 7.0;

// The dashed outline of the shape being drawn, with a mark on each point
// placed so far in "Polygon" mode, or the points clicked so far in "Crop" and
// "Warp" (joined in click order, not closed). Outline and marks keep their size on screen
// at every zoom.
//
// The owners clear the whole scene when they show a new image, which deletes
// the preview behind the canvas's back; the item forgets itself so the canvas
// never touches a deleted item.
class PreviewItem : public QGraphicsPolygonItem {
 public:
  PreviewItem(const QPolygonF& polygon, InteractiveCanvas* canvas, bool mark_points, bool closed)
      : QGraphicsPolygonItem(polygon), canvas_(canvas), mark_points_(mark_points), closed_(closed) {
    QPen pen(QColor("#6366F1"), 2, Qt::DashLine);
    pen.setCosmetic(true);
    setPen(pen);
    setBrush(Qt::NoBrush);
  }
  ~PreviewItem() override {
    if (canvas_->temp_poly_item == this) canvas_->temp_poly_item = nullptr;
  }

  QRectF boundingRect() const override {
    const double margin = (kVertexMarkPx / 2 + 2) * scene_units_per_pixel(scene());
    return polygon().boundingRect().adjusted(-margin, -margin, margin, margin);
  }

  void paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) override {
    painter->setPen(pen());
    painter->setBrush(Qt::NoBrush);
    if (polygon().size() > 1) {
      if (closed_) {
        painter->drawPolygon(polygon());
      } else {
        painter->drawPolyline(polygon());
      }
    }
    if (!mark_points_) return;
    const double side = kVertexMarkPx * scene_units_per_pixel(*painter);
    QPen border(Qt::white, 1);
    border.setCosmetic(true);
    painter->setPen(border);
    painter->setBrush(QColor("#6366F1"));
    for (const QPointF& point : polygon()) {
      painter->drawRect(QRectF(point.x() - side / 2, point.y() - side / 2, side, side));
    }
  }

 private:
  InteractiveCanvas* canvas_;
  bool mark_points_;
  bool closed_;
};

}  // namespace

InteractiveCanvas::InteractiveCanvas(QObject* parent) : QGraphicsScene(parent) {
  // Outlines and marks keep their size on screen, so the room they take on the
  // scene changes with the zoom; an index of item bounds would go stale.
  setItemIndexMethod(QGraphicsScene::NoIndex);
}

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

void InteractiveCanvas::mark_points(const QList<QPointF>& points) {
  current_polygon = points;
  update_preview();
}

QList<QPointF> InteractiveCanvas::calculate_shape(const QPointF& start, const QPointF& end) const {
  return orvane::calculate_shape(draw_mode, start, end);
}

void InteractiveCanvas::update_preview() {
  delete temp_poly_item;
  temp_poly_item = nullptr;
  if (current_polygon.isEmpty()) return;

  const bool clicks = is_point_mode(draw_mode);
  auto* item =
      new PreviewItem(QPolygonF(current_polygon), this, clicks || draw_mode == kPolygon, !clicks);
  addItem(item);
  temp_poly_item = item;
}

bool InteractiveCanvas::on_shape(const QGraphicsSceneMouseEvent* event) const {
  // Handles keep their size on screen: hit-test them as the view shows them.
  const auto* view = event->widget()
                         ? qobject_cast<const QGraphicsView*>(event->widget()->parentWidget())
                         : nullptr;
  const QTransform device = view ? view->transform() : QTransform();
  for (QGraphicsItem* item :
       items(event->scenePos(), Qt::IntersectsItemShape, Qt::DescendingOrder, device)) {
    const QGraphicsItem* shape = item->topLevelItem();
    if (qgraphicsitem_cast<const QGraphicsPolygonItem*>(shape) && shape != temp_poly_item) {
      return true;
    }
  }
  return false;
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
    // A press on an existing shape (or a handle of one) selects it, unless a
    // polygon is in progress (every click is its next point) or Shift is
    // held (a new shape on top of it: a part inside an object's box).
    const bool polygon_in_progress = drawing && draw_mode == kPolygon;
    if (!polygon_in_progress && !(event->modifiers() & kDrawOverShapes) && on_shape(event)) {
      QGraphicsScene::mousePressEvent(event);
      return;
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
