// Batch jobs run off the GUI thread. A tab keeps one BackgroundJob per kind
// of job; the job's work runs on a thread of its own and receives a
// JobControl: the stop flag for run_job, a progress reporter, and the passes
// under which it writes its files. Cancelling calls the job off at once: no
// pass is granted any more, the one in progress is waited for, and the tab
// learns what had been written, even while an item of a huge image is still
// being worked on (that item ends on its own and is dropped).
#pragma once

#include <QDeadlineTimer>
#include <QObject>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

#include "common/job_runner.h"

namespace orvane {

// What a job had written when it was called off: the counts its closing
// message names.
struct JobTally {
  int items = 0;  // images written, split or exported; variants written
  int files = 0;  // files written, where a message names them apart (tiles)
};

class JobControl {
 public:
  JobControl() = default;
  JobControl(const JobControl&) = delete;
  JobControl& operator=(const JobControl&) = delete;

  // For JobOptions::stop: set once the job is to stop. Any thread.
  const std::atomic<bool>* stop_flag() const { return &stop_; }
  bool stop_requested() const { return stop_.load(std::memory_order_relaxed); }
  // Asks the job to stop taking items (the job's own first failure); unlike
  // call_off(), its writes go on being granted. Any thread.
  void request_stop() { stop_.store(true); }

  // Passes `done` of `total` on to the progress sink, at most once every
  // 50 ms (the last item always). Any thread.
  void progress(int done, int total);

  // Called before the job starts; receives the throttled progress on the
  // job's threads.
  void set_progress_sink(std::function<void(int done, int total)> sink) { sink_ = std::move(sink); }

  // Stops the job and closes its passes: none is granted once this returns,
  // and the ones in progress have ended. Returns the tally counted in them.
  // Any thread but the job's own.
  JobTally call_off();

 private:
  friend class JobPass;

  std::atomic<bool> stop_{false};
  std::atomic<bool> closed_{false};
  // Shared by the passes, taken alone by call_off.
  std::shared_mutex passes_;
  std::atomic<int> items_{0};
  std::atomic<int> files_{0};
  std::atomic<std::int64_t> next_progress_ns_{0};
  std::function<void(int, int)> sink_;
};

// The right to write one item's files and count them, taken on whichever
// thread writes. Refused once the job has been called off; a job without a
// control (a benchmark, a direct call) always has it.
class JobPass {
 public:
  explicit JobPass(JobControl* control);
  ~JobPass();
  JobPass(const JobPass&) = delete;
  JobPass& operator=(const JobPass&) = delete;

  explicit operator bool() const { return granted_; }
  // Adds to the tally of the job (inside a granted pass).
  void count(int items, int files = 0);

 private:
  JobControl* control_;
  bool granted_ = true;
};

// Points options.stop at the control's flag and adds the control's progress
// to options.progress (which keeps any it had). Nothing for a null control.
void attach_control(JobOptions& options, JobControl* control);

// One kind of job of a tab, run at most once at a time. Lives on the GUI
// thread; only its work runs elsewhere.
class BackgroundJob : public QObject {
  Q_OBJECT

 public:
  explicit BackgroundJob(QObject* parent = nullptr);
  // Calls a running job off and waits for its threads: up to 2 s, or not at
  // all after stop(), which has waited as long as its caller allowed. A
  // thread still working on an item then ends on its own; it writes nothing
  // and no longer reaches this object.
  ~BackgroundJob() override;

  // From the start until the end is handed over or the job is called off.
  bool running() const { return current_ != nullptr; }

  // Runs work(JobControl&) on a thread of its own, then done(result) on the
  // GUI thread, or fail(reason) when the work threw. Neither runs for a job
  // called off. Returns false, starting nothing, while a job runs. `work`
  // must not touch widgets: it gets its settings by value.
  template <class Work, class Done, class Fail>
  bool start(Work work, Done done, Fail fail);

  // Cancels the running job: it writes nothing more, and its result will not
  // be handed over. Returns the tally of what it wrote; nothing when no job
  // runs or its result is already on the way (it will be handed over).
  std::optional<JobTally> call_off();

  // Calls the running job off without a word and waits for the threads of
  // every job this object ran until `deadline`. True when they all ended.
  bool stop(QDeadlineTimer deadline);
  // stop(), then `stopped()` on this thread when a job was running (its tab
  // puts its face back and says the job ended).
  template <class Stopped>
  bool stop(QDeadlineTimer deadline, Stopped stopped) {
    const bool was_running = running();
    const bool ended = stop(deadline);
    if (was_running) stopped();
    return ended;
  }

  // How long the destructor waits for threads when stop() was not called.
  static constexpr int kDestructorWaitMs = 2000;

 Q_SIGNALS:
  // The running job's progress, on the GUI thread.
  void progress(int done, int total);

 private:
  struct Run;
  struct Link;
  // Runs on the job's thread; returns what the GUI thread then does.
  using Body = std::function<std::function<void()>(JobControl&)>;
  bool launch(Body body);
  void hand_over(const std::shared_ptr<Run>& run, const std::function<void()>& finish);

  std::shared_ptr<Run> current_;
  // Every run whose thread has not been joined, the current one included.
  std::vector<std::shared_ptr<Run>> runs_;
  // The threads' way to this object, cut by the destructor.
  std::shared_ptr<Link> link_;
  bool stopped_ = false;  // stop() has been called
};

template <class Work, class Done, class Fail>
bool BackgroundJob::start(Work work, Done done, Fail fail) {
  using Result = std::decay_t<std::invoke_result_t<Work&, JobControl&>>;
  return launch([work = std::move(work), done = std::move(done),
                 fail = std::move(fail)](JobControl& control) mutable -> std::function<void()> {
    try {
      auto result = std::make_shared<Result>(work(control));  // the job's thread
      return [done, result] { done(*result); };
    } catch (...) {
      return [fail, reason = current_exception_reason()] { fail(reason); };
    }
  });
}

}  // namespace orvane
