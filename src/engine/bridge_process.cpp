#include "engine/bridge_process.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDateTime>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QThread>
#include <cmath>
#include <cstring>
#include <vector>

extern char** environ;

namespace orvane {
namespace {

constexpr int kLogBatchMs = 25;
constexpr qsizetype kTailBytes = 8192;

qint64 now_ms() { return QDateTime::currentMSecsSinceEpoch(); }

std::vector<std::string> make_environment(const QStringList& extra) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    const std::string entry(*e);
    const std::string key = entry.substr(0, entry.find('='));
    bool replaced = false;
    for (const QString& x : extra) replaced |= x.section('=', 0, 0).toStdString() == key;
    if (!replaced) env.push_back(entry);
  }
  for (const QString& x : extra) env.push_back(x.toStdString());
  return env;
}

QString describe_status(int status) {
  if (WIFSIGNALED(status)) return QStringLiteral("killed by signal %1").arg(WTERMSIG(status));
  if (WIFEXITED(status)) return QStringLiteral("exit code %1").arg(WEXITSTATUS(status));
  return QStringLiteral("status %1").arg(status);
}

}  // namespace

BridgeProcess::BridgeProcess(const QString& program, const QStringList& arguments,
                             const QStringList& environment) {
  // A request written to a process that has just died must fail, not end this program.
  ::signal(SIGPIPE, SIG_IGN);
  // Every descriptor of ours is closed on exec, so no other child holds a pipe of this one; the
  // child gets its ends as 0, 1, 2 and 3. Descriptor 3 is the read end of the life pipe, whose
  // write end only this program holds: when the program dies, however, the bridge reads its
  // end of file and ends its process group.
  int in[2] = {-1, -1}, out[2] = {-1, -1}, err[2] = {-1, -1}, life[2] = {-1, -1};
  for (int* pipe : {in, out, err, life}) {
    if (pipe2(pipe, O_CLOEXEC) == 0) continue;
    const QString message = QString::fromLocal8Bit(strerror(errno));
    for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1], life[0], life[1]}) {
      if (fd >= 0) ::close(fd);
    }
    throw EngineError(message);
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err[1], 2);
  posix_spawn_file_actions_adddup2(&actions, life[0], 3);
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigdefault(&attr, &defaults);
  posix_spawnattr_setpgroup(&attr, 0);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF);

  std::vector<std::string> args{program.toStdString()};
  for (const QString& a : arguments) args.push_back(a.toStdString());
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<std::string> env = make_environment(environment);
  std::vector<char*> envp;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);

  const int rc = posix_spawn(&pid_, args[0].c_str(), &actions, &attr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  for (int fd : {in[0], out[1], err[1], life[0]}) ::close(fd);
  in_fd_ = in[1];
  reply_fd_ = out[0];
  log_fd_ = err[0];
  life_fd_ = life[1];
  if (rc != 0) {
    for (int fd : {in_fd_, reply_fd_, log_fd_, life_fd_}) ::close(fd);
    reaped_ = true;
    throw EngineError(
        QStringLiteral("Cannot start %1: %2").arg(program, QString::fromLocal8Bit(strerror(rc))));
  }
}

BridgeProcess::~BridgeProcess() {
  ::close(in_fd_);  // the bridge leaves when its requests end
  if (reap(2000) < 0) {
    kill();
    reap(-1);
  }
  for (int fd : {reply_fd_, log_fd_, life_fd_})
    if (fd >= 0) ::close(fd);
}

void BridgeProcess::set_output(OutputSink sink) { sink_ = std::move(sink); }

void BridgeProcess::kill() {
  std::lock_guard lock(mutex_);
  if (!reaped_ && pid_ > 0) ::kill(-pid_, SIGKILL);
}

int BridgeProcess::reap(int timeout_ms) {
  QElapsedTimer timer;
  timer.start();
  for (;;) {
    {
      std::lock_guard lock(mutex_);
      if (reaped_) return status_;
      int status = 0;
      const pid_t r = ::waitpid(pid_, &status, WNOHANG);
      if (r == pid_ || (r < 0 && errno == ECHILD)) {
        reaped_ = true;
        status_ = status;
        // Children the engine started (tuning trials) end with it.
        ::kill(-pid_, SIGKILL);
        return status_;
      }
    }
    if (timeout_ms >= 0 && timer.elapsed() >= timeout_ms) return -1;
    QThread::msleep(5);
  }
}

void BridgeProcess::write_all(const QByteArray& bytes) {
  qsizetype done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(in_fd_, bytes.constData() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) fail();
    done += n;
  }
}

bool BridgeProcess::read_more(int timeout_ms) {
  pollfd fds[2] = {{reply_fd_, POLLIN, 0}, {log_fd_, POLLIN, 0}};
  const int count = log_fd_ >= 0 ? 2 : 1;
  const int r = ::poll(fds, count, timeout_ms);
  if (r < 0 && errno != EINTR) return false;
  if (count == 2 && (fds[1].revents & (POLLIN | POLLHUP | POLLERR))) take_log(false);
  if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
    const qsizetype old = replies_.size();
    replies_.resize(old + (1 << 20));
    const ssize_t n = ::read(reply_fd_, replies_.data() + old, 1 << 20);
    replies_.resize(old + std::max<ssize_t>(n, 0));
    if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) return false;
  }
  if (!log_pending_.isEmpty() && now_ms() - log_pending_since_ >= kLogBatchMs) flush_log();
  return true;
}

void BridgeProcess::take_log(bool wait_for_end) {
  char buffer[65536];
  while (log_fd_ >= 0) {
    pollfd fd{log_fd_, POLLIN, 0};
    if (::poll(&fd, 1, wait_for_end ? 1000 : 0) <= 0) return;
    const ssize_t n = ::read(log_fd_, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ::close(log_fd_);
      log_fd_ = -1;
      return;
    }
    if (log_pending_.isEmpty()) log_pending_since_ = now_ms();
    log_pending_.append(buffer, n);
    tail_.append(buffer, n);
    if (tail_.size() > 2 * kTailBytes) tail_ = tail_.right(kTailBytes);
    if (!wait_for_end) return;
  }
}

void BridgeProcess::flush_log() {
  if (log_pending_.isEmpty()) return;
  const QByteArray bytes = std::exchange(log_pending_, {});
  if (sink_) {
    sink_(bytes);
  } else {
    [[maybe_unused]] const ssize_t n = ::write(2, bytes.constData(), bytes.size());
  }
}

void BridgeProcess::fail() {
  // A process that closed its reply channel is usually ending: a moment lets its exit status be
  // its own. Then it ends with its children before the rest of its output is read, or one that
  // keeps writing would be read for ever.
  int status = reap(1000);
  if (status < 0) {
    kill();
    status = reap(-1);
  }
  take_log(true);
  flush_log();
  throw EngineError(QStringLiteral("The YOLO engine process stopped unexpectedly (%1).\n"
                                   "Last output:\n%2")
                        .arg(describe_status(status), output_tail(tail_)));
}

void BridgeProcess::refuse(const QString& what) {
  kill();
  reap(-1);
  replies_.clear();
  throw EngineError(
      QStringLiteral("The YOLO engine bridge sent %1; its process was ended.").arg(what));
}

BridgeProcess::Reply BridgeProcess::request(const QJsonObject& request,
                                            const EventHandler& on_event) {
  write_all(QJsonDocument(request).toJson(QJsonDocument::Compact) + '\n');
  qsizetype binary_size = -1;
  QJsonObject reply;
  for (;;) {
    if (binary_size >= 0) {
      if (replies_.size() >= binary_size) {
        Reply result{reply, replies_.left(binary_size)};
        replies_.remove(0, binary_size);
        return result;
      }
    } else if (const qsizetype nl = replies_.indexOf('\n'); nl >= 0) {
      if (nl > kMaxReplyLineBytes) refuse(QStringLiteral("a reply of %1 bytes").arg(nl));
      QJsonParseError parse_error;
      const QJsonDocument document = QJsonDocument::fromJson(replies_.left(nl), &parse_error);
      if (!document.isObject()) {
        const QString line = QString::fromUtf8(replies_.left(std::min<qsizetype>(nl, 200)));
        kill();
        throw EngineError(
            QStringLiteral("The YOLO engine bridge sent an unreadable reply: %1").arg(line));
      }
      const QJsonObject message = document.object();
      replies_.remove(0, nl + 1);
      if (message.contains(QLatin1String("event"))) {
        flush_log();
        const QJsonObject answer = on_event ? on_event(message) : QJsonObject{};
        write_all(QJsonDocument(answer).toJson(QJsonDocument::Compact) + '\n');
        continue;
      }
      // Everything printed before the reply is already in the log pipe.
      take_log(false);
      while (log_fd_ >= 0) {
        pollfd fd{log_fd_, POLLIN, 0};
        if (::poll(&fd, 1, 0) <= 0) break;
        take_log(false);
      }
      flush_log();
      reply = message;
      const QJsonValue binary = message.value(QLatin1String("binary"));
      if (binary.isUndefined()) return Reply{reply, {}};
      // A size is checked before any memory is set aside for it.
      const double announced = binary.toDouble(-1);
      if (!binary.isDouble() || announced < 0 || announced != std::floor(announced) ||
          announced > double(kMaxReplyBinaryBytes))
        refuse(QStringLiteral("a reply announcing %1 bytes of image data")
                   .arg(binary.toVariant().toString()));
      binary_size = qsizetype(announced);
      replies_.reserve(binary_size);
      continue;
    } else if (replies_.size() > kMaxReplyLineBytes) {
      refuse(QStringLiteral("more than %1 bytes without ending its reply").arg(kMaxReplyLineBytes));
    }
    const int wait = log_pending_.isEmpty()
                         ? -1
                         : std::max<int>(0, kLogBatchMs - int(now_ms() - log_pending_since_));
    if (!read_more(wait)) fail();
  }
}

QString output_tail(const QByteArray& output, int lines) {
  static const QRegularExpression escapes(QStringLiteral("\x1b(?:\\[[0-?]*[ -/]*[@-~]|[@-_])"));
  QStringList kept;
  const QStringList all = QString::fromUtf8(output).remove(escapes).split('\n');
  for (const QString& line : all) {
    const QString shown = line.section('\r', -1).trimmed().isEmpty()
                              ? line.trimmed()
                              : line.section('\r', -1).trimmed();
    if (!shown.isEmpty()) kept << shown;
  }
  return kept.mid(std::max<qsizetype>(0, kept.size() - lines)).join('\n');
}

}  // namespace orvane
