#include "ui/tab_work.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QWidget>
#include <optional>

#include "engine/engine.h"
#include "ui/dialogs.h"

namespace orvane {

TabWork::TabWork(QWidget* tab, Dialogs& dialogs) : QObject(tab), tab_(tab), dialogs_(dialogs) {
  connect(&job_, &BackgroundJob::progress, this,
          [this](int done, int total) { progress_.show(done, total); });
}

TabWork::~TabWork() {
  // The tab's widgets are going: nothing more reaches them.
  disconnect();
  end_calls();
  if (model_ && *model_) retire_model();
  for (const Worker& worker : workers_) {
    if (!worker.thread) continue;
    worker.thread->disconnect(tab_);
    worker.abort();
    worker.thread->wait();
  }
}

void TabWork::bind_progress(QProgressBar* bar, bool hide_when_idle) {
  progress_.bind(bar, hide_when_idle);
}

void TabWork::bind_start(QPushButton* button, std::function<void()> start) {
  connect(button, &QPushButton::clicked, this, [this, start = std::move(start)] {
    if (job_.running()) {
      cancel_job();
    } else {
      start();
    }
  });
}

void TabWork::begin_job(const JobFace& face) {
  face_ = face;
  // Each comes back as it was: a button that had nothing to do stays disabled.
  were_enabled_.clear();
  for (QPushButton* other : face_.disabled) {
    were_enabled_.emplace_back(other, other->isEnabled());
    other->setEnabled(false);
  }
  progress_.begin(face_.button, face_.total);
}

void TabWork::end_job(bool called_off) {
  progress_.end(called_off);
  for (const auto& [other, was_enabled] : std::exchange(were_enabled_, {})) {
    if (other) other->setEnabled(was_enabled);
  }
}

void TabWork::show_job_failure(const QString& text) {
  dialogs_.critical(tab_, QStringLiteral("Error"), text);
}

void TabWork::cancel_job() {
  const std::optional<JobTally> tally = job_.call_off();
  if (!tally) return;
  end_job(true);
  dialogs_.information(tab_, face_.cancelled_title, face_.cancelled(*tally, face_.total));
  Q_EMIT job_finished();
}

void TabWork::show_waiting(QLabel* label, const QString& text, QWidget* disabled) {
  if (waiting()) end_waiting();
  waiting_ = {label, disabled, text, label->text(), label->styleSheet()};
  if (disabled) disabled->setEnabled(false);
  label->setText(text);
}

void TabWork::end_waiting() {
  Waiting was = std::exchange(waiting_, {});
  if (was.disabled) was.disabled->setEnabled(true);
  // Another image or position shown meanwhile has put its own text there.
  if (was.label && was.label->text() == was.text) {
    was.label->setText(was.before);
    was.label->setStyleSheet(was.style_before);
  }
}

void TabWork::when_engine_known(Engine& engine, QLabel* label, QWidget* disabled,
                                std::function<void(const EngineProbe&)> ready) {
  if (const std::optional<EngineProbe> probe = engine.probe_result()) {
    ready(*probe);
    return;
  }
  // The look-up may take long or never answer: the window stays usable.
  if (label) {
    show_waiting(label, QStringLiteral("Waiting for the YOLO engine..."), disabled);
  } else if (disabled) {
    disabled->setEnabled(false);
  }
  call([&engine](std::stop_token stop) { return engine.wait_for_probe(stop); },
       [this, &engine, label, disabled = QPointer<QWidget>(disabled),
        ready = std::move(ready)](bool answered) {
         if (label) {
           end_waiting();
         } else if (disabled) {
           disabled->setEnabled(true);
         }
         if (answered) ready(*engine.probe_result());
       });
}

void TabWork::with_engine(Engine& engine, QLabel* label, QWidget* disabled, const QString& missing,
                          std::function<void()> ready) {
  when_engine_known(
      engine, label, disabled, [this, missing, ready = std::move(ready)](const EngineProbe& probe) {
        if (probe.has_yolo) {
          ready();
        } else {
          dialogs_.critical(tab_, QStringLiteral("Error"), engine_missing_message(probe, missing));
        }
      });
}

void TabWork::load_model(Engine& engine, const QString& path, QLabel* label, QWidget* disabled,
                         std::function<void()> loaded) {
  if (loading_) return;
  loading_ = true;
  show_waiting(label, QStringLiteral("Loading model..."), disabled);
  call(
      // Worker thread. The model stays loaded in its engine process, so later predictions do
      // not load it again.
      [&engine, path](std::stop_token stop) { return load_shared_model(engine, path, stop); },
      [this, loaded = std::move(loaded)](const SharedModelLoad& outcome) {
        loading_ = false;
        end_waiting();
        if (!outcome.model) {
          // The previous model, if any, stays loaded and usable.
          dialogs_.critical(tab_, QStringLiteral("Error"), outcome.error);
          return;
        }
        retire_model();
        *model_ = outcome.model;
        loaded();
      });
}

void TabWork::retire_model() {
  // A prediction of the old model still running fails now; its result is not applied.
  ++generation_;
  if (!model_ || !*model_) return;
  (*model_)->kill();
  model_->reset();
}

void TabWork::end_calls() {
  // Each call in flight ends its engine process as it is stopped; its result is dropped.
  calls_.stop_all();
  loading_ = false;
  if (waiting()) end_waiting();
}

bool TabWork::end_workers(QDeadlineTimer deadline) {
  std::erase_if(workers_, [](const Worker& w) { return w.thread.isNull(); });
  // All are called off first, then waited for.
  for (const Worker& worker : workers_) {
    // Nothing more from it reaches the tab (closing must not show a stopped job's error).
    worker.thread->disconnect(tab_);
    worker.abort();
  }
  bool all_ended = true;
  for (const Worker& worker : workers_) all_ended = worker.thread->wait(deadline) && all_ended;
  return all_ended;
}

bool TabWork::running() const {
  if (job_.running() || loading_ || waiting() || calls_.busy()) return true;
  for (const Worker& worker : workers_) {
    if (worker.thread && worker.thread->isRunning()) return true;
  }
  return false;
}

void TabWork::cancel() {
  cancel_job();
  end_calls();
  end_workers(QDeadlineTimer(0));
  Q_EMIT stopped();
}

bool TabWork::stop(QDeadlineTimer deadline) {
  const bool job_was_running = job_.running();
  bool ended = job_.stop(deadline);
  if (job_was_running) {
    end_job();
    Q_EMIT job_finished();
  }
  end_calls();
  if (model_ && *model_) retire_model();
  ended = end_workers(deadline) && ended;
  Q_EMIT stopped();
  return ended;
}

}  // namespace orvane
