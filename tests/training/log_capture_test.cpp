// The console's text path: escape filtering, carriage returns, pieces read from a pipe, and
// the progress report.
#include "training/log_capture.h"

#include <gtest/gtest.h>

#include <climits>

#include "training/eta.h"

using namespace orvane;

namespace {

struct Capture {
  QStringList emitted;
  StreamToSignal stream{[this](const QString& text) { emitted << text; }};
};

TEST(StreamToSignal, EmitsEachWriteCleanedOnceOrNotAtAll) {
  const struct {
    QString written;
    QStringList emitted;
  } cases[] = {
      {"", {}},
      {"\r", {"\r"}},  // the console redraws the line after it
      {"\x1b[34m\x1b[1m\x1b[0m", {}},
      {"\x1b[1mEpoch\x1b[0m 1/10\n", {"Epoch 1/10\n"}},
      {"[31mred[0m", {"red"}},
      {"[1;34mbold blue[0m", {"bold blue"}},
      {"50%\r60%\r", {"50%\r60%\r"}},
      {"\r\x1b[K  3/100  1.2G", {"\r  3/100  1.2G"}},
      {"\x1bMkept\x1b[?25l\x1b(B", {"kept\x1b(B"}},  // ESC ( is not in the pattern
      {"[x] stays [12", {"[x] stays [12"}},
  };
  for (const auto& c : cases) {
    Capture capture;
    capture.stream.write(c.written);
    EXPECT_EQ(capture.emitted, c.emitted) << c.written.toStdString();
  }
  Capture capture;
  capture.stream.flush();
  EXPECT_TRUE(capture.stream.isatty());
  EXPECT_TRUE(capture.emitted.isEmpty());
}

TEST(StreamToSignal, SwallowsFailuresOfTheSignal) {
  StreamToSignal stream([](const QString&) { throw std::runtime_error("receiver gone"); });
  EXPECT_NO_THROW(stream.write("text"));
}

// Output read from a pipe in pieces reads as if it had come in one piece.
TEST(EngineOutput, JoinsSequencesAndCharactersCutBetweenReads) {
  const struct {
    std::vector<QByteArray> pieces;
    QString joined;
  } cases[] = {
      {{"\x1b[3", "4mblue\x1b", "[0m\n"}, "blue\n"},
      {{"a\x1b", "[Kb"}, "ab"},
      {{"one[3", "1mtwo[0", "m"}, "onetwo"},
      {{"\r\x1b[K1/3", "\r\x1b[K2/3\n"}, "\r1/3\r2/3\n"},
      {{"caf\xc3", "\xa9 \xe2\x9c", "\x85"}, "caf\u00e9 \u2705"},
      {{"bad \xff\xfe bytes\n"}, "bad \ufffd\ufffd bytes\n"},
      {{"ends with [12"}, "ends with [12"},  // never finished: written at the end
  };
  for (const auto& c : cases) {
    Capture capture;
    EngineOutput output(capture.stream);
    for (const QByteArray& piece : c.pieces) output.feed(piece);
    output.finish();
    EXPECT_EQ(capture.emitted.join(QString()), c.joined) << c.joined.toStdString();
  }
}

TEST(EngineOutput, WritesCompleteTextAtOnce) {
  Capture capture;
  EngineOutput output(capture.stream);
  output.feed("line one\n\x1b[1mtwo");
  EXPECT_EQ(capture.emitted, QStringList{"line one\ntwo"});
}

TEST(EpochReport, PercentAndEstimate) {
  const struct {
    int finished, total;
    double elapsed;
    int percent;
    QString text;
  } cases[] = {
      {1, 3, 40, 33, "Epoch 1/3 (33%) | ETA: 00:01:20"},
      {2, 3, 80, 66, "Epoch 2/3 (66%) | ETA: 00:00:40"},
      {3, 3, 120, 100, "Epoch 3/3 (100%) | ETA: 00:00:00"},
      {1, 1, 5, 100, "Epoch 1/1 (100%) | ETA: 00:00:00"},
      {1, 2, 90061.9, 50, "Epoch 1/2 (50%) | ETA: 01:01:01"},  // 25 h 1 min 1 s
      // At the edges of int the percentage stays within 0...100.
      {2000000000, 3, 60, 100, "Epoch 2000000000/3 (100%) | ETA: 00:00:00"},
      {-5, 3, 60, 0, "Epoch -5/3 (0%) | ETA: 00:08:00"},
      {3, 0, 60, 0, "Epoch 3/0 (0%) | ETA: 00:00:00"},
      {INT_MIN, -1, 60, 0, "Epoch -2147483648/-1 (0%) | ETA: 00:00:00"},
  };
  for (const auto& c : cases) {
    const EpochReport report = epoch_report(c.finished, c.total, c.elapsed);
    EXPECT_EQ(report.percent, c.percent) << c.text.toStdString();
    EXPECT_EQ(report.text, c.text);
  }
  EXPECT_EQ(format_eta(59.999), "00:00:59");
  // Times beyond any integer of seconds still give their time of day.
  EXPECT_EQ(format_eta(1e20), "09:46:40");
  EXPECT_EQ(format_eta(1e300), "17:36:00");
}

}  // namespace

namespace {

TEST(ConsoleLines, LongLinesContinueOnTheNextLine) {
  const struct {
    QString text;
    int line_length, limit;
    QString shown;
  } cases[] = {
      {"abc", 0, 5, "abc"},
      {"abcdefgh", 0, 5, "abcde\nfgh"},
      {"abc", 4, 5, "a\nbc"},
      {"ab\ncdefg\nh", 3, 5, "ab\ncdefg\nh"},
      {"abcdefghijk", 5, 5, "\nabcde\nfghij\nk"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(split_long_lines(c.text, c.line_length, c.limit), c.shown) << c.text.toStdString();
}

}  // namespace
