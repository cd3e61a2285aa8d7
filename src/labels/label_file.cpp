#include "labels/label_file.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <system_error>

#include "fileio/atomic_write.h"
#include "fileio/file_read.h"
#include "labels/label_paths.h"
#include "labels/label_text.h"

namespace orvane {

namespace {

QString quoted_line(std::string_view line) {
  constexpr std::size_t kShown = 60;
  QString text =
      QString::fromUtf8(line.data(), static_cast<qsizetype>(std::min(line.size(), kShown)));
  if (line.size() > kShown) text += QStringLiteral("...");
  return QLatin1Char('"') + text + QLatin1Char('"');
}

}  // namespace

LabelFileContent parse_label_file(QByteArrayView bytes, int class_count, int width, int height) {
  LabelFileContent content;
  const std::string_view text(bytes.data(), static_cast<std::size_t>(bytes.size()));
  std::vector<std::string_view> fields;
  std::vector<double> values;
  int line_number = 0;

  auto keep = [&](std::string_view line, UnshownReason why) {
    ++content.unshown[static_cast<std::size_t>(why)];
    content.kept_lines.push_back(QByteArray(line.data(), static_cast<qsizetype>(line.size())));
  };
  // A malformed line: kept like the others, and the first one is reported.
  auto fail = [&](std::string_view line, UnshownReason why, const QString& what) {
    if (content.error.isEmpty()) {
      content.error =
          QStringLiteral("line %1 %2: %3").arg(line_number).arg(quoted_line(line), what);
    }
    keep(line, why);
  };

  label_text::for_each_line(text, [&](std::string_view line) {
    ++line_number;

    label_text::split_fields(line, fields);
    const qsizetype field_count = static_cast<qsizetype>(fields.size());
    if (field_count == 0) return;  // blank line
    if (field_count < 3) {
      keep(line, UnshownReason::kTooShort);
      return;
    }
    long long id = 0;
    using label_text::IdParse;
    const IdParse id_state = label_text::parse_class_id(fields[0], id);
    if (id_state == IdParse::kNotInteger) {
      fail(line, UnshownReason::kNotClassId, QStringLiteral("the class id is not an integer"));
      return;
    }
    // Ids outside the class list (negative ones included) name no class; the
    // line stays in the file as it is.
    if (id_state == IdParse::kOutOfRange || id < 0 || id >= class_count) {
      keep(line, UnshownReason::kUnknownClass);
      return;
    }
    const qsizetype value_count = field_count - 1;
    if (value_count % 2 != 0) {
      fail(line, UnshownReason::kOddCount, QStringLiteral("odd number of coordinate values"));
      return;
    }
    values.clear();
    bool outside = false;
    for (qsizetype i = 1; i < field_count; ++i) {
      double v = 0.0;
      const std::string_view field = fields[static_cast<std::size_t>(i)];
      if (!label_text::parse_number(field, v)) {
        fail(line, UnshownReason::kNotNumber,
             QStringLiteral("\"%1\" is not a number")
                 .arg(QString::fromUtf8(field.data(), static_cast<qsizetype>(field.size()))));
        return;
      }
      // Written back, such a value would be clamped (NaN fails both tests).
      outside = outside || !(v >= 0.0 && v <= 1.0);
      values.push_back(v);
    }
    if (outside) {
      keep(line, UnshownReason::kOutsideImage);
      return;
    }

    LabelShape shape;
    shape.class_id = static_cast<int>(id);
    if (value_count == 4) {
      // class cx cy w h: a box, drawn corner by corner as a hand-made rectangle.
      const double cx = values[0] * width, cy = values[1] * height;
      const double hw = values[2] * width / 2.0, hh = values[3] * height / 2.0;
      shape.points = QPolygonF({QPointF(cx - hw, cy - hh), QPointF(cx + hw, cy - hh),
                                QPointF(cx + hw, cy + hh), QPointF(cx - hw, cy + hh)});
      shape.box_line = true;
    } else {
      shape.points.reserve(value_count / 2);
      for (qsizetype i = 0; i + 1 < value_count; i += 2) {
        shape.points.append(QPointF(values[i] * width, values[i + 1] * height));
      }
    }
    shape.type = shape.points.size() == 4 ? QStringLiteral("Rectangle") : QStringLiteral("Polygon");
    content.shapes.push_back(std::move(shape));
  });
  return content;
}

const char* unshown_reason_text(std::size_t reason) {
  static constexpr const char* kWhy[kUnshownReasons] = {
      "too short",
      "without an integer class id",
      "with a class id not in classes.txt",
      "with an odd number of values",
      "with a value that is not a number",
      "with values outside 0…1",
  };
  return kWhy[reason];
}

QString describe_unshown_lines(const UnshownCounts& unshown, int shown) {
  int total = 0;
  QStringList parts;
  for (std::size_t i = 0; i < kUnshownReasons; ++i) {
    if (unshown[i] == 0) continue;
    total += unshown[i];
    parts << QStringLiteral("%1 %2").arg(unshown[i]).arg(QString::fromUtf8(unshown_reason_text(i)));
  }
  if (total == 0) return {};
  const int lines = total + shown;
  return QStringLiteral("%1 of %2 %3 not shown (kept as they are): %4")
      .arg(total)
      .arg(lines)
      .arg(lines == 1 ? QStringLiteral("line") : QStringLiteral("lines"), parts.join(u", "));
}

LabelFileContent read_label_file(const QString& path, int class_count, int width, int height) {
  QByteArray bytes;
  QString error;
  switch (read_whole_file(path, bytes, &error)) {
    case ReadStatus::Missing:
      return {};
    case ReadStatus::Failed: {
      LabelFileContent content;
      content.error = error;
      content.exists = true;
      content.unreadable = true;
      return content;
    }
    case ReadStatus::Ok:
      break;
  }
  LabelFileContent content = parse_label_file(bytes, class_count, width, height);
  content.exists = true;
  content.file_bytes = std::move(bytes);
  return content;
}

QByteArray format_label_file(const std::vector<LabelShape>& shapes, int width, int height,
                             const QByteArrayList& kept_lines) {
  // An id, a line feed, and at most " 1.000000" per coordinate.
  constexpr qsizetype kIdAndNewline = std::numeric_limits<int>::digits10 + 3;
  constexpr qsizetype kCoordinate = 9;
  qsizetype bound = 0;
  for (const LabelShape& shape : shapes)
    bound += kIdAndNewline + 2 * kCoordinate * shape.points.size();
  for (const QByteArray& line : kept_lines) {
    bound += line.size() + 1;
  }

  QByteArray out(bound, Qt::Uninitialized);
  char* p = out.data();
  char* const limit = p + bound;
  auto put_coordinate = [&](double v) {
    if (!(v > 0.0)) v = 0.0;  // also turns NaN and -0.0 into 0
    if (v > 1.0) v = 1.0;
    *p++ = ' ';
    p = std::to_chars(p, limit, v, std::chars_format::fixed, 6).ptr;
  };
  const double w = width, h = height;
  for (const LabelShape& shape : shapes) {
    p = std::to_chars(p, limit, shape.class_id).ptr;
    for (const QPointF& point : shape.points) {
      put_coordinate(point.x() / w);
      put_coordinate(point.y() / h);
    }
    *p++ = '\n';
  }
  for (const QByteArray& line : kept_lines) {
    std::memcpy(p, line.constData(), static_cast<std::size_t>(line.size()));
    p += line.size();
    *p++ = '\n';
  }
  out.truncate(p - out.data());
  return out;
}

QString write_label_file(const QString& path, const QByteArray& content) {
  if (content.trimmed().isEmpty()) {
    // The image no longer has a label file; a linked target may be shared.
    return remove_file_if_present(path, ExistingFile::kKeepIfUnreadable);
  }
  QString error;
  const QString target = write_target(path, &error);
  if (target.isEmpty()) return error;
  return write_file_atomically(target, content, ExistingFile::kKeepIfUnreadable);
}

}  // namespace orvane
