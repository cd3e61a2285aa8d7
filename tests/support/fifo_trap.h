// A FIFO under a file's name, for tests that code never opens it blocking. If
// something does block on it, a watchdog thread lets it go after a deadline
// (by opening and closing the writing end), so a fault fails the test rather
// than hanging it; fired() then says so.
#pragma once

#include <QString>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

class FifoTrap {
 public:
  explicit FifoTrap(const QString& path, int deadline_ms = 3000);
  ~FifoTrap();
  FifoTrap(const FifoTrap&) = delete;
  FifoTrap& operator=(const FifoTrap&) = delete;

  // Whether something opened the FIFO and had to be let go.
  bool fired() const { return fired_.load(); }

 private:
  void watch(int deadline_ms);

  QString path_;
  std::mutex mutex_;
  std::condition_variable done_;
  bool stopping_ = false;
  std::atomic<bool> fired_{false};
  std::thread watchdog_;
};
