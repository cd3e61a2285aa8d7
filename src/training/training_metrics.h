// The measures of a training run epoch by epoch, under fixed names whatever the engine's
// release calls them, and the trials of an AutoML search as its results file lists them.
#pragma once

#include <QList>
#include <QPointF>
#include <QString>
#include <bitset>
#include <map>
#include <optional>
#include <span>
#include <utility>
#include <vector>

namespace orvane {

// The measures kept per epoch, in the order of their columns.
enum class Measure {
  TrainBox,
  TrainCls,
  TrainDfl,
  TrainSeg,
  ValBox,
  ValCls,
  ValDfl,
  ValSeg,
  Precision,
  Recall,
  Map50,
  Map50_95,
  PrecisionMask,
  RecallMask,
  Map50Mask,
  Map50_95Mask,
  LrPg0,
  LrPg1,
  LrPg2,
};

// Every measure, in column order.
std::span<const Measure> all_measures();
// The fixed name: "train/box" ... "val/seg", "precision", "recall", "map50", "map50_95", the
// same with "_mask" for the mask measures, "lr/pg0" ... "lr/pg2". Also the CSV column.
QString measure_key(Measure measure);
// How a chart's legend names it: "train box", "mAP50-95", "mask recall", ...
QString measure_label(Measure measure);

// The measure an engine name stands for: "train/box_loss", "val/seg_loss",
// "metrics/precision(B)", "metrics/mAP50-95(M)", a measure without its "(B)", "lr/pg1".
// Nothing for any other name.
std::optional<Measure> measure_of(const QString& engine_name);

struct EpochMetrics {
  EpochMetrics() = default;
  EpochMetrics(int epoch, std::map<Measure, double> values)
      : epoch(epoch), values(std::move(values)) {}

  int epoch = 0;                     // counted from 1
  std::map<Measure, double> values;  // NaN: the engine held no finite number
  // The engine's own fitness of the epoch and its best fitness after it, where it sent them.
  // Its releases rank differently (8.3: 0.1 mAP50 + 0.9 mAP50-95; 8.4: mAP50-95 alone); the
  // epoch whose fitness equals the best is the one the engine wrote to best.pt.
  std::optional<double> engine_fitness, engine_best;

  std::optional<double> value(Measure measure) const;
  // The ranking of an engine that sends no fitness of its own: 0.1 mAP50 + 0.9 mAP50-95, of
  // the boxes plus of the masks when the run has them. Nothing without finite mAP values.
  std::optional<double> fitness() const;
  // Whether the engine saved this epoch as its best weights (by its own fitness).
  bool saved_as_best() const;
};

// The epoch, counted from 1, whose end the engine's trainer reports with its own `epoch`
// (counted from 0) of `epochs`; nothing for an epoch outside the run (below 0, at or past
// `epochs`, or a run of no epochs): such a report is neither shown nor drawn.
std::optional<int> run_epoch(int epoch, int epochs);

// One epoch's values as the engine names them (Trainer::metrics) under the fixed names; names
// measure_of does not know are left out. A measure the engine holds both with "(B)" and
// without keeps the "(B)" value.
EpochMetrics epoch_metrics(int epoch, const std::map<QString, double>& engine_values);

// The epochs of a run folder's results.csv (columns named as the engine names its values, one
// row per epoch; "nan" or "inf" read as NaN), those of the latest run written into it: rows of
// an earlier run in the same folder, before the epochs start again, are left out, and so is a
// line still being written. Empty when the file cannot be read. Any thread.
std::vector<EpochMetrics> read_results_csv(const QString& path);

// The epochs of one run, in the order they ended.
class MetricsHistory {
 public:
  // Adds the epoch, or replaces the one with the same number; false (and nothing kept) for an
  // epoch below 1.
  bool add(const EpochMetrics& epoch);
  void clear();
  const std::vector<EpochMetrics>& epochs() const { return epochs_; }
  bool empty() const { return epochs_.empty(); }
  // Whether some epoch holds the measure.
  bool has(Measure measure) const;
  // The epoch the engine wrote to best.pt: the latest one it saved as its best by its own
  // fitness. With an engine that sends no fitness, the epoch with the highest fitness() (the
  // first of equal ones). Nothing when no epoch has one.
  std::optional<EpochMetrics> best_epoch() const;
  // A header line "epoch,<key>,..." with the measures some epoch holds, in column order, then
  // one line per epoch; a value an epoch lacks is an empty field, NaN is "nan", numbers are
  // written as "%.6g".
  QString csv() const;

 private:
  // What has and best_epoch answer, kept as epochs come: a run of many epochs asks after each.
  void recount();
  void count(std::size_t index);

  std::vector<EpochMetrics> epochs_;
  std::bitset<32> held_;
  std::optional<std::size_t> best_;
  double best_fitness_ = 0;
  std::optional<std::size_t> engine_best_;  // the latest epoch saved as best
};

// How many points one line of a chart draws at most: a chart is under a thousand pixels wide,
// and each of its sixteen lines keeps a low and a high point per two to four pixels; more
// points take longer to lay out and paint than a frame has.
constexpr qsizetype kMostDrawnPoints = 250;

// At most `most` (>= 4) of a line's points, for drawing: the first and the last, and between
// them, of each of (most - 2) / 2 equal runs of points, its lowest and its highest, in their
// order. A line of no more than `most` points is kept whole.
QList<QPointF> thinned_line(const QList<QPointF>& points, qsizetype most = kMostDrawnPoints);

// One finished trial of an AutoML search.
struct TrialResult {
  int trial = 0;  // counted from 1, in the order of the results file
  double fitness = 0;
  std::optional<double> lr0, lrf;
  bool operator==(const TrialResult&) const = default;
};
using TrialResults = QList<TrialResult>;

// The names of the search's results file: "tune_results.csv" (a header line "fitness,<name>,..."
// then one line per trial) and "tune_results.ndjson" (one JSON object per trial: "fitness" and
// the hyperparameters, at its top level or in an object inside it).
QStringList trial_results_names();

// The trials in the results file at `path`, of either kind (told by its name). Only whole
// lines count: a line the tuner is still writing is read next time. A line without a fitness
// still counts as a trial but is not listed. Empty when the file cannot be read. Any thread.
TrialResults read_trial_results(const QString& path);

// The trial with the highest fitness (the first of equal ones); nothing for none.
std::optional<TrialResult> best_trial(const TrialResults& trials);
// "trial,fitness,lr0,lrf" and one line per trial (a missing rate is an empty field).
QString trials_csv(const TrialResults& trials);

}  // namespace orvane
