#include "annotator/annotation_items.h"

#include <QBrush>
#include <QGraphicsPolygonItem>
#include <QGraphicsRectItem>
#include <QGraphicsScene>
#include <QGraphicsSceneMouseEvent>
#include <QPainter>
#include <QPen>
#include <QStyle>
#include <QStyleOptionGraphicsItem>
#include <algorithm>

#include "canvas/screen_scale.h"

namespace orvane {

namespace {

// Item data slots: the position last written to the label file, and whether a
// point was dragged since then.
constexpr int kSavedPositionKey = 0x4F52;
constexpr int kPointsEditedKey = 0x4F53;
// Side of a point handle, in screen pixels.
constexpr double kHandlePx = 9.0;

class AnnotationItem;

// A handle on one point of the selected shape: a square of fixed size on
// screen. Dragging it moves that point of the shape.
class PointHandle : public QGraphicsRectItem {
 public:
  PointHandle(AnnotationItem* shape, int index, const QPointF& point);

 protected:
  void mousePressEvent(QGraphicsSceneMouseEvent* event) override;
  void mouseMoveEvent(QGraphicsSceneMouseEvent* event) override;

 private:
  int index_;
  QPointF grab_offset_;  // from the pointer to the point, in scene units
};

// Thousands of shapes must paint fast. An antialiased translucent fill costs
// about ten times a plain one, and its edge lies under the outline anyway, so
// the fill is drawn without antialiasing. A selected shape is drawn the
// standard way, with its selection frame, and shows a handle on each point.
// The outline keeps its width on screen at every zoom.
class AnnotationItem : public QGraphicsPolygonItem {
 public:
  using QGraphicsPolygonItem::QGraphicsPolygonItem;

  // The base class strokes the whole outline to find its bounds, for every
  // item the scene paints. The outline reaches at most one pen width (in
  // screen pixels) beyond the vertices (a miter at the default limit).
  QRectF boundingRect() const override {
    const QPen& outline = pen();
    const double width = outline.style() == Qt::NoPen ? 0.0 : outline.widthF();
    const double margin = (width + 1) * scene_units_per_pixel(scene());
    return polygon().boundingRect().adjusted(-margin, -margin, margin, margin);
  }

  void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override {
    if (option->state & QStyle::State_Selected) {
      QGraphicsPolygonItem::paint(painter, option, widget);
      return;
    }
    const bool antialiased = painter->testRenderHint(QPainter::Antialiasing);
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setPen(Qt::NoPen);
    painter->setBrush(brush());
    painter->drawPolygon(polygon(), fillRule());
    painter->setRenderHint(QPainter::Antialiasing, antialiased);
    painter->setPen(pen());
    painter->setBrush(Qt::NoBrush);
    painter->drawPolygon(polygon(), fillRule());
  }

  // Moves point `index` to `point` (item coordinates), kept inside the image.
  // A corner of an axis-aligned box takes its two neighbours along, so the
  // box stays a box.
  void move_point(int index, QPointF point) {
    QPolygonF points = polygon();
    if (index < 0 || index >= points.size()) return;
    point = clamped_to_image(point);
    if (points[index] == point) return;
    const BoxOrder order = box_order(points);
    if (order != BoxOrder::kNone) {
      const qsizetype n = points.size();
      const qsizetype prev = (index + n - 1) % n, next = (index + 1) % n;
      // Along a box's outline the edges alternate horizontal and vertical.
      const bool next_edge_horizontal = (index % 2 == 0) == (order == BoxOrder::kHorizontalFirst);
      if (next_edge_horizontal) {
        points[next].setY(point.y());
        points[prev].setX(point.x());
      } else {
        points[next].setX(point.x());
        points[prev].setY(point.y());
      }
    }
    points[index] = point;
    setPolygon(points);
    setData(kPointsEditedKey, true);
    for (qsizetype i = 0; i < handles_.size() && i < points.size(); ++i) {
      handles_[i]->setPos(points[i]);
    }
  }

  enum class BoxOrder { kNone, kHorizontalFirst, kVerticalFirst };

  // Whether the four points are the corners of an axis-aligned box, in order
  // around it, and which way its first edge runs.
  static BoxOrder box_order(const QPolygonF& p) {
    if (p.size() != 4) return BoxOrder::kNone;
    if (p[0].y() == p[1].y() && p[1].x() == p[2].x() && p[2].y() == p[3].y() &&
        p[3].x() == p[0].x()) {
      return BoxOrder::kHorizontalFirst;
    }
    if (p[0].x() == p[1].x() && p[1].y() == p[2].y() && p[2].x() == p[3].x() &&
        p[3].y() == p[0].y()) {
      return BoxOrder::kVerticalFirst;
    }
    return BoxOrder::kNone;
  }

  // The image, in item coordinates (the scene rectangle is the image).
  QRectF image_rect() const { return scene() ? scene()->sceneRect().translated(-pos()) : QRectF(); }

  QPointF clamped_to_image(const QPointF& point) const {
    const QRectF image = image_rect();
    if (image.isEmpty()) return point;
    return {std::clamp(point.x(), image.left(), image.right()),
            std::clamp(point.y(), image.top(), image.bottom())};
  }

  void refresh_handles() {
    qDeleteAll(handles_);
    handles_.clear();
    if (!isSelected()) return;
    const QPolygonF points = polygon();
    for (int i = 0; i < points.size(); ++i) handles_.push_back(new PointHandle(this, i, points[i]));
  }

 protected:
  QVariant itemChange(GraphicsItemChange change, const QVariant& value) override {
    if (change == ItemSelectedHasChanged) refresh_handles();
    // A dragged shape stops at the image's edges: what is drawn is what the
    // label file gets.
    if (change == ItemPositionChange && scene()) {
      const QRectF image = scene()->sceneRect();
      const QRectF shape = polygon().boundingRect();
      if (!image.isEmpty() && shape.width() <= image.width() && shape.height() <= image.height()) {
        QPointF pos = value.toPointF();
        pos.setX(std::clamp(pos.x(), image.left() - shape.left(), image.right() - shape.right()));
        pos.setY(std::clamp(pos.y(), image.top() - shape.top(), image.bottom() - shape.bottom()));
        return QGraphicsPolygonItem::itemChange(change, pos);
      }
    }
    return QGraphicsPolygonItem::itemChange(change, value);
  }

 private:
  QList<PointHandle*> handles_;  // children: deleted with the shape
};

PointHandle::PointHandle(AnnotationItem* shape, int index, const QPointF& point)
    : QGraphicsRectItem(-kHandlePx / 2, -kHandlePx / 2, kHandlePx, kHandlePx, shape),
      index_(index) {
  setFlag(ItemIgnoresTransformations);
  setAcceptedMouseButtons(Qt::LeftButton);
  setCursor(Qt::SizeAllCursor);
  setPen(QPen(Qt::black, 1));
  setBrush(Qt::white);
  setPos(point);
}

void PointHandle::mousePressEvent(QGraphicsSceneMouseEvent* event) {
  // Taking the press makes the handle the mouse grabber: the shape neither
  // moves nor loses its selection.
  grab_offset_ = scenePos() - event->scenePos();
  event->accept();
}

void PointHandle::mouseMoveEvent(QGraphicsSceneMouseEvent* event) {
  auto* shape = static_cast<AnnotationItem*>(parentItem());
  shape->move_point(index_, shape->mapFromScene(event->scenePos() + grab_offset_));
}

}  // namespace

QGraphicsPolygonItem* new_annotation_item(const QPolygonF& points) {
  auto* item = new AnnotationItem(points);
  item->setFlags(QGraphicsItem::ItemIsMovable | QGraphicsItem::ItemIsSelectable |
                 QGraphicsItem::ItemSendsGeometryChanges);
  return item;
}

void apply_annotation_look(QGraphicsPolygonItem* item, const QColor& color, bool selected) {
  QPen pen(color, selected ? 4 : 2);
  pen.setCosmetic(true);
  QColor fill = color;
  fill.setAlpha(selected ? 120 : 60);
  if (item->pen() != pen) item->setPen(pen);
  const QBrush& brush = item->brush();
  if (brush.style() != Qt::SolidPattern || brush.color() != fill) item->setBrush(QBrush(fill));
  const qreal z = selected ? 1.0 : 0.0;
  if (item->zValue() != z) item->setZValue(z);
}

void set_annotation_points(QGraphicsPolygonItem* item, const QPolygonF& points) {
  item->setPolygon(points);
  if (auto* shape = dynamic_cast<AnnotationItem*>(item)) shape->refresh_handles();
}

void mark_position_saved(QGraphicsPolygonItem* item) {
  if (item->pos() != item->data(kSavedPositionKey).toPointF()) {
    item->setData(kSavedPositionKey, item->pos());
  }
  if (item->data(kPointsEditedKey).toBool()) item->setData(kPointsEditedKey, false);
}

bool moved_since_save(const QGraphicsPolygonItem* item) {
  return item->pos() != item->data(kSavedPositionKey).toPointF() ||
         item->data(kPointsEditedKey).toBool();
}

}  // namespace orvane
