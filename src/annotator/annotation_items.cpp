#include "annotator/annotation_items.h"

#include <QBrush>
#include <QGraphicsPolygonItem>
#include <QPainter>
#include <QPen>
#include <QStyle>
#include <QStyleOptionGraphicsItem>

namespace orvane {

namespace {

// Item data slot holding the position last written to the label file.
constexpr int kSavedPositionKey = 0x4F52;

// Thousands of shapes must paint fast. An antialiased translucent fill costs
// about ten times a plain one, and its edge lies under the outline anyway, so
// the fill is drawn without antialiasing. A selected shape is drawn the
// standard way, with its selection frame.
class AnnotationItem : public QGraphicsPolygonItem {
 public:
  using QGraphicsPolygonItem::QGraphicsPolygonItem;

  // The base class strokes the whole outline to find its bounds, for every
  // item the scene indexes. The stroke reaches at most one pen width beyond
  // the vertices (a miter at the default limit; bevel joins reach half).
  QRectF boundingRect() const override {
    const QPen& outline = pen();
    const qreal margin = outline.style() == Qt::NoPen ? 0.0 : outline.widthF();
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
};

}  // namespace

QGraphicsPolygonItem* new_annotation_item(const QPolygonF& points) {
  auto* item = new AnnotationItem(points);
  item->setFlags(QGraphicsItem::ItemIsMovable | QGraphicsItem::ItemIsSelectable);
  return item;
}

void apply_annotation_look(QGraphicsPolygonItem* item, const QColor& color, bool selected) {
  const QPen pen(color, selected ? 4 : 2);
  QColor fill = color;
  fill.setAlpha(selected ? 120 : 60);
  if (item->pen() != pen) item->setPen(pen);
  const QBrush& brush = item->brush();
  if (brush.style() != Qt::SolidPattern || brush.color() != fill) item->setBrush(QBrush(fill));
  const qreal z = selected ? 1.0 : 0.0;
  if (item->zValue() != z) item->setZValue(z);
}

void mark_position_saved(QGraphicsPolygonItem* item) {
  if (item->pos() != item->data(kSavedPositionKey).toPointF()) {
    item->setData(kSavedPositionKey, item->pos());
  }
}

bool moved_since_save(const QGraphicsPolygonItem* item) {
  return item->pos() != item->data(kSavedPositionKey).toPointF();
}

}  // namespace orvane
