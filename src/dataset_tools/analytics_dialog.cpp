#include "dataset_tools/analytics_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QScrollArea>
#include <QVBoxLayout>
#include <algorithm>

namespace orvane {

AnalyticsDialog::AnalyticsDialog(const std::vector<ClassCount>& counts, QWidget* parent)
    : QDialog(parent) {
  setWindowTitle(QStringLiteral("Dataset Class Distribution"));
  setMinimumSize(450, 300);

  int largest = 0;
  for (const ClassCount& c : counts) largest = std::max(largest, c.count);

  auto* content = new QWidget;
  auto* rows = new QVBoxLayout(content);
  for (const ClassCount& c : counts) {
    auto* label = new QLabel(QStringLiteral("%1 (%2)").arg(c.name, QString::number(c.count)));
    label->setTextFormat(Qt::PlainText);  // a class name is never markup
    label->setFixedWidth(120);
    // Long class names wrap rather than being cut at the fixed width.
    label->setWordWrap(true);
    label->setToolTip(label->text());
    auto* bar = new QProgressBar;
    bar->setRange(0, largest);
    bar->setValue(c.count);
    bar->setTextVisible(false);
    bar->setFixedHeight(15);
    auto* row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(bar);
    rows->addLayout(row);
    labels_.push_back(label);
    bars_.push_back(bar);
  }
  rows->addStretch();

  scroll_ = new QScrollArea;
  scroll_->setWidgetResizable(true);
  scroll_->setWidget(content);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("Current Annotation Totals:")));
  layout->addWidget(scroll_);
}

}  // namespace orvane
