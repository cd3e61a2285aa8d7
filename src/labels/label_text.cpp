#include "labels/label_text.h"

#include <charconv>
#include <system_error>

namespace orvane::label_text {

namespace {

bool is_blank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

}  // namespace

void split_fields(std::string_view line, std::vector<std::string_view>& fields) {
  fields.clear();
  size_t i = 0;
  const size_t n = line.size();
  while (i < n) {
    while (i < n && is_blank(line[i])) ++i;
    if (i == n) break;
    const size_t start = i;
    while (i < n && !is_blank(line[i])) ++i;
    fields.push_back(line.substr(start, i - start));
  }
}

bool parse_number(std::string_view token, double& value) {
  // from_chars takes a leading '-' but not '+'.
  if (!token.empty() && token.front() == '+') {
    token.remove_prefix(1);
    if (!token.empty() && token.front() == '-') return false;
  }
  if (token.empty()) return false;
  const char* end = token.data() + token.size();
  const auto [ptr, ec] = std::from_chars(token.data(), end, value);
  return ec == std::errc() && ptr == end;
}

IdParse parse_class_id(std::string_view token, long long& value) {
  if (!token.empty() && token.front() == '+') {
    token.remove_prefix(1);
    if (!token.empty() && token.front() == '-') return IdParse::kNotInteger;
  }
  if (token.empty()) return IdParse::kNotInteger;
  const char* end = token.data() + token.size();
  const auto [ptr, ec] = std::from_chars(token.data(), end, value);
  if (ptr != end) return IdParse::kNotInteger;
  if (ec == std::errc::result_out_of_range) return IdParse::kOutOfRange;
  return ec == std::errc() ? IdParse::kOk : IdParse::kNotInteger;
}

void append_fixed6(std::string& out, double value) {
  char buffer[400];
  const auto [ptr, ec] =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
  if (ec == std::errc()) out.append(buffer, ptr);
}

}  // namespace orvane::label_text
