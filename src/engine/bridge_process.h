// One engine bridge process: requests as JSON lines on its stdin, replies and events as JSON
// lines on its stdout, and its printed output and log on its stderr, passed to an output sink.
// The process runs in a process group of its own so that ending it also ends the children the
// engine starts (tuning trials). Its descriptor 3 is the read end of a pipe only this program
// writes to: when the program dies, killed or crashed, the bridge sees the pipe close and ends
// its whole process group.
#pragma once

#include <sys/types.h>

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <mutex>

#include "engine/engine.h"

namespace orvane {

// Bounds on what a bridge may send: one JSON reply line, and the drawn image that may follow it
// (as many pixels as the decoder accepts, three bytes each). A reply beyond them is refused
// before anything is allocated for it.
inline constexpr qsizetype kMaxReplyLineBytes = qsizetype(64) << 20;
inline constexpr qint64 kMaxReplyImagePixels = 200'000'000;
inline constexpr qsizetype kMaxReplyBinaryBytes = kMaxReplyImagePixels * 3;

class BridgeProcess {
 public:
  // Starts `program` with `arguments` and the current environment plus `environment`
  // (KEY=VALUE entries that replace or add). Throws EngineError when it cannot start.
  BridgeProcess(const QString& program, const QStringList& arguments,
                const QStringList& environment);
  // Closes the request channel, gives the process a moment to leave, then ends it.
  ~BridgeProcess();
  BridgeProcess(const BridgeProcess&) = delete;
  BridgeProcess& operator=(const BridgeProcess&) = delete;

  struct Reply {
    QJsonObject json;
    QByteArray binary;
  };
  // Answers an event sent while a request runs (a training callback); the answer is sent back.
  using EventHandler = std::function<QJsonObject(const QJsonObject& event)>;

  // Sends `request` and reads until its reply, passing output to the sink as it comes (at most
  // every 25 ms, so a flood of small writes arrives in few pieces). Throws EngineError with
  // the end of the output when the process dies first. Call from one thread at a time.
  Reply request(const QJsonObject& request, const EventHandler& on_event = {});

  // Where output goes from now on; empty: the program's standard error.
  void set_output(OutputSink sink);

  // Ends the process and everything in its process group now. Safe from any thread.
  void kill();
  // Ends the process and throws EngineError saying that it sent `what`.
  [[noreturn]] void refuse(const QString& what);

 private:
  void write_all(const QByteArray& bytes);
  bool read_more(int timeout_ms);  // false when the reply channel is closed
  void take_log(bool wait_for_end);
  void flush_log();
  [[noreturn]] void fail();
  int reap(int timeout_ms);  // exit status as from waitpid, or -1 when still running

  pid_t pid_ = -1;
  int in_fd_ = -1, reply_fd_ = -1, log_fd_ = -1;
  int life_fd_ = -1;  // the life pipe's write end, closed once the process has ended
  QByteArray replies_;
  QByteArray log_pending_;
  qint64 log_pending_since_ = 0;
  QByteArray tail_;  // the last few kilobytes of output, for error messages
  OutputSink sink_;
  std::mutex mutex_;  // guards pid_/reaped_ against kill() from another thread
  bool reaped_ = false;
  int status_ = 0;
};

// The last `lines` lines of engine output, readable: colour codes removed and each line shown
// as its last redraw.
QString output_tail(const QByteArray& output, int lines = 12);

}  // namespace orvane
