#include "enricher/enricher_tab.h"

#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGraphicsPixmapItem>
#include <QGraphicsPolygonItem>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "canvas/outline_simplify.h"
#include "canvas/screen_scale.h"
#include "common/job_runner.h"
#include "enricher/transforms.h"
#include "fileio/folder_listing.h"
#include "imaging/image_extensions.h"
#include "imaging/image_io.h"
#include "imaging/source_image.h"
#include "labels/class_colors.h"
#include "labels/label_paths.h"
#include "ui/info_label.h"

namespace orvane {

namespace {

const QString kSelectMove = QStringLiteral("Select/Move");

// Failures listed in the closing message; the rest are summed up.
constexpr int kListedFailures = 10;

// The warp's corners, in the order they are clicked.
const char* const kWarpCorners[4] = {"top-left", "top-right", "bottom-right", "bottom-left"};

// A carried shape's outline on the canvas. The item holds the whole shape
// (polygon(), set once) but draws a copy with only the vertices the zoom it
// is painted at needs (canvas/outline_simplify.h): a traced outline of
// 100,000 vertices would take a tenth of a second or more to stroke on every
// repaint. The copies of the last few zoom levels are kept; one is made when a
// zoom first needs it. Its bounds come from the vertices, never from stroking
// the whole outline.
class OutlineItem : public QGraphicsPolygonItem {
 public:
  OutlineItem(const QPolygonF& points, const QPen& pen)
      : QGraphicsPolygonItem(points), bounds_(points.boundingRect()) {
    setPen(pen);
  }

  // The outline reaches at most one pen width (in screen pixels) beyond its
  // vertices.
  QRectF boundingRect() const override {
    const double margin = (pen().widthF() + 1) * scene_units_per_pixel(scene());
    return bounds_.adjusted(-margin, -margin, margin, margin);
  }

  // What the pointer hits (the tool tip): the inside of the copy drawn in the
  // most zoomed-out view.
  QPainterPath shape() const override {
    QPainterPath path;
    path.addPolygon(drawn(scene_units_per_pixel(scene())));
    path.closeSubpath();
    return path;
  }

  void paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) override {
    painter->setPen(pen());
    painter->setBrush(Qt::NoBrush);
    painter->drawPolygon(drawn(scene_units_per_pixel(*painter)));
  }

 private:
  // The copy for a view where a screen pixel covers `units_per_pixel` pixels
  // of the image.
  QPolygonF drawn(double units_per_pixel) const {
    if (polygon().size() <= kExactOutlinePoints) return polygon();
    const OutlineDetail detail = outline_detail(units_per_pixel);
    const auto kept = std::find_if(levels_.begin(), levels_.end(),
                                   [&](const Level& level) { return level.level == detail.level; });
    if (kept != levels_.end()) {
      std::rotate(kept, kept + 1, levels_.end());  // the newest last
    } else {
      if (levels_.size() == kKeptLevels) levels_.erase(levels_.begin());
      levels_.push_back({detail.level, simplified_outline(polygon(), detail.tolerance)});
    }
    return levels_.back().points;
  }

  static constexpr size_t kKeptLevels = 3;
  struct Level {
    int level;
    QPolygonF points;
  };
  QRectF bounds_;
  mutable std::vector<Level> levels_;
};

QDoubleSpinBox* make_spin(double value, double minimum, double maximum, double step, int decimals) {
  auto* spin = new QDoubleSpinBox;
  spin->setRange(minimum, maximum);
  spin->setSingleStep(step);
  spin->setDecimals(decimals);
  spin->setValue(value);
  return spin;
}

QStringList folder_images(const QString& folder) {
  QStringList paths;
  for (const QString& path : regular_files(folder)) {
    const QString name = file_name_of(path);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot > 0 && is_image_extension(QStringView(name).mid(dot), ImageJob::kEnricher))
      paths.append(QDir::cleanPath(path));
  }
  paths.sort();  // plain string order
  return paths;
}

}  // namespace

EnricherTab::EnricherTab(Dialogs& dialogs, QWidget* parent)
    : QWidget(parent), dialogs_(dialogs), random_(make_uniform_source()) {
  setup_aug_tab();
}

void EnricherTab::setup_aug_tab() {
  auto* layout = new QHBoxLayout;
  layout->addWidget(build_config_panel());
  layout->addWidget(build_simulation_panel(), 1);
  setLayout(layout);
  connect_signals();
}

QGroupBox* EnricherTab::build_config_panel() {
  auto* panel = new QGroupBox(QStringLiteral("Configuration && Parameters"));
  panel->setFixedWidth(380);
  auto* layout = new QVBoxLayout(panel);

  auto* folders = new QGridLayout;
  aug_entry_in = new QLineEdit;
  aug_entry_in->setPlaceholderText(QStringLiteral("Select input directory..."));
  aug_entry_out = new QLineEdit;
  aug_entry_out->setPlaceholderText(QStringLiteral("Select output directory..."));
  btn_aug_in = new QPushButton(QStringLiteral("Browse..."));
  btn_aug_out = new QPushButton(QStringLiteral("Browse..."));
  folders->addWidget(new QLabel(QStringLiteral("Input:")), 0, 0);
  folders->addWidget(aug_entry_in, 0, 1);
  folders->addWidget(btn_aug_in, 0, 2);
  folders->addWidget(new QLabel(QStringLiteral("Output:")), 1, 0);
  folders->addWidget(aug_entry_out, 1, 1);
  folders->addWidget(btn_aug_out, 1, 2);
  layout->addLayout(folders);

  aug_lbl_status = new QLabel(QStringLiteral("Total Images: 0 | Enriched: 0"));
  aug_lbl_status->setStyleSheet(
      QStringLiteral("font-weight: bold; margin-top: 5px; margin-bottom: 5px;"));
  layout->addWidget(aug_lbl_status);
  layout->addWidget(build_ranges_group(), 1);
  layout->addWidget(build_batch_group());
  return panel;
}

QGroupBox* EnricherTab::build_ranges_group() {
  auto* group = new QGroupBox(QStringLiteral("Augmentation Ranges (Min - Max)"));
  auto* outer = new QVBoxLayout(group);
  auto* scroll = new QScrollArea;
  scroll->setWidgetResizable(true);
  scroll->setFrameShape(QFrame::NoFrame);
  auto* inner = new QWidget;
  auto* grid = new QGridLayout(inner);
  grid->addWidget(new QLabel(QStringLiteral("Min")), 0, 1, Qt::AlignCenter);
  grid->addWidget(new QLabel(QStringLiteral("Max")), 0, 2, Qt::AlignCenter);

  aug_b_min = make_spin(-30, -100, 100, 1, 0);
  aug_b_max = make_spin(30, -100, 100, 1, 0);
  aug_c_min = make_spin(0.8, 0.1, 3.0, 0.1, 2);
  aug_c_max = make_spin(1.2, 0.1, 3.0, 0.1, 2);
  aug_r_min = make_spin(-15, -180, 180, 1, 0);
  aug_r_max = make_spin(15, -180, 180, 1, 0);
  aug_l_min = make_spin(0.8, 0.1, 3.0, 0.1, 2);
  aug_l_max = make_spin(1.2, 0.1, 3.0, 0.1, 2);
  aug_w_min = make_spin(0, 0, 50, 1, 1);
  aug_w_max = make_spin(5, 0, 50, 1, 1);
  const struct {
    const char* label;
    const char* tooltip;
    QDoubleSpinBox* min;
    QDoubleSpinBox* max;
  } rows[] = {
      {"Brightness Add:", "Intensity offset (-100 to +100)", aug_b_min, aug_b_max},
      {"Contrast Scale:", "Multiplier (0.1 to 3.0)", aug_c_min, aug_c_max},
      {"Rotation (°):", "Random slight rotations", aug_r_min, aug_r_max},
      {"Lighting (Gamma):", "Gamma curve adjustment", aug_l_min, aug_l_max},
      {"Warp Var. (%):", "Random perspective skew %", aug_w_min, aug_w_max},
  };
  int row = 1;
  for (const auto& r : rows) {
    grid->addWidget(create_info_label(QString::fromUtf8(r.label), QString::fromUtf8(r.tooltip)),
                    row, 0);
    grid->addWidget(r.min, row, 1);
    grid->addWidget(r.max, row, 2);
    ++row;
  }
  grid->setRowStretch(row, 1);
  scroll->setWidget(inner);
  outer->addWidget(scroll);
  return group;
}

QGroupBox* EnricherTab::build_batch_group() {
  auto* group = new QGroupBox(QStringLiteral("Batch Generator Options"));
  auto* form = new QFormLayout(group);
  spin_aug_gen_count = new QSpinBox;
  spin_aug_gen_count->setRange(1, 1000);
  spin_aug_gen_count->setValue(10);
  btn_aug_enrich = new QPushButton(QStringLiteral("⚡ ENRICH DATASET"));
  btn_aug_enrich->setObjectName(QStringLiteral("primaryBtn"));
  progress_aug_enrich = new QProgressBar;
  work_.bind_progress(progress_aug_enrich, true);
  form->addRow(QStringLiteral("Variants per Source:"), spin_aug_gen_count);
  form->addRow(btn_aug_enrich);
  form->addRow(progress_aug_enrich);
  return group;
}

QGroupBox* EnricherTab::build_simulation_panel() {
  auto* panel = new QGroupBox(QStringLiteral("Augmentation Live Simulation Engine"));
  auto* layout = new QVBoxLayout(panel);
  aug_canvas = new InteractiveCanvas(this);
  aug_preview_view = new ZoomableView;
  aug_preview_view->setScene(aug_canvas);
  layout->addWidget(aug_preview_view, 1);
  aug_lbl_canvas_hint = new QLabel;
  aug_lbl_canvas_hint->setWordWrap(true);
  layout->addWidget(aug_lbl_canvas_hint);

  auto* mode_row = new QHBoxLayout;
  aug_combo_mode = new QComboBox;
  aug_combo_mode->addItems({kSelectMove, QStringLiteral("Crop"), QStringLiteral("Warp")});
  mode_row->addWidget(new QLabel(QStringLiteral("Interactive Canvas Mode:")));
  mode_row->addWidget(aug_combo_mode, 1);
  layout->addLayout(mode_row);
  layout->addLayout(build_tools_row());

  btn_aug_preview = new QPushButton(QStringLiteral("🎨 Simulate Augmentation Frame"));
  btn_aug_preview->setObjectName(QStringLiteral("primaryBtn"));
  layout->addWidget(btn_aug_preview);
  layout->addLayout(build_navigation_row());
  return panel;
}

QLayout* EnricherTab::build_tools_row() {
  auto* row = new QHBoxLayout;
  btn_aug_cw = new QPushButton(QStringLiteral("90° CW"));
  btn_aug_ccw = new QPushButton(QStringLiteral("90° CCW"));
  aug_entry_angle = new QLineEdit;
  aug_entry_angle->setPlaceholderText(QStringLiteral("Angle (°)"));
  aug_entry_angle->setFixedWidth(70);
  btn_aug_rotate = new QPushButton(QStringLiteral("Rotate"));
  btn_aug_reset = new QPushButton(QStringLiteral("🔄 Reset Source Image"));
  row->addWidget(btn_aug_cw);
  row->addWidget(btn_aug_ccw);
  row->addWidget(aug_entry_angle);
  row->addWidget(btn_aug_rotate);
  row->addWidget(btn_aug_reset);
  return row;
}

QLayout* EnricherTab::build_navigation_row() {
  auto* row = new QHBoxLayout;
  btn_aug_prev = new QPushButton(QStringLiteral("◄ Previous Image"));
  aug_lbl_counter = new QLabel(QStringLiteral("0 / 0"));
  aug_lbl_counter->setAlignment(Qt::AlignCenter);
  btn_aug_next = new QPushButton(QStringLiteral("Next Image ►"));
  row->addWidget(btn_aug_prev);
  row->addWidget(aug_lbl_counter, 1);
  row->addWidget(btn_aug_next);
  return row;
}

void EnricherTab::connect_signals() {
  connect(btn_aug_in, &QPushButton::clicked, this, [this] { aug_load_input(); });
  connect(btn_aug_out, &QPushButton::clicked, this, [this] { aug_load_output(); });
  work_.bind_start(btn_aug_enrich, [this] { enrich_current_image(); });
  connect(aug_canvas, &InteractiveCanvas::point_clicked, this,
          [this](const QPointF& pt) { handle_aug_canvas_point(pt); });
  connect(aug_combo_mode, &QComboBox::currentTextChanged, this,
          [this](const QString& mode) { change_aug_active_mode(mode); });
  connect(btn_aug_cw, &QPushButton::clicked, this, [this] { aug_rotate_fixed(-90); });
  connect(btn_aug_ccw, &QPushButton::clicked, this, [this] { aug_rotate_fixed(90); });
  connect(btn_aug_rotate, &QPushButton::clicked, this, [this] { aug_rotate_custom(); });
  connect(btn_aug_reset, &QPushButton::clicked, this, [this] { aug_reset_image(); });
  connect(btn_aug_preview, &QPushButton::clicked, this, [this] { run_aug_preview(); });
  connect(btn_aug_prev, &QPushButton::clicked, this, [this] { aug_prev_image(); });
  connect(btn_aug_next, &QPushButton::clicked, this, [this] { aug_next_image(); });
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  escape->setContext(Qt::WidgetWithChildrenShortcut);
  connect(escape, &QShortcut::activated, this, [this] { aug_drop_points(); });
  // Results dropped by stop() never come.
  connect(&work_, &TabWork::stopped, this, [this] {
    pending_ = Pending::None;
    set_tools_enabled(true);
  });
  show_aug_points();
}

void EnricherTab::aug_load_input() {
  const QString folder =
      dialogs_.get_existing_directory(this, QStringLiteral("Select Input Directory"));
  if (folder.isEmpty()) return;
  aug_entry_in->setText(folder);
  aug_image_paths = folder_images(folder);
  aug_current_idx = 0;
  aug_update_status();
  if (!aug_image_paths.isEmpty()) {
    aug_load_current_image();
    return;
  }
  // The previous folder's image must not stay on the canvas: "ENRICH" would
  // write variants of it under the new folder's name.
  supersede();
  aug_original_ = {};
  aug_active_base_ = {};
  aug_display_ = {};
  aug_base_source_.clear();
  aug_labelled_ = false;
  aug_crop_points.clear();
  aug_warp_points.clear();
  show_aug_points();
  {
    const QSignalBlocker blocker(aug_canvas);
    aug_canvas->reset_drawing();
    aug_canvas->clear();
    aug_canvas->setSceneRect(QRectF());
  }
  aug_lbl_counter->setText(QStringLiteral("0 / 0"));
  dialogs_.warning(this, QStringLiteral("No Images"),
                   QStringLiteral("No images found in input folder."));
}

void EnricherTab::aug_load_output() {
  const QString folder =
      dialogs_.get_existing_directory(this, QStringLiteral("Select Output Directory"));
  if (!folder.isEmpty()) aug_entry_out->setText(folder);
}

void EnricherTab::aug_load_current_image() {
  if (aug_current_idx < 0 || aug_current_idx >= aug_image_paths.size()) return;
  const QString path = aug_image_paths[aug_current_idx];
  const cv::Mat image = as_bgr(read_source_file(path).image);
  if (image.empty()) return;
  load_aug_image(path, image);
  aug_crop_points.clear();
  aug_warp_points.clear();
  aug_lbl_counter->setText(QStringLiteral("%1 / %2 - %3")
                               .arg(aug_current_idx + 1)
                               .arg(aug_image_paths.size())
                               .arg(QFileInfo(path).fileName()));
  render_aug_canvas(true);
}

void EnricherTab::load_aug_image(const QString& path, const cv::Mat& image) {
  supersede();
  const SourceClasses classes = read_source_classes(QFileInfo(path).path());
  SourceLabels labels = read_source_labels(path, QSize(image.cols, image.rows), classes);
  const QString label_file = file_name_of(label_path_for_image(path));
  aug_classes_ = classes.names;
  aug_labelled_ = labels.found && labels.error.isEmpty();
  aug_label_problems_.clear();
  if (!labels.error.isEmpty()) {
    aug_label_problems_.append(label_file + QStringLiteral(": ") + labels.error);
  }
  if (labels.lines_not_taken > 0) {
    aug_label_problems_.append(label_file +
                               QStringLiteral(": %1 lines that are not shapes were not carried")
                                   .arg(labels.lines_not_taken));
  }
  aug_original_ = {image, std::move(labels.shapes)};
  aug_active_base_ = {image.clone(), aug_original_.shapes};
  aug_display_ = {image.clone(), aug_original_.shapes};
  aug_base_source_ = path;
}

void EnricherTab::aug_prev_image() {
  if (aug_image_paths.isEmpty()) return;
  const auto n = static_cast<int>(aug_image_paths.size());
  aug_current_idx = (aug_current_idx - 1 + n) % n;
  aug_load_current_image();
}

void EnricherTab::aug_next_image() {
  if (aug_image_paths.isEmpty()) return;
  const auto n = static_cast<int>(aug_image_paths.size());
  aug_current_idx = (aug_current_idx + 1) % n;
  aug_load_current_image();
}

void EnricherTab::change_aug_active_mode(const QString& mode) {
  aug_canvas->set_draw_mode(mode);
  aug_preview_view->set_interaction_mode(mode);
  aug_crop_points.clear();
  aug_warp_points.clear();
  show_aug_points();
}

void EnricherTab::aug_drop_points() {
  aug_crop_points.clear();
  aug_warp_points.clear();
  show_aug_points();
}

void EnricherTab::show_aug_points() {
  const QString& mode = aug_canvas->draw_mode;
  QString hint;
  if (mode == QLatin1String("Crop")) {
    aug_canvas->mark_points(aug_crop_points);
    hint = aug_crop_points.isEmpty() ? QStringLiteral("Crop: click a corner of the part to keep")
                                     : QStringLiteral("Crop: click the opposite corner");
  } else if (mode == QLatin1String("Warp")) {
    aug_canvas->mark_points(aug_warp_points);
    const qsizetype next = aug_warp_points.size();
    hint = QStringLiteral("Warp: point %1 of 4, the %2 corner of the region to straighten")
               .arg(next + 1)
               .arg(QLatin1String(kWarpCorners[std::min<qsizetype>(next, 3)]));
  } else {
    aug_canvas->mark_points({});
    hint = QStringLiteral(
        "Wheel to zoom, middle button to pan. Crop and Warp reshape the image by clicks on it.");
  }
  if (!aug_crop_points.isEmpty() || !aug_warp_points.isEmpty()) {
    hint += QStringLiteral(" (Esc drops the points)");
  }
  aug_lbl_canvas_hint->setText(hint);
}

void EnricherTab::handle_aug_canvas_point(const QPointF& pt) {
  // Points clicked while a transform is on its way would land on the image
  // it replaces.
  if (aug_display_.image.empty() || pending_ == Pending::Manual) return;
  const QString& mode = aug_canvas->draw_mode;
  if (mode == QLatin1String("Crop")) {
    aug_crop_points.append(pt);
    if (aug_crop_points.size() == 2) crop_at_points();
  } else if (mode == QLatin1String("Warp")) {
    aug_warp_points.append(pt);
    if (aug_warp_points.size() == 4) warp_at_points();
  }
  show_aug_points();
}

void EnricherTab::crop_at_points() {
  const std::optional<cv::Rect> rect =
      crop_rect(aug_crop_points[0], aug_crop_points[1], aug_display_.image.size());
  aug_crop_points.clear();
  aug_combo_mode->setCurrentText(kSelectMove);  // a degenerate crop leaves the mode as well
  if (!rect) return;
  transform_off_thread(
      Pending::Manual, [from = aug_display_, rect = *rect] { return crop_shaped(from, rect); },
      [this](ShapedImage cropped) { apply_manual_transform(std::move(cropped)); },
      QStringLiteral("The image could not be cropped: %1."));
}

void EnricherTab::warp_at_points() {
  const std::array<QPointF, 4> corners = {aug_warp_points[0], aug_warp_points[1],
                                          aug_warp_points[2], aug_warp_points[3]};
  aug_warp_points.clear();
  const WarpPlan plan = plan_warp(corners, aug_display_.image.size());
  if (!plan.error.isEmpty()) {
    dialogs_.warning(this, QStringLiteral("Error"), plan.error);
    return;
  }
  aug_combo_mode->setCurrentText(kSelectMove);
  transform_off_thread(
      Pending::Manual, [from = aug_display_, plan] { return warp_shaped(from, plan); },
      [this](ShapedImage warped) { apply_manual_transform(std::move(warped)); },
      QStringLiteral("The image could not be warped: %1."));
}

void EnricherTab::apply_manual_transform(ShapedImage value) {
  aug_display_ = std::move(value);
  // The base shares the display's pixels (a copy of 20 megapixels would hold
  // the GUI thread): neither buffer is ever written in place, every transform
  // and frame makes new pixels.
  aug_active_base_ = aug_display_;
  render_aug_canvas(true);
}

void EnricherTab::aug_rotate_fixed(double angle) {
  if (aug_display_.image.empty() || pending_ == Pending::Manual) return;
  transform_off_thread(
      Pending::Manual, [from = aug_display_, angle] { return rotate_shaped(from, angle); },
      [this](ShapedImage rotated) { apply_manual_transform(std::move(rotated)); },
      QStringLiteral("The image could not be rotated: %1."));
}

void EnricherTab::transform_off_thread(Pending kind, std::function<ShapedImage()> transform,
                                       std::function<void(ShapedImage)> apply, QString failure) {
  const quint64 generation = work_.next_generation();
  pending_ = kind;
  set_tools_enabled(kind != Pending::Manual);
  struct Outcome {
    ShapedImage value;
    QString error;
  };
  // Nothing is lost when closing drops it: closing need not ask.
  work_.look_up(
      [transform = std::move(transform)](std::stop_token) {  // a thread of its own
        Outcome outcome;
        try {
          outcome.value = transform();
        } catch (...) {
          // A side beyond what OpenCV's warps take, or too little memory.
          outcome.error = current_exception_reason();
        }
        return outcome;
      },
      [this, generation, apply = std::move(apply), failure = std::move(failure)](Outcome outcome) {
        if (generation != work_.generation()) return;  // something newer was asked for
        pending_ = Pending::None;
        set_tools_enabled(true);
        if (!outcome.error.isEmpty()) {
          dialogs_.critical(this, QStringLiteral("Error"), failure.arg(outcome.error));
          return;
        }
        apply(std::move(outcome.value));
      });
}

void EnricherTab::supersede() {
  work_.next_generation();
  if (pending_ == Pending::None) return;
  pending_ = Pending::None;
  set_tools_enabled(true);
}

void EnricherTab::set_tools_enabled(bool enabled) {
  for (QPushButton* button : {btn_aug_cw, btn_aug_ccw, btn_aug_rotate, btn_aug_preview}) {
    button->setEnabled(enabled);
  }
  btn_aug_enrich->setEnabled(enabled || work_.job_running());  // Cancel stays
}

void EnricherTab::aug_rotate_custom() {
  bool ok = false;
  const double angle = aug_entry_angle->text().trimmed().toDouble(&ok);
  if (!ok || !std::isfinite(angle)) {
    dialogs_.critical(this, QStringLiteral("Error"),
                      QStringLiteral("Enter a valid numeric angle."));
    return;
  }
  aug_rotate_fixed(angle);
}

void EnricherTab::aug_reset_image() {
  if (aug_original_.image.empty()) return;
  supersede();
  aug_display_ = {aug_original_.image.clone(), aug_original_.shapes};
  aug_active_base_ = {aug_original_.image.clone(), aug_original_.shapes};
  aug_crop_points.clear();
  aug_warp_points.clear();
  show_aug_points();
  render_aug_canvas(true);
}

void EnricherTab::render_aug_canvas(bool reset_zoom) {
  const cv::Mat& image = aug_display_.image;
  if (image.empty()) return;
  const QTransform transform = aug_preview_view->transform();
  {
    const QSignalBlocker blocker(aug_canvas);
    aug_canvas->clear();
    aug_canvas->temp_poly_item = nullptr;  // clear() deleted it
    aug_canvas->addPixmap(bgr_pixmap_sharing(image));
    for (const CarriedShape& shape : aug_display_.shapes) {
      QPen pen(class_color(shape.class_id), 2);
      pen.setCosmetic(true);  // two screen pixels at every zoom
      auto* outline = new OutlineItem(shape.points, pen);
      aug_canvas->addItem(outline);
      outline->setToolTip(aug_classes_.value(shape.class_id, QString::number(shape.class_id)));
    }
    aug_canvas->setSceneRect(0, 0, image.cols, image.rows);
    show_aug_points();  // the clear took the marks away
  }
  if (reset_zoom) {
    aug_preview_view->fit_to(aug_canvas->sceneRect());
  } else {
    aug_preview_view->setTransform(transform);
  }
}

AugRanges EnricherTab::aug_ranges() const {
  return {aug_b_min->value(), aug_b_max->value(), aug_c_min->value(), aug_c_max->value(),
          aug_r_min->value(), aug_r_max->value(), aug_l_min->value(), aug_l_max->value(),
          aug_w_min->value(), aug_w_max->value()};
}

cv::Mat EnricherTab::get_aug_image(const cv::Mat& base_img) {
  const cv::Mat& source = base_img.empty() ? aug_display_.image : base_img;
  if (source.empty()) return {};
  return augment_image(source, aug_ranges(), random_);
}

void EnricherTab::run_aug_preview() {
  if (pending_ == Pending::Manual) return;  // the frame would be of the base it replaces
  if (aug_active_base_.image.empty()) {
    if (aug_image_paths.isEmpty()) {
      dialogs_.information(this, QStringLiteral("Preview"),
                           QStringLiteral("Load an input dataset folder first."));
      return;
    }
    const SourceImage decoded = read_source_file(aug_image_paths[0]);
    if (decoded.image.empty()) {
      dialogs_.warning(this, QStringLiteral("Error"),
                       QStringLiteral("Could not read %1: %2.")
                           .arg(QFileInfo(aug_image_paths[0]).fileName(), decoded.error));
      return;
    }
    load_aug_image(aug_image_paths[0], as_bgr(decoded.image));
    aug_display_ = {};  // until the frame comes
  }
  // As get_aug_image, keeping the drawn values for the shapes. The values are
  // drawn here, where the random source lives; the frame is rendered and the
  // shapes moved off the GUI thread.
  const AugDraws draws = draw_augmentation(aug_ranges(), aug_active_base_.image.size(), random_);
  transform_off_thread(
      Pending::Frame, [base = aug_active_base_, draws] { return simulate_frame(base, draws); },
      [this](ShapedImage frame) {
        aug_display_ = std::move(frame);
        render_aug_canvas();
      },
      QStringLiteral("The augmentation could not be simulated: %1."));
}

void EnricherTab::enrich_current_image() {
  // While a manual transform is on its way the button is disabled: the batch
  // is of the base it makes.
  if (work_.job_running() || pending_ == Pending::Manual) return;
  const QString out_dir = aug_entry_out->text().trimmed();
  if (out_dir.isEmpty()) {
    dialogs_.warning(this, QStringLiteral("Error"),
                     QStringLiteral("Select a valid output directory first."));
    return;
  }
  if (aug_active_base_.image.empty()) {
    dialogs_.warning(this, QStringLiteral("Error"),
                     QStringLiteral("No image is currently loaded on the canvas."));
    return;
  }
  if (!QDir().mkpath(out_dir)) {
    dialogs_.critical(this, QStringLiteral("Error"),
                      QStringLiteral("The output folder %1 could not be created.")
                          .arg(QDir::toNativeSeparators(out_dir)));
    return;
  }
  const int n = spin_aug_gen_count->value();
  const cv::Mat base = aug_active_base_.image.clone();
  // Names carry the time in seconds: a second batch within the same second
  // (or an older batch's files) must not be overwritten, so the first second
  // from now whose names hold no file is taken. (A folder in the way is a
  // write failure, named like any other.)
  qint64 ts = QDateTime::currentSecsSinceEpoch();
  const QDir out(out_dir);
  const auto taken = [&](qint64 t) {
    for (int k = 1; k <= n; ++k) {
      for (const QString& name : {variant_file_name(t, k), variant_label_name(t, k)}) {
        const QFileInfo info(out.filePath(name));
        if (info.exists() && !info.isDir()) return true;
      }
    }
    return false;
  };
  while (taken(ts)) ++ts;
  // The random source belongs to this thread (the preview draws from it too).
  std::vector<AugDraws> draws = draw_variants(aug_ranges(), n, base.size(), random_);
  const QString source = aug_base_source_;
  std::optional<VariantLabels> labels;
  if (aug_labelled_) labels = VariantLabels{aug_active_base_.shapes, aug_classes_};
  TabWork::JobFace face{
      btn_aug_enrich,
      n,
      {},
      QStringLiteral("Enrichment Cancelled"),
      [this, source](const JobTally& tally, int total) {
        if (tally.items > 0) {
          aug_history.insert(source);
          aug_update_status();
        }
        return QStringLiteral("Cancelled: %1 of %2 variants written.").arg(tally.items).arg(total);
      },
      QStringLiteral("The enrichment stopped: %1")};
  work_.start_job(
      std::move(face),
      [base, draws = std::move(draws), out_dir, ts,
       labels = std::move(labels)](JobControl& control) {  // the job's thread
        return enrich_batch(base, draws, out_dir, ts, &control, labels ? &*labels : nullptr);
      },
      [this, source, problems = aug_label_problems_](EnrichOutcome outcome) {
        outcome.label_problems = problems + outcome.label_problems;
        if (outcome.saved > 0) {
          aug_history.insert(source);
          aug_update_status();
        }
        show_outcome(outcome);
      });
}

void EnricherTab::show_outcome(const EnrichOutcome& outcome) {
  const QString summary =
      QStringLiteral("Enrichment complete! Saved %1 variant(s) of the manipulated image.")
          .arg(outcome.saved) +
      carried_labels_text(outcome.label_files, QStringLiteral("variants"), outcome.label_problems,
                          kListedFailures);
  if (outcome.failures.isEmpty() && outcome.flush_error.isEmpty()) {
    dialogs_.information(this, QStringLiteral("Success"), summary);
    return;
  }
  QString text = summary;
  if (!outcome.failures.isEmpty()) {
    text += QStringLiteral("\n\n%1 variant(s) could not be written:").arg(outcome.failures.size()) +
            failure_listing(outcome.failures, kListedFailures);
  }
  if (!outcome.flush_error.isEmpty()) {
    text += QStringLiteral("\n\n") + flush_failure_text(outcome.flush_error);
  }
  dialogs_.critical(this, QStringLiteral("Error"), text);
}

void EnricherTab::aug_update_status() {
  aug_lbl_status->setText(QStringLiteral("Total Images: %1 | Enriched: %2")
                              .arg(aug_image_paths.size())
                              .arg(aug_history.size()));
}

}  // namespace orvane
