#include "canvas/screen_scale.h"

#include <QGraphicsScene>
#include <QGraphicsView>
#include <QPainter>
#include <cmath>

namespace orvane {

namespace {

// The views only zoom (the same factor both ways) and pan.
double units_per_pixel(const QTransform& transform) {
  const double scale = std::sqrt(std::abs(transform.determinant()));
  return scale > 0 ? 1.0 / scale : 1.0;
}

}  // namespace

double scene_units_per_pixel(const QGraphicsScene* scene) {
  if (!scene) return 1.0;
  double units = 0;
  for (const QGraphicsView* view : scene->views()) {
    units = std::max(units, units_per_pixel(view->transform()));
  }
  return units > 0 ? units : 1.0;
}

double scene_units_per_pixel(const QPainter& painter) {
  return units_per_pixel(painter.worldTransform());
}

}  // namespace orvane
