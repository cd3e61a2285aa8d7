// libFuzzer target for the label-file reader and the class-list reader.
//
// Properties checked on every input:
// - label files: every non-blank line becomes a shape or is kept byte for
//   byte, in order, and counted once by its reason; a line is a shape exactly
//   when its id names a class and its values are an even count of numbers
//   within 0..1 (so NaN, inf, huge values and pixel units are kept, never
//   clamped); every kept line is a whole line of the written file; writing
//   what was read and reading that again gives the same shapes and kept
//   lines, so a second write gives the same bytes;
// - class lists: names are clean (no blank or U+FEFF ends, no line breaks),
//   and writing and reading them back gives the same names.
//
// The first byte picks the class count and the image size.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "labels/class_list.h"
#include "labels/label_file.h"
#include "labels/label_text.h"

using namespace orvane;

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

// Whether `line` (not blank) should become a shape.
bool is_shape_line(std::string_view line, int class_count) {
  std::vector<std::string_view> fields;
  label_text::split_fields(line, fields);
  long long id = 0;
  if (fields.size() < 3 || fields.size() % 2 == 0) return false;
  if (label_text::parse_class_id(fields[0], id) != label_text::IdParse::kOk) return false;
  if (id < 0 || id >= class_count) return false;
  for (size_t i = 1; i < fields.size(); ++i) {
    double v = 0;
    if (!label_text::parse_number(fields[i], v) || !(v >= 0.0 && v <= 1.0)) return false;
  }
  return true;
}

void check_label_reader(QByteArrayView bytes, int class_count, int width, int height) {
  const LabelFileContent first = parse_label_file(bytes, class_count, width, height);
  std::vector<std::string_view> lines;
  std::vector<std::string_view> fields;
  label_text::for_each_line(std::string_view(bytes.data(), static_cast<size_t>(bytes.size())),
                            [&](std::string_view line) {
                              label_text::split_fields(line, fields);
                              if (!fields.empty()) lines.push_back(line);
                            });
  check(first.shapes.size() + static_cast<size_t>(first.kept_lines.size()) == lines.size());
  // The kept lines are exactly the non-blank lines that are no shapes,
  // unchanged and in order, each counted once.
  QByteArrayList expected_kept;
  for (std::string_view line : lines) {
    if (!is_shape_line(line, class_count)) {
      expected_kept.push_back(QByteArray(line.data(), static_cast<qsizetype>(line.size())));
    }
  }
  check(first.kept_lines == expected_kept);
  int counted = 0;
  for (int n : first.unshown) counted += n;
  check(counted == first.kept_lines.size());
  for (const LabelShape& shape : first.shapes) {
    check(shape.class_id >= 0 && shape.class_id < class_count && !shape.points.isEmpty());
  }

  const QByteArray written = format_label_file(first.shapes, width, height, first.kept_lines);
  // Every byte of every kept line survives the save, as a line of its own.
  const QByteArray framed = '\n' + written;
  qsizetype from = 0;
  for (const QByteArray& kept : first.kept_lines) {
    from = framed.indexOf('\n' + kept + '\n', from);
    check(from >= 0);
    from += kept.size() + 1;
  }
  const LabelFileContent second = parse_label_file(written, class_count, width, height);
  check(second.shapes.size() == first.shapes.size());
  check(second.kept_lines == first.kept_lines);
  check(format_label_file(second.shapes, width, height, second.kept_lines) == written);
}

void check_class_reader(QByteArrayView bytes) {
  const QStringList names = parse_class_list(bytes);
  for (const QString& name : names) {
    check(!name.isEmpty() && clean_class_name(name) == name);
    check(!name.contains(QLatin1Char('\n')) && !name.contains(QLatin1Char('\r')));
  }
  const QByteArray written = format_class_list(names);
  check(parse_class_list(written) == names);
  check(format_class_list(parse_class_list(written)) == written);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const int pick = data[0];
  const QByteArrayView rest(reinterpret_cast<const char*>(data + 1),
                            static_cast<qsizetype>(size - 1));
  check_label_reader(rest, pick % 8, 1 + (pick >> 3) * 97, 1 + (pick & 7) * 131);
  check_class_reader(rest);
  return 0;
}
