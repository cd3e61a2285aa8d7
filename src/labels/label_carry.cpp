#include "labels/label_carry.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>

#include "common/job_runner.h"
#include "fileio/atomic_write.h"
#include "labels/class_list.h"
#include "labels/label_file.h"
#include "labels/label_paths.h"
#include "labels/ring_clip.h"

namespace orvane {

namespace {

double polygon_area(const QPolygonF& points) {
  double twice = 0.0;
  const qsizetype n = points.size();
  for (qsizetype i = 0; i < n; ++i) {
    const QPointF& a = points[i];
    const QPointF& b = points[(i + 1) % n];
    twice += a.x() * b.y() - b.x() * a.y();
  }
  return std::abs(twice) / 2.0;
}

bool big_enough(const QRectF& bounds, double min_size) {
  return bounds.width() >= min_size && bounds.height() >= min_size;
}

QPolygonF box_corners(const QRectF& box) {
  return QPolygonF({box.topLeft(), box.topRight(), box.bottomRight(), box.bottomLeft()});
}

void clip_box(const CarriedShape& shape, const QRectF& frame, double keep_fraction, double min_size,
              std::vector<CarriedShape>& out) {
  const QRectF box = shape.points.boundingRect();
  const QRectF inside = box.intersected(frame);
  const double area = box.width() * box.height();
  if (inside.isEmpty() || !big_enough(inside, min_size)) return;
  if (area > 0 && inside.width() * inside.height() < keep_fraction * area) return;
  out.push_back({shape.class_id, box_corners(inside.translated(-frame.topLeft())), true});
}

void clip_polygon(const CarriedShape& shape, const QRectF& frame, double keep_fraction,
                  double min_size, std::vector<CarriedShape>& out) {
  const QRectF bounds = shape.points.boundingRect();
  const QPointF origin = frame.topLeft();
  if (frame.contains(bounds)) {  // most shapes: nothing to cut
    if (big_enough(bounds, min_size)) {
      out.push_back({shape.class_id, shape.points.translated(-origin), false});
    }
    return;
  }
  if (!frame.intersects(bounds)) return;
  const double area = polygon_area(shape.points);
  if (area <= 0) return;  // a line or a point cut by the frame says nothing
  std::vector<QPolygonF> pieces = polygon_pieces_inside(shape.points, frame);
  double kept = 0;
  for (const QPolygonF& piece : pieces) kept += polygon_area(piece);
  if (kept < keep_fraction * area) return;
  for (QPolygonF& piece : pieces) {
    if (!big_enough(piece.boundingRect(), min_size)) continue;
    out.push_back({shape.class_id, piece.translated(-origin), false});
  }
}

QPointF apply(const cv::Matx33d& m, const QPointF& p) {
  const double x = m(0, 0) * p.x() + m(0, 1) * p.y() + m(0, 2);
  const double y = m(1, 0) * p.x() + m(1, 1) * p.y() + m(1, 2);
  const double w = m(2, 0) * p.x() + m(2, 1) * p.y() + m(2, 2);
  return w != 0 ? QPointF(x / w, y / w) : QPointF(x, y);
}

// Whether four corners, in order, still make an axis-aligned rectangle.
bool axis_aligned(const QPolygonF& q) {
  if (q.size() != 4) return false;
  const QRectF bounds = q.boundingRect();
  const double tolerance = 1e-6 * std::max({1.0, bounds.width(), bounds.height()});
  for (const QPointF& p : q) {
    const bool on_x = std::abs(p.x() - bounds.left()) <= tolerance ||
                      std::abs(p.x() - bounds.right()) <= tolerance;
    const bool on_y = std::abs(p.y() - bounds.top()) <= tolerance ||
                      std::abs(p.y() - bounds.bottom()) <= tolerance;
    if (!on_x || !on_y) return false;
  }
  return true;
}

void put_number(QByteArray& out, double v) {
  if (!(v > 0.0)) v = 0.0;  // also NaN and -0.0
  if (v > 1.0) v = 1.0;
  char buffer[32];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::fixed, 6);
  out.append(' ');
  out.append(buffer, end.ptr - buffer);
}

}  // namespace

SourceClasses read_source_classes(const QString& folder) {
  const ClassListFile file =
      read_class_list_file(QDir(folder).filePath(QStringLiteral("classes.txt")));
  return {file.exists, file.names, file.error};
}

SourceLabels read_source_labels(const QString& image_path, QSize size,
                                const SourceClasses& classes) {
  SourceLabels labels;
  const QString label_path = label_path_for_image(image_path);
  if (is_class_list_path(label_path)) return labels;  // the class list, not its label file
  const int class_count = classes.found ? int(classes.names.size()) : INT_MAX;
  const LabelFileContent content =
      read_label_file(label_path, class_count, size.width(), size.height());
  labels.found = content.exists;
  if (content.unreadable) {
    labels.error = content.error;
    return labels;
  }
  labels.shapes.reserve(content.shapes.size());
  for (const LabelShape& shape : content.shapes) {
    labels.shapes.push_back({shape.class_id, shape.points, shape.box_line});
  }
  labels.lines_not_taken = int(content.kept_lines.size());
  return labels;
}

std::vector<CarriedShape> clip_shapes(const std::vector<CarriedShape>& shapes, const QRectF& frame,
                                      double keep_fraction, double min_size) {
  std::vector<CarriedShape> out;
  out.reserve(shapes.size());
  for (const CarriedShape& shape : shapes) {
    if (shape.box) {
      clip_box(shape, frame, keep_fraction, min_size, out);
    } else {
      clip_polygon(shape, frame, keep_fraction, min_size, out);
    }
  }
  return out;
}

std::vector<CarriedShape> transform_shapes(const std::vector<CarriedShape>& shapes,
                                           const cv::Matx33d& transform) {
  std::vector<CarriedShape> out;
  out.reserve(shapes.size());
  for (const CarriedShape& shape : shapes) {
    CarriedShape moved{shape.class_id, {}, false};
    moved.points.reserve(shape.points.size());
    for (const QPointF& p : shape.points) moved.points.append(apply(transform, p));
    moved.box = shape.box && axis_aligned(moved.points);
    out.push_back(std::move(moved));
  }
  return out;
}

std::vector<CarriedShape> warp_shapes(const std::vector<CarriedShape>& shapes,
                                      const cv::Matx33d& pixel_transform, QSize size,
                                      double keep_fraction) {
  // Pixel i's centre is at i in the warp's coordinates, at i + 0.5 in ours.
  const cv::Matx33d to_centres(1, 0, -0.5, 0, 1, -0.5, 0, 0, 1);
  const cv::Matx33d to_edges(1, 0, 0.5, 0, 1, 0.5, 0, 0, 1);
  return clip_shapes(transform_shapes(shapes, to_edges * pixel_transform * to_centres),
                     QRectF(0, 0, size.width(), size.height()), keep_fraction);
}

cv::Matx33d projective(const cv::Matx23d& affine) {
  const cv::Matx23d& m = affine;
  return {m(0, 0), m(0, 1), m(0, 2), m(1, 0), m(1, 1), m(1, 2), 0, 0, 1};
}

QByteArray format_carried_shapes(const std::vector<CarriedShape>& shapes, QSize size) {
  QByteArray out;
  const double w = size.width(), h = size.height();
  for (const CarriedShape& shape : shapes) {
    out.append(QByteArray::number(shape.class_id));
    if (shape.box) {
      const QRectF box = shape.points.boundingRect();
      put_number(out, box.center().x() / w);
      put_number(out, box.center().y() / h);
      put_number(out, box.width() / w);
      put_number(out, box.height() / h);
    } else {
      for (const QPointF& p : shape.points) {
        put_number(out, p.x() / w);
        put_number(out, p.y() / h);
      }
    }
    out.append('\n');
  }
  return out;
}

namespace {

// Whether the labels may go beside an existing class list.
QString agreement(const QString& path, const ClassListFile& existing, const QStringList& classes) {
  if (!existing.error.isEmpty()) {
    return QStringLiteral("its classes.txt cannot be read: %1").arg(existing.error);
  }
  if (existing.names != classes) {
    return QStringLiteral("%1 lists other classes (%2)")
        .arg(path, existing.names.join(QStringLiteral(", ")));
  }
  return {};
}

}  // namespace

QString ensure_class_list(const QString& folder, const QStringList& classes,
                          const std::function<void()>& before_create) {
  if (classes.isEmpty()) return {};
  const QString path = QDir(folder).filePath(QStringLiteral("classes.txt"));
  ClassListFile existing = read_class_list_file(path);
  if (!existing.exists) {
    if (before_create) before_create();
    // Two jobs writing into one folder: the rename refuses a name taken
    // meanwhile, and the list found there decides as if it had been there.
    QString error;
    const QString target = write_target(path, &error);
    if (!target.isEmpty()) {
      error = write_file_atomically(target, format_class_list(classes), ExistingFile::kKeep);
    }
    if (error.isEmpty()) return {};
    existing = read_class_list_file(path);
    if (!existing.exists) return QStringLiteral("cannot write %1: %2").arg(path, error);
  }
  return agreement(path, existing, classes);
}

QString carried_labels_text(int files, const QString& beside, const QStringList& problems,
                            int listed, int removed) {
  QString text;
  if (files > 0) {
    text += QStringLiteral("\n\nLabels carried: %1 label files written beside the %2.")
                .arg(files)
                .arg(beside);
  }
  if (removed > 0) {
    text += QStringLiteral(
                "\n\nLabels removed: %1 label files of an earlier run, beside %2 now written "
                "without labels.")
                .arg(removed)
                .arg(beside);
  }
  if (!problems.isEmpty()) {
    text +=
        QStringLiteral("\n\nLabels not carried or not whole:") + failure_listing(problems, listed);
  }
  return text;
}

}  // namespace orvane
