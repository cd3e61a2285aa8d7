// Finding and reading the tuner's result file, best_hyperparameters.yaml, and finding its
// results file, which lists every trial.
#pragma once

#include <QHash>
#include <QString>
#include <QVariantMap>
#include <QtGlobal>
#include <optional>

namespace orvane {

// A file's modification and metadata-change times, in nanoseconds since the
// epoch. Read without QFileInfo: its times go through the local time zone,
// whose set-up is not safe on two threads at once, and the tuner's thread
// reads these.
struct FileTimes {
  qint64 modified = 0;
  qint64 changed = 0;
  bool operator==(const FileTimes&) const = default;
};

// Any thread. Nothing when the file cannot be looked at.
std::optional<FileTimes> file_times(const QString& path);

// Every result file below `project` (any depth) with its times.
using TuneFiles = QHash<QString, FileTimes>;
TuneFiles list_tune_results(const QString& project);

// The result of this search: among the files below `project` that are new or changed since
// `before` was taken, the one whose metadata changed last (the first found among equal
// times). Empty when the search wrote none.
QString newest_tune_result(const QString& project, const TuneFiles& before);

// The same for the search's results file (trial_results_names(): the list of its trials).
TuneFiles list_trial_results(const QString& project);
QString newest_trial_results(const QString& project, const TuneFiles& before);

// The file's top-level map, values as their text. Throws std::runtime_error when the file
// cannot be read or parsed, or does not hold a map.
QVariantMap read_tune_result(const QString& path);

// The run folders directly below `project`: the search's trials train in new ones ("train",
// "train2" or "train-2", ...) beside its tune folder.
QStringList list_run_folders(const QString& project);

// How long the first epoch of the search's first trial took, in seconds: the "time" of the
// first whole row of results.csv in a run folder below `project` that `before` does not list
// (the trainer writes the row at the epoch's end, with the seconds since training began).
// Nothing before such a row exists. Any thread.
std::optional<double> first_epoch_seconds(const QString& project, const QStringList& before);

// The time a search of `iterations` trials of `epochs` epochs still needs, `elapsed` seconds
// after it began: from the trials that ended (their mean time), else from its first epoch
// (every epoch as long as it). Nothing while neither is known.
std::optional<double> search_seconds_left(int iterations, int epochs, int trials_done,
                                          std::optional<double> first_epoch, double elapsed);

// "about 12 min left", "about 2 h 05 min left", "under a minute left".
QString time_left_text(double seconds);

// Counts the search's finished iterations in its console text (escape codes already taken
// out; a line redrawn after carriage returns is read as its last drawing), from the lines the
// engine logs after each one:
// "<prefix>k/N iterations complete ✅ (12.3s)", or in newer releases "... complete (all failed)
// ❌" and "... complete (m/n succeeded) ⚠️". Text comes in pieces; a line is read once whole.
class TuneProgress {
 public:
  // Reads more text; true when the count of finished iterations went up.
  bool feed(const QString& text);
  int finished() const { return finished_; }

 private:
  QString line_;  // the unfinished last line
  int finished_ = 0;
};

}  // namespace orvane
