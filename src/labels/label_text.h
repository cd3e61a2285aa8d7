// The text of YOLO label files, byte by byte: lines, white-space separated
// fields, numbers as decimal text. Shared by the annotator's reader and the
// dataset tools, which parse hundreds of thousands of files, so nothing here
// allocates per field.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace orvane::label_text {

// Calls fn(line) for every line of `text`; lines end at "\n", "\r\n" or "\r".
// The last line need not end with a line break.
template <typename Fn>
void for_each_line(std::string_view text, Fn&& fn) {
  size_t start = 0;
  const size_t n = text.size();
  while (start < n) {
    size_t end = start;
    while (end < n && text[end] != '\n' && text[end] != '\r') ++end;
    fn(text.substr(start, end - start));
    if (end < n && text[end] == '\r' && end + 1 < n && text[end + 1] == '\n') ++end;
    start = end + 1;
  }
}

// Replaces `fields` with the runs of non-blank characters of `line`.
void split_fields(std::string_view line, std::vector<std::string_view>& fields);

// A decimal number as float() reads it: optional sign, digits with an optional
// point and exponent, or inf/nan. False for anything else, magnitudes beyond
// the range of a double included.
bool parse_number(std::string_view token, double& value);

enum class IdParse { kOk, kNotInteger, kOutOfRange };

// An integer: optional sign and decimal digits only. kNotInteger for "1.0",
// "a", ""; kOutOfRange for digits beyond the range of a long long.
IdParse parse_class_id(std::string_view token, long long& value);

// Appends `value` in fixed-point notation with exactly six decimals.
void append_fixed6(std::string& out, double value);

}  // namespace orvane::label_text
