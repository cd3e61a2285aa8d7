// The pipe from the engine's output to the console: the colour-code filter ANSI_ESCAPE, the
// text stream StreamToSignal, and EngineOutput, which turns the raw bytes read from the engine
// process into StreamToSignal writes.
#pragma once

#include <QByteArray>
#include <QRegularExpression>
#include <QString>
#include <QStringDecoder>
#include <functional>

namespace orvane {

// Terminal escape sequences and bare colour codes (a colour code whose escape character is
// missing).
extern const QRegularExpression ANSI_ESCAPE;

// Stands in for a text stream: every write emits the text cleaned of escape sequences and
// carriage returns on `signal`, once, unless nothing is left.
class StreamToSignal {
 public:
  explicit StreamToSignal(std::function<void(const QString&)> signal);

  void write(const QString& text);
  void flush() {}
  bool isatty() const { return true; }

  std::function<void(const QString&)> signal;
};

// Decodes the engine's output as UTF-8 (invalid bytes become U+FFFD) and writes it to a
// StreamToSignal. Output comes in pieces read from a pipe, so a multi-byte character or an
// escape sequence cut at the end of a piece is held back until the next one.
class EngineOutput {
 public:
  explicit EngineOutput(StreamToSignal& stream) : stream_(stream) {}

  void feed(const QByteArray& bytes);
  // Writes whatever is still held back (the output has ended).
  void finish();

 private:
  StreamToSignal& stream_;
  QStringDecoder decoder_{QStringDecoder::Utf8};
  QString held_;
};

// How long the held-back tail of a piece of output may be: the start of an escape sequence or
// of a bare colour code, still unfinished.
qsizetype unfinished_escape_length(const QString& text);

// `text` with a line break inserted wherever a line would grow past `limit` characters; the
// text's first line continues a line already `line_length` characters long.
QString split_long_lines(const QString& text, int line_length, int limit);

}  // namespace orvane
