#include "annotator/label_dialog.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QKeyEvent>
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

  // One Enter names the shape. The field's completer would take the first
  // Enter for itself (accepting the offered or completed name, or closing the
  // list), and keys typed in the belief that the dialog had closed would then
  // become a class name.
  combo->installEventFilter(this);
  combo->lineEdit()->installEventFilter(this);
  combo->view()->installEventFilter(this);

  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

bool LabelDialog::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      if (watched == combo->view()) {
        // Enter on a row of the open list names that class.
        const QModelIndex row = combo->view()->currentIndex();
        if (row.isValid()) combo->setCurrentIndex(row.row());
        combo->hidePopup();
      }
      accept();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

QString LabelDialog::get_label() const { return clean_class_name(combo->currentText()); }

}  // namespace orvane
