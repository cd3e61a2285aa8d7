#include "common/background_job.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <future>
#include <stdexcept>

namespace orvane {
namespace {

// Runs the event loop until `done` (at most a minute: a hang, not a pace).
template <class Pred>
bool spin_until(Pred done) {
  const QDeadlineTimer limit(60000);
  while (!done() && !limit.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  return done();
}

// An exception in the work is the job's reported failure, never an abort.
TEST(BackgroundJob, AThrowingJobFails) {
  BackgroundJob job;
  QString failure;
  job.start([](JobControl&) -> int { throw std::runtime_error("the disk is gone"); }, [](int) {},
            [&](const QString& reason) { failure = reason; });
  ASSERT_TRUE(spin_until([&] { return !failure.isEmpty(); }));
  EXPECT_EQ(failure, "the disk is gone");
  EXPECT_FALSE(job.running());
}

// Cancelling answers while an item is still being worked on (a huge image
// takes seconds): what was written is counted, the item's later write is
// refused, and the job's result is dropped. Stopped with a deadline that has
// passed (the window closes), the object can even go first: the thread ends
// on its own later without reaching it.
TEST(BackgroundJob, CallOffAnswersWithoutWaitingForTheItemInFlight) {
  for (const bool object_goes_first : {false, true}) {
    std::promise<void> written, release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<bool> later_pass_granted{true};
    std::atomic<bool> work_returned{false};
    bool handed_over = false;
    // Held by the job's callbacks: it expires once its thread has let go.
    auto token = std::make_shared<int>();
    const std::weak_ptr<int> thread_holds = token;
    auto job = std::make_unique<BackgroundJob>();
    job->start(
        [&, released](JobControl& control) {
          JobPass(&control).count(1, 4);
          written.set_value();
          released.wait_for(std::chrono::seconds(60));  // the long item
          later_pass_granted = bool(JobPass(&control));
          control.progress(2, 2);
          work_returned = true;
          return 0;
        },
        [&, token](int) { handed_over = true; },
        [&, token = std::move(token)](const QString&) { handed_over = true; });
    written.get_future().wait();
    if (object_goes_first) {
      EXPECT_FALSE(job->stop(QDeadlineTimer(0)));
      job.reset();
    } else {
      const std::optional<JobTally> tally = job->call_off();
      ASSERT_TRUE(tally.has_value());
      EXPECT_EQ(tally->items, 1);
      EXPECT_EQ(tally->files, 4);
      EXPECT_FALSE(job->running());
    }
    EXPECT_FALSE(work_returned);
    release.set_value();
    ASSERT_TRUE(spin_until([&] { return thread_holds.expired(); }));
    QCoreApplication::processEvents();
    EXPECT_FALSE(later_pass_granted);
    EXPECT_FALSE(handed_over);
  }
}

}  // namespace
}  // namespace orvane
