#include "training/log_capture.h"

namespace orvane {

// Python's \d matches every Unicode decimal digit; so does this one.
const QRegularExpression ANSI_ESCAPE(
    QStringLiteral(
        R"(\x1B(?:[@-Z\\-_]|\[[0-?]*[ -/]*[@-~])|\x1b\[[0-9;]*[a-zA-Z]|\[\d+m|\[\d+;\d+m|\[0m)"),
    QRegularExpression::UseUnicodePropertiesOption);

StreamToSignal::StreamToSignal(std::function<void(const QString&)> signal)
    : signal(std::move(signal)) {}

void StreamToSignal::write(const QString& text) {
  if (text.isEmpty()) return;
  QString cleaned = text;
  cleaned.remove(ANSI_ESCAPE);
  cleaned.remove(QLatin1Char('\r'));
  if (cleaned.isEmpty()) return;
  try {
    if (signal) signal(cleaned);
  } catch (...) {
    // Writing never fails towards the engine.
  }
}

qsizetype unfinished_escape_length(const QString& text) {
  // The longest tail that is a proper beginning of an escape sequence or a bare colour code.
  static const QRegularExpression unfinished(
      QStringLiteral(R"((?:\x1b(?:\[[0-?]*[ -/]*)?|\[\d*(?:;\d*)?)\z)"),
      QRegularExpression::UseUnicodePropertiesOption);
  constexpr qsizetype kLongest = 64;
  const qsizetype from = std::max<qsizetype>(0, text.size() - kLongest);
  const QRegularExpressionMatch m = unfinished.match(text, from);
  return m.hasMatch() ? m.capturedLength() : 0;
}

void EngineOutput::feed(const QByteArray& bytes) {
  QString text = held_ + decoder_.decode(bytes);
  const qsizetype hold = unfinished_escape_length(text);
  held_ = text.right(hold);
  text.chop(hold);
  stream_.write(text);
}

void EngineOutput::finish() {
  QString text = held_ + decoder_.decode(QByteArray());
  held_.clear();
  stream_.write(text);
}

QString split_long_lines(const QString& text, int line_length, int limit) {
  QString result;
  result.reserve(text.size() + text.size() / std::max(limit, 1) + 1);
  qsizetype length = line_length;
  qsizetype from = 0;
  while (from < text.size()) {
    const qsizetype newline = text.indexOf(QLatin1Char('\n'), from);
    const qsizetype end = newline < 0 ? text.size() : newline;
    if (length + (end - from) <= limit) {
      result += QStringView(text).mid(from, end - from);
      length += end - from;
      from = end;
      if (newline >= 0) {
        result += QLatin1Char('\n');
        length = 0;
        ++from;
      }
      continue;
    }
    const qsizetype room = std::max<qsizetype>(0, limit - length);
    result += QStringView(text).mid(from, room);
    result += QLatin1Char('\n');
    from += room;
    length = 0;
  }
  return result;
}

}  // namespace orvane
