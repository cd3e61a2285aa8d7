#include "app/dialogs.h"

#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>

namespace orvane {

Dialogs::~Dialogs() = default;

void Dialogs::information(QWidget* parent, const QString& title, const QString& text) {
  QMessageBox::information(parent, title, text);
}

void Dialogs::warning(QWidget* parent, const QString& title, const QString& text) {
  QMessageBox::warning(parent, title, text);
}

void Dialogs::critical(QWidget* parent, const QString& title, const QString& text) {
  QMessageBox::critical(parent, title, text);
}

QString Dialogs::get_existing_directory(QWidget* parent, const QString& title, const QString& dir) {
  return QFileDialog::getExistingDirectory(parent, title, dir);
}

QString Dialogs::get_open_file_name(QWidget* parent, const QString& title, const QString& dir,
                                    const QString& filter) {
  return QFileDialog::getOpenFileName(parent, title, dir, filter);
}

QStringList Dialogs::get_open_file_names(QWidget* parent, const QString& title, const QString& dir,
                                         const QString& filter) {
  return QFileDialog::getOpenFileNames(parent, title, dir, filter);
}

int Dialogs::exec(QDialog& dialog) { return dialog.exec(); }

}  // namespace orvane
