// The canvas items of annotation records: how they are made, how they look,
// and whether they were dragged since the label file was last written.
#pragma once

#include <QColor>
#include <QPolygonF>

class QGraphicsPolygonItem;

namespace orvane {

// A movable, selectable polygon item for `points` (image pixels), placed at
// the scene origin. While selected it shows a handle on each point; dragging
// a handle moves that point.
QGraphicsPolygonItem* new_annotation_item(const QPolygonF& points);

// Gives `item` the look of its class colour: pen 2 and fill alpha 60, or when
// selected pen 4, fill alpha 120 and drawn above the others. Pen widths are
// screen pixels, whatever the zoom. Touches the item
// only where its look changes.
void apply_annotation_look(QGraphicsPolygonItem* item, const QColor& color, bool selected);

// Replaces the points of an annotation item (item coordinates), its handles
// following.
void set_annotation_points(QGraphicsPolygonItem* item, const QPolygonF& points);

// Remembers the item's current position and points as those in the label file.
void mark_position_saved(QGraphicsPolygonItem* item);

// Whether the item, or one of its points, was dragged since
// mark_position_saved (items never saved count as saved at the origin, where
// they are made).
bool moved_since_save(const QGraphicsPolygonItem* item);

}  // namespace orvane
