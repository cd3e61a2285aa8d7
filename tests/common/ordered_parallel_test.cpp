#include "common/ordered_parallel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

using namespace orvane;

namespace orvane {
namespace {

// Results arrive in index order whatever order the workers finish in, and
// no more than `window` items are ever in flight.
TEST(OrderedParallel, DeliversInOrderWithinTheWindow) {
  struct Case {
    int count, threads, window;
  };
  for (const Case c :
       {Case{0, 2, 0}, Case{1, 4, 0}, Case{37, 2, 2}, Case{200, 3, 5}, Case{50, 1, 0}}) {
    std::atomic<int> in_flight{0};
    std::atomic<int> most_in_flight{0};
    std::vector<int> order;
    ordered_parallel(
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
        c.threads, c.window);
    ASSERT_EQ(static_cast<int>(order.size()), c.count);
    for (int i = 0; i < c.count; ++i) EXPECT_EQ(order[static_cast<size_t>(i)], i);
    const int limit = std::max(c.window <= 0 ? c.threads * 2 : c.window, c.threads);
    EXPECT_LE(most_in_flight.load(), std::max(1, limit)) << c.count << " items";
  }
}

}  // namespace
}  // namespace orvane
