#include "training/log_capture.h"

#include <QTextDocument>

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

QTextCursor ConsoleWriter::append(QTextDocument* document, const QString& text, int line_limit) {
  QString shown;
  shown.reserve(text.size());
  qsizetype line_start = 0;        // where the last line of `shown` begins
  bool replace_last_line = false;  // the document's last line is drawn again
  const qsizetype n = text.size();
  for (qsizetype i = 0; i < n;) {
    const QChar c = text[i];
    if (c == QLatin1Char('\r')) {
      rewrite_ = true;
      ++i;
      continue;
    }
    if (c == QLatin1Char('\n')) {
      rewrite_ = false;
      shown += c;
      line_start = shown.size();
      ++i;
      continue;
    }
    if (rewrite_) {
      if (line_start == 0) replace_last_line = true;
      shown.truncate(line_start);
      rewrite_ = false;
    }
    qsizetype end = i;
    while (end < n && text[end] != QLatin1Char('\r') && text[end] != QLatin1Char('\n')) ++end;
    shown += QStringView(text).mid(i, end - i);
    i = end;
  }
  QTextCursor cursor(document);
  cursor.movePosition(QTextCursor::End);
  if (replace_last_line) {
    cursor.movePosition(QTextCursor::StartOfBlock, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
  }
  if (!shown.isEmpty())
    cursor.insertText(split_long_lines(shown, cursor.positionInBlock(), line_limit));
  return cursor;
}

}  // namespace orvane
