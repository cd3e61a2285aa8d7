#include "training/tuner_thread.h"

#include <QDir>
#include <QElapsedTimer>

#include "training/log_capture.h"
#include "training/tune_result.h"

namespace orvane {

YoloTunerThread::YoloTunerThread(Engine& engine, QVariantMap params, QObject* parent)
    : QThread(parent), params(std::move(params)), engine_(engine) {}

YoloTunerThread::~YoloTunerThread() {
  abort();
  wait();
}

void YoloTunerThread::stop() {
  stopped_ = true;
  abort();  // the search has no step at which it could be asked to end by itself
}

void YoloTunerThread::run() {
  QString missing;
  if (!engine_installed(engine_, missing)) {
    if (stopped_)
      Q_EMIT stopped_signal();
    else if (!missing.isEmpty())
      Q_EMIT error_signal(missing);
    return;
  }
  const QString project =
      QDir::current().absoluteFilePath(params.value(QStringLiteral("project")).toString());
  // Only a file this search writes counts: an older search's result must not be applied, nor
  // its trials shown.
  const TuneFiles before = list_tune_results(project);
  const TuneFiles trials_before = list_trial_results(project);
  qsizetype trials_sent = 0;
  // The tuner appends a trial to its results file before it reports the trial.
  const auto send_trials = [&] {
    const QString file = newest_trial_results(project, trials_before);
    if (file.isEmpty()) return;
    const TrialResults trials = read_trial_results(file);
    if (trials.size() <= trials_sent) return;
    trials_sent = trials.size();
    Q_EMIT trials_signal(trials);
  };
  // The estimate: the first epoch is timed from the first trial's results file, looked at
  // while the engine writes (at most twice a second); the trials that ended time the rest.
  const int epochs = params.value(QStringLiteral("epochs")).toInt();
  const QStringList runs_before = list_run_folders(project);
  QElapsedTimer clock;
  clock.start();
  std::optional<double> first_epoch;
  qint64 looked_at = -1000;
  const auto send_estimate = [&](int trials_done) {
    const std::optional<double> left = search_seconds_left(kIterations, epochs, trials_done,
                                                           first_epoch, clock.elapsed() / 1000.0);
    if (left) Q_EMIT estimate_signal(time_left_text(*left));
  };
  TuneProgress trials;
  StreamToSignal stream([&](const QString& text) {
    Q_EMIT log_signal(text);
    if (trials.feed(text)) {
      send_trials();
      Q_EMIT trial_signal(trials.finished(), kIterations);
      if (trials.finished() < kIterations) send_estimate(trials.finished());
    } else if (!first_epoch && trials.finished() == 0 && clock.elapsed() - looked_at >= 500) {
      looked_at = clock.elapsed();
      first_epoch = first_epoch_seconds(project, runs_before);
      if (first_epoch) send_estimate(0);
    }
  });
  EngineOutput output(stream);

  std::function<void()> outcome;
  std::unique_ptr<Model> model;  // outlives the catch blocks: abort() may still reach it
  try {
    model = load_job_model(engine_, params.value(QStringLiteral("model_path")).toString(),
                           [&output](const QByteArray& bytes) { output.feed(bytes); });
    QVariantMap args{{QStringLiteral("data"), params.value(QStringLiteral("data_yaml"))},
                     {QStringLiteral("epochs"), params.value(QStringLiteral("epochs"))},
                     {QStringLiteral("iterations"), kIterations},
                     {QStringLiteral("optimizer"),
                      params.value(QStringLiteral("optimizer"), QStringLiteral("auto"))},
                     {QStringLiteral("project"), params.value(QStringLiteral("project"))},
                     {QStringLiteral("name"), params.value(QStringLiteral("name"))},
                     {QStringLiteral("plots"), false},
                     {QStringLiteral("save"), false},
                     {QStringLiteral("exist_ok"), true}};
    // The trials train at the tab's size, batch and workers, as a training run does; the
    // engine's own defaults (640, 8 workers) take hours on a laptop.
    for (const char* key : {"imgsz", "batch", "workers"})
      if (params.contains(QLatin1String(key)))
        args.insert(QLatin1String(key), params.value(QLatin1String(key)));
    model->tune(args);
    const QString file = newest_tune_result(project, before);
    if (file.isEmpty()) {
      outcome = [this] {
        Q_EMIT error_signal(
            QStringLiteral("AutoML tuning failed to generate hyperparameter manifest."));
      };
    } else {
      const QVariantMap values = read_tune_result(file);
      outcome = [this, values] { Q_EMIT finished_signal(values); };
    }
  } catch (const EngineError& e) {
    const QString message = e.message();
    outcome = [this, message] { Q_EMIT error_signal(message); };
  } catch (const std::exception& e) {
    const QString message = QString::fromStdString(e.what());
    outcome = [this, message] { Q_EMIT error_signal(message); };
  }
  release_job_model();
  model.reset();
  output.finish();
  send_trials();
  // A search stopped as it ended applies nothing either: the user asked it off.
  if (stopped_) outcome = [this] { Q_EMIT stopped_signal(); };
  outcome();
}

}  // namespace orvane
