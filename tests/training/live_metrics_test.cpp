// The "Live Metrics" page: filled epoch by epoch and trial by trial through the real window with
// the stand-in engine behind the real bridge, its charts made only when needed, following the
// theme, saved as a picture and copied as CSV.
#include <gtest/gtest.h>

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QClipboard>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonDocument>
#include <QLabel>
#include <QLegend>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QScatterSeries>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QValueAxis>
#include <climits>
#include <cmath>

#include "app/main_window.h"
#include "engine/standin.h"
#include "inference/inference_tab.h"
#include "support/scripted_dialogs.h"
#include "theme/app_style.h"
#include "theme/stylesheet.h"
#include "theme/theme_toggle.h"
#include "training/config_tab.h"
#include "training/live_metrics_page.h"
#include "training/progress_tab.h"

using namespace orvane;

namespace {

constexpr int kWaitMs = 60000;

bool wait_done(QPointer<QThread> worker) {
  if (!worker) return true;
  QSignalSpy spy(worker.data(), &QThread::finished);
  const bool done = worker->isFinished() || spy.wait(kWaitMs);
  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents();
  return done;
}

QPushButton* button(QWidget* parent, const QString& text) {
  for (QPushButton* b : parent->findChildren<QPushButton*>())
    if (b->text() == text) return b;
  return nullptr;
}

// The line of a chart with this legend name; nullptr when there is none.
QXYSeries* series_named(QChart* chart, const QString& name) {
  if (!chart) return nullptr;
  for (QAbstractSeries* series : chart->series())
    if (series->name() == name) return qobject_cast<QXYSeries*>(series);
  return nullptr;
}

// The run folder's results.csv, as the stand-in wrote it from what its trainer held: per epoch,
// each drawn measure's value by its legend name.
std::vector<std::map<QString, double>> results_csv(const QString& save_dir) {
  QFile file(save_dir + "/results.csv");
  if (!file.open(QIODevice::ReadOnly)) return {};
  const QList<QByteArray> lines = file.readAll().trimmed().split('\n');
  const QList<QByteArray> header = lines.value(0).split(',');
  std::vector<std::map<QString, double>> rows;
  for (qsizetype i = 1; i < lines.size(); ++i) {
    std::map<QString, double> row;
    for (qsizetype c = 0; c < header.size(); ++c) {
      const std::optional<Measure> m = measure_of(QString::fromLatin1(header[c]));
      if (m && !header[c].startsWith("lr/"))
        row[measure_label(*m)] = lines[i].split(',')[c].toDouble();
    }
    rows.push_back(row);
  }
  return rows;
}

double luminance(const QColor& colour) {
  const auto channel = [](double c) {
    return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF()) +
         0.0722 * channel(colour.blueF());
}

double contrast(const QColor& a, const QColor& b) {
  const double la = luminance(a), lb = luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

class LiveMetrics : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_dir = QDir::currentPath();
    QDir::setCurrent(dir.path());
    write_file("data.yaml", "path: .\ntrain: images\nval: images\nnames: [cat]\n");
    window.set_dialogs(std::unique_ptr<Dialogs>(dialogs));
    window.show();
    config().epochs_input->setValue(4);
  }
  void TearDown() override {
    window.stop_workers();
    QDir::setCurrent(previous_dir);
  }
  ConfigTab& config() { return *window.tab_config; }
  ProgressTab& progress() { return *window.tab_progress; }
  LiveMetricsPage& page() { return *progress().live_metrics; }
  // Presses START (the engine's look-up may still be under way) and returns the run's worker.
  YoloTrainerThread* start_run(QJsonObject model = {}) {
    write_standin_model("yolov8s.pt", model);
    YoloTrainerThread* before = progress().trainer_thread;
    button(&config(), "🚀 START MODEL TRAINING")->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return progress().trainer_thread != before; }, kWaitMs));
    return progress().trainer_thread;
  }
  QString run_folder() const { return dir.filePath("runs/detect/kelvane_yolo_run"); }

  QTemporaryDir dir;
  QString previous_dir;
  ScriptedDialogs* dialogs = new ScriptedDialogs;  // owned by the window
  OrvaneStudio window{make_standin_engine()};
};

// The page comes first among the result views; the five views keep their captions and order.
// Each epoch adds its values as it ends; they are the values the engine held (the run's
// results.csv), and the best epoch is marked.
TEST_F(LiveMetrics, FillsEpochByEpochWithTheValuesTheEngineHeld) {
  const QStringList captions{"Live Metrics",     "Live Loss Curves",
                             "F1-Score",         "Precision-Recall",
                             "Confusion Matrix", "Validation Batch Predictions"};
  ASSERT_EQ(progress().tabs_analytics->count(), 6);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(progress().tabs_analytics->tabText(i), captions[i]);
  EXPECT_EQ(progress().tabs_analytics->widget(1), progress().view_loss_plot);
  EXPECT_EQ(progress().tabs_analytics->widget(5), progress().view_val_batch);

  config().imgsz_input->setValue(160);
  YoloTrainerThread* worker = start_run({{"task", "segment"}});
  EXPECT_TRUE(page().history().empty());
  std::vector<int> filled;  // points of the "train box" line after each epoch's values arrived
  QObject::connect(worker, &YoloTrainerThread::epoch_metrics_signal, &progress(), [&] {
    const QXYSeries* line = series_named(page().loss_chart(), "train box");
    filled.push_back(line ? int(line->count()) : -1);
  });
  ASSERT_TRUE(wait_done(worker));
  EXPECT_EQ(progress().lbl_train_status->text(), "Status: Training Complete");
  // The viewer, still at its defaults, takes the run's weights and image size.
  EXPECT_EQ(QFileInfo(window.tab_inference->entry_inf_weights->text()).canonicalFilePath(),
            QFileInfo(run_folder() + "/weights/best.pt").canonicalFilePath());
  EXPECT_EQ(window.tab_inference->spin_inf_imgsz->value(), 160);
  // Epochs that come faster than the page draws them (a slow machine) are drawn together a
  // moment later: the line grows with the epochs, never ahead of them, and ends with all four.
  ASSERT_EQ(filled.size(), 4u);
  for (int e = 0; e < 4; ++e) {
    EXPECT_LE(filled[e], e + 1);
    if (e > 0) {
      EXPECT_GE(filled[e], filled[e - 1]);
    }
  }
  EXPECT_GE(filled[0], 1) << "the first epoch is drawn as it ends";
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return series_named(page().loss_chart(), "train box")->count() == 4; }, kWaitMs));

  // Every measure of the run is a line through the values the engine held, a point an epoch.
  const auto rows = results_csv(run_folder());
  ASSERT_EQ(rows.size(), 4u);
  int lines = 0;
  for (QChart* chart : {page().loss_chart(), page().quality_chart()}) {
    for (QAbstractSeries* s : chart->series()) {
      if (!rows[0].count(s->name())) continue;
      SCOPED_TRACE(s->name().toStdString());
      const auto* line = qobject_cast<QXYSeries*>(s);
      ++lines;
      ASSERT_EQ(line->count(), 4);
      for (int e = 0; e < 4; ++e) {
        EXPECT_EQ(line->at(e).x(), e + 1);
        EXPECT_NEAR(line->at(e).y(), rows[e].at(s->name()), 1e-5);
      }
    }
  }
  EXPECT_EQ(lines, int(rows[0].size())) << "segmentation: 8 losses and 8 quality measures";
  // The best epoch by the engine's fitness, 0.1 mAP50 + 0.9 mAP50-95 of boxes and masks.
  std::optional<int> best;
  double best_fitness = -1;
  for (int e = 0; e < 4; ++e) {
    const auto& r = rows[e];
    const double fitness = 0.1 * r.at("mAP50") + 0.9 * r.at("mAP50-95") + 0.1 * r.at("mask mAP50") +
                           0.9 * r.at("mask mAP50-95");
    if (fitness > best_fitness) best = e + 1, best_fitness = fitness;
  }
  ASSERT_TRUE(best);
  const QString marker = QStringLiteral("best epoch %1").arg(*best);
  const QXYSeries* best_point = series_named(page().quality_chart(), marker);
  ASSERT_NE(best_point, nullptr) << marker.toStdString();
  EXPECT_EQ(best_point->count(), 1);
  EXPECT_TRUE(page().lbl_live_summary->text().contains(QStringLiteral("best epoch %1").arg(*best)));
  // The five result views are filled as before.
  EXPECT_EQ(progress().view_loss_plot->toolTip(),
            QDir::toNativeSeparators(run_folder() + "/results.png"));
}

// STOP keeps the epochs that ran; the next run starts empty and fills again.
TEST_F(LiveMetrics, AStopKeepsTheEpochsThatRanAndANewRunStartsEmpty) {
  config().epochs_input->setValue(200);
  YoloTrainerThread* worker = start_run({{"batch_delay", 0.02}, {"batches", 5}});
  QSignalSpy epochs(worker, &YoloTrainerThread::epoch_metrics_signal);
  ASSERT_TRUE(QTest::qWaitFor([&] { return epochs.size() >= 2; }, kWaitMs));
  progress().btn_stop_train->click();
  ASSERT_TRUE(wait_done(worker));
  EXPECT_EQ(progress().lbl_train_status->text(), "Status: Training Stopped");
  const size_t ran = results_csv(run_folder()).size();
  EXPECT_GE(ran, 2u);
  ASSERT_EQ(page().history().epochs().size(), ran);
  for (size_t e = 0; e < ran; ++e) EXPECT_EQ(page().history().epochs()[e].epoch, int(e + 1));
  // Epochs that came in one turn (the last ones, from results.csv) are drawn a moment later.
  const auto drawn = [this](qsizetype count) {
    return QTest::qWaitFor([&] {
      const QXYSeries* line = series_named(page().loss_chart(), "train box");
      return line && line->count() == count;
    });
  };
  EXPECT_TRUE(drawn(qsizetype(ran)));

  config().epochs_input->setValue(2);
  worker = start_run();
  EXPECT_TRUE(page().history().empty());
  EXPECT_EQ(series_named(page().loss_chart(), "train box"), nullptr) << "no line of the old run";
  EXPECT_FALSE(page().btn_copy_csv->isEnabled());
  ASSERT_TRUE(wait_done(worker));
  EXPECT_EQ(page().history().epochs().size(), 2u);
  EXPECT_TRUE(drawn(2));
}

// Each finished trial of a search adds its point, read from the tune folder's results file of
// either release line; the legend names the best trial's learning rates.
TEST_F(LiveMetrics, AutoMLTrialsAppearAsPoints) {
  const struct {
    const char* release;
    const char* file;
  } cases[] = {{"8.3.100", "tune_results.csv"}, {"8.4.52", "tune_results.ndjson"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.release);
    write_standin_model("yolov8s.pt",
                        {{"release", c.release},
                         {"trial_delay", 0.1},
                         {"tune_values", QJsonObject{{"lr0", 0.0042}, {"lrf", 0.3}}}});
    config().run_name_input->setText(c.release);
    dialogs->answers.push_back(true);  // start the search
    button(&config(), "🧬 AutoML Hyperparameter Genetic Search")->click();
    YoloTunerThread* worker = config().tuner_thread;
    std::vector<qsizetype> shown;
    QObject::connect(worker, &YoloTunerThread::trials_signal, &progress(), [&] {
      const QXYSeries* points = series_named(page().trial_chart(), "trial fitness");
      shown.push_back(points ? points->count() : -1);
    });
    EXPECT_TRUE(page().history().empty());
    ASSERT_TRUE(wait_done(worker));
    // Trials that come faster than the page draws them are drawn a moment later.
    ASSERT_EQ(shown.size(), 5u);
    for (size_t i = 0; i < shown.size(); ++i) {
      EXPECT_LE(shown[i], qsizetype(i + 1));
      if (i > 0) {
        EXPECT_GE(shown[i], shown[i - 1]);
      }
    }
    EXPECT_TRUE(QTest::qWaitFor([&] {
      const QXYSeries* points = series_named(page().trial_chart(), "trial fitness");
      return points && points->count() == 5;
    }));

    // The fitness values the stand-in wrote, in either file kind.
    const QString tune_dir = dir.filePath(QStringLiteral("runs/detect/%1_tune").arg(c.release));
    QList<double> written;
    QFile file(tune_dir + "/" + c.file);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().trimmed().split('\n');
    for (const QByteArray& line : lines) {
      if (line.startsWith("fitness")) continue;
      written << (line.startsWith('{') ? QJsonDocument::fromJson(line)["fitness"].toDouble()
                                       : line.split(',').value(0).toDouble());
    }
    const QXYSeries* points = series_named(page().trial_chart(), "trial fitness");
    ASSERT_NE(points, nullptr);
    ASSERT_EQ(points->count(), written.size());
    for (int i = 0; i < written.size(); ++i) {
      EXPECT_EQ(points->at(i).x(), i + 1);
      EXPECT_DOUBLE_EQ(points->at(i).y(), written[i]);
    }
    const int best = int(std::max_element(written.begin(), written.end()) - written.begin()) + 1;
    EXPECT_NE(series_named(page().trial_chart(),
                           QStringLiteral("best: trial %1, lr0 0.0042, lrf 0.3").arg(best)),
              nullptr);
    // The values the search applied are the best trial's.
    EXPECT_DOUBLE_EQ(config().lr0_input->value(), 0.0042);
    // A search alone shows only its chart.
    QStringList charts_shown;
    for (const QChartView* view : page().findChildren<QChartView*>())
      if (view->isVisibleTo(&page())) charts_shown << view->chart()->title();
    EXPECT_EQ(charts_shown, QStringList{"AutoML trials"});
  }
}

// Start-up makes no chart: only showing the page or the first values do.
TEST_F(LiveMetrics, ChartsAreMadeWhenThePageIsFirstShown) {
  OrvaneStudio fresh(make_standin_engine());
  fresh.show();
  QCoreApplication::processEvents();
  EXPECT_TRUE(fresh.findChildren<QChartView*>().isEmpty());
  EXPECT_EQ(fresh.tab_progress->live_metrics->loss_chart(), nullptr);
  fresh.tabs->setCurrentWidget(fresh.tab_progress);
  QCoreApplication::processEvents();
  EXPECT_NE(fresh.tab_progress->live_metrics->loss_chart(), nullptr);
  EXPECT_EQ(fresh.findChildren<QChartView*>().size(), 3);

  ScriptedDialogs scripted;
  LiveMetricsPage hidden(scripted);
  EXPECT_EQ(hidden.quality_chart(), nullptr);
  hidden.add_epoch({1, {{Measure::Map50, 0.5}, {Measure::Map50_95, 0.25}}});
  ASSERT_NE(hidden.quality_chart(), nullptr);
  EXPECT_EQ(series_named(hidden.quality_chart(), "mAP50")->count(), 1);
}

// Chart grounds, texts and lines follow the theme toggle: texts 4.5 : 1, lines 3 : 1 against
// the ground.
TEST_F(LiveMetrics, ChartsFollowTheThemeAndStayReadable) {
  progress().live_metrics->add_epoch({1,
                                      {{Measure::TrainBox, 1.2},
                                       {Measure::ValDfl, 1.0},
                                       {Measure::Map50, 0.5},
                                       {Measure::Map50_95Mask, 0.3}}});
  page().show_search(true);
  page().set_trials({{1, 0.4, 0.01, 0.1}, {2, 0.5, 0.02, 0.2}});
  for (const bool dark : {true, false, true}) {
    SCOPED_TRACE(dark ? "dark" : "light");
    if (window.is_dark_mode != dark) window.theme_toggle->click();
    QCoreApplication::processEvents();
    const QColor ground(theme_colour(dark, "panel"));
    for (QChart* chart : {page().loss_chart(), page().quality_chart(), page().trial_chart()}) {
      SCOPED_TRACE(chart->title().toStdString());
      EXPECT_EQ(chart->backgroundBrush().color(), ground);
      EXPECT_GE(contrast(chart->titleBrush().color(), ground), 4.5);
      EXPECT_GE(contrast(chart->legend()->labelColor(), ground), 4.5);
      for (QAbstractAxis* axis : chart->axes())
        EXPECT_GE(contrast(axis->labelsColor(), ground), 4.5);
      for (QAbstractSeries* series : chart->series()) {
        const auto* xy = qobject_cast<QXYSeries*>(series);
        if (!xy || xy->name().isEmpty()) continue;
        const QColor line = qobject_cast<QScatterSeries*>(series) ? xy->color() : xy->pen().color();
        EXPECT_GE(contrast(line, ground), 3.0) << xy->name().toStdString();
      }
    }
  }
}

// "Save chart as PNG" writes the charts through the save chooser; "Copy values as CSV" puts a
// header and a line per epoch (and the trials of a search) on the clipboard.
TEST_F(LiveMetrics, SaveAsPngAndCopyAsCsv) {
  ScriptedDialogs scripted;
  LiveMetricsPage live(scripted);
  live.resize(800, 700);
  live.show();
  EXPECT_FALSE(live.btn_save_png->isEnabled());
  EXPECT_FALSE(live.btn_copy_csv->isEnabled());
  live.add_epoch({1, {{Measure::TrainBox, 1.5}, {Measure::Map50_95, 0.25}}});
  live.add_epoch({2, {{Measure::TrainBox, 1.25}, {Measure::Map50_95, 0.375}}});

  // Cancelled, with its suffix, the suffix added, into a missing folder.
  const std::pair<QString, QString> saves[] = {
      {"", ""}, {"curves.png", "curves.png"}, {"curves2", "curves2.png"}, {"missing/c.png", ""}};
  for (const auto& [answer, written] : saves) {
    SCOPED_TRACE(answer.toStdString());
    scripted.calls.clear();
    if (!answer.isEmpty()) scripted.save_files.push_back(dir.filePath(answer));
    live.btn_save_png->click();
    EXPECT_EQ(scripted.last("save_file")->title, "Save Chart as PNG");
    EXPECT_EQ(scripted.count("critical"), answer.startsWith("missing") ? 1 : 0);
    if (!written.isEmpty()) {
      EXPECT_GE(QImage(dir.filePath(written)).width(), 400);
    }
  }
  live.btn_copy_csv->click();
  EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(),
            "epoch,train/box,map50_95\n1,1.5,0.25\n2,1.25,0.375\n");
  live.show_search(true);
  live.set_trials({{1, 0.4, 0.01, 0.1}});
  live.btn_copy_csv->click();
  EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(),
            "epoch,train/box,map50_95\n1,1.5,0.25\n2,1.25,0.375\n\n"
            "trial,fitness,lr0,lrf\n1,0.4,0.01,0.1\n");
}

// Epochs outside the run are neither shown nor drawn: the engine's reports go through the
// trainer's check (total given) or straight to the page (none). The epoch and trial axes keep
// about ten ticks at each change of range or interval, however far the numbers go; a line
// draws at most kMostDrawnPoints points, the first and the last among them, while the history
// and the CSV keep every epoch.
TEST(LiveMetricsEpochs, OnlyEpochsOfTheRunAreDrawnAndLinesAreCapped) {
  using Reports = std::vector<std::pair<int, std::optional<int>>>;  // epoch, total
  Reports ten_thousand;
  for (int e = 0; e < 10000; ++e) ten_thousand.push_back({e, 10000});
  const struct {
    const char* what;
    Reports reports;
    int kept, first, last;  // epochs in the history; the first and last drawn
  } cases[] = {
      {"in order", {{0, 3}, {1, 3}, {2, 3}}, 3, 1, 3},
      {"a run of -1 or 0 epochs", {{-7, -1}, {0, -1}, {0, 0}}, 0, 0, 0},
      {"below 0 and past the total", {{-1, 3}, {0, 3}, {3, 3}, {4999, 3}}, 1, 1, 1},
      {"straight to the page", {{-6, {}}, {0, {}}, {2, {}}}, 1, 2, 2},
      {"epoch 5000 after epoch 1", {{0, 10000}, {4999, 10000}}, 2, 1, 5000},
      {"two billion", {{0, INT_MAX}, {INT_MAX - 2, INT_MAX}}, 2, 1, INT_MAX - 1},
      {"10,000 epochs", ten_thousand, 10000, 1, 10000},
  };
  ScriptedDialogs scripted;
  LiveMetricsPage live(scripted);
  live.show();
  double most_ticks = 0;
  for (QChart* chart : {live.loss_chart(), live.trial_chart()}) {
    auto* x = qobject_cast<QValueAxis*>(chart->axes(Qt::Horizontal).value(0));
    const auto count = [x, &most_ticks] {
      most_ticks = std::max(most_ticks, (x->max() - x->min()) / x->tickInterval());
    };
    QObject::connect(x, &QValueAxis::rangeChanged, count);
    QObject::connect(x, &QValueAxis::tickIntervalChanged, count);
  }
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    live.clear_epochs();
    most_ticks = 0;
    for (const auto& [engine_epoch, total] : c.reports) {
      const std::optional<int> epoch = total ? run_epoch(engine_epoch, *total) : engine_epoch;
      const double wave = std::sin(0.37 * engine_epoch);  // lowest and highest differ
      if (epoch) live.add_epoch(epoch_metrics(*epoch, {{"train/box_loss", wave}}));
    }
    EXPECT_TRUE(QTest::qWaitFor([&] {  // a large page: soon
      const QXYSeries* line = series_named(live.loss_chart(), "train box");
      return (line ? int(line->at(line->count() - 1).x()) : 0) == c.last;
    }));
    EXPECT_EQ(int(live.history().epochs().size()), c.kept);
    EXPECT_EQ(live.history().csv().count(QLatin1Char('\n')), c.kept + 1);
    EXPECT_LE(most_ticks, 30);
    const QXYSeries* line = series_named(live.loss_chart(), "train box");
    ASSERT_EQ(line != nullptr, c.kept > 0);
    if (!line) continue;
    EXPECT_EQ(line->count(), std::min<qsizetype>(c.kept, kMostDrawnPoints));
    EXPECT_EQ(line->at(0).x(), c.first);
  }
  TrialResults trials;  // a search of many trials, capped as the epochs are
  for (int t = 1; t <= 5000; ++t) trials << TrialResult{t, 0.5 + 0.3 * std::sin(0.1 * t), {}, {}};
  live.set_trials(trials);
  const QXYSeries* points = series_named(live.trial_chart(), "trial fitness");
  EXPECT_TRUE(QTest::qWaitFor([&] { return points->count() == kMostDrawnPoints; }));
  EXPECT_LE(most_ticks, 30);
}

// The fitness axis reads apart however small the trials' fitness.
TEST(LiveMetricsTrials, TheFitnessAxisShowsReadableValues) {
  ScriptedDialogs scripted;
  LiveMetricsPage live(scripted);
  for (const double fitness : {3e-05, 0.00042, 0.61}) {
    live.set_trials({{1, fitness / 3, {}, {}}, {2, fitness, {}, {}}});
    auto* y = qobject_cast<QValueAxis*>(live.trial_chart()->axes(Qt::Vertical).value(0));
    ASSERT_TRUE(QTest::qWaitFor([&] { return y->max() >= fitness; }));
    QSet<QString> labels;
    for (int i = 0; i < y->tickCount(); ++i)
      labels << QString::asprintf(y->labelFormat().toLatin1().constData(),
                                  y->min() + i * (y->max() - y->min()) / (y->tickCount() - 1));
    EXPECT_EQ(labels.size(), y->tickCount()) << fitness;
  }
}

// An epoch sent again replaces its point in the lines the page keeps between draws.
TEST(LiveMetricsEpochs, AnEpochSentAgainReplacesItsPoint) {
  ScriptedDialogs scripted;
  LiveMetricsPage live(scripted);
  live.show();
  for (const auto& [epoch, value] : {std::pair{1, 1.0}, {2, 2.0}, {2, 0.5}, {3, 0.25}})
    live.add_epoch({epoch, {{Measure::TrainBox, value}}});
  const QXYSeries* line = series_named(live.loss_chart(), "train box");
  ASSERT_TRUE(QTest::qWaitFor([&] { return line->count() == 3; }));
  EXPECT_EQ(line->points(), (QList<QPointF>{{1, 1.0}, {2, 0.5}, {3, 0.25}}));
}

}  // namespace
