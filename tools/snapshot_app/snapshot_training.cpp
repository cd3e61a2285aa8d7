#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QMainWindow>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <cstdio>

#include "app/main_window.h"
#include "engine/python_engine.h"
#include "fixtures/standin_engine.h"
#include "snapshot.h"
#include "theme/stylesheet.h"
#include "training/config_tab.h"
#include "training/progress_tab.h"
#include "ui/dialogs.h"

using namespace orvane;

namespace {

// Runs the event loop until `signal` of `sender` fires or `timeout_ms` passes.
template <typename Sender, typename Signal>
void wait_for(Sender* sender, Signal signal, int timeout_ms) {
  QEventLoop loop;
  QObject::connect(sender, signal, &loop, &QEventLoop::quit);
  QTimer::singleShot(timeout_ms, &loop, &QEventLoop::quit);
  loop.exec();
}

// Message boxes would wait for a click: the scene only records them.
class QuietDialogs : public Dialogs {
 public:
  void information(QWidget*, const QString&, const QString&) override {}
  void critical(QWidget*, const QString& title, const QString& text) override {
    std::fprintf(stderr, "snapshot: %s: %s\n", qPrintable(title), qPrintable(text));
  }
};

}  // namespace

// Both training tabs in the dark theme: the configuration, the progress tab during a run of
// the stand-in engine (console text, epoch status, the live metrics filling), and after it with
// the run's plots; the live metrics of the finished run in both themes, and of an AutoML search.
void snapshot_training(const SnapshotContext& context) {
  const QString previous_style = qApp->styleSheet();
  const QString previous_dir = QDir::currentPath();
  qApp->setStyleSheet(get_stylesheet(true));
  QDir::setCurrent(context.work_dir);

  QFile data("data.yaml");
  data.open(QIODevice::WriteOnly);
  data.write("path: .\ntrain: images\nval: images\nnames: [person, car]\n");
  data.close();
  QFile model("snapshot_model.pt");
  model.open(QIODevice::WriteOnly);
  model.write(QJsonDocument(QJsonObject{{"standin_model", 1},
                                        {"task", "segment"},
                                        {"batch_delay", 0.03},
                                        {"batches", 6},
                                        {"redraws", 3},
                                        {"trial_delay", 0.05}})
                  .toJson());
  model.close();

  const PythonEngineOptions options = standin_options();
  PythonEngine engine(options);
  QuietDialogs dialogs;
  // Hosted as the window hosts them: pages of a tab widget in a main window.
  QMainWindow host;
  auto* tabs = new QTabWidget;
  host.setCentralWidget(tabs);
  host.resize(1300, 800);
  auto* progress_page = new ProgressTab(dialogs, engine);
  auto* config_page = new ConfigTab(dialogs, engine);
  ProgressTab& progress = *progress_page;
  ConfigTab& config = *config_page;
  tabs->addTab(config_page, QStringLiteral("YOLO Configuration && AutoML"));
  tabs->addTab(progress_page, QStringLiteral("Training Analytics && Live Logs"));
  connect_training_tabs(*tabs, config, progress);
  save_snapshot(context, &host, QStringLiteral("training_config_tab_dark"));

  config.model_combo->setEditText(QStringLiteral("snapshot_model.pt"));
  config.epochs_input->setValue(12);
  engine.wait_for_probe({});  // START then asks for the run at once
  config.start_training();
  YoloTrainerThread* worker = progress.trainer_thread;
  for (int epoch = 0; epoch < 4; ++epoch)
    wait_for(worker, &YoloTrainerThread::epoch_metrics_signal, 60000);
  save_snapshot(context, &host, QStringLiteral("training_progress_running_dark"));
  if (!worker->isFinished()) wait_for(worker, &QThread::finished, 120000);
  QCoreApplication::processEvents();
  progress.flush_log();
  for (const bool dark : {true, false}) {
    qApp->setStyleSheet(get_stylesheet(dark));
    save_snapshot(context, &host,
                  QStringLiteral("training_live_metrics_") + (dark ? "dark" : "light"));
  }
  qApp->setStyleSheet(get_stylesheet(true));
  progress.tabs_analytics->setCurrentWidget(progress.view_loss_plot);
  save_snapshot(context, &host, QStringLiteral("training_progress_finished_dark"));
  progress.tabs_analytics->setCurrentWidget(progress.view_val_batch);
  save_snapshot(context, &host, QStringLiteral("training_progress_val_batch_dark"));

  config.start_automl_tuning();
  YoloTunerThread* search = config.tuner_thread;
  if (!search->isFinished()) wait_for(search, &QThread::finished, 120000);
  QCoreApplication::processEvents();
  tabs->setCurrentWidget(progress_page);
  progress.tabs_analytics->setCurrentWidget(progress.live_metrics);
  progress.flush_log();
  save_snapshot(context, &host, QStringLiteral("training_live_metrics_automl_dark"));

  config.work().stop(QDeadlineTimer(QDeadlineTimer::Forever));
  progress.work().stop(QDeadlineTimer(QDeadlineTimer::Forever));
  QDir::setCurrent(previous_dir);
  qApp->setStyleSheet(previous_style);
}
