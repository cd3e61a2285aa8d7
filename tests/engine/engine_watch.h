// What tests of a stuck or misbehaving engine look at: the engine processes this test program
// started (with everything in their process groups), and whether the event loop kept running.
#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <QTimer>
#include <functional>
#include <set>
#include <vector>

namespace engine_watch {

// Every live process (zombies have ended) as {pid, parent, group, command line}.
struct Process {
  pid_t pid, parent, group;
  QByteArray command_line;
};
inline std::vector<Process> live_processes() {
  std::vector<Process> found;
  for (const QString& name : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(name)), cmd("/proc/" + name + "/cmdline");
    if (name.toInt() <= 0 || !stat.open(QIODevice::ReadOnly)) continue;
    // "pid (name) state ppid pgrp ...": the name may hold anything, the rest follows its ')'.
    const QByteArray text = stat.readAll();
    const QList<QByteArray> f = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (f.size() < 3 || f[0] == "Z") continue;
    cmd.open(QIODevice::ReadOnly);
    found.push_back({name.toInt(), f[1].toInt(), f[2].toInt(), cmd.readAll().replace('\0', ' ')});
  }
  return found;
}

// The engine processes of a test: the process groups of the bridges noted while they ran.
class EngineProcesses {
 public:
  // Notes the groups of the bridges that are children of `parent` now; returns how many live
  // processes the noted groups hold.
  int note(pid_t parent = getpid()) {
    for (const Process& p : live_processes())
      if (p.parent == parent && p.command_line.contains("engine_bridge.py"))
        groups_.insert(p.group);
    return int(members().size());
  }
  // Waits, the event loop running, until the groups hold `count` processes (a bridge and what it
  // started).
  bool note_until(int count, pid_t parent = getpid()) {
    return QTest::qWaitFor([&] { return note(parent) >= count; }, 60000);
  }
  // The bridges noted so far, one per process group.
  int bridges(pid_t parent = getpid()) {
    note(parent);
    return int(groups_.size());
  }
  std::vector<pid_t> members() const {
    std::vector<pid_t> pids;
    for (const Process& p : live_processes())
      if (groups_.count(p.group)) pids.push_back(p.pid);
    return pids;
  }
  // Waits up to `ms` for every noted process to end; returns those still running.
  std::vector<pid_t> left_after(int ms) const {
    if (QTest::qWaitFor([&] { return members().empty(); }, ms)) return {};
    return members();
  }

 private:
  std::set<pid_t> groups_;
};

// Counts the ticks of a 10 ms timer: an event loop that keeps running sees about one per 10 ms.
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

inline bool returns_promptly(const std::function<void()>& action) {
  QElapsedTimer clock;
  clock.start();
  action();
  return clock.elapsed() < kPromptlyMs;
}

}  // namespace engine_watch
