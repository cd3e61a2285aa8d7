#include "common/background_job.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

namespace orvane {
namespace {

using namespace std::chrono_literals;

// A door one thread waits at until another opens it.
class Latch {
 public:
  void open() {
    {
      const std::lock_guard lock(mutex_);
      open_ = true;
    }
    changed_.notify_all();
  }
  bool wait_for(std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [this] { return open_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool open_ = false;
};

// Runs the event loop until `done` (at most a minute: a hang, not a pace).
template <class Pred>
bool spin_until(Pred done) {
  const QDeadlineTimer limit(60000);
  while (!done() && !limit.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  return done();
}

// The result, or the failure, reaches the GUI thread once the work returns;
// progress arrives before it, thinned out but always with the last count.
TEST(BackgroundJob, HandsOverTheResultOrTheFailure) {
  BackgroundJob job;
  std::vector<std::pair<int, int>> progress;
  QObject::connect(&job, &BackgroundJob::progress,
                   [&](int done, int total) { progress.emplace_back(done, total); });
  QString outcome;
  const auto start = [&](bool fails) {
    return job.start(
        [fails](JobControl& control) {
          for (int i = 1; i <= 100; ++i) control.progress(i, 100);
          if (fails) throw std::runtime_error("the disk is gone");
          return QStringLiteral("report");
        },
        [&](const QString& report) { outcome = "done: " + report; },
        [&](const QString& reason) { outcome = "failed: " + reason; });
  };
  for (const bool fails : {false, true}) {
    outcome.clear();
    progress.clear();
    ASSERT_TRUE(start(fails));
    EXPECT_TRUE(job.running());
    EXPECT_FALSE(start(false));  // one at a time
    ASSERT_TRUE(spin_until([&] { return !outcome.isEmpty(); }));
    EXPECT_EQ(outcome, fails ? "failed: the disk is gone" : "done: report");
    EXPECT_FALSE(job.running());
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back(), std::make_pair(100, 100));
    EXPECT_LT(progress.size(), 100u);
  }
}

// Cancelling answers while an item is still being worked on (a huge image can
// take many seconds): what was written is counted, the item's later write is
// refused, and the job's result is dropped.
TEST(BackgroundJob, CallOffAnswersWithoutWaitingForTheItemInFlight) {
  BackgroundJob job;
  Latch written, release;
  std::atomic<bool> later_pass_granted{true};
  std::atomic<bool> work_returned{false};
  bool handed_over = false;
  job.start(
      [&](JobControl& control) {
        {
          JobPass pass(&control);
          pass.count(1, 4);
        }
        written.open();
        release.wait_for(60s);  // the long item
        const JobPass pass(&control);
        later_pass_granted = bool(pass);
        work_returned = true;
        return 0;
      },
      [&](int) { handed_over = true; }, [&](const QString&) { handed_over = true; });
  ASSERT_TRUE(written.wait_for(60s));
  const std::optional<JobTally> tally = job.call_off();
  EXPECT_FALSE(work_returned);
  release.open();
  ASSERT_TRUE(tally.has_value());
  EXPECT_EQ(tally->items, 1);
  EXPECT_EQ(tally->files, 4);
  EXPECT_FALSE(job.running());
  EXPECT_FALSE(job.call_off().has_value());  // nothing runs any more

  EXPECT_TRUE(job.stop(QDeadlineTimer(QDeadlineTimer::Forever)));
  EXPECT_FALSE(later_pass_granted);
  QCoreApplication::processEvents();  // what the ended job queued
  EXPECT_FALSE(handed_over);
}

// Stopped with a deadline that has passed (the window closes), the object
// can go while an item is still being worked on: the thread ends on its own
// later, without reaching the object or writing anything.
TEST(BackgroundJob, AThreadOutlivingItsObjectEndsQuietly) {
  Latch release;
  std::atomic<bool> later_pass_granted{true};
  bool handed_over = false;
  // Held by the job's callbacks: it expires once the thread has let go of
  // them, at its very end.
  auto token = std::make_shared<int>(0);
  const std::weak_ptr<int> thread_holds = token;
  {
    BackgroundJob job;
    job.start(
        [&](JobControl& control) {
          release.wait_for(60s);
          later_pass_granted = bool(JobPass(&control));
          control.progress(1, 1);
          return 0;
        },
        [&, token](int) { handed_over = true; },
        [&, token = std::move(token)](const QString&) { handed_over = true; });
    EXPECT_FALSE(job.stop(QDeadlineTimer(0)));
  }
  release.open();
  ASSERT_TRUE(spin_until([&] { return thread_holds.expired(); }));
  QCoreApplication::processEvents();
  EXPECT_FALSE(later_pass_granted);
  EXPECT_FALSE(handed_over);
}

// Calling off waits for the pass in progress, whose count is then in the
// tally; no pass is granted after it. Without a control a pass always is.
TEST(JobControl, CallOffWaitsForThePassInProgress) {
  JobControl control;
  Latch inside, release;
  std::thread writer([&] {
    JobPass pass(&control);
    inside.open();
    release.wait_for(60s);
    pass.count(2);
  });
  ASSERT_TRUE(inside.wait_for(60s));
  std::future<JobTally> called_off =
      std::async(std::launch::async, [&] { return control.call_off(); });
  EXPECT_EQ(called_off.wait_for(100ms), std::future_status::timeout);
  release.open();
  EXPECT_EQ(called_off.get().items, 2);
  writer.join();
  EXPECT_TRUE(control.stop_requested());
  EXPECT_FALSE(JobPass(&control));
  EXPECT_TRUE(JobPass(nullptr));
}

}  // namespace
}  // namespace orvane
