// Waiting for a tab's background job in window tests: the event loop runs
// until the tab says job_finished, so the job's progress and its closing
// message arrive as they do in the program.
#pragma once

#include <QSignalSpy>

// True once `tab`'s job has ended (at once when none runs); false when it is
// still running after `timeout_ms`, which is generous: it only catches a hang.
template <class Tab>
bool wait_for_job(Tab& tab, int timeout_ms = 120000) {
  if (!tab.job_running()) return true;
  QSignalSpy finished(&tab, &Tab::job_finished);
  return finished.wait(timeout_ms);
}
