#include "training/tuner_thread.h"

#include <QDir>

#include "training/log_capture.h"
#include "training/tune_result.h"

namespace orvane {

YoloTunerThread::YoloTunerThread(Engine& engine, QVariantMap params, QObject* parent)
    : QThread(parent), params(std::move(params)), engine_(engine) {}

YoloTunerThread::~YoloTunerThread() {
  abort();
  wait();
}

void YoloTunerThread::run() {
  QString missing;
  if (!engine_installed(engine_, missing)) {
    if (!missing.isEmpty()) Q_EMIT error_signal(missing);
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
  TuneProgress trials;
  StreamToSignal stream([this, &trials, &send_trials](const QString& text) {
    Q_EMIT log_signal(text);
    if (trials.feed(text)) {
      send_trials();
      Q_EMIT trial_signal(trials.finished(), kIterations);
    }
  });
  EngineOutput output(stream);

  std::function<void()> outcome;
  std::unique_ptr<Model> model;  // outlives the catch blocks: abort() may still reach it
  try {
    model = load_job_model(engine_, params.value(QStringLiteral("model_path")).toString(),
                           [&output](const QByteArray& bytes) { output.feed(bytes); });
    model->tune({{QStringLiteral("data"), params.value(QStringLiteral("data_yaml"))},
                 {QStringLiteral("epochs"), params.value(QStringLiteral("epochs"))},
                 {QStringLiteral("iterations"), kIterations},
                 {QStringLiteral("optimizer"),
                  params.value(QStringLiteral("optimizer"), QStringLiteral("auto"))},
                 {QStringLiteral("project"), params.value(QStringLiteral("project"))},
                 {QStringLiteral("name"), params.value(QStringLiteral("name"))},
                 {QStringLiteral("plots"), false},
                 {QStringLiteral("save"), false},
                 {QStringLiteral("exist_ok"), true}});
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
  outcome();
}

}  // namespace orvane
