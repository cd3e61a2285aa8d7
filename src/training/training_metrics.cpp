#include "training/training_metrics.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <limits>

namespace orvane {
namespace {

struct MeasureName {
  Measure measure;
  const char* key;
  const char* label;
};

constexpr MeasureName kMeasures[] = {
    {Measure::TrainBox, "train/box", "train box"},
    {Measure::TrainCls, "train/cls", "train cls"},
    {Measure::TrainDfl, "train/dfl", "train dfl"},
    {Measure::TrainSeg, "train/seg", "train seg"},
    {Measure::ValBox, "val/box", "val box"},
    {Measure::ValCls, "val/cls", "val cls"},
    {Measure::ValDfl, "val/dfl", "val dfl"},
    {Measure::ValSeg, "val/seg", "val seg"},
    {Measure::Precision, "precision", "precision"},
    {Measure::Recall, "recall", "recall"},
    {Measure::Map50, "map50", "mAP50"},
    {Measure::Map50_95, "map50_95", "mAP50-95"},
    {Measure::PrecisionMask, "precision_mask", "mask precision"},
    {Measure::RecallMask, "recall_mask", "mask recall"},
    {Measure::Map50Mask, "map50_mask", "mask mAP50"},
    {Measure::Map50_95Mask, "map50_95_mask", "mask mAP50-95"},
    {Measure::LrPg0, "lr/pg0", "lr pg0"},
    {Measure::LrPg1, "lr/pg1", "lr pg1"},
    {Measure::LrPg2, "lr/pg2", "lr pg2"},
};

// The table is in the order of the enumeration, so a measure is its own index.
constexpr bool in_enum_order() {
  for (std::size_t i = 0; i < std::size(kMeasures); ++i)
    if (static_cast<std::size_t>(kMeasures[i].measure) != i) return false;
  return true;
}
static_assert(in_enum_order());
static_assert(std::size(kMeasures) <= 32, "MetricsHistory keeps the measures held in 32 bits");

constexpr auto kAllMeasures = [] {
  std::array<Measure, std::size(kMeasures)> all{};
  for (std::size_t i = 0; i < all.size(); ++i) all[i] = kMeasures[i].measure;
  return all;
}();

const MeasureName& name_of(Measure measure) { return kMeasures[static_cast<int>(measure)]; }

// The loss measures of one prefix, by the engine's loss name.
std::optional<Measure> loss_measure(QStringView loss, bool train) {
  const struct {
    const char* name;
    Measure train, val;
  } losses[] = {{"box_loss", Measure::TrainBox, Measure::ValBox},
                {"cls_loss", Measure::TrainCls, Measure::ValCls},
                {"dfl_loss", Measure::TrainDfl, Measure::ValDfl},
                {"seg_loss", Measure::TrainSeg, Measure::ValSeg}};
  for (const auto& l : losses)
    if (loss == QLatin1String(l.name)) return train ? l.train : l.val;
  return std::nullopt;
}

// "precision", "recall", "mAP50", "mAP50-95", with "(B)" or "(M)" or neither.
std::optional<Measure> quality_measure(QStringView name) {
  bool mask = false;
  if (name.endsWith(u"(M)")) {
    mask = true;
    name.chop(3);
  } else if (name.endsWith(u"(B)")) {
    name.chop(3);
  }
  const struct {
    const char* name;
    Measure box, mask;
  } measures[] = {{"precision", Measure::Precision, Measure::PrecisionMask},
                  {"recall", Measure::Recall, Measure::RecallMask},
                  {"mAP50", Measure::Map50, Measure::Map50Mask},
                  {"mAP50-95", Measure::Map50_95, Measure::Map50_95Mask}};
  for (const auto& m : measures)
    if (name == QLatin1String(m.name)) return mask ? m.mask : m.box;
  return std::nullopt;
}

QString number_text(double value) {
  return std::isnan(value) ? QStringLiteral("nan") : QString::number(value, 'g', 6);
}

std::optional<double> finite(const QJsonValue& value) {
  if (!value.isDouble() || !std::isfinite(value.toDouble())) return std::nullopt;
  return value.toDouble();
}

// Reads "fitness", "lr0" and "lrf" of one record of the ndjson file: at its top level, or in an
// object inside it (the hyperparameters of the trial).
TrialResult json_trial(const QJsonObject& record, int trial, bool& has_fitness) {
  TrialResult result{trial, 0, std::nullopt, std::nullopt};
  const auto find = [&record](const char* key) -> std::optional<double> {
    const QLatin1String name(key);
    if (record.contains(name)) return finite(record.value(name));
    for (const QJsonValue& inner : record)
      if (inner.isObject() && inner.toObject().contains(name))
        return finite(inner.toObject().value(name));
    return std::nullopt;
  };
  const std::optional<double> fitness = find("fitness");
  has_fitness = fitness.has_value();
  result.fitness = fitness.value_or(0);
  result.lr0 = find("lr0");
  result.lrf = find("lrf");
  return result;
}

std::optional<double> csv_number(const QStringList& fields, qsizetype column) {
  if (column < 0 || column >= fields.size()) return std::nullopt;
  bool ok = false;
  const double value = fields[column].trimmed().toDouble(&ok);
  if (!ok || !std::isfinite(value)) return std::nullopt;
  return value;
}

}  // namespace

std::span<const Measure> all_measures() { return kAllMeasures; }

QString measure_key(Measure measure) { return QLatin1String(name_of(measure).key); }

QString measure_label(Measure measure) { return QLatin1String(name_of(measure).label); }

std::optional<Measure> measure_of(const QString& engine_name) {
  const QStringView name(engine_name);
  if (name.startsWith(u"train/")) return loss_measure(name.mid(6), true);
  if (name.startsWith(u"val/")) return loss_measure(name.mid(4), false);
  if (name.startsWith(u"metrics/")) return quality_measure(name.mid(8));
  if (name == u"lr/pg0") return Measure::LrPg0;
  if (name == u"lr/pg1") return Measure::LrPg1;
  if (name == u"lr/pg2") return Measure::LrPg2;
  return std::nullopt;
}

std::optional<double> EpochMetrics::value(Measure measure) const {
  const auto it = values.find(measure);
  if (it == values.end()) return std::nullopt;
  return it->second;
}

std::optional<double> EpochMetrics::fitness() const {
  const auto of = [this](Measure map50, Measure map50_95) -> std::optional<double> {
    const std::optional<double> a = value(map50), b = value(map50_95);
    if (!a || !b || !std::isfinite(*a) || !std::isfinite(*b)) return std::nullopt;
    return 0.1 * *a + 0.9 * *b;
  };
  const std::optional<double> box = of(Measure::Map50, Measure::Map50_95);
  if (!box) return std::nullopt;
  return *box + of(Measure::Map50Mask, Measure::Map50_95Mask).value_or(0);
}

bool EpochMetrics::saved_as_best() const {
  return engine_fitness && engine_best && *engine_fitness == *engine_best;
}

std::optional<int> run_epoch(int epoch, int epochs) {
  if (epochs <= 0 || epoch < 0 || epoch >= epochs) return std::nullopt;
  return epoch + 1;  // below epochs, so within int
}

EpochMetrics epoch_metrics(int epoch, const std::map<QString, double>& engine_values) {
  EpochMetrics result;
  result.epoch = epoch;
  for (const bool suffixed : {false, true}) {
    for (const auto& [name, value] : engine_values) {
      const std::optional<Measure> measure = measure_of(name);
      if (!measure) continue;
      const bool has_suffix = name.endsWith(QLatin1String("(B)"));
      if (has_suffix == suffixed) result.values[*measure] = value;
    }
  }
  return result;
}

std::vector<EpochMetrics> read_results_csv(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  QByteArray bytes = file.readAll();
  bytes.truncate(bytes.lastIndexOf('\n') + 1);  // whole lines only
  QStringList header;
  std::vector<EpochMetrics> epochs;
  for (const QByteArray& raw : bytes.split('\n')) {
    const QString line = QString::fromUtf8(raw).trimmed();
    if (line.isEmpty()) continue;
    const QStringList fields = line.split(QLatin1Char(','));
    if (header.isEmpty()) {
      for (const QString& name : fields) header << name.trimmed();
      continue;
    }
    std::map<QString, double> values;
    std::optional<int> epoch;
    for (qsizetype c = 0; c < std::min(fields.size(), header.size()); ++c) {
      const QString text = fields[c].trimmed().toLower();
      bool ok = false;
      double value = text.toDouble(&ok);
      if (text == u"nan" || text == u"inf" || text == u"-inf") {
        value = std::numeric_limits<double>::quiet_NaN();
        ok = true;
      }
      if (!ok) continue;
      if (header[c] == u"epoch") {
        if (std::isfinite(value) && value >= 1 && value <= INT_MAX) epoch = int(value);
      } else {
        values[header[c]] = value;
      }
    }
    if (!epoch) continue;
    // The epochs start again: what came before was an earlier run's.
    if (!epochs.empty() && *epoch <= epochs.back().epoch) epochs.clear();
    epochs.push_back(epoch_metrics(*epoch, values));
  }
  return epochs;
}

bool MetricsHistory::add(const EpochMetrics& epoch) {
  if (epoch.epoch < 1) return false;
  // Epochs mostly come in order: a later one is appended without a search.
  if (epochs_.empty() || epochs_.back().epoch < epoch.epoch) {
    epochs_.push_back(epoch);
    count(epochs_.size() - 1);
    return true;
  }
  const auto same = std::find_if(epochs_.begin(), epochs_.end(), [&epoch](const EpochMetrics& e) {
    return e.epoch == epoch.epoch;
  });
  if (same != epochs_.end()) {
    *same = epoch;
    recount();  // the values replaced may have been the only ones of a measure, or the best
  } else {
    epochs_.push_back(epoch);
    count(epochs_.size() - 1);
  }
  return true;
}

void MetricsHistory::clear() {
  epochs_.clear();
  recount();
}

void MetricsHistory::recount() {
  held_.reset();
  best_.reset();
  engine_best_.reset();
  for (std::size_t i = 0; i < epochs_.size(); ++i) count(i);
}

void MetricsHistory::count(std::size_t index) {
  const EpochMetrics& epoch = epochs_[index];
  for (const auto& [measure, value] : epoch.values) held_.set(static_cast<std::size_t>(measure));
  if (epoch.saved_as_best() && (!engine_best_ || epochs_[*engine_best_].epoch <= epoch.epoch))
    engine_best_ = index;
  const std::optional<double> fitness = epoch.fitness();
  if (fitness && (!best_ || *fitness > best_fitness_)) {
    best_ = index;
    best_fitness_ = *fitness;
  }
}

bool MetricsHistory::has(Measure measure) const {
  return held_.test(static_cast<std::size_t>(measure));
}

std::optional<EpochMetrics> MetricsHistory::best_epoch() const {
  if (engine_best_) return epochs_[*engine_best_];
  if (!best_) return std::nullopt;
  return epochs_[*best_];
}

QString MetricsHistory::csv() const {
  std::vector<Measure> columns;
  for (Measure measure : all_measures())
    if (has(measure)) columns.push_back(measure);
  QStringList lines;
  QStringList header{QStringLiteral("epoch")};
  for (Measure measure : columns) header << measure_key(measure);
  lines << header.join(QLatin1Char(','));
  for (const EpochMetrics& epoch : epochs_) {
    QStringList fields{QString::number(epoch.epoch)};
    for (Measure measure : columns) {
      const std::optional<double> value = epoch.value(measure);
      fields << (value ? number_text(*value) : QString());
    }
    lines << fields.join(QLatin1Char(','));
  }
  return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

QList<QPointF> thinned_line(const QList<QPointF>& points, qsizetype most) {
  if (points.size() <= most) return points;
  const qsizetype inner = points.size() - 2, runs = (most - 2) / 2;
  QList<QPointF> kept;
  kept.reserve(most);
  kept << points.front();
  const auto by_y = [](const QPointF& a, const QPointF& b) { return a.y() < b.y(); };
  for (qsizetype run = 0; run < runs; ++run) {
    const auto from = points.begin() + 1 + run * inner / runs;
    const auto to = points.begin() + 1 + (run + 1) * inner / runs;
    if (from == to) continue;
    auto [low, high] = std::minmax_element(from, to, by_y);
    if (high < low) std::swap(low, high);
    kept << *low;
    if (high != low) kept << *high;
  }
  kept << points.back();
  return kept;
}

QStringList trial_results_names() {
  return {QStringLiteral("tune_results.csv"), QStringLiteral("tune_results.ndjson")};
}

TrialResults read_trial_results(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  QByteArray bytes = file.readAll();
  bytes.truncate(bytes.lastIndexOf('\n') + 1);  // whole lines only
  const bool ndjson = path.endsWith(QLatin1String(".ndjson"));
  TrialResults trials;
  int trial = 0;
  qsizetype fitness_column = -1, lr0_column = -1, lrf_column = -1;
  bool header_read = false;
  for (const QByteArray& raw : bytes.split('\n')) {
    const QByteArray line = raw.trimmed();
    if (line.isEmpty()) continue;
    if (ndjson) {
      const QJsonDocument document = QJsonDocument::fromJson(line);
      if (!document.isObject()) continue;
      bool has_fitness = false;
      const TrialResult result = json_trial(document.object(), ++trial, has_fitness);
      if (has_fitness) trials << result;
      continue;
    }
    const QStringList fields = QString::fromUtf8(line).split(QLatin1Char(','));
    if (!header_read) {
      header_read = true;
      for (qsizetype i = 0; i < fields.size(); ++i) {
        const QString name = fields[i].trimmed();
        if (name == QLatin1String("fitness")) fitness_column = i;
        if (name == QLatin1String("lr0")) lr0_column = i;
        if (name == QLatin1String("lrf")) lrf_column = i;
      }
      continue;
    }
    ++trial;
    const std::optional<double> fitness = csv_number(fields, fitness_column);
    if (!fitness) continue;
    trials << TrialResult{trial, *fitness, csv_number(fields, lr0_column),
                          csv_number(fields, lrf_column)};
  }
  return trials;
}

std::optional<TrialResult> best_trial(const TrialResults& trials) {
  std::optional<TrialResult> best;
  for (const TrialResult& trial : trials)
    if (!best || trial.fitness > best->fitness) best = trial;
  return best;
}

QString trials_csv(const TrialResults& trials) {
  QString text = QStringLiteral("trial,fitness,lr0,lrf\n");
  const auto field = [](const std::optional<double>& v) { return v ? number_text(*v) : QString(); };
  for (const TrialResult& trial : trials)
    text += QStringLiteral("%1,%2,%3,%4\n")
                .arg(trial.trial)
                .arg(number_text(trial.fitness), field(trial.lr0), field(trial.lrf));
  return text;
}

}  // namespace orvane
