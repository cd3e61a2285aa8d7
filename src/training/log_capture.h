// The pipe from the engine's output to the console: the colour-code filter ANSI_ESCAPE, the
// text stream StreamToSignal, EngineOutput, which turns the raw bytes read from the engine
// process into StreamToSignal writes, and ConsoleWriter, which puts the text into the console's
// document as a terminal shows it.
#pragma once

#include <QByteArray>
#include <QRegularExpression>
#include <QString>
#include <QStringDecoder>
#include <QTextCursor>
#include <functional>

class QTextDocument;

namespace orvane {

// Terminal escape sequences and bare colour codes (a colour code whose escape character is
// missing).
extern const QRegularExpression ANSI_ESCAPE;

// Stands in for a text stream: every write emits the text cleaned of escape sequences on
// `signal`, once, unless nothing is left. Carriage returns stay: the console redraws the line
// they start (ConsoleWriter).
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

// The console's text as a terminal shows it. A carriage return takes the line back to its
// start, so the text after it replaces the line: the engine's progress bars redraw in place
// with "\r" (or "\r\x1b[K", its escape already removed) before each drawing, and tqdm pads a
// shorter drawing to the old one's length. A line break right after it keeps the line. The
// redraws inside one piece of text are folded before the document is touched: a flood of them
// costs one edit of the last line.
class ConsoleWriter {
 public:
  // Appends `text` at the end of `document`; a line growing past `line_limit` characters
  // continues on the next line. Returns a cursor at the end.
  QTextCursor append(QTextDocument* document, const QString& text, int line_limit);
  // The document was cleared.
  void reset() { rewrite_ = false; }

 private:
  bool rewrite_ = false;  // a carriage return ended the text so far
};

}  // namespace orvane
