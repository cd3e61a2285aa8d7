#include "common/job_runner.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <new>
#include <opencv2/core.hpp>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace orvane {
namespace {

// Results arrive in index order whatever order the workers finish in, and
// no more than `window` items are ever in flight.
TEST(JobRunner, DeliversInOrderWithinTheWindow) {
  struct Case {
    int count, threads, window;
  };
  for (const Case c :
       {Case{0, 2, 0}, Case{1, 4, 0}, Case{37, 2, 2}, Case{200, 3, 5}, Case{50, 1, 0}}) {
    std::atomic<int> in_flight{0};
    std::atomic<int> most_in_flight{0};
    std::vector<int> order;
    std::vector<int> progress;
    JobOptions options;
    options.threads = c.threads;
    options.window = c.window;
    options.progress = [&](int done, int total) {
      EXPECT_EQ(total, c.count);
      progress.push_back(done);
    };
    const JobEnd end = run_job(
        c.count,
        [&](int i) {
          const int now = ++in_flight;
          int seen = most_in_flight.load();
          while (now > seen && !most_in_flight.compare_exchange_weak(seen, now)) {
          }
          // Early items take longest, so later ones finish first.
          if (i % 7 == 0) std::this_thread::sleep_for(std::chrono::microseconds(300));
          return std::to_string(i * i);
        },
        [&](int i, std::string value) {
          EXPECT_EQ(value, std::to_string(i * i));
          order.push_back(i);
          --in_flight;
        },
        [&](int i, const QString&) { ADD_FAILURE() << "item " << i << " failed"; }, options);
    EXPECT_EQ(end.done, c.count);
    EXPECT_FALSE(end.stopped);
    ASSERT_EQ(static_cast<int>(order.size()), c.count);
    ASSERT_EQ(static_cast<int>(progress.size()), c.count);
    for (int i = 0; i < c.count; ++i) {
      EXPECT_EQ(order[static_cast<size_t>(i)], i);
      EXPECT_EQ(progress[static_cast<size_t>(i)], i + 1);
    }
    const int limit = std::max(c.window <= 0 ? c.threads * 2 : c.window, c.threads);
    EXPECT_LE(most_in_flight.load(), std::max(1, limit)) << c.count << " items";
  }
}

// An item whose work throws is that item's failure, with a reason, in its
// place in the order; the items after it are still done.
TEST(JobRunner, AThrowingItemIsAFailureNotAnAbort) {
  const struct {
    const char* what;
    std::function<void()> raise;
    QString reason;
  } cases[] = {
      {"OpenCV", [] { CV_Error(cv::Error::StsOutOfRange, "side too long"); }, "side too long"},
      {"memory", [] { throw std::bad_alloc(); }, "not enough memory"},
      {"standard", [] { throw std::runtime_error("broken"); }, "broken"},
      {"other", [] { throw 42; }, "an unknown error"},
  };
  for (const auto& c : cases) {
    for (int threads : {1, 3}) {
      QStringList seen;
      JobOptions options;
      options.threads = threads;
      const JobEnd end = run_job(
          20,
          [&](int i) {
            if (i % 4 == 1) c.raise();
            return i;
          },
          [&](int i, int value) {
            EXPECT_EQ(value, i);
            seen.append(QString::number(i));
          },
          [&](int i, const QString& reason) {
            seen.append(QStringLiteral("%1 failed").arg(i));
            EXPECT_EQ(reason, c.reason) << c.what;
          },
          options);
      EXPECT_EQ(end.done, 20) << c.what;
      ASSERT_EQ(seen.size(), 20) << c.what;
      for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(seen[i], i % 4 == 1 ? QStringLiteral("%1 failed").arg(i) : QString::number(i))
            << c.what << " with " << threads << " threads";
      }
    }
  }
}

// A throw on the calling thread (delivering, reporting a failure, reporting
// progress) reaches the caller once every worker has been joined: none is
// still at work when run_job returns.
TEST(JobRunner, AThrowWhileDeliveringEndsTheJobCleanly) {
  enum Where { kDeliver, kFail, kProgress };
  for (const Where where : {kDeliver, kFail, kProgress}) {
    for (int threads : {1, 3}) {
      std::atomic<int> working{0};
      std::atomic<int> started{0};
      JobOptions options;
      options.threads = threads;
      options.window = 4;
      options.progress = [&](int done, int) {
        if (where == kProgress && done == 6) throw std::runtime_error("progress");
      };
      const auto run = [&] {
        run_job(
            1000,
            [&](int i) {
              ++started;
              ++working;
              std::this_thread::sleep_for(std::chrono::microseconds(200));
              --working;
              if (i == 5) throw std::logic_error("item");
              return i;
            },
            [&](int i, int) {
              if (where == kDeliver && i == 6) throw std::runtime_error("deliver");
            },
            [&](int, const QString&) {
              if (where == kFail) throw std::runtime_error("fail");
            },
            options);
      };
      EXPECT_THROW(run(), std::runtime_error) << where << " with " << threads << " threads";
      EXPECT_EQ(working.load(), 0) << where;                   // every worker joined
      EXPECT_LE(started.load(), 7 + options.window) << where;  // and none went on
    }
  }
}

// The stop flag, set from any thread, starts no item and delivers no result
// after it is seen; what was started is finished and dropped.
TEST(JobRunner, StopsBetweenItems) {
  for (int threads : {1, 2, 4}) {
    std::atomic<bool> stop{false};
    std::atomic<int> started{0};
    std::vector<int> delivered;
    JobOptions options;
    options.threads = threads;
    options.stop = &stop;
    const JobEnd end = run_job(
        500,
        [&](int i) {
          ++started;
          return i;
        },
        [&](int i, int) {
          delivered.push_back(i);
          if (i == 9) stop = true;
        },
        [](int, const QString&) {}, options);
    EXPECT_TRUE(end.stopped) << threads;
    EXPECT_EQ(end.done, 10) << threads;
    EXPECT_EQ(delivered.size(), 10u) << threads;
    EXPECT_LE(started.load(), 10 + 2 * threads) << threads;
  }
}

}  // namespace
}  // namespace orvane
