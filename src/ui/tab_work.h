// Everything one tab runs in the background, with one life: its batch job
// (the progress bar, the start button reading "Cancel", the closing
// message), its calls that wait on the engine (with the model it keeps
// loaded), and its worker threads. The window asks each tab's TabWork whether
// anything runs and stops them all through it. New background work of a tab
// goes through here.
#pragma once

#include <QDeadlineTimer>
#include <QLabel>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QThread>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "common/async_call.h"
#include "common/background_job.h"
#include "ui/job_progress.h"

class QProgressBar;
class QPushButton;

namespace orvane {

class Dialogs;
class Engine;
class Model;
struct EngineProbe;

class TabWork : public QObject {
  Q_OBJECT

 public:
  // `tab` parents the messages and receives the results.
  TabWork(QWidget* tab, Dialogs& dialogs);
  // Stops everything, waiting for the job's threads up to 2 s.
  ~TabWork() override;

  // --- The batch job: one at a time.

  // The bar that counts the job's items (bound once, when the tab is built).
  // With `hide_when_idle` it shows only while a job runs.
  void bind_progress(QProgressBar* bar, bool hide_when_idle);
  // `button` runs `start` when clicked, and cancels the job while one runs
  // (the button then reads "Cancel").
  void bind_start(QPushButton* button, std::function<void()> start);

  // How a job shows itself while it runs and when it is called off.
  struct JobFace {
    QPushButton* button = nullptr;  // reads "Cancel" until the job ends
    int total = 0;                  // items; 0 until known
    QList<QPushButton*> disabled;   // other buttons, disabled meanwhile, then as they were
    QString cancelled_title;        // the box shown on Cancel
    std::function<QString(const JobTally&, int total)> cancelled;  // its text
    QString stopped;  // "The batch stopped: %1", for a job whose work threw
  };

  // Cancel's text from a pattern of the items written (%1) and the total (%2):
  // "Cancelled: %1 of %2 images written.".
  static std::function<QString(const JobTally&, int total)> items_of_total(QString pattern) {
    return [pattern = std::move(pattern)](const JobTally& tally, int total) {
      return pattern.arg(tally.items).arg(total);
    };
  }

  // Runs work(JobControl&) on a thread of its own, then done(result) on the
  // GUI thread, which shows the closing message. `work` gets its settings by
  // value and never touches a widget. False, starting nothing, while a job
  // runs.
  template <class Work, class Done>
  bool start_job(JobFace face, Work work, Done done);
  bool job_running() const { return job_.running(); }
  // Calls the job off at once and says what it had written.
  void cancel_job();

  // --- Calls that wait on the engine (or on a disk), off the GUI thread.

  // Runs work(std::stop_token) on a thread of its own and deliver(result)
  // on the GUI thread; stop() drops results not yet delivered.
  template <class Work, class Deliver>
  void call(Work work, Deliver deliver) {
    calls_.start(tab_, std::move(work), std::move(deliver));
  }
  // As call(), for a quick look-up (a folder listing, a decode for the view)
  // that running() does not count: closing need not ask about it.
  template <class Work, class Deliver>
  void look_up(Work work, Deliver deliver) {
    calls_.start(tab_, std::move(work), std::move(deliver), false);
  }

  // "Loading model..." and the like on `label` while the tab waits;
  // `disabled` (may be null) is disabled meanwhile. end_waiting() puts back
  // what the label said, unless the tab wrote something else there since.
  void show_waiting(QLabel* label, const QString& text, QWidget* disabled);
  void end_waiting();
  bool waiting() const { return waiting_.label != nullptr; }

  // Runs ready(probe) once the engine's look-up has answered: at once when it
  // has, else after a wait off the GUI thread with "Waiting for the YOLO
  // engine..." on `label` (or only `disabled` greyed, for a null label).
  // Nothing when the tab is stopped first.
  void when_engine_known(Engine& engine, QLabel* label, QWidget* disabled,
                         std::function<void(const EngineProbe&)> ready);
  // As when_engine_known(), but an engine that is not installed is said in a
  // box ("Error", `missing` with the cause below it) instead.
  void with_engine(Engine& engine, QLabel* label, QWidget* disabled, const QString& missing,
                   std::function<void()> ready);

  // --- The model the tab keeps loaded in an engine process of its own.

  // `slot` is the tab's member that holds the loaded model.
  void bind_model(std::shared_ptr<Model>* slot) { model_ = slot; }
  // Loads `path` in a new engine process off the GUI thread ("Loading
  // model..." on `label`). Once loaded, it replaces the old model, whose
  // process ends, and `loaded()` runs; a failure is shown in a box and the
  // old model stays. Nothing while a load runs.
  void load_model(Engine& engine, const QString& path, QLabel* label, QWidget* disabled,
                  std::function<void()> loaded);
  // Counts model changes and newer requests: a result asked for under an
  // older generation is not applied.
  quint64 generation() const { return generation_; }
  quint64 next_generation() { return ++generation_; }
  // Ends the loaded model's process and forgets it.
  void retire_model();

  // --- The tab's worker threads (the engine jobs that are QThreads).

  // Makes `worker` the tab's newest (`current`, a member of the tab); the one
  // it replaces is deleted once it has ended. stop() aborts and waits for
  // each.
  template <class Thread>
  void adopt(Thread*& current, Thread* worker);

  // --- All of it.

  // A job, a call, a wait or a worker thread is running.
  bool running() const;
  // Nothing runs, not even a look-up.
  bool settled() const { return !running() && !calls_.busy(false); }
  // Calls off the job (with its message), every call and every worker.
  void cancel();
  // Calls everything off without a word and waits for the threads until
  // `deadline`; then `stopped()`. True when they all ended.
  bool stop(QDeadlineTimer deadline);

 Q_SIGNALS:
  // On the GUI thread, once a job's closing message has been shown
  // (finished, cancelled or failed), or it was stopped.
  void job_finished();
  // stop() or cancel() has ended the tab's work: the tab puts back its own
  // face (a busy cursor, a flag of a call in flight).
  void stopped();

 private:
  struct Worker {
    QPointer<QThread> thread;
    std::function<void()> abort;  // ends its engine process; any thread
  };
  void begin_job(const JobFace& face);
  void end_job(bool called_off = false);
  void show_job_failure(const QString& text);
  void end_calls();
  bool end_workers(QDeadlineTimer deadline);

  QWidget* tab_;
  Dialogs& dialogs_;
  BackgroundJob job_;
  JobProgress progress_;
  JobFace face_;                                                      // of the running job
  std::vector<std::pair<QPointer<QPushButton>, bool>> were_enabled_;  // face_.disabled before
  AsyncCalls calls_;
  struct Waiting {
    QPointer<QLabel> label;
    QPointer<QWidget> disabled;
    QString text, before, style_before;
  } waiting_;
  std::shared_ptr<Model>* model_ = nullptr;
  bool loading_ = false;
  quint64 generation_ = 0;
  std::vector<Worker> workers_;
};

template <class Work, class Done>
bool TabWork::start_job(JobFace face, Work work, Done done) {
  if (job_.running()) return false;
  begin_job(face);
  return job_.start(
      std::move(work),
      [this, done = std::move(done)](const auto& result) {
        end_job();
        done(result);
        Q_EMIT job_finished();
      },
      [this](const QString& reason) {
        const QString stopped = face_.stopped;
        end_job();
        show_job_failure(stopped.arg(reason));
        Q_EMIT job_finished();
      });
}

template <class Thread>
void TabWork::adopt(Thread*& current, Thread* worker) {
  if (current && current->isFinished()) current->deleteLater();
  current = worker;
  std::erase_if(workers_, [](const Worker& w) { return w.thread.isNull(); });
  QPointer<Thread> guard(worker);
  workers_.push_back({QPointer<QThread>(worker), [guard] {
                        if (!guard) return;
                        if constexpr (requires { guard->stop(); }) guard->stop();
                        guard->abort();
                      }});
  connect(worker, &QThread::finished, tab_, [&current, guard] {
    if (guard && guard.data() != current) guard->deleteLater();
  });
}

}  // namespace orvane
