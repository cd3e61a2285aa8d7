// The resizer tab with a queue of three photos, the second one selected: its
// preview and the predicted output size, in both themes.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "resizer/resizer_tab.h"
#include "snapshot.h"
#include "theme/stylesheet.h"
#include "ui/dialogs.h"

using namespace orvane;

namespace {

// A landscape: sky, hills and a sun; `variant` moves the sun.
cv::Mat landscape(int width, int height, int variant) {
  cv::Mat image(height, width, CV_8UC3);
  for (int y = 0; y < height; ++y) {
    const double t = double(y) / height;
    image.row(y).setTo(cv::Scalar(230 - 80 * t, 190 - 40 * t, 120 + 60 * t));
  }
  cv::circle(image, {width / 4 + variant * width / 5, height / 4}, height / 10,
             cv::Scalar(120, 230, 255), cv::FILLED);
  std::vector<cv::Point> hills = {{0, height}, {0, height * 2 / 3}};
  for (int x = 0; x <= width; x += width / 8) {
    hills.push_back({x, int(height * (0.6 + 0.08 * ((x / (width / 8)) % 3)))});
  }
  hills.push_back({width, height});
  cv::fillPoly(image, std::vector<std::vector<cv::Point>>{hills}, cv::Scalar(60, 140, 70));
  return image;
}

}  // namespace

void snapshot_resizer(const SnapshotContext& context) {
  const QString folder = QDir(context.work_dir).filePath(QStringLiteral("resizer"));
  QDir().mkpath(folder);
  const char* names[] = {"harbour.jpg", "hills at dawn.jpg", "meadow.png"};
  for (int i = 0; i < 3; ++i) {
    cv::imwrite(QDir(folder).filePath(QString::fromUtf8(names[i])).toStdString(),
                landscape(1600 + 400 * i, 1200, i));
  }

  Dialogs dialogs;
  orvane::ResizerTab tab(dialogs);
  tab.resize(1180, 720);
  for (const char* name : names) {
    tab.resizer_queue.append(QDir(folder).filePath(QString::fromUtf8(name)));
  }
  tab.resizer_update_queue_ui();
  tab.entry_resize_w->setText(QStringLiteral("10"));
  tab.combo_unit->setCurrentText(QStringLiteral("cm"));
  tab.chk_enable_comp->setChecked(true);
  tab.combo_resizer_format->setCurrentText(QStringLiteral("JPEG"));
  tab.list_resizer_queue->setCurrentRow(1);

  for (const bool dark : {true, false}) {
    qApp->setStyleSheet(get_stylesheet(dark));
    save_snapshot(context, &tab,
                  dark ? QStringLiteral("resizer_tab_dark") : QStringLiteral("resizer_tab_light"));
  }
  qApp->setStyleSheet(get_stylesheet(true));
}
