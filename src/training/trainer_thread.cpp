#include "training/trainer_thread.h"

#include <QDateTime>
#include <QDir>

#include "engine/checkpoint.h"
#include "training/eta.h"
#include "training/log_capture.h"

namespace orvane {

YoloTrainerThread::YoloTrainerThread(Engine& engine, QVariantMap params, QObject* parent)
    : QThread(parent), params(std::move(params)), engine_(engine) {}

YoloTrainerThread::~YoloTrainerThread() {
  is_stopped = true;
  abort();
  wait();
}

void YoloTrainerThread::stop() { is_stopped = true; }

bool YoloTrainerThread::end_unless_saving() {
  {
    std::lock_guard lock(save_mutex_);
    if (saving_) {
      end_after_save_ = true;
      return false;
    }
    // Decided under the lock: a write announced after this finds the process gone.
    abort();
  }
  return true;
}

void YoloTrainerThread::report_run_folder(const QString& save_dir, const std::set<int>& sent,
                                          const std::map<int, Trainer>& saves) {
  if (save_dir.isEmpty()) return;
  const int epochs = params.value(QStringLiteral("epochs")).toInt();
  for (EpochMetrics& epoch :
       read_results_csv(QDir(save_dir).filePath(QStringLiteral("results.csv")))) {
    if (sent.count(epoch.epoch) || epoch.epoch > epochs || epoch.values.empty()) continue;
    if (const auto save = saves.find(epoch.epoch); save != saves.end()) {
      epoch.engine_fitness = save->second.fitness;
      epoch.engine_best = save->second.best_fitness;
    }
    Q_EMIT epoch_metrics_signal(epoch);
  }
  const QStringList damaged = damaged_checkpoints(save_dir);
  if (!damaged.isEmpty()) Q_EMIT damaged_checkpoints_signal(damaged);
}

void YoloTrainerThread::run() {
  QString missing;
  if (!engine_installed(engine_, missing)) {
    if (!missing.isEmpty()) {
      Q_EMIT error_signal(missing);
    } else if (is_stopped) {
      // Ended before the engine answered: a STOP that could not wait for it, or closing.
      Q_EMIT stopped_signal();
    }
    return;
  }
  StreamToSignal stream([this](const QString& text) { Q_EMIT log_signal(text); });
  EngineOutput output(stream);
  const double start = QDateTime::currentMSecsSinceEpoch() / 1000.0;

  auto batch_end = [this](Trainer& trainer) {
    if (is_stopped) trainer.stop = true;
  };
  // What the engine said of the run, for report_run_folder: the run folder, the epochs sent,
  // the engine's fitness at each epoch's checkpoint write.
  QString save_dir;
  std::set<int> sent;
  std::map<int, Trainer> saves;
  auto epoch_end = [this, start, &sent](Trainer& trainer) {
    if (is_stopped) trainer.stop = true;
    // An epoch outside the run (the engine's own numbers, or a trainer altered by a callback)
    // would show as "Epoch -6/-1" or stretch the charts: it is left out.
    const std::optional<int> epoch = run_epoch(trainer.epoch, trainer.epochs);
    if (!epoch) return;
    const double now = QDateTime::currentMSecsSinceEpoch() / 1000.0;
    const EpochReport report = epoch_report(*epoch, trainer.epochs, now - start);
    Q_EMIT progress_signal(report.percent, report.text, QString());
    EpochMetrics metrics = epoch_metrics(*epoch, trainer.metrics);
    metrics.engine_fitness = trainer.fitness;
    metrics.engine_best = trainer.best_fitness;
    if (metrics.values.empty()) return;
    sent.insert(*epoch);
    Q_EMIT epoch_metrics_signal(metrics);
  };
  // The engine waits for save_start's answer before it writes: a STOP that has to end the
  // process waits for the write instead (end_unless_saving).
  auto save_start = [this, &save_dir, &saves](Trainer& trainer) {
    if (!trainer.save_dir.isEmpty()) save_dir = trainer.save_dir;
    if (const std::optional<int> epoch = run_epoch(trainer.epoch, trainer.epochs))
      saves[*epoch] = trainer;
    std::lock_guard lock(save_mutex_);
    saving_ = true;
  };
  auto save_end = [this](Trainer&) {
    std::lock_guard lock(save_mutex_);
    saving_ = false;
    if (end_after_save_) abort();
  };

  // Signals after the output's last piece, so the console is complete when they arrive.
  std::function<void()> outcome;
  std::unique_ptr<Model> model;  // outlives the catch blocks: abort() may still reach it
  try {
    QVariantMap args = params;
    const QString model_path = args.take(QStringLiteral("model_path")).toString();
    const QVariant data = args.take(QStringLiteral("data_yaml"));
    args[QStringLiteral("data")] = data;
    model = load_job_model(engine_, model_path,
                           [&output](const QByteArray& bytes) { output.feed(bytes); });
    model->add_callback(QStringLiteral("on_train_batch_end"), batch_end);
    model->add_callback(QStringLiteral("on_fit_epoch_end"), epoch_end);
    model->add_callback(QStringLiteral("save_start"), save_start);
    model->add_callback(QStringLiteral("save_end"), save_end);
    args[QStringLiteral("exist_ok")] = true;
    args[QStringLiteral("verbose")] = true;
    const TrainResult result = model->train(args);
    if (!result.save_dir.isEmpty()) save_dir = result.save_dir;
    report_run_folder(save_dir, sent, saves);
    save_dir.clear();  // reported
    if (is_stopped) {
      outcome = [this] { Q_EMIT stopped_signal(); };
    } else {
      const QString run_dir = result.save_dir;
      output.finish();
      Q_EMIT progress_signal(100, QStringLiteral("Evaluating Validation Metrics..."), QString());
      model->load(QDir(run_dir).filePath(QStringLiteral("weights/best.pt")));
      // The engine's own default is runs/<task>/val below the program's working folder: the
      // validation goes into the run folder instead.
      const QVariantMap metrics = model->val({{QStringLiteral("data"), data},
                                              {QStringLiteral("imgsz"), params["imgsz"]},
                                              {QStringLiteral("device"), params["device"]},
                                              {QStringLiteral("project"), run_dir},
                                              {QStringLiteral("name"), QStringLiteral("val")},
                                              {QStringLiteral("exist_ok"), true}});
      const QVariantMap finished{{QStringLiteral("metrics"), metrics},
                                 {QStringLiteral("save_dir"), run_dir}};
      outcome = [this, finished] { Q_EMIT finished_signal(finished); };
    }
  } catch (const EngineError& e) {
    // A STOP that the engine did not heed in time ended its process: the run is stopped.
    const QString message = e.message();
    if (is_stopped) {
      outcome = [this] { Q_EMIT stopped_signal(); };
    } else {
      outcome = [this, message] { Q_EMIT error_signal(message); };
    }
  }
  release_job_model();
  model.reset();
  output.finish();
  report_run_folder(save_dir, sent, saves);  // a run that ended in the middle
  outcome();
}

}  // namespace orvane
