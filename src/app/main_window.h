// OrvaneStudio: the main window, a shell around the seven tabs. It holds the
// tab widget, the theme, the user guide, the window-wide shortcuts and
// closing; each tab owns its own widgets, state and operations. What passes
// between tabs is wired in main_window.cpp.
#pragma once

#include <QMainWindow>
#include <memory>

#include "engine/engine.h"
#include "ui/dialogs.h"

class QPushButton;
class QShortcut;
class QTabWidget;
class QWidget;

namespace orvane {

class AnnotatorTab;
class ConfigTab;
class EnricherTab;
class InferenceTab;
class ProgressTab;
class ResizerTab;
class SplitterTab;
class ThemeToggle;

class OrvaneStudio : public QMainWindow {
  Q_OBJECT

 public:
  explicit OrvaneStudio(QWidget* parent = nullptr);
  // With the given engine instead of the Python one (tests use a stand-in).
  explicit OrvaneStudio(std::unique_ptr<Engine> engine, QWidget* parent = nullptr);
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
  // True while a tab runs a background job (a batch, a split, an enrichment,
  // a health check or an export).
  bool job_running() const;
  // Stops every background job without its closing message (nothing more is
  // written) and waits up to 2 s for their threads.
  void stop_jobs();

  bool is_dark_mode = true;

  QTabWidget* tabs = nullptr;
  ResizerTab* tab_resizer = nullptr;
  SplitterTab* tab_splitter = nullptr;
  EnricherTab* tab_aug = nullptr;
  AnnotatorTab* tab_workspace = nullptr;
  ConfigTab* tab_config = nullptr;
  ProgressTab* tab_progress = nullptr;
  InferenceTab* tab_inference = nullptr;
  ThemeToggle* theme_toggle = nullptr;
  QPushButton* btn_help = nullptr;
  QShortcut* shortcut_del = nullptr;
  QShortcut* shortcut_back = nullptr;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void resize_to_screen();
  void create_tabs();
  void build_corner();

  DialogsRelay dialogs_;
  // The tabs hold references to the engine: it outlives them.
  std::unique_ptr<Engine> engine_;
};

// Runs started on the configuration tab are watched on the progress tab; the
// search's values land back on the configuration tab.
void connect_training_tabs(QTabWidget& tabs, ConfigTab& config, ProgressTab& progress);

}  // namespace orvane
