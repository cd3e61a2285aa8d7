#include "annotator/annotation_items.h"

#include <QBrush>
#include <QGraphicsPolygonItem>
#include <QPen>

namespace {
// Item data slot holding the position last written to the label file.
constexpr int kSavedPositionKey = 0x4F52;
}  // namespace

QGraphicsPolygonItem* new_annotation_item(const QPolygonF& points) {
  auto* item = new QGraphicsPolygonItem(points);
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
