// The "Synthetic Data Enricher" tab: steps through a folder's images, reshapes
// the current one by hand (crop, warp, rotation), previews random
// augmentations of it and writes batches of augmented variants.
#pragma once

#include <QList>
#include <QPointF>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <opencv2/core.hpp>

#include "canvas/interactive_canvas.h"
#include "canvas/zoomable_view.h"
#include "enricher/augment.h"
#include "enricher/transforms.h"
#include "ui/dialogs.h"
#include "ui/tab_work.h"

class QComboBox;
class QDoubleSpinBox;
class QGroupBox;
class QLabel;
class QLayout;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;

namespace orvane {

class EnricherTab : public QWidget {
  Q_OBJECT

 public:
  explicit EnricherTab(Dialogs& dialogs, QWidget* parent = nullptr);

  void setup_aug_tab();
  void aug_load_input();
  void aug_load_output();
  void aug_load_current_image();
  void aug_prev_image();
  void aug_next_image();
  void change_aug_active_mode(const QString& mode);
  void handle_aug_canvas_point(const QPointF& pt);
  void aug_rotate_fixed(double angle);
  void aug_rotate_custom();
  void aug_reset_image();
  // Drops the crop or warp points clicked so far (Esc); the mode stays.
  void aug_drop_points();
  void render_aug_canvas(bool reset_zoom = false);
  // An augmented copy of base_img, or of the display image when base_img is
  // empty; an empty image when there is nothing to augment.
  cv::Mat get_aug_image(const cv::Mat& base_img = cv::Mat());
  // Draws a simulated frame's values here, then renders the frame and moves
  // the shapes off the GUI thread; the frame is shown when it comes, unless a
  // newer frame, transform or image was asked for meanwhile.
  void run_aug_preview();
  // Starts the batch of variants in the background; does nothing while one
  // runs.
  void enrich_current_image();
  void aug_update_status();

  // The batch runs off the GUI thread; "⚡ ENRICH DATASET" reads "Cancel"
  // meanwhile, and the canvas stays usable. Cancel says "Cancelled: k of N
  // variants written.".
  TabWork& work() { return work_; }

  QStringList aug_image_paths;
  int aug_current_idx = 0;
  // The three buffers, each an image with the shapes of the current image's
  // label file (empty for an image without one), which follow it through
  // every manual transform and preview, are drawn as outlines on the canvas
  // and are carried by the variants. The original is the file as read, the
  // active base the image after the manual transforms so far, the display
  // what the canvas shows (the base or a simulated frame of it).
  const ShapedImage& aug_original() const { return aug_original_; }
  const ShapedImage& aug_active_base() const { return aug_active_base_; }
  const ShapedImage& aug_display() const { return aug_display_; }
  const cv::Mat& aug_original_cv_img() const { return aug_original_.image; }  // empty: none
  const cv::Mat& aug_active_base_img() const { return aug_active_base_.image; }
  const cv::Mat& aug_display_cv_img() const { return aug_display_.image; }
  // A simulated frame or a manual transform has been asked for and is not on
  // the canvas yet. While a manual transform is on its way, the transform
  // tools, the preview and the batch wait for it (their buttons disabled,
  // clicks on the canvas ignored); a simulated frame on its way gives way to
  // whatever is asked next.
  bool aug_pending() const { return pending_ != Pending::None; }
  QList<QPointF> aug_crop_points;
  QList<QPointF> aug_warp_points;
  QSet<QString> aug_history;  // paths of the source images that received a batch

  QLineEdit* aug_entry_in = nullptr;
  QLineEdit* aug_entry_out = nullptr;
  QLabel* aug_lbl_status = nullptr;
  QLabel* aug_lbl_counter = nullptr;
  QDoubleSpinBox* aug_b_min = nullptr;
  QDoubleSpinBox* aug_b_max = nullptr;
  QDoubleSpinBox* aug_c_min = nullptr;
  QDoubleSpinBox* aug_c_max = nullptr;
  QDoubleSpinBox* aug_r_min = nullptr;
  QDoubleSpinBox* aug_r_max = nullptr;
  QDoubleSpinBox* aug_l_min = nullptr;
  QDoubleSpinBox* aug_l_max = nullptr;
  QDoubleSpinBox* aug_w_min = nullptr;
  QDoubleSpinBox* aug_w_max = nullptr;
  QSpinBox* spin_aug_gen_count = nullptr;
  InteractiveCanvas* aug_canvas = nullptr;
  ZoomableView* aug_preview_view = nullptr;
  QComboBox* aug_combo_mode = nullptr;
  QLineEdit* aug_entry_angle = nullptr;
  QLabel* aug_lbl_canvas_hint = nullptr;  // what the next click on the canvas does

  // Buttons, by their captions' order in the tab.
  QPushButton* btn_aug_in = nullptr;
  QPushButton* btn_aug_out = nullptr;
  QPushButton* btn_aug_enrich = nullptr;
  QPushButton* btn_aug_cw = nullptr;
  QPushButton* btn_aug_ccw = nullptr;
  QPushButton* btn_aug_rotate = nullptr;
  QPushButton* btn_aug_reset = nullptr;
  QPushButton* btn_aug_preview = nullptr;
  QPushButton* btn_aug_prev = nullptr;
  QPushButton* btn_aug_next = nullptr;
  QProgressBar* progress_aug_enrich = nullptr;  // shown while a batch runs

  // Replaces the random source (tests script the draws).
  void set_random_source(UniformSource source) { random_ = std::move(source); }
  // The ten range boxes' values.
  AugRanges aug_ranges() const;

 private:
  QGroupBox* build_config_panel();
  QGroupBox* build_ranges_group();
  QGroupBox* build_batch_group();
  QGroupBox* build_simulation_panel();
  QLayout* build_tools_row();
  QLayout* build_navigation_row();
  void connect_signals();
  // Makes `value` the display and the base, and shows it fitted to the view.
  void apply_manual_transform(ShapedImage value);
  // Makes the image read from `path` the original, the base and the display,
  // with the shapes of the label file beside it.
  void load_aug_image(const QString& path, const cv::Mat& image);
  // Runs transform() (a manual transform or a simulated frame, on the values
  // it holds) off the GUI thread, and apply(result) on it when the result
  // comes, unless something newer was asked for meanwhile; a failure is said
  // in an error box with `failure` ("...: %1.").
  enum class Pending { None, Frame, Manual };
  void transform_off_thread(Pending kind, std::function<ShapedImage()> transform,
                            std::function<void(ShapedImage)> apply, QString failure);
  // Forgets every transform on its way: what is asked next replaces the
  // buffers.
  void supersede();
  void set_tools_enabled(bool enabled);
  // Marks the points clicked so far and says what the next click does.
  void show_aug_points();
  void crop_at_points();
  void warp_at_points();
  // The closing message of a batch that ran to its end.
  void show_outcome(const EnrichOutcome& outcome);

  Dialogs& dialogs_;
  UniformSource random_;
  ShapedImage aug_original_, aug_active_base_, aug_display_;
  Pending pending_ = Pending::None;
  QString aug_base_source_;         // the file the base image came from
  bool aug_labelled_ = false;       // it has a label file that could be read
  QStringList aug_classes_;         // its folder's class list
  QStringList aug_label_problems_;  // "<label file>: <reason>": what of it is not carried
  TabWork work_{this, dialogs_};
};

}  // namespace orvane
