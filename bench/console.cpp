// The training console with a long run's log: the engine's output as it comes (progress bars
// redrawn with "\r\x1b[K" many times per batch, a results table per epoch), put into the
// console's document in the pieces the progress tab hands over. Prints the time for the whole
// log, the time of one redraw at the end of it, and the console's size.
//
//   build/bench/bench_console [--epochs 300] [--batches 200] [--redraws 5] [--joined 1]
//
// --joined 1 drops the carriage returns instead, as the console once did: every drawing stays,
// joined into one line per epoch (cut every 2000 characters), for comparison.
#include <QApplication>
#include <QElapsedTimer>
#include <QTextEdit>
#include <cstdio>
#include <cstring>

#include "training/log_capture.h"

using namespace orvane;

namespace {

int option(int argc, char** argv, const char* name, int fallback) {
  for (int i = 1; i + 1 < argc; ++i)
    if (std::strcmp(argv[i], name) == 0) return std::atoi(argv[i + 1]);
  return fallback;
}

// What StreamToSignal hands on for a run: escapes removed, carriage returns kept.
QString run_log(int epochs, int batches, int redraws) {
  QString log;
  for (int e = 1; e <= epochs; ++e) {
    for (int b = 1; b <= batches; ++b)
      for (int r = 0; r < redraws; ++r)
        log += QStringLiteral(
                   "\r      %1/%2      2.1G      1.234      0.987      1.111   %3/%4 "
                   "[00:12<00:34, 5.6it/s]")
                   .arg(e)
                   .arg(epochs)
                   .arg(b)
                   .arg(batches);
    log += QLatin1Char('\n');
    log += QStringLiteral(
        "                 Class     Images  Instances      Box(P          R"
        "      mAP50  mAP50-95)\n");
    for (int c = 0; c < 10; ++c)
      log += QStringLiteral(
                 "                 class%1         12         30      0.61      0.52"
                 "      0.55      0.31\n")
                 .arg(c);
  }
  return log;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const int epochs = option(argc, argv, "--epochs", 300);
  const int batches = option(argc, argv, "--batches", 200);
  const int redraws = option(argc, argv, "--redraws", 5);
  const bool joined = option(argc, argv, "--joined", 0) != 0;
  const QString log = run_log(epochs, batches, redraws);
  constexpr qsizetype kPiece = 8192;  // what the progress tab inserts at a time
  constexpr int kLineLimit = 2000;

  QTextEdit console;
  console.setReadOnly(true);
  console.setLineWrapMode(QTextEdit::NoWrap);
  console.setUndoRedoEnabled(false);
  console.resize(800, 600);
  console.show();
  ConsoleWriter writer;
  QElapsedTimer clock;
  clock.start();
  for (qsizetype at = 0; at < log.size(); at += kPiece) {
    QString piece = log.mid(at, kPiece);
    if (joined) piece.remove(QLatin1Char('\r'));
    console.setTextCursor(writer.append(console.document(), piece, kLineLimit));
  }
  app.processEvents();
  const double whole_ms = clock.nsecsElapsed() / 1e6;

  // One redraw as the engine sends it during the next run's epoch, at the end of the long log.
  constexpr int kRedraws = 1000;
  writer.append(console.document(), QStringLiteral("\n"), kLineLimit);
  clock.restart();
  for (int i = 0; i < kRedraws; ++i)
    console.setTextCursor(writer.append(
        console.document(), QStringLiteral("\r      1/300      2.1G      1.234   %1/200").arg(i),
        kLineLimit));
  app.processEvents();
  const double redraw_us = clock.nsecsElapsed() / 1e3 / kRedraws;

  std::printf("log: %.1f MB of output, %d epochs x %d batches x %d redraws\n", log.size() * 2 / 1e6,
              epochs, batches, redraws);
  std::printf("whole log into the console: %.0f ms (%.1f MB/s)\n", whole_ms,
              log.size() * 2 / 1e3 / whole_ms);
  std::printf("one redraw at the end of it: %.1f us\n", redraw_us);
  std::printf("console: %d lines, %.1f MB of text\n", console.document()->blockCount(),
              console.document()->characterCount() * 2 / 1e6);
  return 0;
}
