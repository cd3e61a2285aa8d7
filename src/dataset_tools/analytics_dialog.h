// The "Dataset Class Distribution" dialog: one labelled bar per class, in the
// order given, scaled so that the largest count fills its bar.
#pragma once

#include <QDialog>
#include <vector>

#include "dataset_tools/analytics.h"

class QLabel;
class QProgressBar;
class QScrollArea;

namespace orvane {

class AnalyticsDialog : public QDialog {
  Q_OBJECT

 public:
  explicit AnalyticsDialog(const std::vector<ClassCount>& counts, QWidget* parent = nullptr);

  int row_count() const { return static_cast<int>(labels_.size()); }
  QLabel* row_label(int row) const { return labels_.at(static_cast<size_t>(row)); }
  QProgressBar* row_bar(int row) const { return bars_.at(static_cast<size_t>(row)); }
  QScrollArea* scroll_area() const { return scroll_; }

 private:
  std::vector<QLabel*> labels_;
  std::vector<QProgressBar*> bars_;
  QScrollArea* scroll_ = nullptr;
};

}  // namespace orvane
