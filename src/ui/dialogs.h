// The one seam for everything modal: message boxes, file and folder choosers
// and modal dialogs. Tests install a scripted subclass; nothing else in the
// program calls QMessageBox, QFileDialog or QDialog::exec directly.
#pragma once

#include <QHash>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

class QDialog;
class QMessageBox;
class QTabWidget;
class QWidget;

namespace orvane {

// A message box as the real dialogs show it: wide enough for its whole title, which window
// managers otherwise cut ("AI Mo… oaded"). `buttons`: QMessageBox::StandardButtons.
std::unique_ptr<QMessageBox> make_message_box(QWidget* parent, int icon, const QString& title,
                                              const QString& text, int buttons);

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
//
// A message for a tab that is not the one shown (a background job of that
// tab ended) waits until the user turns to that tab, so it never pops up
// over another tab's work and takes its keys; the tab's caption is marked
// " •" meanwhile. Questions are asked at once.
//
// A chooser opened without a folder opens in the folder last chosen in it
// (one memory per tab and title) during this session.
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

  // Messages waiting for their tab to be shown.
  int held() const { return int(held_.size()); }

 private:
  // False when `show` ran at once; else it runs once `parent`'s tab is shown.
  bool hold(QWidget* parent, std::function<void()> show);
  void show_held(QTabWidget* tabs);
  QString last_folder(QWidget* parent, const QString& title, const QString& dir) const;
  void remember_folder(QWidget* parent, const QString& title, const QString& chosen, bool is_file);

  std::unique_ptr<Dialogs> target_;
  struct Held {
    QPointer<QTabWidget> tabs;
    QPointer<QWidget> page;
    std::function<void()> show;
  };
  std::vector<Held> held_;
  QHash<QWidget*, QString> captions_;  // of marked pages, as they were
  std::vector<QPointer<QTabWidget>> watched_;
  QHash<QString, QString> folders_;  // the last folder chosen, by chooser
};

}  // namespace orvane
