// The configuration and progress tabs driven through their widgets, with scripted dialogs and
// the stand-in engine behind the real bridge.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QDoubleSpinBox>
#include <QGraphicsScene>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>
#include <QTextEdit>
#include <algorithm>

#include "app/main_window.h"
#include "engine/checkpoint.h"
#include "engine/engine_watch.h"
#include "engine/standin.h"
#include "support/scripted_dialogs.h"
#include "training/config_tab.h"
#include "training/progress_tab.h"

using namespace orvane;

namespace {

constexpr int kWaitMs = 60000;

// Waits until the worker has ended and everything it sent has been handled. A replaced
// worker deletes itself once it has ended.

bool wait_done(QPointer<QThread> worker) {
  if (!worker) return true;
  QSignalSpy spy(worker.data(), &QThread::finished);
  const bool done = worker->isFinished() || spy.wait(kWaitMs);
  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents();
  return done;
}

bool has_image(ZoomableView* view) { return view->scene() && !view->scene()->items().isEmpty(); }

class TrainingTabs : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_dir = QDir::currentPath();
    QDir::setCurrent(dir.path());  // the default relative paths land in the scratch folder
    write_file("data.yaml", "path: .\ntrain: images\nval: images\nnames: [cat]\n");
    // Hosted at the window's places, wired as the window wires them.
    for (int i = 0; i < 4; ++i) tabs.addTab(new QWidget, QString::number(i));
    tabs.addTab(&config, "config");
    tabs.addTab(&progress, "progress");
    tabs.setCurrentIndex(0);
    connect_training_tabs(tabs, config, progress);
    config.epochs_input->setValue(3);
    // START asks for training at once once the engine has answered its look-up.
    ASSERT_TRUE(engine->wait_for_probe({}));
  }
  void TearDown() override {
    config.work().stop(QDeadlineTimer(QDeadlineTimer::Forever));
    progress.work().stop(QDeadlineTimer(QDeadlineTimer::Forever));
    // The pages are the fixture's own, not the tab widget's.
    for (QWidget* page : {static_cast<QWidget*>(&progress), static_cast<QWidget*>(&config)}) {
      tabs.removeTab(tabs.indexOf(page));
      page->setParent(nullptr);
    }
    QDir::setCurrent(previous_dir);
  }
  // The default model name, answered by a stand-in model file in the working folder.
  void use_model(QJsonObject settings = {}) { write_standin_model("yolov8s.pt", settings); }
  QStringList errors(const QString& title) {
    QStringList texts;
    for (const DialogCall& call : dialogs.messages())
      if (call.kind == "critical" && call.title == title) texts << call.text;
    return texts;
  }

  QTemporaryDir dir;
  QString previous_dir;
  ScriptedDialogs dialogs;
  std::unique_ptr<PythonEngine> engine = make_standin_engine();
  ProgressTab progress{dialogs, *engine};
  ConfigTab config{dialogs, *engine};
  QTabWidget tabs;
};

TEST_F(TrainingTabs, FreshTabsAndTheParameterMaps) {
  EXPECT_EQ(progress.lbl_train_status->text(), "Status: Idle Workstation");
  EXPECT_FALSE(progress.btn_stop_train->isEnabled());
  EXPECT_EQ(progress.bar_train_progress->value(), -1);
  EXPECT_TRUE(progress.console_log->toPlainText().isEmpty());
  EXPECT_FALSE(has_image(progress.view_loss_plot));

  config.run_name_input->setText("  exp ");
  config.model_combo->setEditText(" my weights.pt ");
  const QVariantMap expected{{"model_path", "my weights.pt"},
                             {"data_yaml", "data.yaml"},
                             {"project", "runs/detect"},
                             {"name", "exp"},
                             {"epochs", 3},
                             {"imgsz", 640},
                             {"batch", 16},
                             {"workers", 4},
                             {"optimizer", "auto"},
                             {"lr0", 0.01},
                             {"lrf", 0.01},
                             {"close_mosaic", 10},
                             {"device", "cpu"}};
  EXPECT_EQ(config.training_params(), expected);
  // The search trains at the tab's size, batch and workers too.
  QVariantMap tuning = expected;
  for (const char* key : {"lr0", "lrf", "close_mosaic", "device"}) tuning.remove(key);
  tuning["name"] = "exp_tune";
  EXPECT_EQ(config.tuning_params(), tuning);

  config.lrf_input->stepUp();
  config.lr0_input->stepUp();
  config.batch_input->setValue(-5);
  EXPECT_DOUBLE_EQ(config.lrf_input->value(), 1.01);
  EXPECT_DOUBLE_EQ(config.lr0_input->value(), 0.0101);
  EXPECT_EQ(config.batch_input->value(), -1);
}

TEST_F(TrainingTabs, TheConsoleAppendsAtTheEndAndKeepsUpWithAFlood) {
  progress.append_log("first ");
  progress.console_log->moveCursor(QTextCursor::Start);
  progress.append_log("second\n");
  EXPECT_EQ(progress.console_log->toPlainText(), "first second\n");
  EXPECT_TRUE(progress.console_log->textCursor().atEnd());

  // A flood is shown in slices: none of it is lost, and lines stay bounded.
  QString flood;
  for (int i = 0; i < 20000; ++i) flood += QStringLiteral("%1/20000 ").arg(i);
  progress.append_log(flood);
  progress.append_log("tail\n");
  progress.flush_log();
  const QString shown = progress.console_log->toPlainText();
  EXPECT_EQ(QString(shown).remove('\n'), "first second" + flood + "tail");
  EXPECT_LE(std::ranges::max(shown.split('\n'), {}, &QString::size).size(), 2000);
}

// The console redraws a line after a carriage return as a terminal does, in whatever pieces the
// output comes (a training run's bars: TrainingRunsToTheEnd...), and scrolls a table row wider
// than the view sideways instead of wrapping it.
TEST_F(TrainingTabs, TheConsoleRedrawsLinesAsATerminalDoes) {
  QString redraws;
  for (int i = 1; i <= 20000; ++i) redraws += QStringLiteral("\r%1/20000").arg(i);
  const QString row = "      all" + QString("        0.61").repeated(40);
  const struct {
    QStringList pieces;
    QString shown;
  } cases[] = {
      {{"head\n10%", "\r20%", "\r30%\nnext"}, "head\n30%\nnext"},
      {{"kept\r", "\n", "kept too\r\n", "old\rnew\rnewer\r"}, "kept\nkept too\nnewer"},
      {{"epoch 1\n", redraws, "\n" + row}, "epoch 1\n20000/20000\n" + row},
  };
  progress.show();
  for (const auto& c : cases) {
    progress.clear_log();
    for (const QString& piece : c.pieces) progress.append_log(piece);
    progress.flush_log();
    EXPECT_EQ(progress.console_log->toPlainText(), c.shown);
  }
  QCoreApplication::processEvents();
  EXPECT_GT(progress.console_log->horizontalScrollBar()->maximum(), 0);
}

TEST_F(TrainingTabs, ManifestPickerAndMissingManifests) {
  config.browse_data_yaml();  // cancelled
  EXPECT_EQ(config.data_yaml_input->text(), "data.yaml");
  dialogs.open_files.push_back("/data/set/data.yaml");
  config.browse_data_yaml();
  EXPECT_EQ(config.data_yaml_input->text(), "/data/set/data.yaml");
  EXPECT_EQ(dialogs.last("open_file")->title, "Select Data YAML");

  config.start_training();
  config.start_automl_tuning();
  EXPECT_EQ(errors("Error"), (QStringList{"YAML file path does not exist:\n/data/set/data.yaml",
                                          "Data YAML file path does not exist."}));
  EXPECT_EQ(progress.trainer_thread, nullptr);
  EXPECT_EQ(config.tuner_thread, nullptr);
  EXPECT_EQ(tabs.currentIndex(), 0);
}

// A full run for each release line of curve file names.
TEST_F(TrainingTabs, TrainingRunsToTheEndAndShowsTheRunFolder) {
  for (const char* release : {"8.4.52", "8.3.100"}) {
    SCOPED_TRACE(release);
    use_model({{"release", release}});
    QSignalSpy bar(progress.bar_train_progress, &QProgressBar::valueChanged);
    config.start_training();
    EXPECT_EQ(progress.lbl_train_status->text(), "Status: Initializing YOLO Session...");
    EXPECT_TRUE(progress.btn_stop_train->isEnabled());
    EXPECT_EQ(tabs.currentIndex(), 5);
    QStringList statuses;
    QObject::connect(progress.trainer_thread, &YoloTrainerThread::progress_signal, &progress,
                     [&](int, const QString& text) { statuses << text; });
    ASSERT_TRUE(wait_done(progress.trainer_thread));

    EXPECT_EQ(statuses.size(), 4);
    EXPECT_TRUE(statuses.value(0).startsWith("Epoch 1/3 (33%) | ETA: 00:00:0"));
    EXPECT_TRUE(statuses.value(2).startsWith("Epoch 3/3 (100%) | ETA: 00:00:00"));
    EXPECT_EQ(statuses.value(3), "Evaluating Validation Metrics...");
    QList<int> values;
    for (const auto& args : bar) values << args.at(0).toInt();
    EXPECT_EQ(values.mid(values.indexOf(33)), (QList<int>{33, 66, 100}));
    EXPECT_EQ(progress.lbl_train_status->text(), "Status: Training Complete");
    EXPECT_FALSE(progress.btn_stop_train->isEnabled());
    EXPECT_TRUE(dialogs.messages().empty());

    const QString console = progress.console_log->toPlainText();
    EXPECT_TRUE(console.contains("\n3/3  1.2G  100% 3/3\n")) << console.toStdString();
    EXPECT_TRUE(console.contains(dir.filePath("runs/detect/kelvane_yolo_run")));
    EXPECT_EQ(console.count("Results saved to"), 1) << "each logger line once";
    EXPECT_FALSE(console.contains(QChar(0x1b)));
    EXPECT_FALSE(console.contains('\r'));
    for (ZoomableView* view :
         {progress.view_loss_plot, progress.view_f1_plot, progress.view_pr_plot,
          progress.view_confusion_plot, progress.view_val_batch})
      EXPECT_TRUE(has_image(view));
  }
}

// Engine jobs write only inside the project folder: the run, its validation and the search's
// trials; a relative project lands where the configuration tab says, below the folder the
// program was started from, and nothing else goes there.
TEST_F(TrainingTabs, EngineJobsWriteOnlyInsideTheProjectFolder) {
  use_model();
  config.epochs_input->setValue(1);
  config.model_combo->setEditText(dir.filePath("yolov8s.pt"));
  config.data_yaml_input->setText(dir.filePath("data.yaml"));
  QTemporaryDir start;
  QDir::setCurrent(start.path());
  const auto* location = config.findChild<QLabel*>("projectLocation");
  const struct {
    QString project;
    QString lands_in;
    QString location_shown;
    QStringList start_holds;
  } cases[] = {
      {dir.filePath("projects/absolute"), dir.filePath("projects/absolute"), "", {}},
      {"relative/runs",
       start.filePath("relative/runs"),
       "Runs are saved in " + start.filePath("relative/runs"),
       {"relative"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.project.toStdString());
    config.project_dir_input->setText(c.project);
    EXPECT_EQ((location ? location->text() : "(no place shown)").toStdString(),
              c.location_shown.toStdString());
    config.start_training();
    ASSERT_TRUE(wait_done(progress.trainer_thread));
    config.start_automl_tuning();
    ASSERT_TRUE(wait_done(config.tuner_thread));
    EXPECT_TRUE(dialogs.messages().size() == 1 && dialogs.last("information"))
        << "training and search both succeed";
    dialogs.calls.clear();
    EXPECT_TRUE(QFileInfo(c.lands_in + "/kelvane_yolo_run/weights/best.pt").isFile());
    EXPECT_TRUE(QFileInfo(c.lands_in + "/kelvane_yolo_run/val/confusion_matrix.png").isFile());
    EXPECT_TRUE(
        QFileInfo(c.lands_in + "/kelvane_yolo_run_tune/best_hyperparameters.yaml").isFile());
    EXPECT_EQ(folder_entries(start.path()).join(", ").toStdString(),
              c.start_holds.join(", ").toStdString());
  }
}

TEST_F(TrainingTabs, StopEndsTheRunWithoutValidation) {
  use_model({{"batch_delay", 0.02}, {"batches", 5}});
  config.epochs_input->setValue(200);
  config.start_training();
  YoloTrainerThread* worker = progress.trainer_thread;
  QSignalSpy reports(worker, &YoloTrainerThread::progress_signal);
  ASSERT_TRUE(reports.wait(kWaitMs));
  progress.btn_stop_train->click();
  EXPECT_EQ(progress.lbl_train_status->text(), "Status: Halting Training...");
  EXPECT_FALSE(progress.btn_stop_train->isEnabled());
  ASSERT_TRUE(wait_done(worker));

  EXPECT_EQ(progress.lbl_train_status->text(), "Status: Training Stopped");
  EXPECT_LT(progress.bar_train_progress->value(), 100);
  EXPECT_FALSE(has_image(progress.view_loss_plot));
  EXPECT_FALSE(progress.console_log->toPlainText().contains("val: "));
  EXPECT_TRUE(dialogs.messages().empty());
  progress.btn_stop_train->setEnabled(true);
  progress.btn_stop_train->click();  // the worker has ended: nothing happens
  EXPECT_EQ(progress.lbl_train_status->text(), "Status: Training Stopped");
}

TEST_F(TrainingTabs, EngineFailuresShowTheTrainingErrorBox) {
  const QString crashed = "The YOLO engine process stopped unexpectedly (exit code 139)";
  const QString last_pt =
      QDir::toNativeSeparators(dir.filePath("runs/detect/kelvane_yolo_run/weights/last.pt"));
  const struct {
    QJsonObject model;
    QString message_start;
    bool damaged;  // the process died while writing last.pt
  } cases[] = {
      {{{"fail_at_epoch", 2}, {"fail_message", "CUDA out of memory"}}, "CUDA out of memory", false},
      {{{"crash_at_epoch", 2}}, crashed, false},
      {{{"crash_in_save", 2}}, crashed, true},
  };
  for (const auto& c : cases) {
    dialogs.calls.clear();
    use_model(c.model);
    config.start_training();
    ASSERT_TRUE(wait_done(progress.trainer_thread));
    const QStringList shown = errors("Training Error");
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown[0].startsWith(c.message_start)) << shown[0].toStdString();
    EXPECT_EQ(shown[0].contains("Damaged checkpoint (cut off while being written, it will not "
                                "load): " +
                                last_pt),
              c.damaged)
        << shown[0].toStdString();
    EXPECT_TRUE(progress.lbl_train_status->text().startsWith("Status: Epoch 1/3"));
    EXPECT_FALSE(progress.btn_stop_train->isEnabled()) << "nothing runs";
  }
  write_file("yolov8s.pt", "not a model");
  dialogs.calls.clear();
  config.start_training();
  ASSERT_TRUE(wait_done(progress.trainer_thread));
  EXPECT_EQ(errors("Training Error").size(), 1);
}

// The result views show only files of the run they name: a new run clears them at once, a
// stopped run leaves them empty, and a finished run without some plot shows none of the last.
TEST_F(TrainingTabs, ResultViewsShowOnlyTheRunTheyName) {
  const std::vector<ZoomableView*> views{progress.view_loss_plot, progress.view_f1_plot,
                                         progress.view_pr_plot, progress.view_confusion_plot,
                                         progress.view_val_batch};
  // The file each view shows, by its tool tip, or for an empty view the note it shows, or "-".
  const auto shown = [&] {
    QStringList files;
    for (ZoomableView* view : views) {
      const auto* note = view->viewport()->findChild<QLabel*>("viewNote");
      files << (has_image(view)                   ? view->toolTip()
                : note && note->isVisibleTo(view) ? note->text()
                                                  : "-");
    }
    return files.join(" | ").toStdString();
  };
  use_model();
  config.epochs_input->setValue(1);
  config.start_training();
  ASSERT_TRUE(wait_done(progress.trainer_thread));
  const QString run = dir.filePath("runs/detect/kelvane_yolo_run/");
  EXPECT_EQ(shown(),
            (QStringList{run + "results.png", run + "BoxF1_curve.png", run + "BoxPR_curve.png",
                         run + "confusion_matrix.png", run + "val_batch0_pred.jpg"})
                .join(" | ")
                .toStdString());

  const QString partial = dir.filePath("partial");
  write_image(partial + "/results.png", 16, 16);
  progress.training_finished({{"save_dir", partial}});
  EXPECT_EQ(shown(), (partial + "/results.png | - | - | - | -").toStdString());

  use_model({{"batch_delay", 0.02}, {"batches", 5}});
  config.epochs_input->setValue(200);
  config.start_training();
  EXPECT_EQ(shown(), "- | - | - | - | -");
  QSignalSpy reports(progress.trainer_thread, &YoloTrainerThread::progress_signal);
  ASSERT_TRUE(reports.wait(kWaitMs));
  progress.stop_training();
  ASSERT_TRUE(wait_done(progress.trainer_thread));
  EXPECT_EQ(progress.lbl_train_status->text(), "Status: Training Stopped");
  const QString why = "Training was stopped before the engine wrote its plots.";
  EXPECT_EQ(shown(), QStringList(5, why).join(" | ").toStdString());
  config.start_training();
  EXPECT_EQ(shown(), "- | - | - | - | -");
}

// However a run ends, the page ends with the epochs of results.csv, its best epoch is the one in
// best.pt, and the checkpoints are whole: STOP on 8.3 while the engine writes them (its process
// is ended once the write is done, "Saving checkpoint..." meanwhile), or an early stop by the
// engine's patience on 8.4, whose final validation of best.pt is no epoch. The lines rank
// epochs differently: 0.1 mAP50 + 0.9 mAP50-95 picks epoch 1 here, mAP50-95 alone epoch 2.
TEST_F(TrainingTabs, ARunEndsWithWholeCheckpointsAndThePageAsTheRunFolder) {
  const QJsonArray values{QJsonObject{{"metrics/mAP50(B)", 0.9}, {"metrics/mAP50-95(B)", 0.3}},
                          QJsonObject{{"metrics/mAP50(B)", 0.3}, {"metrics/mAP50-95(B)", 0.32}}};
  const struct {
    const char* what;
    QJsonObject model;
    int epochs;
    bool stop;  // STOP at the first epoch's report
    QString end;
    int best;
  } cases[] = {
      {"8.3, STOP while writing",
       {{"release", "8.3.186"}, {"batches", 1}, {"save_delay", 2.5}, {"epoch_values", values}},
       50,
       true,
       "Status: Training Stopped",
       1},
      {"8.4, early stop",
       {{"release", "8.4.52"}, {"early_stop_at", 2}, {"epoch_values", values}},
       5,
       false,
       "Status: Training Complete",
       2},
  };
  const QString run = dir.filePath("runs/detect/kelvane_yolo_run");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    use_model(c.model);
    config.epochs_input->setValue(c.epochs);
    config.start_training();
    YoloTrainerThread* worker = progress.trainer_thread;
    QStringList reports;
    QObject::connect(worker, &YoloTrainerThread::progress_signal, &progress,
                     [&](int, const QString& text) { reports << text; });
    if (c.stop) {
      ASSERT_TRUE(QTest::qWaitFor([&] { return !reports.isEmpty(); }, kWaitMs));
      progress.btn_stop_train->click();
      EXPECT_TRUE(QTest::qWaitFor(
          [&] { return progress.lbl_train_status->text() == "Status: Saving checkpoint..."; },
          10000));
    }
    ASSERT_TRUE(wait_done(worker));
    EXPECT_EQ(progress.lbl_train_status->text(), c.end);
    EXPECT_EQ(damaged_checkpoints(run), QStringList{});
    std::vector<int> in_file, on_page;
    for (const EpochMetrics& e : read_results_csv(run + "/results.csv")) in_file.push_back(e.epoch);
    for (const EpochMetrics& e : progress.live_metrics->history().epochs())
      on_page.push_back(e.epoch);
    EXPECT_EQ(on_page, in_file);
    const QStringList epochs = reports.filter(QRegularExpression("^Epoch "));
    ASSERT_FALSE(epochs.isEmpty());
    EXPECT_LE(epochs.last().section(' ', 1, 1).section('/', 0, 0).toInt(), int(in_file.size()))
        << epochs.last().toStdString();
    ASSERT_TRUE(progress.live_metrics->history().best_epoch());
    EXPECT_EQ(progress.live_metrics->history().best_epoch()->epoch, c.best);
    EXPECT_TRUE(read_file(run + "/weights/best.pt")
                    .contains(QStringLiteral("\"epoch\": %1").arg(c.best).toUtf8()));
  }
}

// A run whose start fails says so on the status line (a failure later leaves the last epoch's
// report, see EngineFailuresShowTheTrainingErrorBox).
TEST_F(TrainingTabs, AFailedStartSaysSoOnTheStatusLine) {
  const struct {
    const char* what;
    QByteArray weights;
    QString manifest;
    QString error_start;
  } cases[] = {
      {"weights that cannot be loaded", "not a model", "data.yaml", "yolov8s.pt appears to be"},
      {"a missing manifest", "", dir.filePath("gone.yaml"), "Dataset '"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    dialogs.calls.clear();
    use_model();
    if (!c.weights.isEmpty()) write_file("yolov8s.pt", c.weights);
    QVariantMap params = config.training_params();
    params["data_yaml"] = c.manifest;
    progress.begin_training(params);
    ASSERT_TRUE(wait_done(progress.trainer_thread));
    EXPECT_EQ(progress.lbl_train_status->text().toStdString(), "Status: Training Failed to Start");
    const QStringList shown = errors("Training Error");
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown[0].startsWith(c.error_start)) << shown[0].toStdString();
  }
}

TEST_F(TrainingTabs, AutoMLAppliesThisSearchsLearningRates) {
  use_model({{"tune_values", QJsonObject{{"lr0", 0.0123456}, {"lrf", 150.0}}}});
  config.run_name_input->clear();
  config.start_automl_tuning();
  EXPECT_EQ(tabs.currentIndex(), 5);
  ASSERT_TRUE(wait_done(config.tuner_thread));
  EXPECT_DOUBLE_EQ(config.lr0_input->value(), 0.01235);
  EXPECT_DOUBLE_EQ(config.lrf_input->value(), 99.99);
  ASSERT_NE(dialogs.last("information"), nullptr);
  EXPECT_EQ(dialogs.last("information")->text, "Optimal hyperparameters applied to controls.");
  EXPECT_EQ(tabs.currentIndex(), 4);
  EXPECT_TRUE(QFile::exists("runs/detect/_tune/best_hyperparameters.yaml"));
  EXPECT_TRUE(progress.console_log->toPlainText().contains("trial saved to"));
}

TEST_F(TrainingTabs, AutoMLFailuresShowTheAutoMLErrorBox) {
  const QString no_manifest = "AutoML tuning failed to generate hyperparameter manifest.";
  const struct {
    QJsonObject model;
    QString message_start;
  } cases[] = {
      // No metrics: no result file, and an older search's file must not be applied.
      {{{"tune_metrics", false}}, no_manifest},
      {{{"tune_file_text", ""}}, "Invalid hyperparameter file"},
      {{{"tune_file_text", "lr0: abc\nlrf: 0.5\n"}}, "Invalid value for lr0"},
  };
  write_file("runs/detect/older_tune/best_hyperparameters.yaml", "lr0: 0.5\nlrf: 0.5\n");
  for (const auto& c : cases) {
    dialogs.calls.clear();
    use_model(c.model);
    config.start_automl_tuning();
    ASSERT_TRUE(wait_done(config.tuner_thread));
    const QStringList shown = errors("AutoML Error");
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown[0].startsWith(c.message_start)) << shown[0].toStdString();
    EXPECT_DOUBLE_EQ(config.lr0_input->value(), 0.01);
    EXPECT_DOUBLE_EQ(config.lrf_input->value(), 0.01);
    EXPECT_EQ(dialogs.count("information"), 0);
  }
}

// Without a working engine every job says so, and below that which interpreter was asked and
// the last lines it printed, whatever it did: no package, garbage, quitting, flooding.
TEST_F(TrainingTabs, WithoutTheEngineEveryJobSaysWhatTheInterpreterDid) {
  QTemporaryDir empty;
  const auto fake_python = [&](const char* name, const QByteArray& script) {
    const QString path = empty.filePath(name);
    write_file(path, "#!/bin/sh\n" + script);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
  };
  const struct {
    QString python;  // empty: the python3 on PATH, which lacks the package here
    QStringList said;
  } cases[] = {
      {"", {"No module named 'ultralytics'"}},
      {fake_python("garbage", "echo 'Fatal: not a bridge at all'\nexec sleep 600\n"),
       {"not a bridge at all"}},
      {fake_python("quits", "echo 'libpython3.so: cannot open shared object' >&2\nexit 127\n"),
       {"exit code 127", "libpython3.so: cannot open shared object"}},
      {fake_python("floods", "yes 'DeprecationWarning: flood' >&2\n"),
       {"more than 1048576 bytes", "DeprecationWarning: flood"}},
      {fake_python("closes_and_floods", "exec yes 'DeprecationWarning: flood' >&2\n"),
       {"DeprecationWarning: flood"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.said.first().toStdString());
    dialogs.calls.clear();
    PythonEngineOptions options = standin_options(empty.path());
    options.python = c.python;
    PythonEngine no_engine(options);
    ProgressTab bare_progress(dialogs, no_engine);
    ConfigTab bare_config(dialogs, no_engine);
    QTabWidget bare_tabs;
    connect_training_tabs(bare_tabs, bare_config, bare_progress);
    bare_config.start_training();  // waits for the look-up, off the GUI thread
    ASSERT_TRUE(QTest::qWaitFor([&] { return bare_progress.trainer_thread; }, kWaitMs));
    ASSERT_TRUE(wait_done(bare_progress.trainer_thread));
    bare_config.start_automl_tuning();
    ASSERT_TRUE(wait_done(bare_config.tuner_thread));
    const QString interpreter =
        c.python.isEmpty() ? QStandardPaths::findExecutable("python3") : c.python;
    for (const char* title : {"Training Error", "AutoML Error"}) {
      const QStringList shown = errors(title);
      ASSERT_EQ(shown.size(), 1) << title;
      EXPECT_EQ(shown[0].section('\n', 0, 0), "Ultralytics library is not installed.");
      EXPECT_TRUE(shown[0].contains("Python interpreter: " + interpreter))
          << shown[0].toStdString();
      for (const QString& said : c.said)
        EXPECT_TRUE(shown[0].contains(said)) << shown[0].toStdString();
    }
    EXPECT_EQ(bare_config.training_params().value("device"), "cpu");
  }
}

// Each job has its own engine process and signals: a later job leaves an earlier one alone.
TEST_F(TrainingTabs, ASecondJobDoesNotDisturbTheFirst) {
  use_model({{"batch_delay", 0.01}});
  config.start_training();
  // Guarded from the start: a replaced worker deletes itself once it has ended.
  const QPointer<YoloTrainerThread> first = progress.trainer_thread;
  QSignalSpy first_finished(first, &YoloTrainerThread::finished_signal);
  QSignalSpy first_stopped(first, &YoloTrainerThread::stopped_signal);
  config.start_training();
  const QPointer<YoloTrainerThread> second = progress.trainer_thread;
  QSignalSpy second_stopped(second, &YoloTrainerThread::stopped_signal);
  config.start_automl_tuning();
  progress.stop_training();  // stops the newest training only
  ASSERT_TRUE(wait_done(second.data()));
  ASSERT_TRUE(wait_done(first.data()));  // ended, and now deleted: only the spies remain
  ASSERT_TRUE(wait_done(config.tuner_thread));
  EXPECT_EQ(first_finished.size(), 1);
  EXPECT_EQ(second_stopped.size(), 1);
  EXPECT_EQ(first_stopped.size(), 0);
  EXPECT_EQ(dialogs.count("information"), 1);  // AutoML Complete
  EXPECT_TRUE(errors("Training Error").isEmpty());
}

// A worker that ended before the next job replaced it is deleted then, not
// kept until the tab closes.
TEST_F(TrainingTabs, WorkersThatEndedAreDeletedWhenReplaced) {
  use_model();
  config.epochs_input->setValue(1);
  const auto start_and_finish = [&](auto start, auto current) {
    start();
    QPointer<QThread> worker = current();
    EXPECT_TRUE(wait_done(worker));
    return worker;
  };
  const auto trainer = [&] { return progress.trainer_thread; };
  const auto tuner = [&] { return config.tuner_thread; };
  const QPointer<QThread> first_training =
      start_and_finish([&] { config.start_training(); }, trainer);
  const QPointer<QThread> first_search =
      start_and_finish([&] { config.start_automl_tuning(); }, tuner);
  const QPointer<QThread> second_training =
      start_and_finish([&] { config.start_training(); }, trainer);
  const QPointer<QThread> second_search =
      start_and_finish([&] { config.start_automl_tuning(); }, tuner);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(first_training.isNull());
  EXPECT_TRUE(first_search.isNull());
  EXPECT_FALSE(second_training.isNull());  // the newest stays readable
  EXPECT_FALSE(second_search.isNull());
}

TEST_F(TrainingTabs, StoppingTheWorkersEndsARunningJobQuietly) {
  use_model({{"batch_delay", 0.05}});
  config.epochs_input->setValue(500);
  config.start_training();
  config.start_automl_tuning();
  QSignalSpy reports(progress.trainer_thread, &YoloTrainerThread::progress_signal);
  ASSERT_TRUE(reports.wait(kWaitMs));
  progress.work().stop(QDeadlineTimer(QDeadlineTimer::Forever));
  config.work().stop(QDeadlineTimer(QDeadlineTimer::Forever));
  EXPECT_TRUE(progress.trainer_thread->isFinished());
  EXPECT_TRUE(config.tuner_thread->isFinished());
  QCoreApplication::processEvents();
  EXPECT_TRUE(dialogs.messages().empty());
}

// The status line and the bar follow the search's trials from the engine's output, in either
// release's wording, in place of what the last training left there.
TEST_F(TrainingTabs, AutoMLSaysWhichTrialRuns) {
  const struct {
    const char* release;
    bool metrics;  // false: every trial fails, "(all failed)" in the newer wording
    QString end;
  } cases[] = {
      {"8.3.100", true, "Status: AutoML search finished"},
      {"8.4.52", false, "Status: AutoML search failed"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.release);
    progress.training_stopped();
    progress.bar_train_progress->setValue(50);
    use_model({{"release", c.release}, {"tune_metrics", c.metrics}, {"trial_delay", 0.1}});
    config.start_automl_tuning();
    EXPECT_EQ(progress.lbl_train_status->text(), "Status: AutoML search running (trial 1 of 5)");
    EXPECT_EQ(progress.bar_train_progress->value(), 0);
    EXPECT_TRUE(config.work().running());
    QStringList seen;
    QObject::connect(config.tuner_thread, &YoloTunerThread::trial_signal, &progress, [&] {
      seen << progress.lbl_train_status->text().section('(', 1) + " " +
                  QString::number(progress.bar_train_progress->value());
    });
    ASSERT_TRUE(wait_done(config.tuner_thread));
    EXPECT_EQ(seen, (QStringList{"trial 2 of 5) 20", "trial 3 of 5) 40", "trial 4 of 5) 60",
                                 "trial 5 of 5) 80", "trial 5 of 5) 100"}));
    EXPECT_EQ(progress.lbl_train_status->text(), c.end);
    EXPECT_FALSE(config.work().running());
  }
}

// The AutoML button asks first, with what the search costs; its trials train at the tab's
// image size, batch and workers; the status line gives the time left once an epoch is timed.
TEST_F(TrainingTabs, TheSearchAsksFirstAndTrainsAtTheTabsSettings) {
  use_model({{"trial_epoch_delay", 0.3}});
  config.imgsz_input->setValue(160);
  config.batch_input->setValue(2);
  config.workers_input->setValue(0);
  for (const QString optimizer : {"auto", "SGD"}) {  // "auto" searches no learning rate: said
    const bool yes = optimizer == "SGD";
    config.optimizer_combo->setCurrentText(optimizer);
    dialogs.answers.push_back(yes);
    config.findChild<QPushButton*>("automlBtn")->click();
    const QString asked = dialogs.last("question") ? dialogs.last("question")->text : "";
    EXPECT_TRUE(
        asked.contains("(5 trials × 3 epochs = 15 epochs in all) at image size 160, "
                       "batch 2, 0 workers"))
        << asked.toStdString();
    EXPECT_EQ(asked.contains("optimizer \"auto\""), !yes) << asked.toStdString();
    EXPECT_EQ(config.tuner_thread != nullptr, yes);
  }
  QStringList estimates;
  QObject::connect(config.tuner_thread, &YoloTunerThread::estimate_signal, &progress,
                   [&] { estimates << progress.lbl_train_status->text(); });
  ASSERT_TRUE(wait_done(config.tuner_thread));
  EXPECT_EQ(estimates.value(0),
            "Status: AutoML search running (trial 1 of 5) · under a minute left");
  QFile file("runs/detect/train5/args.yaml");  // the last trial's
  const QByteArray args = file.open(QIODevice::ReadOnly) ? file.readAll() : "";
  for (const char* line : {"imgsz: 160\n", "batch: 2\n", "workers: 0\n"})
    EXPECT_TRUE(args.contains(line)) << args.toStdString();
}

// While a search runs its button reads "Cancel" and STOP is offered: either ends the search and
// its trial's engine process within two seconds, and a second search never starts beside it.
TEST_F(TrainingTabs, CancelOrStopEndsARunningSearch) {
  auto* button = config.findChild<QPushButton*>("automlBtn");
  const QString idle_text = button->text();
  use_model({{"trial_epoch_delay", 600}});
  for (QPushButton* stop : {button, progress.btn_stop_train}) {
    SCOPED_TRACE(stop->text().toStdString());
    engine_watch::EngineProcesses processes;
    dialogs.answers.push_back(true);
    button->click();
    const QPointer<YoloTunerThread> search = config.tuner_thread;
    ASSERT_TRUE(processes.note_until(2));  // the bridge and its trial
    EXPECT_EQ(button->text(), "Cancel");
    EXPECT_TRUE(progress.btn_stop_train->isEnabled());
    stop->click();
    EXPECT_EQ(config.tuner_thread, search) << "a second search started";
    EXPECT_EQ(processes.left_after(2000), std::vector<pid_t>{});
    ASSERT_TRUE(wait_done(search.data()));
    EXPECT_EQ(progress.lbl_train_status->text(), "Status: AutoML search stopped");
    EXPECT_TRUE(button->text() == idle_text && button->isEnabled());
    EXPECT_FALSE(progress.btn_stop_train->isEnabled());
    EXPECT_TRUE(dialogs.messages().empty());
  }
}

// Engines that hang while importing or loading, answer slowly or never answer: the window keeps
// running while a run waits on them; STOP ends the run as stopped, closing returns promptly,
// and no engine process is left behind. (One that exits at once: RefusedStartsChangeNothing.)
TEST_F(TrainingTabs, MisbehavingEnginesNeitherFreezeTheWindowNorOutliveStopOrClose) {
  const QString import_mode = dir.filePath("import_mode");
  PythonEngineOptions options = standin_options();
  options.environment << "STANDIN_IMPORT_FILE=" + import_mode;
  PythonEngine odd(options);
  ASSERT_TRUE(odd.wait_for_probe({}));
  ProgressTab odd_progress(dialogs, odd);
  ConfigTab odd_config(dialogs, odd);
  QTabWidget odd_tabs;
  connect_training_tabs(odd_tabs, odd_config, odd_progress);
  const struct {
    const char* phase;
    QByteArray import;
    QJsonObject model;
    int processes;  // the bridge, and the child it waits on
  } cases[] = {
      {"importing the engine", "hang", {}, 2},
      {"loading the model", "", {{"hang_in_load", true}}, 2},
      {"answering slowly", "", {{"slow", 30}}, 1},
      {"training, never answering", "", {{"never_answer", true}}, 2},
  };
  for (const auto& c : cases) {
    for (const bool close : {false, true}) {
      SCOPED_TRACE(std::string(c.phase) + (close ? ", closing" : ", STOP"));
      write_file(import_mode, c.import);
      use_model(c.model);
      engine_watch::EngineProcesses processes;
      const engine_watch::Ticks ticks;
      odd_config.start_training();
      ASSERT_TRUE(processes.note_until(c.processes));
      QTest::qWait(300);
      EXPECT_GE(ticks.count, 10) << "the event loop stood still";
      EXPECT_TRUE(odd_progress.work().running());
      if (close) {
        EXPECT_TRUE(engine_watch::returns_promptly(
            [&] { odd_progress.work().stop(QDeadlineTimer(QDeadlineTimer::Forever)); }));
      } else {
        odd_progress.btn_stop_train->click();
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return odd_progress.lbl_train_status->text() == "Status: Training Stopped"; },
            engine_watch::kPromptlyMs));
      }
      EXPECT_EQ(processes.left_after(engine_watch::kPromptlyMs), std::vector<pid_t>{});
      EXPECT_FALSE(odd_progress.work().running());
    }
  }
  EXPECT_TRUE(errors("Training Error").isEmpty());
}

// An engine whose look-up never answers: START waits for it without freezing the window, says
// so and ignores another press; closing ends the wait, the search and every engine process.
TEST_F(TrainingTabs, StartWaitsForAnEngineThatNeverAnswers) {
  PythonEngineOptions options = standin_options();
  options.environment << "STANDIN_IMPORT=hang";
  PythonEngine silent(options);
  ProgressTab silent_progress(dialogs, silent);
  ConfigTab silent_config(dialogs, silent);
  QTabWidget silent_tabs;
  connect_training_tabs(silent_tabs, silent_config, silent_progress);
  QSignalSpy requested(&silent_config, &ConfigTab::training_requested);
  engine_watch::EngineProcesses processes;
  const engine_watch::Ticks ticks;
  silent_config.start_training();
  silent_config.start_automl_tuning();
  ASSERT_TRUE(processes.note_until(2));  // the look-up's bridge and the child it waits on
  QTest::qWait(300);
  EXPECT_GE(ticks.count, 10) << "the event loop stood still";
  EXPECT_TRUE(silent_config.training_pending());
  EXPECT_FALSE(silent_config.findChild<QLabel*>("engineWait")->isHidden());
  silent_config.start_training();
  EXPECT_TRUE(silent_config.work().running());
  EXPECT_TRUE(engine_watch::returns_promptly([&] {
    silent_config.work().stop(QDeadlineTimer(QDeadlineTimer::Forever));
    silent_progress.work().stop(QDeadlineTimer(QDeadlineTimer::Forever));
    silent.end_all();
  }));
  EXPECT_FALSE(silent_config.training_pending());
  EXPECT_TRUE(requested.isEmpty());
  EXPECT_TRUE(dialogs.messages().empty());
  EXPECT_EQ(processes.left_after(engine_watch::kPromptlyMs), std::vector<pid_t>{});
}

}  // namespace
