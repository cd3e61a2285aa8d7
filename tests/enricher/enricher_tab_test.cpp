// The enricher tab driven through its widgets, with scripted dialogs and real
// files in a temporary folder.
#include "enricher/enricher_tab.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "enricher/transforms.h"
#include "imaging/source_image.h"
#include "labels/label_file.h"
#include "support/fifo_trap.h"
#include "support/job_wait.h"
#include "support/scripted_dialogs.h"
#include "support/shape_pixels.h"
#include "support/test_files.h"

namespace orvane {
namespace {

class EnricherTabTest : public ::testing::Test {
 protected:
  void SetUp() override {
    in = dir.filePath("in");
    out = dir.filePath("out");
    write_image(in + "/B.png", 200, 100, 10, 20, 30);
    write_image(in + "/a.JPG", 40, 30);
    write_file(in + "/c.txt", "notes");
  }

  void load_folder() {
    dialogs.directories.push_back(in);
    tab.btn_aug_in->click();
  }

  // Runs a batch to its end.
  void enrich() {
    tab.btn_aug_enrich->click();
    EXPECT_TRUE(wait_for_job(tab));
  }

  void click(const QString& mode, std::initializer_list<QPointF> points) {
    tab.aug_combo_mode->setCurrentText(mode);
    for (const QPointF& p : points) Q_EMIT tab.aug_canvas->point_clicked(p);
    settle();
  }

  // Clicks `button` and waits until the frame or transform it asked for is
  // on the canvas.
  void press(QPushButton* button) {
    button->click();
    settle();
  }
  void settle() {
    ASSERT_TRUE(QTest::qWaitFor([&] { return !tab.aug_pending(); }));
  }
  // Waits until every result, stale ones too, has come back and been handled.
  void drain() {
    ASSERT_TRUE(QTest::qWaitFor([&] { return tab.work().settled(); }));
    QCoreApplication::processEvents();
  }

  // Every range at its identity value.
  void neutral_ranges() {
    for (QDoubleSpinBox* box :
         {tab.aug_b_min, tab.aug_b_max, tab.aug_r_min, tab.aug_r_max, tab.aug_w_min, tab.aug_w_max})
      box->setValue(0);
    for (QDoubleSpinBox* box : {tab.aug_c_min, tab.aug_c_max, tab.aug_l_min, tab.aug_l_max})
      box->setValue(1);
  }

  DialogCall last_message() const { return dialogs.messages().back(); }

  QTemporaryDir dir;
  QString in, out;
  ScriptedDialogs dialogs;
  EnricherTab tab{dialogs};
};

TEST_F(EnricherTabTest, LoadsTheFolderInStringOrderAndWrapsAround) {
  // Only regular files count: a FIFO would block the reading of the image.
  const FifoTrap fifo(in + "/0.jpg");
  QDir().mkpath(in + "/folder.png");
  load_folder();
  EXPECT_FALSE(fifo.fired());
  ASSERT_EQ(tab.aug_image_paths.size(), 2);
  EXPECT_TRUE(tab.aug_image_paths[0].endsWith("/B.png"));
  EXPECT_EQ(tab.aug_lbl_status->text(), "Total Images: 2 | Enriched: 0");
  EXPECT_EQ(tab.aug_lbl_counter->text(), "1 / 2 - B.png");
  EXPECT_EQ(tab.aug_display_cv_img().size(), cv::Size(200, 100));
  tab.btn_aug_next->click();
  EXPECT_EQ(tab.aug_lbl_counter->text(), "2 / 2 - a.JPG");
  tab.btn_aug_next->click();
  EXPECT_EQ(tab.aug_lbl_counter->text(), "1 / 2 - B.png");
  tab.btn_aug_prev->click();
  EXPECT_EQ(tab.aug_lbl_counter->text(), "2 / 2 - a.JPG");
}

// A folder without images clears what the last folder showed: nothing of it
// can be written as variants of the new one.
TEST_F(EnricherTabTest, AFolderWithoutImagesClearsTheCanvasAndRefusesTheBatch) {
  load_folder();
  ASSERT_FALSE(tab.aug_display_cv_img().empty());
  const QString empty = dir.filePath("empty");
  QDir().mkpath(empty);
  dialogs.directories.push_back(empty);
  tab.btn_aug_in->click();
  EXPECT_EQ(last_message().title, "No Images");
  EXPECT_TRUE(tab.aug_display_cv_img().empty());
  EXPECT_TRUE(tab.aug_canvas->items().isEmpty());
  EXPECT_EQ(tab.aug_lbl_counter->text(), "0 / 0");
  tab.aug_entry_out->setText(out);
  enrich();
  EXPECT_EQ(last_message().text, "No image is currently loaded on the canvas.");
  EXPECT_TRUE(folder_entries(out).isEmpty());
}

TEST_F(EnricherTabTest, CropAndRotateChangeDisplayAndBaseButNotTheOriginal) {
  click("Crop", {{50, 50}, {10, 10}});  // no image yet: ignored
  EXPECT_TRUE(tab.aug_crop_points.isEmpty());
  load_folder();
  click("Crop", {{120.7, 40.2}, {20.3, 90.9}});
  EXPECT_EQ(tab.aug_display_cv_img().size(), cv::Size(100, 50));
  EXPECT_EQ(tab.aug_active_base_img().size(), cv::Size(100, 50));
  EXPECT_EQ(tab.aug_combo_mode->currentText(), "Select/Move");
  EXPECT_EQ(tab.aug_canvas->sceneRect(), QRectF(0, 0, 100, 50));

  press(tab.btn_aug_cw);
  EXPECT_EQ(tab.aug_active_base_img().size(), cv::Size(50, 100));
  tab.aug_entry_angle->setText("abc");
  press(tab.btn_aug_rotate);
  EXPECT_EQ(last_message().title, "Error");
  EXPECT_EQ(last_message().text, "Enter a valid numeric angle.");
  EXPECT_EQ(tab.aug_display_cv_img().size(), cv::Size(50, 100));
  tab.aug_entry_angle->setText("90");
  press(tab.btn_aug_rotate);
  EXPECT_EQ(tab.aug_display_cv_img().size(), cv::Size(100, 50));

  // A degenerate crop leaves the image, clears its points and leaves the mode.
  click("Crop", {{10.2, 5}, {10.8, 40}});
  EXPECT_EQ(tab.aug_display_cv_img().size(), cv::Size(100, 50));
  EXPECT_TRUE(tab.aug_crop_points.isEmpty());
  EXPECT_EQ(tab.aug_combo_mode->currentText(), "Select/Move");

  tab.btn_aug_reset->click();
  EXPECT_EQ(tab.aug_display_cv_img().size(), cv::Size(200, 100));
  EXPECT_EQ(cv::norm(tab.aug_active_base_img(), tab.aug_original_cv_img(), cv::NORM_INF), 0.0);
}

TEST_F(EnricherTabTest, WarpStraightensOrRefusesWithTheImageUnchanged) {
  load_folder();
  click("Warp", {{10, 10}, {50, 50}, {90, 90}});  // three on a line...
  EXPECT_EQ(tab.aug_warp_points.size(), 3);
  Q_EMIT tab.aug_canvas->point_clicked(QPointF(10, 90));
  EXPECT_FALSE(tab.aug_pending());  // refused at once
  EXPECT_EQ(last_message().kind, "warning");
  EXPECT_EQ(tab.aug_display_cv_img().size(), cv::Size(200, 100));
  EXPECT_TRUE(tab.aug_warp_points.isEmpty());

  // Points beyond the image are clamped to its corners: the whole image.
  click("Warp", {{-20, -20}, {260, -5}, {260, 130}, {-9, 140}});
  EXPECT_EQ(tab.aug_display_cv_img().size(), cv::Size(200, 100));
  EXPECT_EQ(tab.aug_combo_mode->currentText(), "Select/Move");
  click("Warp", {{0, 0}, {100, 0}, {100, 50}, {0, 50}});
  EXPECT_EQ(tab.aug_active_base_img().size(), cv::Size(100, 50));
}

TEST_F(EnricherTabTest, PreviewAugmentsTheBaseAndCropWorksOnTheSample) {
  press(tab.btn_aug_preview);
  EXPECT_EQ(last_message().title, "Preview");
  EXPECT_EQ(last_message().text, "Load an input dataset folder first.");
  load_folder();
  neutral_ranges();
  tab.aug_b_min->setValue(100);  // brightness +100, nothing else
  tab.aug_b_max->setValue(100);
  press(tab.btn_aug_preview);
  EXPECT_EQ(tab.aug_display_cv_img().at<cv::Vec3b>(50, 100), cv::Vec3b(110, 120, 130));
  EXPECT_EQ(tab.aug_active_base_img().at<cv::Vec3b>(50, 100), cv::Vec3b(10, 20, 30));
  click("Crop", {{0, 0}, {20, 20}});
  EXPECT_EQ(tab.aug_active_base_img().at<cv::Vec3b>(10, 10), cv::Vec3b(110, 120, 130));
  tab.btn_aug_reset->click();
  EXPECT_EQ(tab.aug_display_cv_img().at<cv::Vec3b>(50, 100), cv::Vec3b(10, 20, 30));
}

// The frame is made off the GUI thread: Preview returns at once with the
// canvas as it was, and the frame follows. A frame still on its way when
// something newer is asked for (another frame, a reset, a turn, the next
// image) never replaces what that shows.
TEST_F(EnricherTabTest, AFrameComesLaterAndGivesWayToWhatIsAskedNext) {
  const auto brightness = [&](double value) {
    tab.aug_b_min->setValue(value);
    tab.aug_b_max->setValue(value);
  };
  const auto centre = [&] {
    const cv::Mat& image = tab.aug_display_cv_img();
    return image.at<cv::Vec3b>(image.rows / 2, image.cols / 2);
  };
  const struct {
    const char* name;
    std::function<void()> next;
    cv::Size size;
    cv::Vec3b centre;
  } cases[] = {
      {"another frame",
       [&] {
         brightness(-50);
         tab.btn_aug_preview->click();
       },
       {200, 100},
       {40, 30, 20}},
      {"reset", [&] { tab.btn_aug_reset->click(); }, {200, 100}, {10, 20, 30}},
      {"90° CW", [&] { tab.btn_aug_cw->click(); }, {100, 200}, {10, 20, 30}},
      {"next image", [&] { tab.btn_aug_next->click(); }, {40, 30}, {90, 120, 200}},
  };
  for (const auto& c : cases) {
    load_folder();
    neutral_ranges();
    brightness(100);
    tab.btn_aug_preview->click();
    EXPECT_TRUE(tab.aug_pending()) << c.name;
    EXPECT_EQ(centre(), cv::Vec3b(10, 20, 30)) << c.name << ": the frame is not there yet";
    c.next();
    drain();
    EXPECT_FALSE(tab.aug_pending()) << c.name;
    EXPECT_EQ(tab.aug_display_cv_img().size(), c.size) << c.name;
    EXPECT_LE(cv::norm(centre(), c.centre, cv::NORM_INF), 2.0) << c.name;  // a.JPG is a JPEG
  }
}

// A manual transform on its way holds the tools that would work on the image
// it replaces: the turns, the preview and the batch are disabled and clicks on
// the canvas ignored until it is shown, or until the tab is stopped.
TEST_F(EnricherTabTest, ATransformOnItsWayHoldsTheTools) {
  load_folder();
  const QList<QPushButton*> held = {tab.btn_aug_cw, tab.btn_aug_ccw, tab.btn_aug_rotate,
                                    tab.btn_aug_preview, tab.btn_aug_enrich};
  const auto enabled = [&] {
    return std::count_if(held.begin(), held.end(), [](QPushButton* b) { return b->isEnabled(); });
  };
  tab.btn_aug_cw->click();
  EXPECT_TRUE(tab.aug_pending());
  EXPECT_EQ(enabled(), 0);
  tab.btn_aug_cw->click();
  tab.aug_combo_mode->setCurrentText("Crop");
  for (const QPointF p : {QPointF(0, 0), QPointF(20, 20)}) Q_EMIT tab.aug_canvas->point_clicked(p);
  EXPECT_TRUE(tab.aug_crop_points.isEmpty());
  settle();
  EXPECT_EQ(tab.aug_display_cv_img().size(), cv::Size(100, 200));  // one turn
  EXPECT_EQ(tab.aug_active_base_img().size(), cv::Size(100, 200));
  EXPECT_EQ(enabled(), held.size());

  tab.btn_aug_ccw->click();
  ASSERT_TRUE(tab.work().stop(QDeadlineTimer(QDeadlineTimer::Forever)));
  EXPECT_FALSE(tab.aug_pending());
  EXPECT_EQ(enabled(), held.size());
  EXPECT_EQ(tab.aug_display_cv_img().size(), cv::Size(100, 200));  // dropped
}

TEST_F(EnricherTabTest, BatchWritesNamedVariantsAndCountsEnrichedSources) {
  enrich();
  EXPECT_EQ(last_message().text, "Select a valid output directory first.");
  tab.aug_entry_out->setText(" " + out + " ");
  enrich();
  EXPECT_EQ(last_message().text, "No image is currently loaded on the canvas.");

  load_folder();
  neutral_ranges();
  tab.spin_aug_gen_count->setValue(3);
  const qint64 before = QDateTime::currentSecsSinceEpoch();
  enrich();
  EXPECT_EQ(last_message().title, "Success");
  EXPECT_EQ(last_message().text,
            "Enrichment complete! Saved 3 variant(s) of the manipulated image.");
  const QStringList files = folder_entries(out);
  ASSERT_EQ(files.size(), 3);
  const QString ts = files[0].section('_', 2, 2);
  EXPECT_GE(ts.toLongLong(), before);
  EXPECT_EQ(files, QStringList({"warped_enriched_" + ts + "_var_1.jpg",
                                "warped_enriched_" + ts + "_var_2.jpg",
                                "warped_enriched_" + ts + "_var_3.jpg"}));
  const cv::Mat variant = cv::imread((out + "/" + files[0]).toStdString());
  EXPECT_LE(cv::norm(variant, tab.aug_active_base_img(), cv::NORM_INF), 2.0);  // JPEG of the base
  EXPECT_EQ(tab.aug_lbl_status->text(), "Total Images: 2 | Enriched: 1");
  enrich();
  EXPECT_EQ(tab.aug_lbl_status->text(), "Total Images: 2 | Enriched: 1");  // the same source
  tab.btn_aug_next->click();
  enrich();
  EXPECT_EQ(tab.aug_lbl_status->text(), "Total Images: 2 | Enriched: 2");
}

// Two batches in the same second, or files of an earlier batch, are never
// overwritten: the batch takes the first second whose names are all free.
TEST_F(EnricherTabTest, ABatchNeverReplacesEarlierVariants) {
  load_folder();
  tab.aug_entry_out->setText(out);
  tab.spin_aug_gen_count->setValue(2);
  const qint64 now = QDateTime::currentSecsSinceEpoch();
  for (qint64 t = now; t < now + 5; ++t) {
    write_file(out + "/" + variant_file_name(t, 2), "earlier");
  }
  enrich();
  enrich();
  EXPECT_EQ(last_message().title, "Success");
  QStringList written;
  for (const QString& name : folder_entries(out)) {
    if (read_file(out + "/" + name) == "earlier") continue;
    written << name;
  }
  EXPECT_EQ(written.size(), 4);
  for (qint64 t = now; t < now + 5; ++t) {
    EXPECT_EQ(read_file(out + "/" + variant_file_name(t, 2)), "earlier");
  }
}

TEST_F(EnricherTabTest, FailedWritesAreNotCounted) {
  load_folder();
  tab.aug_entry_out->setText(out);
  tab.spin_aug_gen_count->setValue(3);
  // A folder stands where variant 2 goes, whichever second the batch starts in.
  const qint64 now = QDateTime::currentSecsSinceEpoch();
  for (qint64 t = now; t < now + 30; ++t)
    QDir(out).mkpath(QStringLiteral("warped_enriched_%1_var_2.jpg").arg(t));
  enrich();
  EXPECT_EQ(last_message().kind, "critical");
  EXPECT_TRUE(last_message().text.startsWith(
      "Enrichment complete! Saved 2 variant(s) of the manipulated image.\n\n"
      "1 variant(s) could not be written:\n"));

  write_file(dir.filePath("blocked"), "a file, not a folder");
  tab.aug_entry_out->setText(dir.filePath("blocked/out"));
  enrich();
  EXPECT_TRUE(last_message().text.contains("could not be created"));
}

// OpenCV's warps refuse sides of 32767 pixels and more: on such a panorama
// every variant is a named failure, and the preview and the rotations say so
// in an error box, the image unchanged. Nothing ends the program.
TEST_F(EnricherTabTest, AnImageTooWideForTheWarpsIsAnErrorNotAnAbort) {
  write_image(dir.filePath("wide/pano.png"), 32768, 4);
  dialogs.directories.push_back(dir.filePath("wide"));
  tab.btn_aug_in->click();
  ASSERT_EQ(tab.aug_display_cv_img().size(), cv::Size(32768, 4));
  tab.aug_entry_out->setText(out);
  tab.spin_aug_gen_count->setValue(12);
  enrich();
  EXPECT_EQ(last_message().kind, "critical");
  EXPECT_EQ(last_message().title, "Error");
  const QString text = last_message().text;
  EXPECT_TRUE(
      text.startsWith("Enrichment complete! Saved 0 variant(s) of the manipulated image."
                      "\n\n12 variant(s) could not be written:\n"))
      << text.toStdString();
  EXPECT_TRUE(text.contains(QRegularExpression("_var_1\\.jpg: .*SHRT_MAX"))) << text.toStdString();
  EXPECT_TRUE(text.endsWith("\n... and 2 more.")) << text.toStdString();
  EXPECT_EQ(folder_entries(out), QStringList());
  EXPECT_EQ(tab.aug_lbl_status->text(), "Total Images: 1 | Enriched: 0");

  const struct {
    QPushButton* button;
    const char* text;
  } cases[] = {
      {tab.btn_aug_preview, "The augmentation could not be simulated: "},
      {tab.btn_aug_cw, "The image could not be rotated: "},
      {tab.btn_aug_rotate, "The image could not be rotated: "},
  };
  tab.aug_entry_angle->setText("30");
  for (const auto& c : cases) {
    const size_t shown = dialogs.messages().size();
    c.button->click();
    settle();
    ASSERT_EQ(dialogs.messages().size(), shown + 1) << c.text;
    EXPECT_EQ(last_message().kind, "critical");
    EXPECT_EQ(last_message().title, "Error");
    EXPECT_TRUE(last_message().text.startsWith(c.text)) << last_message().text.toStdString();
    EXPECT_EQ(tab.aug_display_cv_img().size(), cv::Size(32768, 4)) << c.text;
    EXPECT_EQ(cv::norm(tab.aug_display_cv_img(), tab.aug_original_cv_img(), cv::NORM_INF), 0.0);
  }
}

// Cancelled after its first variant, the batch says how many it wrote, and
// exactly those are in the folder, each whole; the source counts as
// enriched.
TEST_F(EnricherTabTest, CancelKeepsWholeVariantsAndCountsThem) {
  write_file(dir.filePath("big/base.png"), smooth_picture(2000, 1500, ".png"));
  dialogs.directories.push_back(dir.filePath("big"));
  tab.btn_aug_in->click();
  tab.aug_entry_out->setText(out);
  tab.spin_aug_gen_count->setValue(60);
  tab.btn_aug_enrich->click();
  EXPECT_EQ(tab.btn_aug_enrich->text(), "Cancel");
  ASSERT_TRUE(cancel_after_first_item(tab, tab.progress_aug_enrich, tab.btn_aug_enrich));
  EXPECT_EQ(tab.btn_aug_enrich->text(), "⚡ ENRICH DATASET");
  EXPECT_EQ(last_message().title, "Enrichment Cancelled");
  const QRegularExpressionMatch said =
      QRegularExpression("^Cancelled: (\\d+) of 60 variants written\\.$")
          .match(last_message().text);
  ASSERT_TRUE(said.hasMatch()) << last_message().text.toStdString();
  const int written = said.captured(1).toInt();
  EXPECT_GE(written, 1);
  EXPECT_LT(written, 60);
  ASSERT_TRUE(tab.work().stop(QDeadlineTimer(QDeadlineTimer::Forever)));  // the dropped ones end
  const QStringList files = folder_entries(out);
  EXPECT_EQ(files.size(), written) << files.join(' ').toStdString();
  for (const QString& name : files) {
    EXPECT_TRUE(name.startsWith("warped_enriched_")) << name.toStdString();
    EXPECT_EQ(read_source_file(out + "/" + name).image.size(), cv::Size(2000, 1500))
        << name.toStdString();
  }
  EXPECT_EQ(tab.aug_lbl_status->text(), "Total Images: 1 | Enriched: 1");
}

// A labelled picture: shape k painted in colour k. A U cut in two by crops, a
// box line, and a triangle on the top edge.
const cv::Scalar kColours[3] = {{0, 0, 255}, {0, 255, 0}, {255, 0, 0}};
const std::vector<CarriedShape> kShapes = {
    {0,
     QPolygonF(
         {{40, 30}, {150, 30}, {150, 140}, {120, 140}, {120, 70}, {70, 70}, {70, 140}, {40, 140}}),
     false},
    {1, QPolygonF({{170, 120}, {290, 120}, {290, 200}, {170, 200}}), true},
    {2, QPolygonF({{220, 0}, {300, 0}, {300, 60}}), false},
};

void write_labelled_picture(const QString& folder) {
  cv::Mat picture(240, 320, CV_8UC3, cv::Scalar(0, 0, 0));
  QByteArray text;
  for (const CarriedShape& shape : kShapes) {
    cv::Mat mask(picture.size(), CV_8UC1, cv::Scalar(0));
    paint_polygon(mask, shape.points);
    picture.setTo(kColours[shape.class_id], mask);
  }
  text += format_carried_shapes(kShapes, QSize(320, 240)) + "9 0.5 0.5\n";  // one line not taken
  QDir().mkpath(folder);
  ASSERT_TRUE(cv::imwrite((folder + "/labelled.png").toStdString(), picture));
  write_file(folder + "/labelled.txt", text);
  write_file(folder + "/classes.txt", "red\ngreen\nblue\n");
}

// Each colour's pixels (inside `valid`, where the picture is not an edge
// replicated) against the shapes of its class.
void expect_on_their_colours(const cv::Mat& image, const std::vector<QPolygonF> (&by_class)[3],
                             const cv::Mat& valid, const std::string& step) {
  for (int k = 0; k < 3; ++k) {
    const cv::Mat truth = colour_mask(image, kColours[k]);
    if (cv::countNonZero(truth) < 150) continue;  // a sliver: its border pixels decide
    EXPECT_GE(painted_iou(truth, by_class[k], valid), 0.9) << step << ", class " << k;
  }
}

void expect_on_their_colours(const cv::Mat& image, const std::vector<CarriedShape>& shapes,
                             const cv::Mat& valid, const std::string& step) {
  std::vector<QPolygonF> by_class[3];
  for (const CarriedShape& shape : shapes) by_class[shape.class_id].push_back(shape.points);
  expect_on_their_colours(image, by_class, valid, step);
}

// Where a warp by `m` (pixel centres) of an image of `from` puts its pixels.
cv::Mat covered(const cv::Matx33d& m, cv::Size from, cv::Size to) {
  cv::Mat all(from, CV_8UC1, cv::Scalar(255)), warped;
  cv::warpPerspective(all, warped, cv::Mat(m), to, cv::INTER_NEAREST);
  cv::erode(warped, warped, cv::Mat());  // edge pixels blend with the replicated border
  return warped;
}

// The same cycle of values for each source made.
UniformSource scripted_source() {
  auto next = std::make_shared<size_t>(0);
  return [next] {
    static const double values[] = {0.93, 0.12, 0.71, 0.38, 0.05, 0.66, 0.84, 0.27, 0.5, 0.19, 0.8};
    return values[(*next)++ % std::size(values)];
  };
}

// Only the geometric steps, their values drawn from scripted_source(): a
// skew of up to 8 % and a rotation of up to 20°.
void geometry_only(EnricherTab& tab) {
  for (QDoubleSpinBox* box : {tab.aug_b_min, tab.aug_b_max, tab.aug_w_min}) box->setValue(0);
  for (QDoubleSpinBox* box : {tab.aug_c_min, tab.aug_c_max, tab.aug_l_min, tab.aug_l_max})
    box->setValue(1);
  tab.aug_w_max->setValue(8);
  tab.aug_r_min->setValue(-20);
  tab.aug_r_max->setValue(20);
  tab.set_random_source(scripted_source());
}

// The shapes follow every manual transform and the simulated frame, drawn as
// outlines; the clicked points are marked, the line under the canvas says
// what the next click does, and Esc drops the points.
TEST_F(EnricherTabTest, ShapesFollowTheImageThroughEveryTransform) {
  const QString lab = dir.filePath("lab");
  write_labelled_picture(lab);
  dialogs.directories.push_back(lab);
  tab.btn_aug_in->click();
  const std::vector<CarriedShape> loaded = tab.aug_display().shapes;
  ASSERT_EQ(loaded.size(), 3u);
  tab.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&tab));
  tab.aug_preview_view->setFocus();

  click("Crop", {{20.5, 10.2}});
  EXPECT_EQ(tab.aug_lbl_canvas_hint->text(),
            "Crop: click the opposite corner (Esc drops the points)");
  ASSERT_NE(tab.aug_canvas->temp_poly_item, nullptr);
  EXPECT_EQ(tab.aug_canvas->temp_poly_item->polygon().size(), 1);
  QTest::keyClick(tab.aug_preview_view, Qt::Key_Escape);
  EXPECT_TRUE(tab.aug_crop_points.isEmpty());
  EXPECT_EQ(tab.aug_canvas->temp_poly_item, nullptr);
  EXPECT_EQ(tab.aug_lbl_canvas_hint->text(), "Crop: click a corner of the part to keep");

  const auto check = [&](const std::string& step, const cv::Mat& valid = {}) {
    expect_on_their_colours(tab.aug_display_cv_img(), tab.aug_display().shapes, valid, step);
    int outlines = 0;
    for (QGraphicsItem* item : tab.aug_canvas->items()) {
      outlines += qgraphicsitem_cast<QGraphicsPolygonItem*>(item) != nullptr &&
                  item != tab.aug_canvas->temp_poly_item;
    }
    EXPECT_EQ(outlines, int(tab.aug_display().shapes.size())) << step;
    EXPECT_TRUE(tab.aug_preview_view->is_fitted()) << step;
  };
  const auto box_kept = [&] {
    return std::any_of(tab.aug_display().shapes.begin(), tab.aug_display().shapes.end(),
                       [](const CarriedShape& s) { return s.class_id == 1 && s.box; });
  };
  click("Crop", {{20.5, 10.2}, {300.7, 230.1}});
  check("crop");
  EXPECT_TRUE(box_kept());
  press(tab.btn_aug_cw);
  check("90° CW");
  EXPECT_TRUE(box_kept());
  const cv::Size before = tab.aug_display_cv_img().size();
  const ExpandingRotation rotation = expanding_rotation(before, 25);
  tab.aug_entry_angle->setText("25");
  press(tab.btn_aug_rotate);
  check("rotate 25", covered(projective(rotation.matrix), before, rotation.size));
  EXPECT_FALSE(box_kept());

  tab.btn_aug_reset->click();
  click("Warp", {{30, 20}});
  EXPECT_EQ(tab.aug_lbl_canvas_hint->text(),
            "Warp: point 2 of 4, the top-right corner of the region to straighten (Esc drops "
            "the points)");
  Q_EMIT tab.aug_canvas->point_clicked(QPointF(300, 5));
  Q_EMIT tab.aug_canvas->point_clicked(QPointF(310, 230));
  EXPECT_EQ(tab.aug_canvas->temp_poly_item->polygon().size(), 3);
  Q_EMIT tab.aug_canvas->point_clicked(QPointF(5, 220));
  settle();
  check("warp");

  tab.btn_aug_reset->click();
  geometry_only(tab);
  const AugDraws draws =
      draw_augmentation(tab.aug_ranges(), tab.aug_active_base_img().size(), scripted_source());
  press(tab.btn_aug_preview);
  const cv::Size size = tab.aug_display_cv_img().size();
  check("simulated frame", covered(augmentation_transform(draws, size), size, size));
  click("Crop", {{10, 10}, {200, 200}});  // the frame becomes the base, shapes and all
  check("crop of the frame");
  EXPECT_EQ(tab.aug_active_base().shapes.size(), tab.aug_display().shapes.size());

  tab.btn_aug_reset->click();
  ASSERT_EQ(tab.aug_display().shapes.size(), 3u);
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(tab.aug_display().shapes[i].points, loaded[i].points);
}

// Each variant's label file covers its colours; the folder gets the class
// list, and the summary counts the label files and names the line not
// carried. An output folder listing other classes gets no labels, and the
// summary says why.
TEST_F(EnricherTabTest, VariantsCarryTheirShapes) {
  const QString lab = dir.filePath("lab");
  write_labelled_picture(lab);
  dialogs.directories.push_back(lab);
  tab.btn_aug_in->click();
  geometry_only(tab);
  const cv::Size size(320, 240);
  const std::vector<AugDraws> draws = draw_variants(tab.aug_ranges(), 4, size, scripted_source());
  tab.spin_aug_gen_count->setValue(4);
  tab.aug_entry_out->setText(out);
  enrich();
  EXPECT_EQ(last_message().text.toStdString(),
            "Enrichment complete! Saved 4 variant(s) of the manipulated image.\n\n"
            "Labels carried: 4 label files written beside the variants.\n\n"
            "Labels not carried or not whole:\n"
            "labelled.txt: 1 lines that are not shapes were not carried");
  EXPECT_EQ(read_file(out + "/classes.txt"), "red\ngreen\nblue\n");
  const QStringList labels = folder_entries(out).filter(QRegularExpression("_var_\\d+\\.txt$"));
  ASSERT_EQ(labels.size(), 4);
  for (int k = 0; k < 4; ++k) {
    const QString stem = labels[k].chopped(4);
    const cv::Mat variant = cv::imread((out + "/" + stem + ".jpg").toStdString());
    ASSERT_EQ(variant.size(), size);
    const LabelFileContent content =
        parse_label_file(read_file(out + "/" + labels[k]), 3, size.width, size.height);
    EXPECT_TRUE(content.kept_lines.empty());
    std::vector<QPolygonF> by_class[3];
    for (const LabelShape& shape : content.shapes) by_class[shape.class_id].push_back(shape.points);
    const int index = stem.section('_', -1).toInt() - 1;
    expect_on_their_colours(variant, by_class,
                            covered(augmentation_transform(draws[size_t(index)], size), size, size),
                            stem.toStdString());
  }

  const QString other = dir.filePath("other");
  write_file(other + "/classes.txt", "cat\n");
  tab.aug_entry_out->setText(other);
  enrich();
  EXPECT_TRUE(last_message().text.contains("lists other classes (cat)"))
      << last_message().text.toStdString();
  EXPECT_EQ(folder_entries(other).filter(".txt").size(), 1);  // only its classes.txt
  EXPECT_EQ(read_file(other + "/classes.txt"), "cat\n");

  // A label file that cannot be read: the variants are written without labels.
  ASSERT_TRUE(QFile::remove(lab + "/labelled.txt"));
  ASSERT_TRUE(QDir().mkpath(lab + "/labelled.txt"));
  tab.btn_aug_next->click();  // the same image, read again
  EXPECT_TRUE(tab.aug_display().shapes.empty());
  const QString third = dir.filePath("third");
  tab.aug_entry_out->setText(third);
  enrich();
  EXPECT_TRUE(last_message().text.contains("\nlabelled.txt: "))
      << last_message().text.toStdString();
  EXPECT_EQ(folder_entries(third).size(), 4);  // the variants alone
}

}  // namespace
}  // namespace orvane
