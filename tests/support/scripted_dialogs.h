// A Dialogs double: returns scripted answers and records every call, so window
// tests never block on a modal box.
#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

#include "ui/dialogs.h"

struct DialogCall {
  QString kind;  // "information", "warning", "critical", "question", "directory",
                 // "open_file", "open_files", "save_file", "exec"
  QString title;
  QString text;  // message text, or the dialog's class name (no namespace) for "exec"
  QString dir;   // the folder (or file) a chooser opened at
};

class ScriptedDialogs : public orvane::Dialogs {
 public:
  void information(QWidget* parent, const QString& title, const QString& text) override;
  void warning(QWidget* parent, const QString& title, const QString& text) override;
  void critical(QWidget* parent, const QString& title, const QString& text) override;
  // The next scripted answer; without one, No.
  bool question(QWidget* parent, const QString& title, const QString& text) override;
  QString get_existing_directory(QWidget* parent, const QString& title,
                                 const QString& dir = {}) override;
  QString get_open_file_name(QWidget* parent, const QString& title, const QString& dir,
                             const QString& filter) override;
  QStringList get_open_file_names(QWidget* parent, const QString& title, const QString& dir,
                                  const QString& filter) override;
  QString get_save_file_name(QWidget* parent, const QString& title, const QString& dir,
                             const QString& filter) override;
  // Runs the next scripted answer on the dialog; without one the dialog is
  // rejected, as if the user cancelled it.
  int exec(QDialog& dialog) override;

  // Answers, consumed front first; an empty queue answers "cancelled".
  std::deque<bool> answers;  // to questions: true is Yes
  std::deque<QString> directories;
  std::deque<QString> open_files;
  std::deque<QStringList> open_file_lists;
  std::deque<QString> save_files;
  std::deque<std::function<int(QDialog&)>> exec_answers;

  std::vector<DialogCall> calls;

  int count(const QString& kind) const;
  // The last call of that kind, or nullptr.
  const DialogCall* last(const QString& kind) const;
  // Every message box (information, warning, critical) in order.
  std::vector<DialogCall> messages() const;
};
