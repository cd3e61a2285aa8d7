// OrvaneStudio: the main window, a shell around the seven tabs. It holds the
// tab widget, the theme, the user guide, the window-wide shortcuts and
// closing; each tab owns its own widgets, state and operations. What passes
// between tabs is wired in main_window.cpp.
#pragma once

#include <QMainWindow>
#include <memory>

#include "app/dialogs.h"

class QPushButton;
class QShortcut;
class QTabWidget;
class QWidget;

namespace orvane {

class AnnotatorTab;
class ThemeToggle;

class OrvaneStudio : public QMainWindow {
  Q_OBJECT

 public:
  explicit OrvaneStudio(QWidget* parent = nullptr);
  ~OrvaneStudio() override;

  // The seam every message box, file chooser and modal dialog goes through.
  // The tabs hold this object; set_dialogs replaces what it passes calls to.
  Dialogs& dialogs();
  void set_dialogs(std::unique_ptr<Dialogs> dialogs);

  void init_ui();
  void setup_shortcuts();
  void apply_theme(bool is_dark);
  // Asks every running worker of every tab to stop and waits for it.
  void stop_workers();

  bool is_dark_mode = true;

  QTabWidget* tabs = nullptr;
  QWidget* tab_resizer = nullptr;
  QWidget* tab_splitter = nullptr;
  QWidget* tab_aug = nullptr;
  AnnotatorTab* tab_workspace = nullptr;
  QWidget* tab_config = nullptr;
  QWidget* tab_progress = nullptr;
  QWidget* tab_inference = nullptr;
  ThemeToggle* theme_toggle = nullptr;
  QPushButton* btn_help = nullptr;
  QShortcut* shortcut_del = nullptr;
  QShortcut* shortcut_back = nullptr;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void create_tabs();
  void build_corner();

  DialogsRelay dialogs_;
};

}  // namespace orvane
