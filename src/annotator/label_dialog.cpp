#include "annotator/label_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "labels/class_list.h"

namespace orvane {

LabelDialog::LabelDialog(const QStringList& existing_classes, const QString& last_label,
                         QWidget* parent)
    : QDialog(parent) {
  setWindowTitle(QStringLiteral("Assign Target Class"));
  setFixedSize(300, 120);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("Select existing label or type new:")));
  combo = new QComboBox;
  combo->setEditable(true);
  combo->addItems(existing_classes);
  layout->addWidget(combo);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  layout->addWidget(buttons);

  const qsizetype last = existing_classes.indexOf(last_label);
  if (last >= 0) combo->setCurrentIndex(static_cast<int>(last));
  // Typing replaces the offered name rather than adding to it.
  combo->lineEdit()->selectAll();
  combo->setFocus();

  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

QString LabelDialog::get_label() const { return clean_class_name(combo->currentText()); }

}  // namespace orvane
