#include "canvas/zoomable_view.h"
ZoomableView::ZoomableView(QWidget* parent) : QGraphicsView(parent) {}
void ZoomableView::set_interaction_mode(const QString&) {}
void ZoomableView::set_image(const QPixmap&, bool) {}
void ZoomableView::wheelEvent(QWheelEvent* e) { QGraphicsView::wheelEvent(e); }
void ZoomableView::mousePressEvent(QMouseEvent* e) { QGraphicsView::mousePressEvent(e); }
void ZoomableView::mouseMoveEvent(QMouseEvent* e) { QGraphicsView::mouseMoveEvent(e); }
void ZoomableView::mouseReleaseEvent(QMouseEvent* e) { QGraphicsView::mouseReleaseEvent(e); }
QString ZoomableView::scene_draw_mode() const { return {}; }
