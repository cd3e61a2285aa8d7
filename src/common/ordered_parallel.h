// A parallel loop whose outcome is that of a plain in-order loop: batch jobs
// (resizing, tiling, augmenting) work on several items at once while their
// results, messages and progress still come one by one in item order.
#pragma once

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <type_traits>
#include <vector>

namespace orvane {

// Worker threads a batch job uses: one per core.
inline int batch_threads() {
  return std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
}

// Runs work(i) for every i in [0, count) on up to `threads` threads and hands
// each result to deliver(i, result) on the calling thread in index order, as
// soon as it and every result before it are done. At most `window` items are
// being worked on or waiting for delivery at any time, which bounds memory
// when results are large (decoded images). `work` runs on worker threads and
// must neither throw nor touch widgets; `deliver` runs on the calling thread.
// With threads == 1 everything runs on the calling thread.
template <class Work, class Deliver>
void ordered_parallel(int count, Work&& work, Deliver&& deliver, int threads = 0, int window = 0) {
  using Result = std::decay_t<std::invoke_result_t<Work&, int>>;
  if (count <= 0) return;
  if (threads <= 0) threads = batch_threads();
  threads = std::min(threads, count);
  if (threads <= 1) {
    for (int i = 0; i < count; ++i) deliver(i, work(i));
    return;
  }
  window = std::max(window <= 0 ? threads * 2 : window, threads);

  std::mutex mutex;
  std::condition_variable ready;  // a result arrived
  std::condition_variable room;   // a delivery freed a place in the window
  std::vector<std::optional<Result>> results(static_cast<size_t>(count));
  int next = 0;       // next item to start
  int delivered = 0;  // items handed to deliver

  auto worker = [&] {
    for (;;) {
      int i = 0;
      {
        std::unique_lock lock(mutex);
        room.wait(lock, [&] { return next >= count || next < delivered + window; });
        if (next >= count) return;
        i = next++;
      }
      Result result = work(i);
      {
        std::lock_guard lock(mutex);
        results[static_cast<size_t>(i)].emplace(std::move(result));
      }
      ready.notify_all();
    }
  };
  std::vector<std::thread> pool;
  pool.reserve(static_cast<size_t>(threads));
  for (int t = 0; t < threads; ++t) pool.emplace_back(worker);

  for (int i = 0; i < count; ++i) {
    std::optional<Result> result;
    {
      std::unique_lock lock(mutex);
      auto& slot = results[static_cast<size_t>(i)];
      ready.wait(lock, [&] { return slot.has_value(); });
      result.swap(slot);
    }
    deliver(i, std::move(*result));
    {
      std::lock_guard lock(mutex);
      delivered = i + 1;
    }
    room.notify_all();
  }
  for (std::thread& thread : pool) thread.join();
}

}  // namespace orvane
