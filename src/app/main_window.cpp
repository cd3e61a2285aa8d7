// The main window: the shell around the tabs, and the one place where what
// passes between tabs is wired.
#include "app/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDeadlineTimer>
#include <QDir>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeySequence>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStyle>
#include <QTabWidget>
#include <algorithm>

#include "annotator/annotator_tab.h"
#include "app/app_icon.h"
#include "app/help_dialog.h"
#include "engine/python_engine.h"
#include "enricher/enricher_tab.h"
#include "inference/inference_tab.h"
#include "resizer/resizer_tab.h"
#include "splitter/splitter_tab.h"
#include "theme/app_style.h"
#include "theme/stylesheet.h"
#include "theme/symbol_fonts.h"
#include "theme/theme_toggle.h"
#include "training/config_tab.h"
#include "training/progress_tab.h"
#include "ui/tab_work.h"

namespace orvane {

OrvaneStudio::OrvaneStudio(QWidget* parent)
    : OrvaneStudio(std::make_unique<PythonEngine>(), parent) {}

OrvaneStudio::OrvaneStudio(std::unique_ptr<Engine> engine, QWidget* parent)
    : QMainWindow(parent), engine_(std::move(engine)) {
  setWindowTitle(QStringLiteral("Orvane Studio - Deep Learning Workstation"));
  const QString icon = app_icon_path();
  if (!icon.isEmpty()) setWindowIcon(QIcon(icon));
  resize_to_screen();
  prepare_symbol_fonts(text_font_families(), kWindowSymbols);
  init_ui();
  apply_theme(is_dark_mode);
  setup_shortcuts();
}

// 1500 x 950, shrunk to the screen's work area (less room for the window's
// title bar) on smaller screens, so the whole window can be seen and moved.
void OrvaneStudio::resize_to_screen() {
  QSize size(1500, 950);
  if (const QScreen* screen = this->screen()) {
    const QSize available = screen->availableGeometry().size();
    const int title_bar = style()->pixelMetric(QStyle::PM_TitleBarHeight);
    if (size.width() > available.width() || size.height() > available.height()) {
      size = size.boundedTo(available - QSize(0, title_bar));
    }
  }
  resize(size);
}

OrvaneStudio::~OrvaneStudio() {
  stop_workers();
  // The tabs hold the dialog seam, a member: they go first.
  delete tabs;
  tabs = nullptr;
  // Ends every engine process still running.
  if (engine_) engine_->end_all();
}

Dialogs& OrvaneStudio::dialogs() { return dialogs_; }

void OrvaneStudio::set_dialogs(std::unique_ptr<Dialogs> dialogs) {
  dialogs_.set_target(std::move(dialogs));
}

void OrvaneStudio::init_ui() {
  tabs = new QTabWidget;
  setCentralWidget(tabs);
  create_tabs();
  build_corner();
}

// The seven tabs, in order, and what passes between them.
void OrvaneStudio::create_tabs() {
  tab_resizer = new ResizerTab(dialogs());
  tab_splitter = new SplitterTab(dialogs());
  tab_aug = new EnricherTab(dialogs());
  tab_workspace = new AnnotatorTab(dialogs(), *engine_);
  tab_progress = new ProgressTab(dialogs(), *engine_);
  tab_config = new ConfigTab(dialogs(), *engine_);
  tab_inference = new InferenceTab(dialogs(), *engine_);

  tabs->addTab(tab_resizer, QStringLiteral("Image Resizer + Compressor"));
  tabs->addTab(tab_splitter, QStringLiteral("Image Splitter"));
  tabs->addTab(tab_aug, QStringLiteral("Synthetic Data Enricher"));
  tabs->addTab(tab_workspace, QStringLiteral("Image Annotator"));
  tabs->addTab(tab_config, QStringLiteral("YOLO Configuration && AutoML"));
  tabs->addTab(tab_progress, QStringLiteral("Training Analytics && Live Logs"));
  tabs->addTab(tab_inference, QStringLiteral("Inference && Model Export"));

  connect_training_tabs(*tabs, *tab_config, *tab_progress);
  connect(tab_progress, &ProgressTab::run_finished, tab_inference,
          &InferenceTab::offer_trained_model);
  // The viewer starts at the best weights of a run with the training tab's defaults.
  tab_inference->set_default_weights(
      QDir(tab_config->project_dir_input->text())
          .filePath(tab_config->run_name_input->text() + QStringLiteral("/weights/best.pt")));
}

void connect_training_tabs(QTabWidget& tabs, ConfigTab& config, ProgressTab& progress) {
  QObject::connect(&config, &ConfigTab::training_requested, &progress,
                   [&tabs, &progress](const QVariantMap& params) {
                     progress.begin_training(params);
                     tabs.setCurrentWidget(&progress);
                   });
  QObject::connect(&config, &ConfigTab::automl_started, &progress, [&tabs, &progress] {
    progress.clear_log();
    tabs.setCurrentWidget(&progress);
  });
  QObject::connect(&config, &ConfigTab::automl_log, &progress, &ProgressTab::append_log);
  QObject::connect(&config, &ConfigTab::automl_started, &progress,
                   [&config, &progress] { progress.follow_tuning(config.tuner_thread); });
  QObject::connect(&config, &ConfigTab::automl_applied, &tabs,
                   [&tabs, &config] { tabs.setCurrentWidget(&config); });
}

void OrvaneStudio::build_corner() {
  theme_toggle = new ThemeToggle;
  theme_toggle->setChecked(is_dark_mode);

  btn_help = new QPushButton(QStringLiteral("\u2139"));
  btn_help->setFixedSize(28, 28);
  btn_help->setCursor(Qt::PointingHandCursor);
  btn_help->setToolTip(QStringLiteral("Orvane Studio - User Guide"));
  btn_help->setStyleSheet(QStringLiteral(
      "QPushButton { font-size: 14px; font-weight: bold; border-radius: 14px; padding: 0px; }"));

  auto* corner = new QWidget;
  auto* corner_layout = new QHBoxLayout(corner);
  corner_layout->setContentsMargins(0, 0, 15, 8);
  corner_layout->setSpacing(8);
  corner_layout->addWidget(btn_help, 0, Qt::AlignVCenter);
  corner_layout->addWidget(theme_toggle, 0, Qt::AlignVCenter);
  tabs->setCornerWidget(corner, Qt::TopRightCorner);

  connect(theme_toggle, &QCheckBox::toggled, this, &OrvaneStudio::apply_theme);
  connect(btn_help, &QPushButton::clicked, this, [this] {
    HelpDialog dialog(this);
    dialogs().exec(dialog);
  });
}

void OrvaneStudio::setup_shortcuts() {
  shortcut_del = new QShortcut(QKeySequence(Qt::Key_Delete), this);
  shortcut_back = new QShortcut(QKeySequence(Qt::Key_Backspace), this);
  connect(shortcut_del, &QShortcut::activated, tab_workspace, &AnnotatorTab::ann_delete_selected);
  connect(shortcut_back, &QShortcut::activated, tab_workspace, &AnnotatorTab::ann_delete_selected);
  // They delete the annotator's selected shape: on any other page the keys
  // belong to that page (a queue, a text field), never to an unseen shape.
  const auto follow_page = [this] {
    const bool annotator = tabs->currentWidget() == tab_workspace;
    shortcut_del->setEnabled(annotator);
    shortcut_back->setEnabled(annotator);
  };
  connect(tabs, &QTabWidget::currentChanged, this, follow_page);
  follow_page();
}

void OrvaneStudio::apply_theme(bool is_dark) {
  is_dark_mode = is_dark;
  apply_application_theme(is_dark_mode);
  tab_workspace->update_annotation_colors();
}

QList<TabWork*> OrvaneStudio::tab_work() const {
  QList<TabWork*> work;
  for (int i = 0; tabs && i < tabs->count(); ++i) {
    if (auto* owner = tabs->widget(i)->findChild<TabWork*>(QString(), Qt::FindDirectChildrenOnly))
      work.append(owner);
  }
  return work;
}

bool OrvaneStudio::job_running() const {
  const QList<TabWork*> work = tab_work();
  return std::any_of(work.begin(), work.end(), [](const TabWork* w) { return w->running(); });
}

void OrvaneStudio::stop_workers() {
  const QList<TabWork*> work = tab_work();
  // All are called off first, so none writes on while another is waited for.
  for (TabWork* w : work) w->stop(QDeadlineTimer(0));
  const QDeadlineTimer deadline(2000);
  for (TabWork* w : work) w->stop(deadline);
}

void OrvaneStudio::closeEvent(QCloseEvent* event) {
  if (job_running() &&
      !dialogs_.question(this, QStringLiteral("Quit"),
                         QStringLiteral("A job is still running. Stop it and quit?"))) {
    event->ignore();
    return;
  }
  stop_workers();
  // Shapes moved by dragging since the last save reach the label file.
  tab_workspace->save_current_annotations();
  event->accept();
}

}  // namespace orvane
