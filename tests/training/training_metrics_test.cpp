// The epoch measures under fixed names, their history and CSV, and the search's trials as its
// results file lists them.
#include "training/training_metrics.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cmath>
#include <limits>

#include "support/test_files.h"
#include "training/tune_result.h"

namespace orvane {
// Readable failures.
void PrintTo(const TrialResult& t, std::ostream* os) {
  const auto rate = [](const std::optional<double>& r) {
    return r ? std::to_string(*r) : std::string("-");
  };
  *os << "{trial " << t.trial << ", fitness " << t.fitness << ", lr0 " << rate(t.lr0) << ", lrf "
      << rate(t.lrf) << "}";
}
}  // namespace orvane

using namespace orvane;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The names both release lines give ("" for a name that is no measure of ours).
TEST(TrainingMetrics, EngineNamesMapToFixedKeys) {
  const std::pair<const char*, const char*> cases[] = {
      {"train/box_loss", "train/box"},
      {"train/seg_loss", "train/seg"},
      {"val/cls_loss", "val/cls"},
      {"val/dfl_loss", "val/dfl"},
      {"metrics/precision(B)", "precision"},
      {"metrics/recall(B)", "recall"},
      {"metrics/mAP50(B)", "map50"},
      {"metrics/mAP50-95(B)", "map50_95"},
      {"metrics/mAP50-95", "map50_95"},
      {"metrics/precision(M)", "precision_mask"},
      {"metrics/mAP50-95(M)", "map50_95_mask"},
      {"lr/pg2", "lr/pg2"},
      {"train/loss", ""},
      {"val/box", ""},
      {"metrics/fitness", ""},
      {"metrics/mAP50-95(P)", ""},
      {"metrics/mAP75(B)", ""},
      {"box_loss", ""},
      {"lr/pg3", ""},
      {"epoch", ""},
  };
  for (const auto& [engine, key] : cases) {
    const std::optional<Measure> measure = measure_of(QString::fromLatin1(engine));
    EXPECT_EQ(measure ? measure_key(*measure).toStdString() : "", key) << engine;
  }
}

TEST(TrainingMetrics, AnEpochKeepsKnownValuesAndPrefersBoxMeasures) {
  const EpochMetrics epoch = epoch_metrics(4, {{"metrics/mAP50(B)", 0.6},
                                               {"metrics/mAP50", 0.1},
                                               {"metrics/recall", 0.3},
                                               {"train/box_loss", kNaN},
                                               {"metrics/fitness", 0.9}});
  EXPECT_EQ(epoch.epoch, 4);
  EXPECT_EQ(epoch.values.size(), 3u);
  EXPECT_EQ(epoch.value(Measure::Map50), 0.6);
  EXPECT_EQ(epoch.value(Measure::Recall), 0.3) << "without its (B), still the box measure";
  EXPECT_TRUE(std::isnan(epoch.value(Measure::TrainBox).value_or(0)));
}

// The best epoch by 0.1 mAP50 + 0.9 mAP50-95, of boxes and masks.
TEST(TrainingMetrics, TheBestEpoch) {
  using M = Measure;
  const struct {
    const char* what;
    std::map<M, double> first, second;
    std::optional<int> best;
  } cases[] = {
      {"no mAP", {{M::TrainBox, 1}}, {{M::Precision, 1}}, std::nullopt},
      {"weighted", {{M::Map50, 0.9}, {M::Map50_95, 0.3}}, {{M::Map50, 0.5}, {M::Map50_95, 0.4}}, 2},
      {"first of equals",
       {{M::Map50, 0.5}, {M::Map50_95, 0.4}},
       {{M::Map50, 0.5}, {M::Map50_95, 0.4}},
       1},
      {"NaN is no fitness",
       {{M::Map50, 0.2}, {M::Map50_95, 0.1}},
       {{M::Map50, kNaN}, {M::Map50_95, 0.9}},
       1},
      {"masks count",
       {{M::Map50, 0.5}, {M::Map50_95, 0.4}},
       {{M::Map50, 0.5}, {M::Map50_95, 0.35}, {M::Map50Mask, 0.5}, {M::Map50_95Mask, 0.3}},
       2},
  };
  for (const auto& c : cases) {
    MetricsHistory history;
    history.add({1, c.first});
    history.add({2, c.second});
    const std::optional<EpochMetrics> best = history.best_epoch();
    EXPECT_EQ(best ? std::optional<int>(best->epoch) : std::nullopt, c.best) << c.what;
  }
}

TEST(TrainingMetrics, HistoryReplacesARepeatedEpochAndWritesCsv) {
  MetricsHistory history;
  history.add({1, {{Measure::TrainBox, 1.5}, {Measure::Map50_95, 0.125}}});
  history.add({2, {{Measure::TrainBox, 1.25}}});
  history.add({2, {{Measure::TrainBox, 1.0}, {Measure::LrPg0, 0.00123456789}}});
  history.add({3, {{Measure::TrainBox, kNaN}, {Measure::Map50_95, 0.25}}});
  EXPECT_EQ(history.csv().toStdString(),
            "epoch,train/box,map50_95,lr/pg0\n"
            "1,1.5,0.125,\n"
            "2,1,,0.00123457\n"
            "3,nan,0.25,\n");
}

// With the engine's own fitness sent, the best epoch is the latest it saved as best.pt (a tie
// writes it again), whatever 0.1 mAP50 + 0.9 mAP50-95 would say.
TEST(TrainingMetrics, TheBestEpochIsTheOneTheEngineSaved) {
  const struct {
    std::optional<double> fitness, best;
  } epochs[] = {{0.3, 0.3}, {0.5, 0.5}, {0.4, 0.5}, {0.5, 0.5}, {std::nullopt, 0.5}};
  MetricsHistory history;
  for (int e = 0; e < 5; ++e) {
    EpochMetrics epoch(e + 1, {{Measure::Map50, 1.0 - 0.2 * e}, {Measure::Map50_95, 0.3}});
    epoch.engine_fitness = epochs[e].fitness;
    epoch.engine_best = epochs[e].best;
    history.add(epoch);
  }
  EXPECT_EQ(history.best_epoch()->epoch, 4);
}

// A run folder's results.csv: columns by name (padded or not), non-finite values as NaN, only
// the rows of the latest run written into it, only whole lines.
TEST(TrainingMetrics, ResultsCsvOfTheLatestRun) {
  QTemporaryDir dir;
  const QString path = dir.filePath("results.csv");
  write_file(path,
             "  epoch, time,train/box_loss,metrics/mAP50-95(B)\n"
             "1,1,2.5,0.1\n2,2,2.25,0.2\n3,3,2,0.3\n"  // an earlier run in the same folder
             "      1,   0.5,       1.5,  nan\n"
             "2,1.0,inf,0.25\n"
             "3,1.5,1.");
  MetricsHistory history;
  for (const EpochMetrics& epoch : read_results_csv(path)) history.add(epoch);
  EXPECT_EQ(history.csv().toStdString(), "epoch,train/box,map50_95\n1,1.5,nan\n2,nan,0.25\n");
  EXPECT_TRUE(read_results_csv(dir.filePath("none.csv")).empty());
}

TEST(TrialResults, BothFileKindsAreRead) {
  QTemporaryDir dir;
  const struct {
    const char* what;
    const char* name;
    QByteArray text;
    TrialResults trials;
  } cases[] = {
      {"8.3: fitness first",
       "tune_results.csv",
       "fitness,lr0,lrf,momentum\n0.41,0.01,0.02,0.9\n0.55,0.008,0.012,0.93\n",
       {{1, 0.41, 0.01, 0.02}, {2, 0.55, 0.008, 0.012}}},
      {"columns by name, no fitness, a line still being written",
       "tune_results.csv",
       "lrf,fitness,lr0\n0.5,0.3,\n0.5,,0.1\n,0.6,0.2\n0.7,0.9",
       {{1, 0.3, std::nullopt, 0.5}, {3, 0.6, 0.2, std::nullopt}}},
      {"8.4.52: flat records",
       "tune_results.ndjson",
       "{\"fitness\": 0.4, \"lr0\": 0.01, \"lrf\": 0.1}\n\n{\"fitness\": 0.6, \"lr0\": 0.02}\n",
       {{1, 0.4, 0.01, 0.1}, {2, 0.6, 0.02, std::nullopt}}},
      {"8.4.52: nested, broken lines",
       "tune_results.ndjson",
       "{\"fitness\": 0.5, \"hyperparameters\": {\"lr0\": 0.03, \"lrf\": 0.2}}\nnot json\n"
       "{\"fitness\": \"high\"}\n{\"fitness\": 0.7, \"hyp",
       {{1, 0.5, 0.03, 0.2}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const QString path = dir.filePath(QString::number(&c - cases) + "/" + c.name);
    write_file(path, c.text);
    EXPECT_EQ(read_trial_results(path), c.trials);
  }
  const TrialResults trials{{1, 0.4, 0.01, 0.1}, {2, 0.6, 0.02, std::nullopt}, {3, 0.6, 0.3, 1}};
  EXPECT_EQ(best_trial(trials)->trial, 2);
  EXPECT_EQ(trials_csv(trials).toStdString(),
            "trial,fitness,lr0,lrf\n1,0.4,0.01,0.1\n2,0.6,0.02,\n3,0.6,0.3,1\n");
}

// Only this search's results file counts, as for its result file.
TEST(TrialResults, OnlyAFileThisSearchWroteCounts) {
  QTemporaryDir dir;
  write_file(dir.filePath("old_tune/tune_results.csv"), "fitness\n0.9\n");
  const TuneFiles before = list_trial_results(dir.path());
  EXPECT_EQ(newest_trial_results(dir.path(), before), QString());
  write_file(dir.filePath("new_tune/tune_results.ndjson"), "{\"fitness\": 0.5}\n");
  write_file(dir.filePath("new_tune/best_hyperparameters.yaml"), "lr0: 0.1\n");
  EXPECT_EQ(newest_trial_results(dir.path(), before), dir.filePath("new_tune/tune_results.ndjson"));
}

}  // namespace
