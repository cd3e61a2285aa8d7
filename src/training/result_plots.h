// Which picture of a run folder each result view shows.
#pragma once

#include <QString>
#include <QStringList>

namespace orvane {

enum class ResultView { Loss, Confusion, F1, PR, ValBatch };

// The file-name patterns tried for a view, in order ("*" matches any run of characters).
QStringList result_patterns(ResultView view);

// The first file of the run folder (not its subfolders) that matches the view's first
// matching pattern, in listing order; empty when none matches.
QString find_result_image(const QString& save_dir, ResultView view);

}  // namespace orvane
