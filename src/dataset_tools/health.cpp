#include "dataset_tools/health.h"

#include <QFile>
#include <QSet>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "common/background_job.h"
#include "common/parallel_ranges.h"
#include "fileio/file_read.h"
#include "fileio/folder_listing.h"
#include "imaging/image_extensions.h"
#include "labels/label_paths.h"
#include "labels/label_text.h"

namespace orvane {

using namespace label_text;

namespace {

struct Box {
  double x_min, y_min, x_max, y_max;
};

bool ends_with_ci(const QString& name, QLatin1String suffix) {
  return name.endsWith(suffix, Qt::CaseInsensitive);
}

// Reads one shape line's box; false when a field is not a number.
bool line_box(const std::vector<std::string_view>& fields, Box& box) {
  if (fields.size() == 5) {
    double v[4];
    for (int i = 0; i < 4; ++i) {
      if (!parse_number(fields[static_cast<size_t>(i + 1)], v[i])) return false;
    }
    const double half_w = v[2] / 2.0;
    const double half_h = v[3] / 2.0;
    box = {std::min(v[0] - half_w, v[0] + half_w), std::min(v[1] - half_h, v[1] + half_h),
           std::max(v[0] - half_w, v[0] + half_w), std::max(v[1] - half_h, v[1] + half_h)};
    return true;
  }
  const double inf = std::numeric_limits<double>::infinity();
  box = {inf, inf, -inf, -inf};
  for (size_t i = 1; i < fields.size(); ++i) {
    double value;
    if (!parse_number(fields[i], value)) return false;
    if (i % 2 == 1) {
      box.x_min = std::min(box.x_min, value);
      box.x_max = std::max(box.x_max, value);
    } else {
      box.y_min = std::min(box.y_min, value);
      box.y_max = std::max(box.y_max, value);
    }
  }
  return true;
}

// The pair test of two boxes, in line order a before b.
enum class PairResult { kApart, kDuplicate, kDistinct, kZeroUnion };

PairResult compare_boxes(const Box& a, const Box& b) {
  const double x_left = std::max(a.x_min, b.x_min);
  const double y_top = std::max(a.y_min, b.y_min);
  const double x_right = std::min(a.x_max, b.x_max);
  const double y_bottom = std::min(a.y_max, b.y_max);
  if (x_right < x_left || y_bottom < y_top) return PairResult::kApart;
  const double intersection = (x_right - x_left) * (y_bottom - y_top);
  const double area_a = (a.x_max - a.x_min) * (a.y_max - a.y_min);
  const double area_b = (b.x_max - b.x_min) * (b.y_max - b.y_min);
  const double union_area = area_a + area_b - intersection;
  if (union_area == 0.0) return PairResult::kZeroUnion;
  return intersection / union_area > 0.9 ? PairResult::kDuplicate : PairResult::kDistinct;
}

// Every pair i < j in line order; a zero union ends the file's checks.
qint64 count_duplicates_all_pairs(const std::vector<Box>& boxes) {
  qint64 pairs = 0;
  for (size_t i = 0; i < boxes.size(); ++i) {
    for (size_t j = i + 1; j < boxes.size(); ++j) {
      const PairResult result = compare_boxes(boxes[i], boxes[j]);
      if (result == PairResult::kZeroUnion) return pairs;
      pairs += result == PairResult::kDuplicate;
    }
  }
  return pairs;
}

// Calls fn(i, j) (i < j) for every pair of boxes among `indices` whose x
// ranges meet, found by a sweep over x_min: boxes apart in x never overlap.
template <typename Fn>
void for_each_x_overlapping_pair(const std::vector<Box>& boxes, std::vector<size_t> indices,
                                 Fn&& fn) {
  std::sort(indices.begin(), indices.end(),
            [&](size_t l, size_t r) { return boxes[l].x_min < boxes[r].x_min; });
  for (size_t p = 0; p < indices.size(); ++p) {
    const Box& left = boxes[indices[p]];
    for (size_t q = p + 1; q < indices.size() && boxes[indices[q]].x_min <= left.x_max; ++q) {
      fn(std::min(indices[p], indices[q]), std::max(indices[p], indices[q]));
    }
  }
}

// The count when no pair has a zero union, so the order of the pairs does not
// matter: equal boxes are taken together, so a file of thousands of copies of
// one box costs no more than one box. Equal boxes of some area are duplicates
// of each other; two equal boxes without area would have a zero union.
qint64 count_duplicates_of_equal_groups(const std::vector<Box>& boxes) {
  auto key = [](const Box& b) { return std::tie(b.x_min, b.y_min, b.x_max, b.y_max); };
  std::vector<Box> sorted = boxes;
  std::sort(sorted.begin(), sorted.end(),
            [&](const Box& l, const Box& r) { return key(l) < key(r); });
  std::vector<Box> distinct;
  std::vector<qint64> copies;
  for (const Box& box : sorted) {
    if (!distinct.empty() && key(distinct.back()) == key(box)) {
      ++copies.back();
    } else {
      distinct.push_back(box);
      copies.push_back(1);
    }
  }
  qint64 pairs = 0;
  for (const qint64 n : copies) pairs += n * (n - 1) / 2;
  std::vector<size_t> all(distinct.size());
  for (size_t i = 0; i < all.size(); ++i) all[i] = i;
  for_each_x_overlapping_pair(distinct, all, [&](size_t i, size_t j) {
    if (compare_boxes(distinct[i], distinct[j]) == PairResult::kDuplicate) {
      pairs += copies[i] * copies[j];
    }
  });
  return pairs;
}

// The same count as count_duplicates_all_pairs, without visiting pairs that
// are apart in x, so a label file of many thousands of shapes is checked in
// moments rather than minutes. A zero union needs two boxes of zero area;
// the first such pair in line order is found first, and only duplicates
// before it are counted, as the pass in line order would.
qint64 count_duplicate_boxes(const std::vector<Box>& boxes) {
  constexpr size_t kSmall = 64;
  bool finite = true;
  for (const Box& box : boxes) {
    finite = finite && std::isfinite(box.x_min) && std::isfinite(box.y_min) &&
             std::isfinite(box.x_max) && std::isfinite(box.y_max);
  }
  // Non-finite values do not order; small files gain nothing from a sweep.
  if (boxes.size() <= kSmall || !finite) return count_duplicates_all_pairs(boxes);

  using Pair = std::pair<size_t, size_t>;
  std::vector<size_t> all(boxes.size());
  std::vector<size_t> flat;
  for (size_t i = 0; i < boxes.size(); ++i) {
    all[i] = i;
    const Box& box = boxes[i];
    if ((box.x_max - box.x_min) * (box.y_max - box.y_min) == 0.0) flat.push_back(i);
  }
  Pair stop{boxes.size(), boxes.size()};
  for_each_x_overlapping_pair(boxes, flat, [&](size_t i, size_t j) {
    if (Pair{i, j} < stop && compare_boxes(boxes[i], boxes[j]) == PairResult::kZeroUnion) {
      stop = {i, j};
    }
  });
  qint64 pairs = 0;
  if (stop.first == boxes.size()) return count_duplicates_of_equal_groups(boxes);
  for_each_x_overlapping_pair(boxes, all, [&](size_t i, size_t j) {
    if (Pair{i, j} < stop) pairs += compare_boxes(boxes[i], boxes[j]) == PairResult::kDuplicate;
  });
  return pairs;
}

QString repr_char(char32_t c) {
  return QStringLiteral("\\x%1").arg(static_cast<uint>(c), 2, 16, QLatin1Char('0'));
}

}  // namespace

bool is_health_image_name(const QString& file_name) {
  return ends_with_image_extension(file_name, ImageJob::kHealth);
}

bool is_health_label_name(const QString& file_name) {
  return ends_with_ci(file_name, QLatin1String(".txt")) &&
         file_name != QLatin1String("classes.txt");
}

bool list_dataset_folder(const QString& folder, DatasetListing& listing, QString& error) {
  listing = {};
  std::vector<FolderEntry> entries;
  if (!list_folder(folder, entries, error, &listing.unreadable_names)) return false;
  for (const FolderEntry& entry : entries) {
    if (entry.is_dir) continue;
    if (is_health_image_name(entry.name)) {
      listing.images.append(entry.name);
    } else if (is_health_label_name(entry.name)) {
      listing.labels.append(entry.name);
    }
  }
  std::sort(listing.images.begin(), listing.images.end());
  std::sort(listing.labels.begin(), listing.labels.end());
  return true;
}

qint64 count_duplicate_pairs(std::string_view label_text) {
  std::vector<Box> boxes;
  std::vector<std::string_view> fields;
  bool readable = true;
  for_each_line(label_text, [&](std::string_view line) {
    if (!readable) return;
    split_fields(line, fields);
    if (fields.size() < 5) return;
    Box box;
    if (!line_box(fields, box)) {
      readable = false;
      return;
    }
    boxes.push_back(box);
  });
  if (!readable) return 0;

  return count_duplicate_boxes(boxes);
}

HealthReport check_dataset_health(const QString& folder, const DatasetListing& listing,
                                  JobControl* control) {
  HealthReport report;

  QSet<QString> label_names(listing.labels.begin(), listing.labels.end());
  for (const QString& image : listing.images) {
    if (!label_names.contains(name_without_extension(image) + QStringLiteral(".txt"))) {
      report.missing.append(image);
    }
  }

  QSet<QString> image_bases;
  image_bases.reserve(listing.images.size());
  for (const QString& image : listing.images) image_bases.insert(name_without_extension(image));
  for (const QString& label : listing.labels) {
    if (!image_bases.contains(name_without_extension(label))) ++report.orphaned;
  }

  const QString prefix = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
  const int total = static_cast<int>(listing.labels.size());
  std::vector<qint64> pairs(static_cast<size_t>(total), 0);
  std::atomic<int> read{0};
  // Pool threads: each reads only its own range of files and writes only its
  // own slots of `pairs`; the entries are then made in listing order.
  parallel_ranges(total, [&](int first, int last) {
    std::string bytes;
    for (int i = first; i < last; ++i) {
      if (control != nullptr && control->stop_requested()) return;
      if (read_whole_file(prefix + listing.labels[i], bytes) == ReadStatus::Ok) {
        pairs[static_cast<size_t>(i)] = count_duplicate_pairs(bytes);
      }
      if (control != nullptr) {
        control->progress(read.fetch_add(1, std::memory_order_relaxed) + 1, total);
      }
    }
  });
  report.cancelled = control != nullptr && control->stop_requested();
  for (qsizetype i = 0; i < listing.labels.size(); ++i) {
    const qint64 found = pairs[static_cast<size_t>(i)];
    if (found == 0) continue;
    report.overlap_count += found;
    if (report.overlap_samples.size() < kOverlapSamples) {
      report.overlap_samples.append(listing.labels[i] + QStringLiteral(" (IoU > 90%)"));
    }
  }
  report.unreadable_names = listing.unreadable_names;
  return report;
}

QString python_repr(const QString& text) {
  const bool has_single = text.contains(QLatin1Char('\''));
  const bool has_double = text.contains(QLatin1Char('"'));
  const QChar quote = (has_single && !has_double) ? QLatin1Char('"') : QLatin1Char('\'');
  QString out;
  out.reserve(text.size() + 2);
  out += quote;
  for (const char32_t c : text.toUcs4()) {
    if (c == quote.unicode() || c == U'\\') {
      out += QLatin1Char('\\');
      out += QChar(static_cast<char16_t>(c));
    } else if (c == U'\n') {
      out += QStringLiteral("\\n");
    } else if (c == U'\r') {
      out += QStringLiteral("\\r");
    } else if (c == U'\t') {
      out += QStringLiteral("\\t");
    } else if (c < 0x20 || (c >= 0x7f && c < 0xa0)) {
      out += repr_char(c);
    } else {
      out += QString::fromUcs4(&c, 1);
    }
  }
  out += quote;
  return out;
}

QString python_list(const QStringList& items) {
  QStringList written;
  written.reserve(items.size());
  for (const QString& item : items) written.append(python_repr(item));
  return QLatin1Char('[') + written.join(QStringLiteral(", ")) + QLatin1Char(']');
}

QString health_report_text(const HealthReport& report) {
  QString text = QStringLiteral(
                     "🩺 Dataset QA Health Report:\n\nUnannotated Images: %1\nOrphaned Label "
                     "Files: %2\nOverlapping Polygons/Boxes (Duplicates): %3\n")
                     .arg(report.missing.size())
                     .arg(report.orphaned)
                     .arg(report.overlap_count);
  if (report.unreadable_names > 0) {
    text +=
        QStringLiteral("File Names Not Valid UTF-8 (left out): %1\n").arg(report.unreadable_names);
  }
  if (!report.missing.isEmpty()) {
    text += QStringLiteral("\nMissing Annotations (Sample):\n") +
            python_list(report.missing.mid(0, 3)) + QLatin1Char('\n');
  }
  if (!report.overlap_samples.isEmpty()) {
    // One entry per label file, in the order the files were examined.
    text += QStringLiteral("\nHigh IoU Overlaps:\n") +
            python_list(report.overlap_samples.mid(0, kOverlapSamples));
  }
  return text;
}

}  // namespace orvane
