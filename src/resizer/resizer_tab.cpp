#include "resizer/resizer_tab.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSet>
#include <QVBoxLayout>

#include "fileio/file_read.h"
#include "fileio/folder_listing.h"
#include "imaging/image_extensions.h"
#include "imaging/image_io.h"
#include "ui/dialogs.h"
#include "ui/info_label.h"

namespace orvane {
namespace {

// Top-down: a folder's files first, then each subfolder in turn; regular
// files only, each real folder once.
QStringList walk_folder(const QString& folder, bool recursive) {
  QStringList found;
  for (const QString& path : regular_files_below(QDir(folder).path(), recursive)) {
    if (ends_with_image_extension(file_name_of(path), ImageJob::kResizer)) found.append(path);
  }
  return found;
}

class PreviewError : public std::runtime_error {
 public:
  explicit PreviewError(const QString& message) : std::runtime_error(message.toStdString()) {}
};

// Photos of 100 megapixels and more need more than Qt's default 256 MB;
// the decoders' own pixel limit still refuses anything larger.
const QString kPreviewHint =
    QStringLiteral("Select an image from queue to preview expected output.");

constexpr int kReaderAllocationLimitMb = int(kMaxImagePixels * 4 / (1024 * 1024)) + 64;

}  // namespace

ResizerTab::ResizerTab(Dialogs& dialogs, QWidget* parent) : QWidget(parent), dialogs_(dialogs) {
  if (QImageReader::allocationLimit() < kReaderAllocationLimitMb) {
    QImageReader::setAllocationLimit(kReaderAllocationLimitMb);
  }
  setup_resizer_tab();
}

void ResizerTab::setup_resizer_tab() {
  auto* main_layout = new QHBoxLayout;
  main_layout->addWidget(build_parameters_panel());
  main_layout->addWidget(build_queue_panel(), 1);
  setLayout(main_layout);
  connect_signals();
}

QGroupBox* ResizerTab::build_dimension_group() {
  auto* group = new QGroupBox(QStringLiteral("Dimension Controls"));
  auto* grid = new QGridLayout(group);
  chk_enable_dim = new QCheckBox(QStringLiteral("Enable Resizing"));
  chk_enable_dim->setChecked(true);
  entry_resize_w = new QLineEdit;
  entry_resize_w->setPlaceholderText(QStringLiteral("Width"));
  entry_resize_h = new QLineEdit;
  entry_resize_h->setPlaceholderText(QStringLiteral("Height"));
  combo_unit = new QComboBox;
  combo_unit->addItems({QStringLiteral("px"), QStringLiteral("cm"), QStringLiteral("mm"),
                        QStringLiteral("in"), QStringLiteral("pt")});
  entry_dpi = new QLineEdit(QStringLiteral("300"));
  chk_aspect_ratio = new QCheckBox(QStringLiteral("Lock Aspect Ratio"));
  chk_aspect_ratio->setChecked(true);

  grid->addWidget(chk_enable_dim, 0, 0, 1, 2);
  grid->addWidget(
      create_info_label(QStringLiteral("Width:"), QStringLiteral("Target export width")), 1, 0);
  grid->addWidget(entry_resize_w, 1, 1);
  grid->addWidget(
      create_info_label(QStringLiteral("Height:"), QStringLiteral("Target export height")), 2, 0);
  grid->addWidget(entry_resize_h, 2, 1);
  grid->addWidget(create_info_label(QStringLiteral("Unit:"), QStringLiteral("Measurement unit")), 3,
                  0);
  grid->addWidget(combo_unit, 3, 1);
  grid->addWidget(
      create_info_label(QStringLiteral("Target DPI:"), QStringLiteral("Resolution target DPI")), 4,
      0);
  grid->addWidget(entry_dpi, 4, 1);
  grid->addWidget(chk_aspect_ratio, 5, 0, 1, 2);
  return group;
}

// In group titles "&&" shows one "&"; a single one would mark a shortcut key.
QGroupBox* ResizerTab::build_compression_group() {
  auto* group = new QGroupBox(QStringLiteral("Quality && Compression Engine"));
  auto* form = new QFormLayout(group);
  chk_enable_comp = new QCheckBox(QStringLiteral("Enable Target Size Constraint"));
  entry_target_kb = new QLineEdit(QStringLiteral("500"));
  form->addRow(chk_enable_comp);
  form->addRow(QStringLiteral("Max File Size (KB):"), entry_target_kb);
  return group;
}

QGroupBox* ResizerTab::build_format_group() {
  auto* group = new QGroupBox(QStringLiteral("Format && Rotation"));
  auto* form = new QFormLayout(group);
  combo_resizer_format = new QComboBox;
  combo_resizer_format->addItems({QStringLiteral("Match Original"), QStringLiteral("JPEG"),
                                  QStringLiteral("PNG"), QStringLiteral("WEBP")});
  combo_resizer_rotate = new QComboBox;
  combo_resizer_rotate->addItems({QStringLiteral("0°"), QStringLiteral("90°"),
                                  QStringLiteral("180°"), QStringLiteral("270°")});
  form->addRow(QStringLiteral("Export Format:"), combo_resizer_format);
  form->addRow(QStringLiteral("Rotation:"), combo_resizer_rotate);
  return group;
}

QWidget* ResizerTab::build_parameters_panel() {
  auto* panel = new QGroupBox(QStringLiteral("Scaling && Quality Parameters"));
  panel->setFixedWidth(350);
  auto* layout = new QVBoxLayout(panel);
  layout->addWidget(build_dimension_group());
  layout->addWidget(build_compression_group());
  layout->addWidget(build_format_group());
  layout->addStretch();
  return panel;
}

QWidget* ResizerTab::build_queue_panel() {
  auto* panel = new QGroupBox(QStringLiteral("Processing Queue && Live Analytics"));
  auto* layout = new QVBoxLayout(panel);
  auto* buttons = new QHBoxLayout;
  btn_add_files = new QPushButton(QStringLiteral("+ Add Files"));
  btn_add_folder = new QPushButton(QStringLiteral("+ Add Folder"));
  btn_clear_queue = new QPushButton(QStringLiteral("Clear Queue"));
  buttons->addWidget(btn_add_files);
  buttons->addWidget(btn_add_folder);
  buttons->addWidget(btn_clear_queue);
  layout->addLayout(buttons);

  chk_recursive = new QCheckBox(QStringLiteral("Include Subfolders recursively"));
  list_resizer_queue = new QListWidget;
  lbl_queue_count = new QLabel(QStringLiteral("0 files in queue"));
  preview_resizer_view = new ZoomableView;
  preview_resizer_view->setFixedHeight(220);
  lbl_resizer_details = new QLabel(kPreviewHint);
  lbl_resizer_details->setAlignment(Qt::AlignCenter);
  progress_resizer = new QProgressBar;
  work_.bind_progress(progress_resizer, false);
  btn_run_resizer = new QPushButton(QStringLiteral("⚡ RUN BATCH EXPORT"));
  btn_run_resizer->setObjectName(QStringLiteral("primaryBtn"));
  for (QWidget* widget : std::initializer_list<QWidget*>{
           chk_recursive, list_resizer_queue, lbl_queue_count, preview_resizer_view,
           lbl_resizer_details, progress_resizer, btn_run_resizer}) {
    layout->addWidget(widget);
  }
  return panel;
}

void ResizerTab::connect_signals() {
  connect(btn_add_files, &QPushButton::clicked, this, &ResizerTab::resizer_add_files);
  connect(btn_add_folder, &QPushButton::clicked, this, &ResizerTab::resizer_add_folder);
  connect(btn_clear_queue, &QPushButton::clicked, this, &ResizerTab::resizer_clear_queue);
  connect(list_resizer_queue, &QListWidget::itemSelectionChanged, this,
          &ResizerTab::resizer_update_preview);
  work_.bind_start(btn_run_resizer, [this] { resizer_process_batch(); });
  // The prediction follows every field it depends on, not only the selection.
  for (QLineEdit* entry : {entry_resize_w, entry_resize_h, entry_dpi}) {
    connect(entry, &QLineEdit::textChanged, this, &ResizerTab::show_prediction);
  }
  for (QComboBox* combo : {combo_unit, combo_resizer_rotate, combo_resizer_format}) {
    connect(combo, &QComboBox::currentTextChanged, this, &ResizerTab::show_prediction);
  }
  for (QCheckBox* check : {chk_enable_dim, chk_aspect_ratio}) {
    connect(check, &QCheckBox::toggled, this, &ResizerTab::show_prediction);
  }
}

void ResizerTab::append_to_queue(const QStringList& paths) {
  QSet<QString> queued(resizer_queue.cbegin(), resizer_queue.cend());
  for (const QString& path : paths) {
    if (queued.contains(path)) continue;
    queued.insert(path);
    resizer_queue.append(path);
  }
}

void ResizerTab::resizer_add_files() {
  append_to_queue(dialogs_.get_open_file_names(this, QStringLiteral("Select Images"), QString(),
                                               image_file_filter(ImageJob::kResizer)));
  resizer_update_queue_ui();
}

void ResizerTab::resizer_add_folder() {
  const QString folder = dialogs_.get_existing_directory(this, QStringLiteral("Select Folder"));
  if (folder.isEmpty()) return;
  append_to_queue(walk_folder(folder, chk_recursive->isChecked()));
  resizer_update_queue_ui();
}

void ResizerTab::resizer_clear_queue() {
  resizer_queue.clear();
  resizer_update_queue_ui();
  // Nothing of the queue cleared stays on show.
  previewed_size_.reset();
  preview_resizer_view->set_image(QPixmap());
  lbl_resizer_details->setText(kPreviewHint);
  if (!work_.job_running()) progress_resizer->reset();
}

void ResizerTab::resizer_update_queue_ui() {
  {
    const QSignalBlocker block(list_resizer_queue);
    list_resizer_queue->clear();
    for (const QString& path : resizer_queue) {
      list_resizer_queue->addItem(QFileInfo(path).fileName());
    }
  }
  lbl_queue_count->setText(QStringLiteral("%1 files in queue").arg(resizer_queue.size()));
}

void ResizerTab::resizer_update_preview() {
  const int row = list_resizer_queue->currentRow();
  if (row < 0 || row >= resizer_queue.size()) return;
  previewed_size_.reset();
  try {
    show_preview(resizer_queue[row]);
  } catch (const std::exception& e) {
    lbl_resizer_details->setText(QStringLiteral("Preview Error: ") +
                                 QString::fromStdString(e.what()));
  }
}

void ResizerTab::show_preview(const QString& path) {
  // Opening a FIFO would block until something writes to it.
  const QFileInfo info(path);
  if (info.exists() && !info.isFile()) throw PreviewError(not_regular_file_reason());
  QImageReader reader(path);
  reader.setAutoTransform(true);
  QSize size = reader.size();
  if (!size.isValid()) throw PreviewError(reader.errorString());
  if (qint64(size.width()) * size.height() > kMaxImagePixels) {
    throw PreviewError(too_many_pixels_text(size.width(), size.height()));
  }
  // The size as the picture stands upright (EXIF orientation applied).
  const bool turned = reader.transformation() & QImageIOHandler::TransformationRotate90;
  if (turned) size.transpose();
  const qint64 file_bytes = info.size();

  // Decode straight at the preview's size where the format allows it.
  QSize fit = size.scaled(240, 140, Qt::KeepAspectRatio);
  if (turned) fit.transpose();
  reader.setScaledSize(fit.expandedTo(QSize(1, 1)));
  const QImage picture = reader.read();
  if (picture.isNull()) throw PreviewError(reader.errorString());
  preview_resizer_view->set_image(QPixmap::fromImage(picture));
  previewed_size_ = size;
  previewed_bytes_ = file_bytes;
  show_prediction();
}

void ResizerTab::show_prediction() {
  if (!previewed_size_) return;
  try {
    const double dpi = parse_dpi(entry_dpi->text());
    QSize out = target_size(previewed_size_->width(), previewed_size_->height(),
                            read_settings(dpi).size, dpi);
    const int rot = rotation_degrees(combo_resizer_rotate->currentText());
    if (rot == 90 || rot == 270) out.transpose();
    lbl_resizer_details->setText(prediction_text(out, dpi, previewed_bytes_));
  } catch (const std::exception& e) {
    lbl_resizer_details->setText(QStringLiteral("Preview Error: ") +
                                 QString::fromStdString(e.what()));
  }
}

BatchSettings ResizerTab::read_settings(double dpi) const {
  BatchSettings settings;
  settings.size.enabled = chk_enable_dim->isChecked();
  settings.size.width_text = entry_resize_w->text().trimmed();
  settings.size.height_text = entry_resize_h->text().trimmed();
  settings.size.unit = combo_unit->currentText();
  settings.size.lock_aspect = chk_aspect_ratio->isChecked();
  settings.dpi = dpi;
  settings.rotation = rotation_degrees(combo_resizer_rotate->currentText());
  settings.format_choice = combo_resizer_format->currentText();
  settings.limit_size = chk_enable_comp->isChecked();
  settings.target_kb_text = entry_target_kb->text();
  return settings;
}

void ResizerTab::resizer_process_batch() {
  if (work_.job_running() || resizer_queue.isEmpty()) return;
  double dpi = 0.0;
  try {
    dpi = parse_dpi(entry_dpi->text());
  } catch (const ResizeInputError&) {
    dialogs_.warning(this, QStringLiteral("Error"),
                     QStringLiteral("Target DPI \"%1\" is not a number. Nothing was exported.")
                         .arg(entry_dpi->text()));
    return;
  }
  // Every number is read once, before anything is asked or written.
  const ParsedBatchSettings parsed = parse_batch_settings(read_settings(dpi));
  if (!parsed.settings) {
    dialogs_.warning(this, QStringLiteral("Error"),
                     parsed.error + QStringLiteral("\n\nNothing was exported."));
    return;
  }
  const QString out_dir =
      dialogs_.get_existing_directory(this, QStringLiteral("Select Output Directory"));
  if (out_dir.isEmpty()) return;

  const QStringList queue = resizer_queue;
  const ResizeSettings settings = *parsed.settings;
  TabWork::JobFace face{
      btn_run_resizer,
      int(queue.size()),
      {},
      QStringLiteral("Export Cancelled"),
      TabWork::items_of_total(QStringLiteral("Cancelled: %1 of %2 images written.")),
      QStringLiteral("The batch stopped: %1")};
  work_.start_job(
      std::move(face),
      [queue, settings, out_dir](JobControl& control) {  // the job's thread
        return run_resize_batch(queue, settings, out_dir, {}, 0, &control);
      },
      [this, settings](const BatchReport& report) {
        dialogs_.information(this, QStringLiteral("Export Complete"),
                             batch_summary(report, settings));
      });
}

}  // namespace orvane
