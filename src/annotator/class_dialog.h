// ClassDialog: the folder's classes, and the four changes made to them all at
// once: rename one, merge one into another, delete one with its shapes, put
// them in another order. The dialog only says which change was asked for; the
// tab plans it, asks, and writes it.
#pragma once

#include <QDialog>
#include <QStringList>
#include <optional>

#include "labels/class_edit.h"

class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace orvane {

class ClassDialog : public QDialog {
  Q_OBJECT

 public:
  explicit ClassDialog(const QStringList& classes, QWidget* parent = nullptr);

  // The change asked for once the dialog was accepted.
  const std::optional<ClassEdit>& edit() const { return edit_; }

  QListWidget* list_classes = nullptr;  // in order; rows can be dragged
  QLineEdit* edit_name = nullptr;       // the new name of the selected class
  QComboBox* combo_merge_into = nullptr;
  QPushButton* btn_rename = nullptr;
  QPushButton* btn_merge = nullptr;
  QPushButton* btn_delete = nullptr;
  QPushButton* btn_move_up = nullptr;
  QPushButton* btn_move_down = nullptr;
  QPushButton* btn_apply_order = nullptr;

 private:
  int selected_id() const;  // the selected class's id, -1 for none
  void selection_changed();
  void move_selected(int step);
  void finish(ClassEdit edit);

  QStringList classes_;
  std::optional<ClassEdit> edit_;
};

}  // namespace orvane
