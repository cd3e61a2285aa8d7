// Shape geometry of the drawing canvas: the vertices of a dragged shape.
#pragma once

#include <QList>
#include <QPointF>
#include <QString>

namespace orvane {

// Vertices of the shape `mode` dragged from `start` (press) to `end` (current
// point): "Rectangle" 4 corners, "Circle" 32 vertices, "Pentagon" 5 vertices,
// empty for a circle or pentagon of radius <= 1 and for any other mode.
QList<QPointF> calculate_shape(const QString& mode, const QPointF& start, const QPointF& end);

}  // namespace orvane
