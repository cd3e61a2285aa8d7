// The canvas items of annotation records: how they are made, how they look,
// and whether they were dragged since the label file was last written.
#pragma once

#include <QColor>
#include <QPolygonF>

class QGraphicsPolygonItem;

namespace orvane {

// A movable, selectable polygon item for `points` (image pixels), placed at
// the scene origin.
QGraphicsPolygonItem* new_annotation_item(const QPolygonF& points);

// Gives `item` the look of its class colour: pen 2 and fill alpha 60, or when
// selected pen 4, fill alpha 120 and drawn above the others. Touches the item
// only where its look changes.
void apply_annotation_look(QGraphicsPolygonItem* item, const QColor& color, bool selected);

// Remembers the item's current position as the one in the label file.
void mark_position_saved(QGraphicsPolygonItem* item);

// Whether the item was dragged since mark_position_saved (items never saved
// count as saved at the origin, where they are made).
bool moved_since_save(const QGraphicsPolygonItem* item);

}  // namespace orvane
