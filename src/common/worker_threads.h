// The worker threads a tab started. The newest stays readable through the
// tab's own pointer after it has ended (its results may still be looked at);
// every older one deletes itself once it has ended, so replaced workers do not
// pile up while the tab lives.
#pragma once

#include <QObject>
#include <QPointer>
#include <QThread>
#include <vector>

namespace orvane {

template <class Thread>
class WorkerThreads {
 public:
  // Makes `worker` the tab's newest (`current`, a member of `tab`). The worker
  // it replaces is deleted now if it has ended, else when it ends.
  void adopt(QObject* tab, Thread*& current, Thread* worker) {
    if (current && current->isFinished()) current->deleteLater();
    current = worker;
    std::erase_if(live_, [](const QPointer<Thread>& w) { return w.isNull(); });
    live_.emplace_back(worker);
    QObject::connect(worker, &QThread::finished, tab, [&current, guard = QPointer<Thread>(worker)] {
      if (guard && guard.data() != current) guard->deleteLater();
    });
  }

  // Calls end(worker) for every worker that still exists, after cutting its
  // connections to `tab`, so nothing more from it reaches the tab (closing
  // must not show a stopped job's error). `end` asks it to stop and waits.
  template <class End>
  void end_all(QObject* tab, End&& end) {
    for (const QPointer<Thread>& worker : live_) {
      if (!worker) continue;
      worker->disconnect(tab);
      end(worker.data());
    }
  }

 private:
  std::vector<QPointer<Thread>> live_;
};

}  // namespace orvane
