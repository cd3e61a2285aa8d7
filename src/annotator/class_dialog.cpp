#include "annotator/class_dialog.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvane {

ClassDialog::ClassDialog(const QStringList& classes, QWidget* parent)
    : QDialog(parent), classes_(classes) {
  setWindowTitle(QStringLiteral("Manage Classes"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral(
      "Every label file of the folder and classes.txt change together.\nDrag classes or move "
      "them to reorder.")));
  list_classes = new QListWidget;
  list_classes->setDragDropMode(QAbstractItemView::InternalMove);
  for (int id = 0; id < classes.size(); ++id) {
    auto* item = new QListWidgetItem(QStringLiteral("%1: %2").arg(id).arg(classes[id]));
    item->setData(Qt::UserRole, id);
    list_classes->addItem(item);
  }
  layout->addWidget(list_classes);

  auto* order_row = new QHBoxLayout;
  btn_move_up = new QPushButton(QStringLiteral("▲ Move Up"));
  btn_move_down = new QPushButton(QStringLiteral("▼ Move Down"));
  btn_apply_order = new QPushButton(QStringLiteral("Apply Order"));
  order_row->addWidget(btn_move_up);
  order_row->addWidget(btn_move_down);
  order_row->addWidget(btn_apply_order);
  layout->addLayout(order_row);

  auto* rename_row = new QHBoxLayout;
  edit_name = new QLineEdit;
  btn_rename = new QPushButton(QStringLiteral("Rename"));
  rename_row->addWidget(new QLabel(QStringLiteral("New name:")));
  rename_row->addWidget(edit_name, 1);
  rename_row->addWidget(btn_rename);
  layout->addLayout(rename_row);

  auto* merge_row = new QHBoxLayout;
  combo_merge_into = new QComboBox;
  combo_merge_into->addItems(classes);
  btn_merge = new QPushButton(QStringLiteral("Merge Into"));
  merge_row->addWidget(btn_merge);
  merge_row->addWidget(combo_merge_into, 1);
  layout->addLayout(merge_row);

  btn_delete = new QPushButton(QStringLiteral("🗑️ Delete Class and Its Shapes"));
  layout->addWidget(btn_delete);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
  layout->addWidget(buttons);

  connect(list_classes, &QListWidget::currentRowChanged, this, [this] { selection_changed(); });
  connect(btn_move_up, &QPushButton::clicked, this, [this] { move_selected(-1); });
  connect(btn_move_down, &QPushButton::clicked, this, [this] { move_selected(1); });
  connect(btn_apply_order, &QPushButton::clicked, this, [this] {
    std::vector<int> order;
    for (int row = 0; row < list_classes->count(); ++row) {
      order.push_back(list_classes->item(row)->data(Qt::UserRole).toInt());
    }
    finish({ClassEditKind::kReorder, -1, -1, {}, std::move(order)});
  });
  connect(btn_rename, &QPushButton::clicked, this, [this] {
    finish({ClassEditKind::kRename, selected_id(), -1, edit_name->text(), {}});
  });
  connect(btn_merge, &QPushButton::clicked, this, [this] {
    finish({ClassEditKind::kMerge, selected_id(), combo_merge_into->currentIndex(), {}, {}});
  });
  connect(btn_delete, &QPushButton::clicked, this, [this] {
    finish({ClassEditKind::kDelete, selected_id(), -1, {}, {}});
  });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  if (list_classes->count() > 0) list_classes->setCurrentRow(0);
  selection_changed();
}

int ClassDialog::selected_id() const {
  const QListWidgetItem* item = list_classes->currentItem();
  return item ? item->data(Qt::UserRole).toInt() : -1;
}

void ClassDialog::selection_changed() {
  const int id = selected_id();
  for (QPushButton* button : {btn_rename, btn_merge, btn_delete}) button->setEnabled(id >= 0);
  if (id < 0) return;
  edit_name->setText(classes_[id]);
  // Offer another class to merge into.
  if (combo_merge_into->currentIndex() == id) {
    combo_merge_into->setCurrentIndex(id + 1 < classes_.size() ? id + 1 : 0);
  }
}

void ClassDialog::move_selected(int step) {
  const int row = list_classes->currentRow();
  const int to = row + step;
  if (row < 0 || to < 0 || to >= list_classes->count()) return;
  QListWidgetItem* item = list_classes->takeItem(row);
  list_classes->insertItem(to, item);
  list_classes->setCurrentRow(to);
}

void ClassDialog::finish(ClassEdit edit) {
  edit_ = std::move(edit);
  accept();
}

}  // namespace orvane
