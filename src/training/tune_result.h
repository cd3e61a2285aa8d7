// Finding and reading the tuner's result file, best_hyperparameters.yaml.
#pragma once

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QVariantMap>

namespace orvane {

// Every result file below `project` (any depth) with its modification time.
using TuneFiles = QHash<QString, QDateTime>;
TuneFiles list_tune_results(const QString& project);

// The result of this search: among the files below `project` that are new or changed since
// `before` was taken, the one whose metadata changed last (the first found among equal
// times). Empty when the search wrote none.
QString newest_tune_result(const QString& project, const TuneFiles& before);

// The file's top-level map, values as their text. Throws std::runtime_error when the file
// cannot be read or parsed, or does not hold a map.
QVariantMap read_tune_result(const QString& path);

}  // namespace orvane
