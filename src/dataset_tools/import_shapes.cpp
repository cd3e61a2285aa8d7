// Shapes on their way from another format into YOLO label lines.
#include "dataset_tools/import_shapes.h"

#include <QStringList>
#include <algorithm>
#include <cmath>
#include <limits>

#include "labels/label_text.h"

namespace orvane {

QString unsafe_name_reason(const QString& name) {
  if (name.isEmpty()) return QStringLiteral("the file name is empty");
  if (name.startsWith(QLatin1Char('/')) ||
      (name.size() >= 2 && name[1] == QLatin1Char(':') && name[0].isLetter())) {
    return QStringLiteral("the file name \"%1\" is an absolute path").arg(name);
  }
  if (name.contains(QLatin1Char('\\')) || name.contains(QChar(0))) {
    return QStringLiteral("the file name \"%1\" holds a backslash or NUL").arg(name);
  }
  for (const QString& part : name.split(QLatin1Char('/'))) {
    if (part == QLatin1String("..") || part == QLatin1String(".") || part.isEmpty()) {
      return QStringLiteral("the file name \"%1\" leaves or skips a folder").arg(name);
    }
  }
  return {};
}

bool coordinate_ok(double value) {
  return std::isfinite(value) && value >= 0 && value <= kMaxCoordinate;
}

namespace {

// The positions in `a` and `b` of their two nearest points (squared
// distances, the first pair in row order on a tie), as the engine's min_index.
std::pair<size_t, size_t> nearest_points(const Ring& a, const Ring& b) {
  double best = std::numeric_limits<double>::infinity();
  std::pair<size_t, size_t> at{0, 0};
  for (size_t i = 0; i < a.size(); ++i) {
    for (size_t j = 0; j < b.size(); ++j) {
      const double dx = a[i].x - b[j].x, dy = a[i].y - b[j].y;
      const double d = dx * dx + dy * dy;
      if (d < best) {
        best = d;
        at = {i, j};
      }
    }
  }
  return at;
}

}  // namespace

Ring join_rings(std::vector<Ring> rings) {
  std::erase_if(rings, [](const Ring& r) { return r.empty(); });
  const size_t n = rings.size();
  if (n == 0) return {};
  if (n == 1) return rings[0];
  std::vector<std::vector<size_t>> idx_list(n);
  for (size_t i = 1; i < n; ++i) {
    const auto [a, b] = nearest_points(rings[i - 1], rings[i]);
    idx_list[i - 1].push_back(a);
    idx_list[i].push_back(b);
  }
  Ring out;
  // Forward: each ring from its link point round to it again; the inner ones
  // only as far as their second link.
  for (size_t i = 0; i < n; ++i) {
    std::vector<size_t> idx = idx_list[i];
    Ring& ring = rings[i];
    if (idx.size() == 2 && idx[0] > idx[1]) {
      std::swap(idx[0], idx[1]);
      std::reverse(ring.begin(), ring.end());
    }
    std::rotate(ring.begin(), ring.begin() + ptrdiff_t(idx[0] % ring.size()), ring.end());
    ring.push_back(ring.front());
    if (i == 0 || i == n - 1) {
      out.insert(out.end(), ring.begin(), ring.end());
    } else {
      const size_t last = std::min(idx[1] - idx[0], ring.size() - 1);
      out.insert(out.end(), ring.begin(), ring.begin() + ptrdiff_t(last + 1));
    }
  }
  // Back: the rest of the inner rings, last to first.
  for (size_t i = n - 1; i-- > 1;) {
    const size_t from = idx_list[i][1] > idx_list[i][0] ? idx_list[i][1] - idx_list[i][0]
                                                        : idx_list[i][0] - idx_list[i][1];
    const Ring& ring = rings[i];
    if (from < ring.size()) out.insert(out.end(), ring.begin() + ptrdiff_t(from), ring.end());
  }
  return out;
}

Ring box_ring(const PixelBox& box) {
  return {{box.x, box.y},
          {box.x + box.w, box.y},
          {box.x + box.w, box.y + box.h},
          {box.x, box.y + box.h}};
}

void add_ring_line(ImageLines& lines, int class_id, const Ring& ring, int width, int height) {
  double area2 = 0;
  double min_x = std::numeric_limits<double>::infinity(), min_y = min_x;
  double max_x = -min_x, max_y = -min_x;
  for (size_t i = 0; i < ring.size(); ++i) {
    const Point2& p = ring[i];
    const Point2& q = ring[(i + 1) % ring.size()];
    area2 += p.x * q.y - q.x * p.y;
    min_x = std::min(min_x, p.x);
    max_x = std::max(max_x, p.x);
    min_y = std::min(min_y, p.y);
    max_y = std::max(max_y, p.y);
  }
  if (ring.size() < 3 || area2 == 0 || width <= 0 || height <= 0) {
    ++lines.zero_area;
    return;
  }
  if (max_x <= 0 || max_y <= 0 || min_x >= width || min_y >= height) {
    ++lines.outside;
    return;
  }
  std::string& out = lines.text;
  out += std::to_string(class_id);
  for (const Point2& p : ring) {
    out += ' ';
    label_text::append_fixed6(out, std::clamp(p.x / width, 0.0, 1.0));
    out += ' ';
    label_text::append_fixed6(out, std::clamp(p.y / height, 0.0, 1.0));
  }
  out += '\n';
  ++lines.shapes;
  if (lines.class_shapes.size() <= size_t(class_id)) lines.class_shapes.resize(class_id + 1);
  ++lines.class_shapes[class_id];
}

}  // namespace orvane
