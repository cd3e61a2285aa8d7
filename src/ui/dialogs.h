// The one seam for everything modal: message boxes, file and folder choosers
// and modal dialogs. Tests install a scripted subclass; nothing else in the
// program calls QMessageBox, QFileDialog or QDialog::exec directly.
#pragma once

#include <QString>
#include <QStringList>
#include <memory>

class QDialog;
class QWidget;

namespace orvane {

class Dialogs {
 public:
  virtual ~Dialogs();
  virtual void information(QWidget* parent, const QString& title, const QString& text);
  virtual void warning(QWidget* parent, const QString& title, const QString& text);
  virtual void critical(QWidget* parent, const QString& title, const QString& text);
  // A Yes / No box, No the default; true when the user answers Yes.
  virtual bool question(QWidget* parent, const QString& title, const QString& text);
  // "" / empty list when the user cancels
  virtual QString get_existing_directory(QWidget* parent, const QString& title,
                                         const QString& dir = {});
  virtual QString get_open_file_name(QWidget* parent, const QString& title, const QString& dir,
                                     const QString& filter);
  virtual QStringList get_open_file_names(QWidget* parent, const QString& title, const QString& dir,
                                          const QString& filter);
  // A file to write; `dir` may name the file suggested. The chooser asks before an existing
  // file is replaced.
  virtual QString get_save_file_name(QWidget* parent, const QString& title, const QString& dir,
                                     const QString& filter);
  // Runs any modal dialog and returns its result code.
  virtual int exec(QDialog& dialog);
};

// Passes every call on to a replaceable Dialogs (the real one until set). The
// window hands this one to its tabs, so tests can script the seam after the
// tabs exist.
class DialogsRelay : public Dialogs {
 public:
  DialogsRelay();
  ~DialogsRelay() override;
  // nullptr: the real dialogs again.
  void set_target(std::unique_ptr<Dialogs> target);

  void information(QWidget* parent, const QString& title, const QString& text) override;
  void warning(QWidget* parent, const QString& title, const QString& text) override;
  void critical(QWidget* parent, const QString& title, const QString& text) override;
  bool question(QWidget* parent, const QString& title, const QString& text) override;
  QString get_existing_directory(QWidget* parent, const QString& title,
                                 const QString& dir = {}) override;
  QString get_open_file_name(QWidget* parent, const QString& title, const QString& dir,
                             const QString& filter) override;
  QStringList get_open_file_names(QWidget* parent, const QString& title, const QString& dir,
                                  const QString& filter) override;
  QString get_save_file_name(QWidget* parent, const QString& title, const QString& dir,
                             const QString& filter) override;
  int exec(QDialog& dialog) override;

 private:
  std::unique_ptr<Dialogs> target_;
};

}  // namespace orvane
