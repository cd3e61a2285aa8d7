#include "ui/job_progress.h"

#include <gtest/gtest.h>

namespace orvane {
namespace {

// The time left follows the pace so far, and is only shown once an item is
// done.
TEST(JobProgress, CountsAndTimeLeft) {
  const struct {
    int done, total;
    qint64 elapsed_ms;
    const char* text;
  } cases[] = {
      {0, 40, 9000, "0 / 40"},
      {10, 40, 10000, "10 / 40 · 0:30 left"},
      {1, 3, 61000, "1 / 3 · 2:02 left"},
      {40, 40, 5000, "40 / 40 · 0:00 left"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(JobProgress::text(c.done, c.total, c.elapsed_ms).toStdString(), c.text);
  }
}

}  // namespace
}  // namespace orvane
