#include "ui/job_progress.h"

#include <gtest/gtest.h>

#include <QProgressBar>
#include <QPushButton>

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
      {2, 1000, 1500, "2 / 1000 · 12:29 left"},
      {40, 40, 5000, "40 / 40 · 0:00 left"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(JobProgress::text(c.done, c.total, c.elapsed_ms).toStdString(), c.text);
  }
}

// The start button reads "Cancel" while the job runs and its own text after;
// a bar the tab did not have before is only seen meanwhile.
TEST(JobProgress, ButtonAndBarDuringTheJob) {
  for (const bool hide_when_idle : {true, false}) {
    QWidget tab;
    auto* bar = new QProgressBar(&tab);
    auto* button = new QPushButton(QStringLiteral("⚡ RUN"), &tab);
    tab.show();
    JobProgress progress;
    progress.bind(bar, hide_when_idle);
    EXPECT_EQ(bar->isVisible(), !hide_when_idle);
    progress.begin(button, 8);
    EXPECT_EQ(button->text(), "Cancel");
    EXPECT_TRUE(bar->isVisible());
    progress.show(2, 8);
    EXPECT_EQ(bar->value(), 2);
    EXPECT_TRUE(bar->text().startsWith("2 / 8")) << bar->text().toStdString();
    progress.end();
    EXPECT_EQ(button->text(), "⚡ RUN");
    EXPECT_EQ(bar->isVisible(), !hide_when_idle);
    EXPECT_EQ(bar->text(), "25%");
  }
}

}  // namespace
}  // namespace orvane
