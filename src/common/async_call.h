// AsyncCalls: work that must not run on the GUI thread (anything that waits on the engine),
// each call on a thread of its own, with its result handed back to the GUI thread as a queued
// call. A result whose receiver is gone, or that was called off with stop_all(), is dropped.
#pragma once

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <exception>
#include <memory>
#include <optional>
#include <stop_token>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

namespace orvane {

class AsyncCalls {
 public:
  AsyncCalls() = default;
  AsyncCalls(const AsyncCalls&) = delete;
  AsyncCalls& operator=(const AsyncCalls&) = delete;
  ~AsyncCalls() { stop_all(); }

  // Runs `work(stop_token)` on a new thread; its result goes to `deliver(result)` on the GUI
  // thread, unless `receiver` has been destroyed or stop_all() called by then. `work` must end
  // soon once its token is stopped (it ends its engine process through a std::stop_callback,
  // say) and reports its own failures in its result: an exception that escapes it drops the
  // result. Call from the GUI thread, with an application object.
  // A call started with `counted` false (a quick look-up) does not make busy() true.
  template <class Work, class Deliver>
  void start(QObject* receiver, Work work, Deliver deliver, bool counted = true) {
    using Result = std::invoke_result_t<Work&, std::stop_token>;
    forget_ended();
    auto state = std::make_shared<State>();
    state->counted = counted;
    auto handler = std::make_shared<Deliver>(std::move(deliver));
    QPointer<QObject> guard(receiver);
    std::jthread thread(
        [work = std::move(work), handler, guard, state](std::stop_token stop) mutable {
          std::shared_ptr<Result> result;
          {
            // What the work holds (an engine model, say) is released here, before the call counts
            // as ended, so that forgetting an ended call never waits for it.
            Work local = std::move(work);
            try {
              result = std::make_shared<Result>(local(stop));
            } catch (const std::exception& e) {
              std::fprintf(stderr, "A background call failed: %s\n", e.what());
            } catch (...) {
              std::fprintf(stderr, "A background call failed.\n");
            }
          }
          if (result) {
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [handler, guard, state, result] {
                  if (guard && !state->dropped) (*handler)(std::move(*result));
                  state->handled = true;
                },
                Qt::QueuedConnection);
          } else {
            state->handled = true;
          }
          state->ended = true;
        });
    calls_.push_back({std::move(thread), std::move(state)});
  }

  // Whether a call (with `counted_only`, a counted one) has not returned yet, or its result
  // not yet been handed over. GUI thread.
  bool busy(bool counted_only = true) const {
    return std::any_of(calls_.begin(), calls_.end(), [counted_only](const Call& call) {
      return (call.state->counted || !counted_only) && !call.state->handled.load();
    });
  }

  // Stops every call (its stop token), waits for each to return and drops every result not yet
  // delivered. GUI thread.
  void stop_all() {
    for (Call& call : calls_) {
      call.state->dropped = true;
      call.thread.request_stop();
    }
    calls_.clear();  // joins
  }

 private:
  struct State {
    std::atomic<bool> ended = false;
    std::atomic<bool> dropped = false;  // read on the GUI thread only
    // The result has been handed over or dropped, or there was none.
    std::atomic<bool> handled = false;
    bool counted = true;
  };
  struct Call {
    std::jthread thread;
    std::shared_ptr<State> state;
  };

  void forget_ended() {
    // A call whose result is being handed over right now stays until that is done.
    std::erase_if(calls_,
                  [](const Call& call) { return call.state->ended && call.state->handled; });
  }

  std::vector<Call> calls_;
};

}  // namespace orvane
