#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QGraphicsScene>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeySequence>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QTabWidget>
#include <QTableWidget>

#include "app/app_core.h"
#include "app/app_icon.h"
#include "app/dialogs.h"
#include "app/help_dialog.h"
#include "canvas/interactive_canvas.h"
#include "theme/app_style.h"
#include "theme/stylesheet.h"
#include "theme/theme_toggle.h"

namespace orvane {

OrvaneStudio::OrvaneStudio(QWidget* parent)
    : QMainWindow(parent), dialogs_(std::make_unique<Dialogs>()) {
  setWindowTitle(QStringLiteral("Orvane Studio - Deep Learning Workstation"));
  const QString icon = app_icon_path();
  if (!icon.isEmpty()) setWindowIcon(QIcon(icon));
  resize(1500, 950);
  // The data members start at their declared initial values.
  init_ui();
  apply_theme(is_dark_mode);
  setup_shortcuts();
}

OrvaneStudio::~OrvaneStudio() {
  // The scene and the table emit selection changes while they are torn down;
  // those must not reach this half-destroyed window.
  if (canvas) canvas->disconnect(this);
  if (table_objects) table_objects->disconnect(this);
  if (list_images) list_images->disconnect(this);
}

Dialogs& OrvaneStudio::dialogs() { return *dialogs_; }

void OrvaneStudio::set_dialogs(std::unique_ptr<Dialogs> dialogs) {
  dialogs_ = dialogs ? std::move(dialogs) : std::make_unique<Dialogs>();
}

void OrvaneStudio::init_ui() {
  tabs = new QTabWidget;
  setCentralWidget(tabs);

  struct Page {
    QWidget* OrvaneStudio::*member;
    void (OrvaneStudio::*setup)();
    const char* title;
  };
  const Page pages[] = {
      {&OrvaneStudio::tab_resizer, &OrvaneStudio::setup_resizer_tab, "Image Resizer + Compressor"},
      {&OrvaneStudio::tab_splitter, &OrvaneStudio::setup_splitter_tab, "Image Splitter"},
      {&OrvaneStudio::tab_aug, &OrvaneStudio::setup_aug_tab, "Synthetic Data Enricher"},
      {&OrvaneStudio::tab_workspace, &OrvaneStudio::setup_workspace_tab, "Image Annotator"},
      {&OrvaneStudio::tab_config, &OrvaneStudio::setup_config_tab, "YOLO Configuration && AutoML"},
      {&OrvaneStudio::tab_progress, &OrvaneStudio::setup_progress_tab,
       "Training Analytics && Live Logs"},
      {&OrvaneStudio::tab_inference, &OrvaneStudio::setup_inference_tab,
       "Inference && Model Export"},
  };
  for (const Page& page : pages) {
    this->*page.member = new QWidget;
    (this->*page.setup)();
    tabs->addTab(this->*page.member, QString::fromUtf8(page.title));
  }

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
  connect(shortcut_del, &QShortcut::activated, this, &OrvaneStudio::ann_delete_selected);
  connect(shortcut_back, &QShortcut::activated, this, &OrvaneStudio::ann_delete_selected);
}

void OrvaneStudio::apply_theme(bool is_dark) {
  is_dark_mode = is_dark;
  if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance())) {
    install_app_style();
    app->setStyleSheet(get_stylesheet(is_dark_mode));
  }
  update_annotation_colors();
}

void OrvaneStudio::closeEvent(QCloseEvent* event) {
  // Shapes moved by dragging since the last save reach the label file.
  save_current_annotations();
  event->accept();
}

}  // namespace orvane
