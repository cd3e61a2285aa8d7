// Driving a tab's background job in window tests: the event loop runs while
// the job does, so its progress and its closing message arrive as they do in
// the program.
#pragma once

#include <QAbstractButton>
#include <QDeadlineTimer>
#include <QProgressBar>
#include <QSignalSpy>
#include <algorithm>

#include "ui/tab_work.h"

// True once `tab`'s job has ended (at once when none runs); false when it is
// still running after `timeout_ms`, which is generous: it only catches a hang.
template <class Tab>
bool wait_for_job(Tab& tab, int timeout_ms = 120000) {
  if (!tab.work().running()) return true;
  QSignalSpy finished(&tab.work(), &orvane::TabWork::job_finished);
  return finished.wait(timeout_ms);
}

// Lets `tab`'s job run until `bar` counts its first item, then clicks
// `button`, the job's Cancel, and waits for the job's end. False when the job
// ended before it could be cancelled (it was too short for the test) or hung.
template <class Tab>
bool cancel_after_first_item(Tab& tab, QProgressBar* bar, QAbstractButton* button,
                             int timeout_ms = 120000) {
  QSignalSpy counted(bar, &QProgressBar::valueChanged);
  const QDeadlineTimer limit(timeout_ms);
  while (tab.work().running() && bar->value() < 1 && !limit.hasExpired()) {
    counted.wait(int(std::max<qint64>(1, limit.remainingTime())));
  }
  if (!tab.work().running() || bar->value() < 1) return false;
  button->click();
  return wait_for_job(tab, timeout_ms);
}
