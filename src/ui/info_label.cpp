#include "ui/info_label.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QWidget>

namespace orvane {

QWidget* create_info_label(const QString& text, const QString& tooltip_text) {
  auto* widget = new QWidget;
  auto* layout = new QHBoxLayout(widget);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(4);

  auto* caption = new QLabel(text);
  auto* mark = new QLabel(QStringLiteral("\u24D8"));
  mark->setStyleSheet(QStringLiteral("color: #6366F1; font-weight: bold; font-size: 11px;"));
  mark->setToolTip(tooltip_text);

  layout->addWidget(caption);
  layout->addWidget(mark);
  layout->addStretch();
  return widget;
}

}  // namespace orvane
