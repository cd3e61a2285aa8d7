// The enricher tab with a labelled image loaded, then after a simulated
// augmentation (the outlines follow), then with warp points placed; dark
// theme.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QTabWidget>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "enricher/enricher_tab.h"
#include "snapshot.h"
#include "theme/stylesheet.h"
#include "ui/dialogs.h"

using namespace orvane;

namespace {

// Answers the folder dialog with the prepared folder.
class FolderDialogs : public Dialogs {
 public:
  explicit FolderDialogs(QString folder) : folder_(std::move(folder)) {}
  QString get_existing_directory(QWidget*, const QString&, const QString&) override {
    return folder_;
  }

 private:
  QString folder_;
};

// A parcel on a conveyor: a labelled box with stripes, easy to see skewed.
cv::Mat parcel_scene() {
  cv::Mat image(480, 720, CV_8UC3, cv::Scalar(70, 75, 80));
  for (int x = 0; x < 720; x += 40) cv::line(image, {x, 0}, {x, 480}, cv::Scalar(90, 95, 100), 3);
  cv::rectangle(image, {200, 110}, {520, 370}, cv::Scalar(60, 140, 200), cv::FILLED);
  cv::rectangle(image, {200, 110}, {520, 370}, cv::Scalar(30, 80, 130), 4);
  cv::rectangle(image, {240, 150}, {400, 230}, cv::Scalar(245, 245, 245), cv::FILLED);
  cv::putText(image, "FRAGILE", {252, 200}, cv::FONT_HERSHEY_SIMPLEX, 0.9, cv::Scalar(20, 20, 200),
              2);
  cv::line(image, {360, 110}, {360, 370}, cv::Scalar(40, 170, 230), 18);
  return image;
}

}  // namespace

void snapshot_enricher(const SnapshotContext& context) {
  const QString folder = QDir(context.work_dir).filePath(QStringLiteral("enricher input"));
  QDir().mkpath(folder);
  for (int i = 1; i <= 3; ++i) {
    cv::imwrite(QDir(folder).filePath(QStringLiteral("parcel_%1.png").arg(i)).toStdString(),
                parcel_scene());
  }
  // The parcel as a box line, its sticker as a polygon.
  const auto write = [&](const QString& name, const QByteArray& text) {
    QFile file(QDir(folder).filePath(name));
    if (file.open(QIODevice::WriteOnly)) file.write(text);
  };
  write(QStringLiteral("parcel_1.txt"),
        "0 0.5 0.5 0.444444 0.541667\n"
        "1 0.333333 0.3125 0.555556 0.3125 0.555556 0.479167 0.333333 0.479167\n");
  write(QStringLiteral("classes.txt"), "parcel\nsticker\n");
  qApp->setStyleSheet(get_stylesheet(true));
  FolderDialogs dialogs(folder);
  QTabWidget window;  // as the main window holds it
  auto* tab = new orvane::EnricherTab(dialogs);
  window.addTab(tab, QStringLiteral("Synthetic Data Enricher"));
  window.resize(1200, 760);
  window.show();
  QApplication::processEvents();
  tab->aug_load_input();
  tab->render_aug_canvas(true);  // fit once the view has its final size
  save_snapshot(context, &window, QStringLiteral("enricher_loaded_dark"));

  tab->aug_r_min->setValue(-12);
  tab->aug_r_max->setValue(-12);
  tab->aug_w_min->setValue(8);
  tab->aug_w_max->setValue(8);
  tab->run_aug_preview();
  while (tab->aug_pending()) {  // the frame is made off the GUI thread
    QApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
  }
  save_snapshot(context, &window, QStringLiteral("enricher_augmented_dark"));

  tab->aug_combo_mode->setCurrentText(QStringLiteral("Warp"));
  for (const QPointF& corner : {QPointF(190, 120), QPointF(530, 95), QPointF(540, 380)}) {
    tab->handle_aug_canvas_point(corner);
  }
  save_snapshot(context, &window, QStringLiteral("enricher_warp_points_dark"));
  qApp->setStyleSheet(QString());
}
