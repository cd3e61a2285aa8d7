#include "ui/dialogs.h"

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

bool Dialogs::question(QWidget* parent, const QString& title, const QString& text) {
  return QMessageBox::question(parent, title, text, QMessageBox::Yes | QMessageBox::No,
                               QMessageBox::No) == QMessageBox::Yes;
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

QString Dialogs::get_save_file_name(QWidget* parent, const QString& title, const QString& dir,
                                    const QString& filter) {
  return QFileDialog::getSaveFileName(parent, title, dir, filter);
}

int Dialogs::exec(QDialog& dialog) { return dialog.exec(); }

DialogsRelay::DialogsRelay() : target_(std::make_unique<Dialogs>()) {}

DialogsRelay::~DialogsRelay() = default;

void DialogsRelay::set_target(std::unique_ptr<Dialogs> target) {
  target_ = target ? std::move(target) : std::make_unique<Dialogs>();
}

void DialogsRelay::information(QWidget* parent, const QString& title, const QString& text) {
  target_->information(parent, title, text);
}

void DialogsRelay::warning(QWidget* parent, const QString& title, const QString& text) {
  target_->warning(parent, title, text);
}

void DialogsRelay::critical(QWidget* parent, const QString& title, const QString& text) {
  target_->critical(parent, title, text);
}

bool DialogsRelay::question(QWidget* parent, const QString& title, const QString& text) {
  return target_->question(parent, title, text);
}

QString DialogsRelay::get_existing_directory(QWidget* parent, const QString& title,
                                             const QString& dir) {
  return target_->get_existing_directory(parent, title, dir);
}

QString DialogsRelay::get_open_file_name(QWidget* parent, const QString& title, const QString& dir,
                                         const QString& filter) {
  return target_->get_open_file_name(parent, title, dir, filter);
}

QStringList DialogsRelay::get_open_file_names(QWidget* parent, const QString& title,
                                              const QString& dir, const QString& filter) {
  return target_->get_open_file_names(parent, title, dir, filter);
}

QString DialogsRelay::get_save_file_name(QWidget* parent, const QString& title, const QString& dir,
                                         const QString& filter) {
  return target_->get_save_file_name(parent, title, dir, filter);
}

int DialogsRelay::exec(QDialog& dialog) { return target_->exec(dialog); }

}  // namespace orvane
