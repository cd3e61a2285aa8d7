#include "support/fifo_trap.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <chrono>

FifoTrap::FifoTrap(const QString& path, int deadline_ms) : path_(path) {
  EXPECT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0) << path.toStdString();
  watchdog_ = std::thread([this, deadline_ms] { watch(deadline_ms); });
}

FifoTrap::~FifoTrap() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  done_.notify_all();
  watchdog_.join();
}

void FifoTrap::watch(int deadline_ms) {
  std::unique_lock lock(mutex_);
  if (done_.wait_for(lock, std::chrono::milliseconds(deadline_ms), [this] { return stopping_; })) {
    return;
  }
  // Past the deadline: release every reader blocked in open() until the test
  // ends. A writer's open succeeds only while a reader waits.
  const QByteArray native = QFile::encodeName(path_);
  while (!done_.wait_for(lock, std::chrono::milliseconds(50), [this] { return stopping_; })) {
    const int fd = ::open(native.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
      fired_ = true;
      ::close(fd);
    }
  }
}
