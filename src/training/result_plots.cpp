#include "training/result_plots.h"

#include <QDir>
#include <QFileInfo>

namespace orvane {

QStringList result_patterns(ResultView view) {
  switch (view) {
    case ResultView::Loss:
      return {QStringLiteral("results.png"), QStringLiteral("live_loss_plot.png")};
    case ResultView::Confusion:
      return {QStringLiteral("confusion_matrix.png"), QStringLiteral("*confusion_matrix*.png")};
    case ResultView::F1:
      return {QStringLiteral("F1_curve.png"), QStringLiteral("*F1_curve.png"),
              QStringLiteral("BoxF1_curve.png")};
    case ResultView::PR:
      return {QStringLiteral("PR_curve.png"), QStringLiteral("*PR_curve.png"),
              QStringLiteral("BoxPR_curve.png")};
    case ResultView::ValBatch:
      return {QStringLiteral("val_batch0_pred.jpg"), QStringLiteral("val_batch0_labels.jpg")};
  }
  return {};
}

QString find_result_image(const QString& save_dir, ResultView view) {
  if (save_dir.isEmpty()) return {};
  const QDir dir(save_dir);
  for (const QString& pattern : result_patterns(view)) {
    const QStringList matches = dir.entryList(
        {pattern}, QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot | QDir::CaseSensitive,
        QDir::Unsorted);
    if (!matches.isEmpty() && QFileInfo::exists(dir.filePath(matches.first())))
      return dir.filePath(matches.first());
  }
  return {};
}

}  // namespace orvane
