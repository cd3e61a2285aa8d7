// The progress report at the edges of int: whatever epochs the engine reports, the percentage
// stays within 0...100 and the estimate is a time of day.
#include "training/eta.h"

#include <gtest/gtest.h>

#include <climits>
#include <tuple>

using namespace orvane;

namespace {

TEST(EpochReport, HugeAndNegativeEpochCounts) {
  // Finished, total, percent and text a minute after the start.
  const std::tuple<int, int, int, const char*> cases[] = {
      {2000000000, 3, 100, "Epoch 2000000000/3 (100%) | ETA: 00:00:00"},
      {-5, 3, 0, "Epoch -5/3 (0%) | ETA: 00:08:00"},
      {3, 0, 0, "Epoch 3/0 (0%) | ETA: 00:00:00"},
      {INT_MIN, -1, 0, "Epoch -2147483648/-1 (0%) | ETA: 00:00:00"},
  };
  for (const auto& [finished, total, percent, text] : cases) {
    const EpochReport report = epoch_report(finished, total, 60);
    EXPECT_EQ(report.percent, percent) << text;
    EXPECT_EQ(report.text.toStdString(), text);
  }
  // Times beyond any integer of seconds still give their time of day.
  EXPECT_EQ(format_eta(1e20).toStdString(), "09:46:40");
  EXPECT_EQ(format_eta(1e300).toStdString(), "17:36:00");
}

}  // namespace
