#include "splitter/splitter_tab.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

#include "splitter/tile_grid.h"
#include "ui/dialogs.h"
#include "ui/info_label.h"

namespace orvane {

SplitterTab::SplitterTab(Dialogs& dialogs, QWidget* parent) : QWidget(parent), dialogs_(dialogs) {
  setup_splitter_tab();
}

void SplitterTab::setup_splitter_tab() {
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(build_directory_group());
  layout->addWidget(build_grid_group());
  layout->addStretch();

  connect(btn_split_in, &QPushButton::clicked, this,
          [this] { browse_into(entry_split_in, QStringLiteral("Select Input Directory")); });
  connect(btn_split_out, &QPushButton::clicked, this,
          [this] { browse_into(entry_split_out, QStringLiteral("Select Output Directory")); });
  connect(spin_split_parts, &QSpinBox::valueChanged, this,
          [this] { update_splitter_grid_modes(); });
  work_.bind_start(btn_split, [this] { process_image_splitting(); });
  update_splitter_grid_modes();
  // A folder of 100,000 files takes a second to list: once typing pauses, off the GUI thread.
  label_check_.setSingleShot(true);
  label_check_.setInterval(300);
  connect(&label_check_, &QTimer::timeout, this, &SplitterTab::update_label_fields);
  connect(entry_split_in, &QLineEdit::textChanged, this, [this] {
    ++label_check_generation_;
    label_check_.start();
  });
}

void SplitterTab::update_label_fields() {
  const QString folder = entry_split_in->text().trimmed();
  const quint64 generation = label_check_generation_;
  work_.look_up(
      [folder](std::stop_token) {  // worker thread
        return !folder.isEmpty() && QFileInfo(folder).isDir() && folder_has_labels(folder);
      },
      [this, generation](bool labelled) {
        // The field changed meanwhile: its own check follows.
        if (generation != label_check_generation_) return;
        if (auto* form = qobject_cast<QFormLayout*>(spin_split_keep->parentWidget()->layout())) {
          form->setRowVisible(spin_split_keep, labelled);
        }
        Q_EMIT label_fields_updated();
      });
}

QGroupBox* SplitterTab::build_directory_group() {
  auto* group = new QGroupBox(QStringLiteral("Directory Configuration"));
  auto* grid = new QGridLayout(group);
  entry_split_in = new QLineEdit;
  entry_split_in->setPlaceholderText(
      QStringLiteral("Select source directory containing images..."));
  entry_split_out = new QLineEdit;
  entry_split_out->setPlaceholderText(QStringLiteral("Select destination directory for tiles..."));
  btn_split_in = new QPushButton(QStringLiteral("Browse..."));
  btn_split_out = new QPushButton(QStringLiteral("Browse..."));
  grid->addWidget(
      create_info_label(QStringLiteral("Input Folder:"), QStringLiteral("Source directory")), 0, 0);
  grid->addWidget(entry_split_in, 0, 1);
  grid->addWidget(btn_split_in, 0, 2);
  grid->addWidget(
      create_info_label(QStringLiteral("Output Folder:"), QStringLiteral("Destination directory")),
      1, 0);
  grid->addWidget(entry_split_out, 1, 1);
  grid->addWidget(btn_split_out, 1, 2);
  grid->setColumnStretch(1, 1);
  return group;
}

QGroupBox* SplitterTab::build_grid_group() {
  auto* group = new QGroupBox(QStringLiteral("Splitting Grid Parameters && Folder Structure"));
  auto* form = new QFormLayout(group);
  spin_split_parts = new QSpinBox;
  spin_split_parts->setRange(1, 100);
  spin_split_parts->setValue(4);
  combo_grid_mode = new QComboBox;
  chk_subfolders = new QCheckBox(
      QStringLiteral("Save each tile part index in a separate subfolder (e.g. part_1/, part_2/)"));
  chk_subfolders->setChecked(true);
  btn_split = new QPushButton(QStringLiteral("✂ SPLIT IMAGES"));
  btn_split->setObjectName(QStringLiteral("primaryBtn"));
  progress_split = new QProgressBar;
  work_.bind_progress(progress_split, true);
  form->addRow(QStringLiteral("Number of Tile Parts:"), spin_split_parts);
  form->addRow(QStringLiteral("Grid Layout Mode:"), combo_grid_mode);
  form->addRow(chk_subfolders);
  spin_split_overlap = new QSpinBox;
  spin_split_overlap->setRange(0, 50);
  spin_split_overlap->setValue(0);
  spin_split_overlap->setSuffix(QStringLiteral(" %"));
  form->addRow(QStringLiteral("Overlap between tiles:"), spin_split_overlap);
  spin_split_keep = new QSpinBox;
  spin_split_keep->setRange(0, 100);
  spin_split_keep->setValue(25);
  spin_split_keep->setSuffix(QStringLiteral(" % inside"));
  form->addRow(QStringLiteral("Keep shapes with at least:"), spin_split_keep);
  form->setRowVisible(spin_split_keep, false);
  form->addRow(btn_split);
  form->addRow(progress_split);
  return group;
}

void SplitterTab::browse_into(QLineEdit* entry, const QString& title) {
  const QString folder = dialogs_.get_existing_directory(this, title);
  if (!folder.isEmpty()) entry->setText(folder);
}

void SplitterTab::update_splitter_grid_modes() {
  const QSignalBlocker blocker(combo_grid_mode);
  combo_grid_mode->clear();
  combo_grid_mode->addItems(grid_modes(spin_split_parts->value()));
  combo_grid_mode->setCurrentIndex(0);
}

void SplitterTab::process_image_splitting() {
  if (work_.job_running()) return;
  const QString in_dir = entry_split_in->text().trimmed();
  const QString out_dir = entry_split_out->text().trimmed();
  if (in_dir.isEmpty() || !QFileInfo::exists(in_dir) || out_dir.isEmpty()) {
    dialogs_.warning(this, QStringLiteral("Error"),
                     QStringLiteral("Specify valid Input and Output directories."));
    return;
  }
  const std::optional<GridSize> grid = parse_grid_mode(combo_grid_mode->currentText());
  if (!grid) return;  // the combo always holds a mode; nothing to split without one
  const QStringList files = gather_split_images(in_dir);
  if (files.isEmpty()) {
    dialogs_.warning(this, QStringLiteral("No Images"),
                     QStringLiteral("No images found in input folder."));
    return;
  }

  const SplitSettings settings{out_dir, *grid, chk_subfolders->isChecked(),
                               spin_split_overlap->value(), spin_split_keep->value()};
  TabWork::JobFace face{
      btn_split,
      int(files.size()),
      {},
      QStringLiteral("Splitting Cancelled"),
      [](const JobTally& tally, int total) {
        return QStringLiteral("Cancelled: %1 of %2 images split, %3 tiles written.")
            .arg(tally.items)
            .arg(total)
            .arg(tally.files);
      },
      QStringLiteral("The splitting stopped: %1")};
  work_.start_job(
      std::move(face),
      [files, settings](JobControl& control) {  // the job's thread
        return split_images(files, settings, &control);
      },
      [this](const SplitOutcome& outcome) { show_outcome(outcome); });
}

void SplitterTab::show_outcome(const SplitOutcome& outcome) {
  if (!outcome.folder_error.isEmpty()) {
    dialogs_.critical(this, QStringLiteral("Error"), outcome.folder_error);
    return;
  }
  const QString summary =
      QStringLiteral("Split %1 images into %2 tile parts.").arg(outcome.images).arg(outcome.tiles) +
      split_label_text(outcome);
  const QString failures = split_failure_text(outcome);
  if (failures.isEmpty()) {
    dialogs_.information(this, QStringLiteral("Splitting Success"), summary);
  } else {
    dialogs_.critical(this, QStringLiteral("Error"), summary + failures);
  }
}

}  // namespace orvane
