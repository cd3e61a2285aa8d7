#include "training/tune_result.h"

#include <yaml-cpp/yaml.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "training/training_metrics.h"

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#else
#include <filesystem>
#endif

namespace orvane {
namespace {
const QString kResultName = QStringLiteral("best_hyperparameters.yaml");

TuneFiles list_named(const QString& project, const QStringList& names) {
  TuneFiles files;
  QDirIterator it(project, names, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString path = it.next();
    if (!names.contains(it.fileName())) continue;
    if (const std::optional<FileTimes> times = file_times(path)) files.insert(path, *times);
  }
  return files;
}

QString newest_named(const QString& project, const QStringList& names, const TuneFiles& before) {
  QString best;
  qint64 best_time = 0;
  QDirIterator it(project, names, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString path = it.next();
    if (!names.contains(it.fileName())) continue;
    const std::optional<FileTimes> times = file_times(path);
    if (!times) continue;
    const auto old = before.constFind(path);
    if (old != before.constEnd() && old.value().modified == times->modified) continue;
    if (best.isEmpty() || times->changed > best_time) {
      best = path;
      best_time = times->changed;
    }
  }
  return best;
}

}  // namespace

std::optional<FileTimes> file_times(const QString& path) {
#ifdef Q_OS_UNIX
  struct stat st {};
  if (::stat(QFile::encodeName(path).constData(), &st) != 0) return std::nullopt;
  const auto ns = [](const timespec& t) { return qint64(t.tv_sec) * 1'000'000'000 + t.tv_nsec; };
  return FileTimes{ns(st.st_mtim), ns(st.st_ctim)};
#else
  std::error_code error;
  const auto time =
      std::filesystem::last_write_time(std::filesystem::path(path.toStdU16String()), error);
  if (error) return std::nullopt;
  const qint64 ns =
      std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch()).count();
  return FileTimes{ns, ns};
#endif
}

TuneFiles list_tune_results(const QString& project) { return list_named(project, {kResultName}); }

QString newest_tune_result(const QString& project, const TuneFiles& before) {
  return newest_named(project, {kResultName}, before);
}

TuneFiles list_trial_results(const QString& project) {
  return list_named(project, trial_results_names());
}

QString newest_trial_results(const QString& project, const TuneFiles& before) {
  return newest_named(project, trial_results_names(), before);
}

QVariantMap read_tune_result(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    throw std::runtime_error(
        QStringLiteral("Cannot read %1: %2").arg(path, file.errorString()).toStdString());
  YAML::Node root;
  try {
    root = YAML::Load(file.readAll().toStdString());
  } catch (const YAML::Exception& e) {
    throw std::runtime_error(QStringLiteral("Invalid hyperparameter file %1: %2")
                                 .arg(path, QString::fromStdString(e.what()))
                                 .toStdString());
  }
  if (!root.IsMap())
    throw std::runtime_error(
        QStringLiteral("Invalid hyperparameter file %1: it does not hold a map of values.")
            .arg(path)
            .toStdString());
  QVariantMap values;
  for (const auto& entry : root) {
    if (!entry.first.IsScalar()) continue;
    const QString key = QString::fromStdString(entry.first.Scalar());
    values[key] = entry.second.IsScalar() ? QVariant(QString::fromStdString(entry.second.Scalar()))
                                          : QVariant();
  }
  return values;
}

QStringList list_run_folders(const QString& project) {
  return QDir(project).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
}

std::optional<double> first_epoch_seconds(const QString& project, const QStringList& before) {
  for (const QString& folder : list_run_folders(project)) {
    if (before.contains(folder)) continue;
    QFile file(QDir(project).filePath(folder + QStringLiteral("/results.csv")));
    if (!file.open(QIODevice::ReadOnly)) continue;
    const QList<QByteArray> lines = file.read(1 << 16).split('\n');
    if (lines.size() < 3) continue;  // a header and a whole row: the row ends in a line break
    const QList<QByteArray> names = lines[0].split(',');
    const QList<QByteArray> row = lines[1].split(',');
    for (qsizetype i = 0; i < names.size() && i < row.size(); ++i) {
      if (names[i].trimmed() != "time") continue;
      bool ok = false;
      const double seconds = row[i].trimmed().toDouble(&ok);
      if (ok && std::isfinite(seconds) && seconds >= 0) return seconds;
    }
  }
  return std::nullopt;
}

std::optional<double> search_seconds_left(int iterations, int epochs, int trials_done,
                                          std::optional<double> first_epoch, double elapsed) {
  if (trials_done >= iterations) return 0.0;
  if (trials_done > 0) return elapsed / trials_done * (iterations - trials_done);
  if (!first_epoch) return std::nullopt;
  return std::max(0.0, double(iterations) * epochs * *first_epoch - elapsed);
}

QString time_left_text(double seconds) {
  if (!(seconds >= 60)) return QStringLiteral("under a minute left");
  const qint64 minutes = qint64(std::ceil(seconds / 60));
  if (minutes < 60) return QStringLiteral("about %1 min left").arg(minutes);
  return QStringLiteral("about %1 h %2 min left")
      .arg(minutes / 60)
      .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

bool TuneProgress::feed(const QString& text) {
  static const QRegularExpression done(QStringLiteral(R"((\d+)/(\d+) iterations complete)"));
  // Progress redraws without a line break would make the line grow without end: only its end
  // can still become a whole line worth reading.
  constexpr qsizetype kLongestLine = 4096;
  const int before = finished_;
  line_ += text;
  qsizetype start = 0;
  for (qsizetype nl = line_.indexOf(QLatin1Char('\n')); nl >= 0;
       nl = line_.indexOf(QLatin1Char('\n'), start)) {
    QStringView line = QStringView(line_).mid(start, nl - start);
    const qsizetype redrawn = line.lastIndexOf(QLatin1Char('\r'));
    if (redrawn >= 0) line = line.mid(redrawn + 1);
    const QRegularExpressionMatch m = done.match(line);
    if (m.hasMatch()) finished_ = std::max(finished_, m.captured(1).toInt());
    start = nl + 1;
  }
  line_.remove(0, start);
  if (line_.size() > kLongestLine) line_ = line_.right(kLongestLine);
  return finished_ > before;
}

}  // namespace orvane
