// OrvaneStudio: the main window, a shell around the seven tabs. It holds the
// tab widget, the theme, the user guide, the window-wide shortcuts and
// closing; each tab owns its own widgets, state and operations. What passes
// between tabs is wired in main_window.cpp.
#pragma once

#include <QList>
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
class TabWork;
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
  DialogsRelay& relay() { return dialogs_; }
  void set_dialogs(std::unique_ptr<Dialogs> dialogs);

  void init_ui();
  void setup_shortcuts();
  void apply_theme(bool is_dark);
  // Each tab's background work (its batch job, engine calls and worker
  // threads), in tab order.
  QList<TabWork*> tab_work() const;
  // True while any tab runs anything in the background: a batch, a split, an
  // enrichment, a health check, an export, a model load, a prediction, a
  // training run, a search or a model export.
  bool job_running() const;
  // Calls off every tab's work without its closing message (nothing more is
  // written), ends the engine processes, and waits up to 2 s for the threads.
  void stop_workers();

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
