#include "training/tune_result.h"

#include <yaml-cpp/yaml.h>

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <stdexcept>

namespace orvane {
namespace {
const QString kResultName = QStringLiteral("best_hyperparameters.yaml");
}

TuneFiles list_tune_results(const QString& project) {
  TuneFiles files;
  QDirIterator it(project, {kResultName}, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString path = it.next();
    if (it.fileName() == kResultName) files.insert(path, it.fileInfo().lastModified());
  }
  return files;
}

QString newest_tune_result(const QString& project, const TuneFiles& before) {
  QString best;
  QDateTime best_time;
  QDirIterator it(project, {kResultName}, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString path = it.next();
    const QFileInfo info = it.fileInfo();
    if (it.fileName() != kResultName) continue;
    const auto old = before.constFind(path);
    if (old != before.constEnd() && old.value() == info.lastModified()) continue;
    const QDateTime changed = info.metadataChangeTime();
    if (best.isEmpty() || changed > best_time) {
      best = path;
      best_time = changed;
    }
  }
  return best;
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

}  // namespace orvane
