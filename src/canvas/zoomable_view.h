// ZoomableView: the image view used by every tab. Wheel zoom about the pointer
// (one 1.15 step per event) and hand panning with the middle button, or with
// the left button on empty background in "Select/Move".
#pragma once

#include <QGraphicsView>
#include <QPixmap>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <optional>

namespace orvane {

class ZoomableView : public QGraphicsView {
  Q_OBJECT

 public:
  explicit ZoomableView(QWidget* parent = nullptr);

  // Open hand for "Select/Move", cross for every other mode.
  void set_interaction_mode(const QString& mode);
  // Shows `pixmap` alone on the scene at the origin, fitted unless keep_transform.
  void set_image(const QPixmap& pixmap, bool keep_transform = false);

  // Fits `rect` into the view keeping its aspect ratio, and keeps it fitted
  // when the view is resized, until the user zooms or pans.
  void fit_to(const QRectF& rect);
  bool is_fitted() const { return fitted_rect_.has_value(); }

  bool _is_panning = false;
  QPointF _pan_start_pos;

 protected:
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  QString scene_draw_mode() const;

  std::optional<QRectF> fitted_rect_;
};

}  // namespace orvane
