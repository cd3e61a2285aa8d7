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

}  // namespace orvane
