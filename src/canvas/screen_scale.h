// Sizes on screen for marks drawn on a scene: outlines, vertex marks and
// handles keep their size in screen pixels at every zoom.
#pragma once

class QGraphicsScene;
class QPainter;

namespace orvane {

// Scene units covered by one screen pixel in the most zoomed-out view that
// shows `scene` (1 when no view shows it). Marks reserve this much room per
// pixel around their shape, so they are repainted whole in every view.
double scene_units_per_pixel(const QGraphicsScene* scene);

// Scene units covered by one screen pixel where `painter` paints now.
double scene_units_per_pixel(const QPainter& painter);

}  // namespace orvane
