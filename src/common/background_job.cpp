#include "common/background_job.h"

#include <QMetaObject>
#include <chrono>

namespace orvane {

namespace {

// Progress reaches the GUI thread at most this often: a job of many small
// items must not flood the event loop.
constexpr std::int64_t kProgressIntervalNs = 50'000'000;

std::int64_t now_ns() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

// --- JobControl ---

void JobControl::progress(int done, int total) {
  if (!sink_) return;
  const std::int64_t now = now_ns();
  std::int64_t due = next_progress_ns_.load(std::memory_order_relaxed);
  if (done < total) {
    if (now < due) return;
    // Another thread may be reporting at this very moment: one of them does.
    if (!next_progress_ns_.compare_exchange_strong(due, now + kProgressIntervalNs)) return;
  }
  sink_(done, total);
}

JobTally JobControl::call_off() {
  stop_.store(true);
  closed_.store(true);
  // Passes granted before `closed_` was set hold the lock shared: taking it
  // alone waits for them. Later ones see `closed_` and step back.
  { const std::unique_lock wait_for_passes(passes_); }
  return {items_.load(), files_.load()};
}

// --- JobPass ---

JobPass::JobPass(JobControl* control) : control_(control) {
  if (control_ == nullptr) return;
  // A pass is not even asked for once the job is called off, so a stream of
  // passes cannot keep call_off() waiting.
  if (control_->closed_.load()) {
    granted_ = false;
    return;
  }
  control_->passes_.lock_shared();
  if (control_->closed_.load()) {
    control_->passes_.unlock_shared();
    granted_ = false;
  }
}

JobPass::~JobPass() {
  if (control_ != nullptr && granted_) control_->passes_.unlock_shared();
}

void JobPass::count(int items, int files) {
  if (control_ == nullptr || !granted_) return;
  control_->items_.fetch_add(items, std::memory_order_relaxed);
  control_->files_.fetch_add(files, std::memory_order_relaxed);
}

void attach_control(JobOptions& options, JobControl* control) {
  if (control == nullptr) return;
  options.stop = control->stop_flag();
  options.progress = [control, before = std::move(options.progress)](int done, int total) {
    if (before) before(done, total);
    control->progress(done, total);
  };
}

// --- BackgroundJob ---

struct BackgroundJob::Run {
  JobControl control;
  std::thread thread;
  // The work has returned: its result is on the way to the GUI thread.
  std::atomic<bool> finished{false};
  // The thread is about to end.
  std::mutex mutex;
  std::condition_variable ended_changed;
  bool ended = false;
};

// The job's threads post to the object through this; the destructor cuts it,
// so a thread that outlives the object posts nothing.
struct BackgroundJob::Link {
  std::mutex mutex;
  BackgroundJob* owner = nullptr;

  // Any thread: queues call(owner) on the owner's thread while there is one.
  void post(std::function<void(BackgroundJob&)> call) {
    const std::lock_guard lock(mutex);
    if (owner == nullptr) return;
    QMetaObject::invokeMethod(
        owner, [owner = owner, call = std::move(call)] { call(*owner); }, Qt::QueuedConnection);
  }
};

BackgroundJob::BackgroundJob(QObject* parent) : QObject(parent), link_(std::make_shared<Link>()) {
  link_->owner = this;
}

BackgroundJob::~BackgroundJob() {
  stop(stopped_ ? QDeadlineTimer(0) : QDeadlineTimer(kDestructorWaitMs));
  {
    const std::lock_guard lock(link_->mutex);
    link_->owner = nullptr;
  }
  // What is still running was called off: it writes nothing more, and its
  // Run and its data are its own.
  for (const std::shared_ptr<Run>& run : runs_) {
    if (run->thread.joinable()) run->thread.detach();
  }
}

bool BackgroundJob::launch(Body body) {
  if (current_) return false;
  stopped_ = false;  // a new job: the destructor waits for it again
  auto run = std::make_shared<Run>();
  // Runs on the job's threads; the progress reaches this object on the GUI
  // thread, and is shown only while `run` is still the current job.
  run->control.set_progress_sink(
      [link = link_, weak = std::weak_ptr<Run>(run)](int done, int total) {
        link->post([weak, done, total](BackgroundJob& job) {
          if (job.current_ && job.current_ == weak.lock()) Q_EMIT job.progress(done, total);
        });
      });
  current_ = run;
  runs_.push_back(run);
  // The job's thread: `run`, `body` and the link are its own, so it may
  // outlive this object.
  run->thread = std::thread([link = link_, run, body = std::move(body)]() mutable {
    const std::function<void()> finish = body(run->control);
    body = nullptr;  // the work's data goes with the work, on this thread
    run->finished.store(true);
    link->post([run, finish](BackgroundJob& job) { job.hand_over(run, finish); });
    {
      const std::lock_guard lock(run->mutex);
      run->ended = true;
    }
    run->ended_changed.notify_all();
  });
  return true;
}

void BackgroundJob::hand_over(const std::shared_ptr<Run>& run,
                              const std::function<void()>& finish) {
  if (run->thread.joinable()) run->thread.join();  // it has nothing left to do
  std::erase(runs_, run);
  if (current_ != run) return;  // called off: its result is dropped
  current_.reset();
  finish();
}

std::optional<JobTally> BackgroundJob::call_off() {
  if (!current_ || current_->finished.load()) return std::nullopt;
  const JobTally tally = current_->control.call_off();
  current_.reset();
  return tally;
}

bool BackgroundJob::stop(QDeadlineTimer deadline) {
  stopped_ = true;
  if (current_) current_->control.call_off();
  current_.reset();
  bool all_ended = true;
  for (const std::shared_ptr<Run>& run : runs_) {
    bool ended = false;
    {
      std::unique_lock lock(run->mutex);
      while (!run->ended) {
        if (deadline.isForever()) {
          run->ended_changed.wait(lock);
          continue;
        }
        const qint64 left = deadline.remainingTime();
        if (left <= 0) break;
        run->ended_changed.wait_for(lock, std::chrono::milliseconds(left));
      }
      ended = run->ended;
    }
    // An ended thread is joined now; its queued result is dropped later.
    if (ended && run->thread.joinable()) run->thread.join();
    all_ended = all_ended && ended;
  }
  return all_ended;
}

}  // namespace orvane
