// The one runner of the batch jobs (resizing, tiling, augmenting, exporting):
// items are worked on in parallel while their results, failures and progress
// come one by one in item order, as from a plain loop. An item whose work
// throws is a failure of that item, never the end of the batch.
#pragma once

#include <QString>
#include <QStringList>
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

namespace orvane {

// Worker threads a batch job uses: one per core.
inline int batch_threads() {
  return std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
}

// The reason to give for the exception being handled (call in a catch block):
// OpenCV's own message, "not enough memory", or the exception's text.
QString current_exception_reason();

struct JobOptions {
  int threads = 0;  // 0: batch_threads(); 1: everything on the calling thread
  // Items being worked on or waiting for delivery at most (0: twice the
  // threads). Bounds memory when results are large (decoded images).
  int window = 0;
  // Cancel: once set (from any thread), no item starts and no result is
  // delivered any more; items already started are finished and dropped.
  const std::atomic<bool>* stop = nullptr;
  // Called on the calling thread after each item is handed over (delivered
  // or failed), with the number handed over so far: a job run on a worker
  // thread can pass it on as a queued signal.
  std::function<void(int done, int total)> progress;
};

struct JobEnd {
  int done = 0;          // items handed to deliver or fail
  bool stopped = false;  // ended early by the stop flag
};

// Runs work(i) for every i in [0, count) on worker threads and hands each
// outcome to the calling thread in index order, as soon as it and every one
// before it are done: deliver(i, result) when work returned, fail(i, reason)
// when it threw. `work` must not touch widgets. An exception thrown by
// deliver, fail or progress ends the job: the workers are stopped and joined,
// then the exception reaches the caller.
template <class Work, class Deliver, class Fail>
JobEnd run_job(int count, Work&& work, Deliver&& deliver, Fail&& fail,
               const JobOptions& options = {}) {
  using Result = std::decay_t<std::invoke_result_t<Work&, int>>;
  struct Outcome {
    std::optional<Result> result;
    QString error;
  };
  const auto run_one = [&work](int i) {  // any thread
    Outcome outcome;
    try {
      outcome.result.emplace(work(i));
    } catch (...) {
      outcome.error = current_exception_reason();
    }
    return outcome;
  };
  const auto stop_requested = [&options] {
    return options.stop != nullptr && options.stop->load(std::memory_order_relaxed);
  };
  JobEnd end;
  const auto hand_over = [&](int i, Outcome& outcome) {  // calling thread
    if (outcome.result) {
      deliver(i, std::move(*outcome.result));
    } else {
      fail(i, outcome.error);
    }
    end.done = i + 1;
    if (options.progress) options.progress(end.done, count);
  };
  if (count <= 0) return end;
  int threads = options.threads <= 0 ? batch_threads() : options.threads;
  threads = std::min(threads, count);
  if (threads <= 1) {
    for (int i = 0; i < count; ++i) {
      if (stop_requested()) {
        end.stopped = true;
        break;
      }
      Outcome outcome = run_one(i);
      hand_over(i, outcome);
    }
    return end;
  }
  const int window = std::max(options.window <= 0 ? threads * 2 : options.window, threads);

  // Shared state, guarded by `mutex`.
  struct State {
    std::mutex mutex;
    std::condition_variable ready;  // a result arrived, or the workers stopped taking items
    std::condition_variable room;   // a delivery freed a place in the window, or the job ends
    std::vector<std::optional<Outcome>> results;
    int next = 0;          // next item to start
    int delivered = 0;     // items handed over
    bool closed = false;   // the stop flag was seen: no item starts any more
    bool abandon = false;  // the calling thread has left the delivery loop
  } state;
  state.results.resize(static_cast<size_t>(count));

  const auto worker = [&] {
    for (;;) {
      int i = 0;
      {
        std::unique_lock lock(state.mutex);
        state.room.wait(lock, [&] {
          return state.abandon || state.closed || state.next >= count ||
                 state.next < state.delivered + window;
        });
        if (state.abandon || state.closed || state.next >= count) return;
        if (stop_requested()) {
          state.closed = true;
          lock.unlock();
          state.ready.notify_all();
          state.room.notify_all();
          return;
        }
        i = state.next++;
      }
      Outcome outcome = run_one(i);
      {
        std::lock_guard lock(state.mutex);
        state.results[static_cast<size_t>(i)].emplace(std::move(outcome));
      }
      state.ready.notify_all();
    }
  };

  // Joins the workers however the calling thread leaves: a thread that is
  // still joinable when destroyed would end the program.
  struct Pool {
    State& state;
    std::vector<std::thread> threads;
    ~Pool() {
      {
        std::lock_guard lock(state.mutex);
        state.abandon = true;
      }
      state.room.notify_all();
      for (std::thread& thread : threads) thread.join();
    }
  } pool{state, {}};
  pool.threads.reserve(static_cast<size_t>(threads));
  for (int t = 0; t < threads; ++t) pool.threads.emplace_back(worker);

  for (int i = 0; i < count; ++i) {
    Outcome outcome;
    {
      std::unique_lock lock(state.mutex);
      auto& slot = state.results[static_cast<size_t>(i)];
      state.ready.wait(lock, [&] { return slot.has_value() || (state.closed && i >= state.next); });
      if (!slot.has_value()) {
        end.stopped = true;
        break;
      }
      outcome = std::move(*slot);
      slot.reset();
    }
    if (stop_requested()) {
      end.stopped = true;
      break;
    }
    hand_over(i, outcome);
    {
      std::lock_guard lock(state.mutex);
      state.delivered = i + 1;
    }
    state.room.notify_all();
  }
  return end;
}

// Working buffers handed from item to item, so each worker reuses one set
// rather than allocating (and faulting in) large images for every item. A
// set whose item threw is simply not given back. Any thread.
template <class Scratch>
class ScratchPool {
 public:
  std::unique_ptr<Scratch> take() {
    const std::lock_guard lock(mutex_);
    if (idle_.empty()) return std::make_unique<Scratch>();
    std::unique_ptr<Scratch> scratch = std::move(idle_.back());
    idle_.pop_back();
    return scratch;
  }
  void give_back(std::unique_ptr<Scratch> scratch) {
    const std::lock_guard lock(mutex_);
    idle_.push_back(std::move(scratch));
  }

 private:
  std::mutex mutex_;
  std::vector<std::unique_ptr<Scratch>> idle_;
};

// The listing of a job's failures for its closing message: the first
// `listed` lines, each on a line of its own, then "... and N more." for the
// rest. Empty for no failures.
QString failure_listing(const QStringList& failures, int listed);

// The closing message's note when the final flush of the written files failed.
QString flush_failure_text(const QString& reason);

}  // namespace orvane
