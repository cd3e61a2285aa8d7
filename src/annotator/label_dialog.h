// LabelDialog: asks for the class of a shape just drawn; the user picks an
// existing class or types a new name.
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

class QComboBox;

namespace orvane {

class LabelDialog : public QDialog {
  Q_OBJECT

 public:
  explicit LabelDialog(const QStringList& existing_classes, const QString& last_label = {},
                       QWidget* parent = nullptr);

  // The chosen or typed name without surrounding white space.
  QString get_label() const;

  QComboBox* combo = nullptr;  // editable

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace orvane
