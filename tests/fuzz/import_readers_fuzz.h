// What the two import fuzz targets check of a reader's accepted shapes: every
// label line they become has a known class id and coordinates of six
// decimals in 0 … 1.
#pragma once

#include <cstdlib>
#include <string>
#include <string_view>

#include "dataset_tools/import_shapes.h"
#include "labels/label_text.h"

inline void import_check(bool ok) {
  if (!ok) __builtin_trap();
}

inline void check_lines(const orvane::ImageLines& lines, long long classes) {
  int count = 0;
  orvane::label_text::for_each_line(lines.text, [&](std::string_view line) {
    ++count;
    const size_t space = line.find(' ');
    import_check(space != std::string_view::npos);
    long long id = -1;
    import_check(orvane::label_text::parse_class_id(line.substr(0, space), id) ==
                 orvane::label_text::IdParse::kOk);
    import_check(id >= 0 && id < classes);
    std::string_view rest = line.substr(space + 1);
    int values = 0;
    while (!rest.empty()) {
      const size_t end = std::min(rest.find(' '), rest.size());
      const std::string_view value = rest.substr(0, end);
      double v = -1;
      import_check(orvane::label_text::parse_number(value, v) && v >= 0 && v <= 1);
      import_check(value.size() == 8);  // "0.xxxxxx" or "1.000000"
      ++values;
      rest = end < rest.size() ? rest.substr(end + 1) : std::string_view();
    }
    import_check(values >= 6 && values % 2 == 0);
  });
  import_check(count == lines.shapes);
}
