#include "support/scripted_dialogs.h"

#include <QDialog>

void ScriptedDialogs::information(QWidget*, const QString& title, const QString& text) {
  calls.push_back({QStringLiteral("information"), title, text, {}});
}

void ScriptedDialogs::warning(QWidget*, const QString& title, const QString& text) {
  calls.push_back({QStringLiteral("warning"), title, text, {}});
}

void ScriptedDialogs::critical(QWidget*, const QString& title, const QString& text) {
  calls.push_back({QStringLiteral("critical"), title, text, {}});
}

bool ScriptedDialogs::question(QWidget*, const QString& title, const QString& text) {
  calls.push_back({QStringLiteral("question"), title, text, {}});
  if (answers.empty()) return false;
  const bool yes = answers.front();
  answers.pop_front();
  return yes;
}

QString ScriptedDialogs::get_existing_directory(QWidget*, const QString& title,
                                                const QString& dir) {
  calls.push_back({QStringLiteral("directory"), title, {}, dir});
  if (directories.empty()) return {};
  QString answer = directories.front();
  directories.pop_front();
  return answer;
}

QString ScriptedDialogs::get_open_file_name(QWidget*, const QString& title, const QString& dir,
                                            const QString& filter) {
  calls.push_back({QStringLiteral("open_file"), title, filter, dir});
  if (open_files.empty()) return {};
  QString answer = open_files.front();
  open_files.pop_front();
  return answer;
}

QStringList ScriptedDialogs::get_open_file_names(QWidget*, const QString& title, const QString& dir,
                                                 const QString& filter) {
  calls.push_back({QStringLiteral("open_files"), title, filter, dir});
  if (open_file_lists.empty()) return {};
  QStringList answer = open_file_lists.front();
  open_file_lists.pop_front();
  return answer;
}

QString ScriptedDialogs::get_save_file_name(QWidget*, const QString& title, const QString& dir,
                                            const QString& filter) {
  calls.push_back({QStringLiteral("save_file"), title, filter, dir});
  if (save_files.empty()) return {};
  QString answer = save_files.front();
  save_files.pop_front();
  return answer;
}

int ScriptedDialogs::exec(QDialog& dialog) {
  calls.push_back(
      {QStringLiteral("exec"),
       dialog.windowTitle(),
       QString::fromLatin1(dialog.metaObject()->className()).section(QStringLiteral("::"), -1),
       {}});
  if (exec_answers.empty()) return QDialog::Rejected;
  auto answer = std::move(exec_answers.front());
  exec_answers.pop_front();
  return answer(dialog);
}

int ScriptedDialogs::count(const QString& kind) const {
  int n = 0;
  for (const DialogCall& call : calls) n += call.kind == kind;
  return n;
}

const DialogCall* ScriptedDialogs::last(const QString& kind) const {
  for (auto it = calls.rbegin(); it != calls.rend(); ++it) {
    if (it->kind == kind) return &*it;
  }
  return nullptr;
}

std::vector<DialogCall> ScriptedDialogs::messages() const {
  std::vector<DialogCall> result;
  for (const DialogCall& call : calls) {
    if (call.kind == QLatin1String("information") || call.kind == QLatin1String("warning") ||
        call.kind == QLatin1String("critical")) {
      result.push_back(call);
    }
  }
  return result;
}
