// libFuzzer target for the files of a training run's folder that the program
// reads: the search's results file (tune_results.csv and
// tune_results.ndjson, read_trial_results) and its result file
// (best_hyperparameters.yaml, read_tune_result). The readers take a path, so
// every input is written to one file of each name in a folder the process
// keeps, and read back from there.
//
// Properties checked on every input:
// - trials are numbered from 1 upwards, strictly rising, never beyond the
//   count of the file's lines; fitness is finite and the rates are finite or
//   absent; the best trial is one of them, with the highest fitness; the
//   trials' CSV has a line for each;
// - a line without its line break is not read yet: the bytes with a
//   partial line after them give the same trials;
// - the result file gives its map or throws std::runtime_error (any other
//   exception ends the process), and a value is a text or nothing.
#include <fcntl.h>
#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QVariantMap>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <stdexcept>

#include "training/training_metrics.h"
#include "training/tune_result.h"

using namespace orvane;

namespace {

void check(bool ok) {
  if (!ok) __builtin_trap();
}

// This process's folder for the files, removed when the process ends normally.
const QString& folder() {
  static const struct Folder {
    QString path;
    Folder() {
      QByteArray pattern = QDir::tempPath().toLocal8Bit() + "/run_files_fuzz.XXXXXX";
      if (::mkdtemp(pattern.data()) == nullptr) {
        std::perror("run_files_fuzz: mkdtemp");
        std::abort();
      }
      path = QString::fromLocal8Bit(pattern);
    }
    ~Folder() { QDir(path).removeRecursively(); }
  } made;
  return made.path;
}

QString write_input(const char* name, const uint8_t* data, size_t size) {
  const QString path = folder() + QLatin1Char('/') + QLatin1String(name);
  const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  check(fd >= 0);
  size_t written = 0;
  while (written < size) {
    const ssize_t n = ::write(fd, data + written, size - written);
    check(n > 0);
    written += size_t(n);
  }
  ::close(fd);
  return path;
}

bool finite_or_absent(const std::optional<double>& value) {
  return !value || std::isfinite(*value);
}

void check_trials(const TrialResults& trials, const uint8_t* data, size_t size) {
  qsizetype lines = 0;
  for (size_t i = 0; i < size; ++i) lines += data[i] == '\n';
  int previous = 0;
  for (const TrialResult& trial : trials) {
    check(trial.trial > previous && trial.trial <= lines);
    previous = trial.trial;
    check(std::isfinite(trial.fitness) && finite_or_absent(trial.lr0) &&
          finite_or_absent(trial.lrf));
  }
  const std::optional<TrialResult> best = best_trial(trials);
  check(best.has_value() == !trials.isEmpty());
  for (const TrialResult& trial : trials) check(trial.fitness <= best->fitness);
  check(!best || trials.contains(*best));
  check(trials_csv(trials).count(QLatin1Char('\n')) == trials.size() + 1);
}

void check_results_file(const char* name, const uint8_t* data, size_t size) {
  const TrialResults trials = read_trial_results(write_input(name, data, size));
  check_trials(trials, data, size);
  // A partial line after the bytes (or a longer one): the tuner is still
  // writing it.
  QByteArray more(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  more += "0.5,{\"fitness\": 1";
  const QString path =
      write_input(name, reinterpret_cast<const uint8_t*>(more.constData()), size_t(more.size()));
  check(read_trial_results(path) == trials);
}

void check_result_file(const uint8_t* data, size_t size) {
  const QString path = write_input("best_hyperparameters.yaml", data, size);
  QVariantMap values;
  try {
    values = read_tune_result(path);
  } catch (const std::runtime_error& e) {
    check(QString::fromUtf8(e.what()).contains(path));
    return;
  }
  for (const QVariant& value : values) {
    check(!value.isValid() || value.typeId() == QMetaType::QString);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  check_results_file("tune_results.csv", data, size);
  check_results_file("tune_results.ndjson", data, size);
  check_result_file(data, size);
  return 0;
}
