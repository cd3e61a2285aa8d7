// The splitter tab with its folders filled in for a 3 x 4 grid, dark theme.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QSpinBox>
#include <QTabWidget>

#include "snapshot.h"
#include "splitter/splitter_tab.h"
#include "theme/stylesheet.h"
#include "ui/dialogs.h"

using namespace orvane;

void snapshot_splitter(const SnapshotContext& context) {
  qApp->setStyleSheet(get_stylesheet(true));
  Dialogs dialogs;
  QTabWidget window;  // as the main window holds it
  auto* tab = new orvane::SplitterTab(dialogs);
  window.addTab(tab, QStringLiteral("Image Splitter"));
  window.resize(1100, 700);
  tab->entry_split_in->setText(QDir(context.work_dir).filePath(QStringLiteral("aerial survey")));
  tab->entry_split_out->setText(QDir(context.work_dir).filePath(QStringLiteral("aerial tiles")));
  tab->spin_split_parts->setValue(12);
  tab->combo_grid_mode->setCurrentText(QStringLiteral("3 Rows x 4 Cols"));
  save_snapshot(context, &window, QStringLiteral("splitter_dark"));
  qApp->setStyleSheet(QString());
}
