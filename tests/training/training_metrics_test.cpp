// The epoch measures under fixed names, their history and CSV, and the search's trials as its
// results file lists them.
#include "training/training_metrics.h"

#include <gtest/gtest.h>

#include <QSet>
#include <QTemporaryDir>
#include <cmath>
#include <limits>

#include "support/test_files.h"
#include "training/tune_result.h"

using namespace orvane;

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

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The names both release lines give, and names that are no measure of ours.
TEST(TrainingMetrics, EngineNamesMapToFixedKeys) {
  const struct {
    const char* engine;
    const char* key;  // "" for none
  } cases[] = {
      {"train/box_loss", "train/box"},
      {"train/cls_loss", "train/cls"},
      {"train/dfl_loss", "train/dfl"},
      {"train/seg_loss", "train/seg"},
      {"val/box_loss", "val/box"},
      {"val/seg_loss", "val/seg"},
      {"metrics/precision(B)", "precision"},
      {"metrics/recall(B)", "recall"},
      {"metrics/mAP50(B)", "map50"},
      {"metrics/mAP50-95(B)", "map50_95"},
      {"metrics/mAP50-95", "map50_95"},
      {"metrics/precision(M)", "precision_mask"},
      {"metrics/mAP50-95(M)", "map50_95_mask"},
      {"lr/pg0", "lr/pg0"},
      {"lr/pg2", "lr/pg2"},
      {"train/loss", ""},
      {"val/box", ""},
      {"metrics/fitness", ""},
      {"metrics/mAP50-95(P)", ""},
      {"metrics/mAP75(B)", ""},
      {"fitness", ""},
      {"epoch", ""},
      {"lr/pg3", ""},
      {"box_loss", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.engine);
    const std::optional<Measure> measure = measure_of(QString::fromLatin1(c.engine));
    EXPECT_EQ(measure ? measure_key(*measure).toStdString() : "", c.key);
  }
  // Every key names one measure.
  QStringList keys;
  for (Measure measure : all_measures()) keys << measure_key(measure);
  EXPECT_EQ(keys.size(), QSet<QString>(keys.begin(), keys.end()).size());
}

TEST(TrainingMetrics, AnEpochKeepsKnownValuesAndPrefersBoxMeasures) {
  const EpochMetrics epoch = epoch_metrics(4, {{"metrics/mAP50(B)", 0.6},
                                               {"metrics/mAP50", 0.1},
                                               {"metrics/recall", 0.3},
                                               {"train/box_loss", kNaN},
                                               {"metrics/fitness", 0.9},
                                               {"val/dfl_loss", 1.25}});
  EXPECT_EQ(epoch.epoch, 4);
  EXPECT_EQ(epoch.values.size(), 4u);
  EXPECT_EQ(epoch.value(Measure::Map50), 0.6);
  EXPECT_EQ(epoch.value(Measure::Recall), 0.3) << "without its (B), still the box measure";
  EXPECT_EQ(epoch.value(Measure::ValDfl), 1.25);
  ASSERT_TRUE(epoch.value(Measure::TrainBox));
  EXPECT_TRUE(std::isnan(*epoch.value(Measure::TrainBox)));
  EXPECT_FALSE(epoch.value(Measure::Precision));
}

TEST(TrainingMetrics, FitnessAndTheBestEpoch) {
  const auto epoch = [](int n, std::map<Measure, double> values) {
    return EpochMetrics{n, std::move(values)};
  };
  const struct {
    const char* what;
    std::vector<EpochMetrics> epochs;
    std::optional<int> best;
  } cases[] = {
      {"no mAP at all",
       {epoch(1, {{Measure::TrainBox, 1}}), epoch(2, {{Measure::Precision, 1}})},
       std::nullopt},
      // 0.1 mAP50 + 0.9 mAP50-95: a higher mAP50 alone does not win.
      {"weighted",
       {epoch(1, {{Measure::Map50, 0.9}, {Measure::Map50_95, 0.3}}),
        epoch(2, {{Measure::Map50, 0.5}, {Measure::Map50_95, 0.4}})},
       2},
      {"the first of equals",
       {epoch(1, {{Measure::Map50, 0.5}, {Measure::Map50_95, 0.4}}),
        epoch(2, {{Measure::Map50, 0.5}, {Measure::Map50_95, 0.4}})},
       1},
      {"NaN is no fitness",
       {epoch(1, {{Measure::Map50, 0.2}, {Measure::Map50_95, 0.1}}),
        epoch(2, {{Measure::Map50, kNaN}, {Measure::Map50_95, 0.9}})},
       1},
      {"masks count too",
       {epoch(1, {{Measure::Map50, 0.5}, {Measure::Map50_95, 0.4}}),
        epoch(2, {{Measure::Map50, 0.5},
                  {Measure::Map50_95, 0.35},
                  {Measure::Map50Mask, 0.5},
                  {Measure::Map50_95Mask, 0.3}})},
       2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    MetricsHistory history;
    for (const EpochMetrics& e : c.epochs) history.add(e);
    const std::optional<EpochMetrics> best = history.best_epoch();
    EXPECT_EQ(best ? std::optional<int>(best->epoch) : std::nullopt, c.best);
  }
  EXPECT_DOUBLE_EQ(*epoch(1, {{Measure::Map50, 0.5}, {Measure::Map50_95, 0.4}}).fitness(), 0.41);
}

TEST(TrainingMetrics, HistoryReplacesARepeatedEpochAndWritesCsv) {
  MetricsHistory history;
  history.add({1, {{Measure::TrainBox, 1.5}, {Measure::Map50_95, 0.125}}});
  history.add({2, {{Measure::TrainBox, 1.25}}});
  history.add({2, {{Measure::TrainBox, 1.0}, {Measure::LrPg0, 0.00123456789}}});
  history.add({3, {{Measure::TrainBox, kNaN}, {Measure::Map50_95, 0.25}}});
  ASSERT_EQ(history.epochs().size(), 3u);
  EXPECT_EQ(history.epochs()[1].value(Measure::TrainBox), 1.0);
  EXPECT_TRUE(history.has(Measure::LrPg0));
  EXPECT_FALSE(history.has(Measure::ValBox));
  EXPECT_EQ(history.csv().toStdString(),
            "epoch,train/box,map50_95,lr/pg0\n"
            "1,1.5,0.125,\n"
            "2,1,,0.00123457\n"
            "3,nan,0.25,\n");
  history.clear();
  EXPECT_TRUE(history.empty());
  EXPECT_EQ(history.csv().toStdString(), "epoch\n");
}

TEST(TrialResults, BothFileKindsAreRead) {
  QTemporaryDir dir;
  const struct {
    const char* what;
    const char* name;
    QByteArray text;
    TrialResults trials;
  } cases[] = {
      {"8.3: fitness first, then the hyperparameters",
       "tune_results.csv",
       "fitness,lr0,lrf,momentum\n0.41,0.01,0.02,0.9\n0.55,0.008,0.012,0.93\n",
       {{1, 0.41, 0.01, 0.02}, {2, 0.55, 0.008, 0.012}}},
      {"columns by name, a trial without fitness skipped",
       "tune_results.csv",
       "momentum,lrf,fitness\n0.9,0.5,0.3\n0.9,0.5,\n0.9,,0.6\n",
       {{1, 0.3, std::nullopt, 0.5}, {3, 0.6, std::nullopt, std::nullopt}}},
      {"a line still being written waits",
       "tune_results.csv",
       "fitness,lr0\n0.41,0.01\n0.5",
       {{1, 0.41, 0.01, std::nullopt}}},
      {"8.4.52: flat records",
       "tune_results.ndjson",
       "{\"fitness\": 0.4, \"lr0\": 0.01, \"lrf\": 0.1}\n\n{\"fitness\": 0.6, \"lr0\": 0.02}\n",
       {{1, 0.4, 0.01, 0.1}, {2, 0.6, 0.02, std::nullopt}}},
      {"8.4.52: hyperparameters inside the record, broken lines",
       "tune_results.ndjson",
       "{\"iteration\": 1, \"fitness\": 0.5, \"hyperparameters\": {\"lr0\": 0.03, \"lrf\": 0.2}}\n"
       "not json\n"
       "{\"iteration\": 3, \"fitness\": \"high\"}\n"
       "{\"iteration\": 4, \"fitness\": 0.7, \"hyp",
       {{1, 0.5, 0.03, 0.2}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const QString path = dir.filePath(QString::number(&c - cases) + "/" + c.name);
    write_file(path, c.text);
    EXPECT_EQ(read_trial_results(path), c.trials);
  }
  EXPECT_TRUE(read_trial_results(dir.filePath("none/tune_results.csv")).isEmpty());
}

TEST(TrialResults, BestTrialAndCsv) {
  const TrialResults trials{{1, 0.4, 0.01, 0.1}, {2, 0.6, 0.02, std::nullopt}, {3, 0.6, 0.03, 0.3}};
  ASSERT_TRUE(best_trial(trials));
  EXPECT_EQ(best_trial(trials)->trial, 2);
  EXPECT_FALSE(best_trial({}));
  EXPECT_EQ(trials_csv(trials).toStdString(),
            "trial,fitness,lr0,lrf\n1,0.4,0.01,0.1\n2,0.6,0.02,\n3,0.6,0.03,0.3\n");
}

// Only this search's results file counts, as for its result file.
TEST(TrialResults, OnlyAFileThisSearchWroteCounts) {
  QTemporaryDir dir;
  write_file(dir.filePath("old_tune/tune_results.csv"), "fitness\n0.9\n");
  const TuneFiles before = list_trial_results(dir.path());
  EXPECT_EQ(before.size(), 1);
  EXPECT_EQ(newest_trial_results(dir.path(), before), QString());
  write_file(dir.filePath("new_tune/tune_results.ndjson"), "{\"fitness\": 0.5}\n");
  write_file(dir.filePath("new_tune/best_hyperparameters.yaml"), "lr0: 0.1\n");
  EXPECT_EQ(newest_trial_results(dir.path(), before), dir.filePath("new_tune/tune_results.ndjson"));
}

}  // namespace
