#include "canvas/interactive_canvas.h"
InteractiveCanvas::InteractiveCanvas(QObject* parent) : QGraphicsScene(parent) {}
void InteractiveCanvas::set_draw_mode(const QString& mode) { draw_mode = mode; }
void InteractiveCanvas::reset_drawing() {}
QList<QPointF> InteractiveCanvas::calculate_shape(const QPointF&, const QPointF&) const { return {}; }
void InteractiveCanvas::update_preview() {}
void InteractiveCanvas::mousePressEvent(QGraphicsSceneMouseEvent* e) { QGraphicsScene::mousePressEvent(e); }
void InteractiveCanvas::mouseMoveEvent(QGraphicsSceneMouseEvent* e) { QGraphicsScene::mouseMoveEvent(e); }
void InteractiveCanvas::mouseReleaseEvent(QGraphicsSceneMouseEvent* e) { QGraphicsScene::mouseReleaseEvent(e); }
