#include "canvas/shape_geometry.h"

#include <cmath>
#include <numbers>

namespace orvane {

QList<QPointF> calculate_shape(const QString& mode, const QPointF& start, const QPointF& end) {
  if (mode == QStringLiteral("Rectangle")) {
    return {start, QPointF(end.x(), start.y()), end, QPointF(start.x(), end.y())};
  }

  int sides = 0;
  if (mode == QStringLiteral("Circle")) {
    sides = 32;
  } else if (mode == QStringLiteral("Pentagon")) {
    sides = 5;
  } else {
    return {};
  }

  const double dx = end.x() - start.x();
  const double dy = end.y() - start.y();
  const double radius = std::sqrt(dx * dx + dy * dy);
  if (radius <= 1.0) return {};

  // Vertex 0 straight above the centre; with y pointing down, increasing
  // angles run clockwise on screen.
  QList<QPointF> points;
  points.reserve(sides);
  for (int i = 0; i < sides; ++i) {
    const double angle = -std::numbers::pi / 2 + 2 * std::numbers::pi * i / sides;
    points.append(
        QPointF(start.x() + radius * std::cos(angle), start.y() + radius * std::sin(angle)));
  }
  return points;
}

}  // namespace orvane
