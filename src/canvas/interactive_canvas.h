// InteractiveCanvas: the drawing scene. Turns mouse input into shapes according
// to `draw_mode` and reports finished shapes (scene coordinates = image pixels).
#pragma once

#include <QGraphicsPolygonItem>
#include <QGraphicsScene>
#include <QList>
#include <QPointF>
#include <QPolygonF>
#include <QString>
#include <optional>

namespace orvane {

class InteractiveCanvas : public QGraphicsScene {
  Q_OBJECT

 public:
  explicit InteractiveCanvas(QObject* parent = nullptr);
  ~InteractiveCanvas() override;

  void set_draw_mode(const QString& mode);
  void reset_drawing();
  // Marks the points clicked so far in "Crop" or "Warp" (image pixels); an
  // empty list takes the marks away.
  void mark_points(const QList<QPointF>& points);
  QList<QPointF> calculate_shape(const QPointF& start, const QPointF& end) const;
  void update_preview();

  // Held on a press in a drawing mode, starts a new shape on top of an
  // existing one instead of selecting it.
  static constexpr Qt::KeyboardModifier kDrawOverShapes = Qt::ShiftModifier;

  QString draw_mode = QStringLiteral("Select/Move");
  QList<QPointF> current_polygon;
  bool drawing = false;
  QGraphicsPolygonItem* temp_poly_item = nullptr;
  std::optional<QPointF> start_pos;

 Q_SIGNALS:
  void polygon_completed(const QPolygonF& polygon);
  void point_clicked(const QPointF& point);

 protected:
  void mousePressEvent(QGraphicsSceneMouseEvent* event) override;
  void mouseMoveEvent(QGraphicsSceneMouseEvent* event) override;
  void mouseReleaseEvent(QGraphicsSceneMouseEvent* event) override;

 private:
  // Whether the press is on an existing shape or one of its handles.
  bool on_shape(const QGraphicsSceneMouseEvent* event) const;
};

}  // namespace orvane
