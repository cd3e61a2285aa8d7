// What tests of a stuck or misbehaving engine look at: the engine processes this test program
// started (with everything in their process groups), and whether the event loop kept running.
#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <QTimer>
#include <functional>
#include <optional>
#include <set>
#include <vector>

namespace engine_watch {

struct ProcessInfo {
  pid_t parent = 0;
  pid_t group = 0;
  char state = '?';  // 'Z' for a zombie: ended, not yet reaped
  QByteArray command_line;
};

// Empty when the process is gone.
inline std::optional<ProcessInfo> process_info(pid_t pid) {
  QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
  if (!stat.open(QIODevice::ReadOnly)) return std::nullopt;
  const QByteArray text = stat.readAll();
  // "pid (name) state ppid pgrp ...": the name may hold anything, the rest follows its ')'.
  const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
  if (fields.size() < 3) return std::nullopt;
  ProcessInfo info{pid_t(fields[1].toInt()), pid_t(fields[2].toInt()), fields[0].at(0), {}};
  QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
  if (cmdline.open(QIODevice::ReadOnly)) info.command_line = cmdline.readAll().replace('\0', ' ');
  return info;
}

inline std::vector<pid_t> all_processes() {
  std::vector<pid_t> pids;
  for (const QString& name : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
    bool number = false;
    const int pid = name.toInt(&number);
    if (number) pids.push_back(pid);
  }
  return pids;
}

inline bool is_bridge(const ProcessInfo& info) {
  return info.command_line.contains("engine_bridge.py");
}

// The engine processes of a test: the process groups of the bridges noted while they ran.
class EngineProcesses {
 public:
  // Notes the groups of the bridges that are children of `parent` now; returns how many
  // processes those groups hold.
  int note(pid_t parent = getpid()) {
    for (pid_t pid : all_processes()) {
      const std::optional<ProcessInfo> info = process_info(pid);
      if (info && info->parent == parent && info->state != 'Z' && is_bridge(*info))
        groups_.insert(info->group);
    }
    return int(members().size());
  }
  // Waits until the noted groups hold at least `count` live processes (a bridge and what it
  // started); the event loop runs meanwhile.
  bool note_until(int count, int ms = 60000) {
    return QTest::qWaitFor([&] { return note() >= count; }, ms);
  }
  const std::set<pid_t>& groups() const { return groups_; }

  // Live processes (zombies are ended) in the noted groups.
  std::vector<pid_t> members() const {
    std::vector<pid_t> live;
    for (pid_t pid : all_processes()) {
      const std::optional<ProcessInfo> info = process_info(pid);
      if (info && info->state != 'Z' && groups_.count(info->group)) live.push_back(pid);
    }
    return live;
  }
  // Waits up to `ms` for every noted process to end; returns those still running.
  std::vector<pid_t> left_after(int ms) const {
    QElapsedTimer clock;
    clock.start();
    std::vector<pid_t> live = members();
    while (!live.empty() && clock.elapsed() < ms) {
      QTest::qWait(20);
      live = members();
    }
    return live;
  }

 private:
  std::set<pid_t> groups_;
};

// Counts the ticks of a 10 ms timer: an event loop that keeps running while the engine works
// sees about one per 10 ms of waiting.
class Ticks {
 public:
  Ticks() {
    QObject::connect(&timer_, &QTimer::timeout, [this] { ++count; });
    timer_.start(10);
  }
  int count = 0;

 private:
  QTimer timer_;
};

// How long a test waits for what must happen "within two seconds": generous, to catch a hang,
// never a measure of speed.
inline constexpr int kPromptlyMs = 5000;

// Runs `action` and tells whether it returned within kPromptlyMs.
inline bool returns_promptly(const std::function<void()>& action) {
  QElapsedTimer clock;
  clock.start();
  action();
  return clock.elapsed() < kPromptlyMs;
}

}  // namespace engine_watch
