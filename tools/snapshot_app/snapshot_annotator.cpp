// The annotator with a loaded folder: a street scene with shapes of several
// classes, one of them selected, in both themes; a large photo at fit with the
// selected shape's point handles; the label dialog; the folder chooser as the
// annotator opens it; and a frame labelled by the stand-in engine's detection
// and segmentation models.
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTabWidget>
#include <QTableWidget>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "annotator/annotator_tab.h"
#include "annotator/label_dialog.h"
#include "app/main_window.h"
#include "engine/python_engine.h"
#include "fixtures/standin_engine.h"
#include "snapshot.h"
#include "theme/theme_toggle.h"
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
  void set_folder(const QString& folder) { folder_ = folder; }

 private:
  QString folder_;
};

// Opens the real folder chooser of the seam in `folder`, saves a picture of it
// once it is up, and cancels it.
void snapshot_folder_chooser(const SnapshotContext& context, QWidget* parent, const QString& folder,
                             const QString& name) {
  QTimer::singleShot(0, [&context, name] {
    QWidget* chooser = QApplication::activeModalWidget();
    if (!chooser) return;
    save_snapshot(context, chooser, name);
    if (auto* dialog = qobject_cast<QDialog*>(chooser)) dialog->reject();
  });
  Dialogs().get_existing_directory(parent, QStringLiteral("Select Image Directory"), folder);
}

// A simple street: sky, road, two cars, a person, a tree and a sign.
cv::Mat street(int variant) {
  cv::Mat image(600, 900, CV_8UC3);
  for (int y = 0; y < image.rows; ++y) {
    const double t = y / 600.0;
    image.row(y).setTo(y < 330 ? cv::Scalar(235 - 60 * t, 200 - 40 * t, 150 - 40 * t)
                               : cv::Scalar(95, 100, 105));
  }
  cv::rectangle(image, {0, 330}, {900, 345}, cv::Scalar(180, 190, 190), cv::FILLED);
  for (int x = 0; x < 900; x += 120) {
    cv::rectangle(image, {x + 20, 460}, {x + 80, 468}, cv::Scalar(230, 230, 230), cv::FILLED);
  }
  const int shift = variant * 25;
  cv::rectangle(image, {90 + shift, 380}, {330 + shift, 470}, cv::Scalar(40, 40, 190), cv::FILLED);
  cv::rectangle(image, {140 + shift, 340}, {280 + shift, 385}, cv::Scalar(60, 60, 160), cv::FILLED);
  cv::circle(image, {140 + shift, 470}, 24, cv::Scalar(30, 30, 30), cv::FILLED);
  cv::circle(image, {280 + shift, 470}, 24, cv::Scalar(30, 30, 30), cv::FILLED);
  cv::rectangle(image, {520, 400}, {720, 475}, cv::Scalar(150, 110, 40), cv::FILLED);
  cv::circle(image, {560, 478}, 20, cv::Scalar(30, 30, 30), cv::FILLED);
  cv::circle(image, {685, 478}, 20, cv::Scalar(30, 30, 30), cv::FILLED);
  cv::circle(image, {430, 300}, 14, cv::Scalar(150, 190, 230), cv::FILLED);
  cv::rectangle(image, {418, 314}, {442, 380}, cv::Scalar(120, 60, 40), cv::FILLED);
  cv::rectangle(image, {805, 180}, {820, 340}, cv::Scalar(40, 60, 80), cv::FILLED);
  cv::circle(image, {812, 150}, 60, cv::Scalar(60, 140, 50), cv::FILLED);
  cv::rectangle(image, {640, 220}, {646, 335}, cv::Scalar(110, 110, 110), cv::FILLED);
  cv::circle(image, {643, 210}, 22, cv::Scalar(40, 40, 200), cv::FILLED);
  return image;
}

// Answers the folder dialog and, in turn, each weights chooser; messages are
// printed instead of shown.
class AiDialogs : public FolderDialogs {
 public:
  AiDialogs(QString folder, QStringList models)
      : FolderDialogs(std::move(folder)), models_(std::move(models)) {}
  QString get_open_file_name(QWidget*, const QString&, const QString&, const QString&) override {
    return models_.isEmpty() ? QString() : models_.takeFirst();
  }
  void information(QWidget*, const QString& title, const QString& text) override {
    std::printf("%s: %s\n", qPrintable(title), qPrintable(text));
  }
  void critical(QWidget*, const QString& title, const QString& text) override {
    std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(text));
  }

 private:
  QStringList models_;
};

void write(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  if (file.open(QIODevice::WriteOnly)) file.write(bytes);
}

QString prepare_folder(const QString& work_dir) {
  const QString folder = QDir(work_dir).filePath(QStringLiteral("street_scenes"));
  QDir().mkpath(folder);
  for (int i = 0; i < 8; ++i) {
    cv::imwrite(
        QStringLiteral("%1/frame_%2.jpg").arg(folder).arg(i, 3, 10, QLatin1Char('0')).toStdString(),
        street(i));
  }
  write(folder + QStringLiteral("/classes.txt"), "car\nperson\ntree\nsign\n");
  // Frame 0: a box per car, a polygon for the person, the tree and the sign.
  write(folder + QStringLiteral("/frame_000.txt"),
        "0 0.100000 0.561667 0.366667 0.561667 0.366667 0.823333 0.100000 0.823333\n"
        "0 0.577778 0.666667 0.800000 0.666667 0.800000 0.833333 0.577778 0.833333\n"
        "1 0.462222 0.475000 0.493333 0.475000 0.493333 0.640000 0.462222 0.640000\n"
        "2 0.902222 0.138333 0.971111 0.180000 0.982222 0.300000 0.911111 0.571667 "
        "0.892222 0.571667 0.832222 0.300000 0.840000 0.180000\n"
        "3 0.690000 0.320000 0.737778 0.320000 0.737778 0.563333 0.690000 0.563333\n");
  // The first frame again as a 24-megapixel photo, with the same shapes.
  const QString large = QDir(work_dir).filePath(QStringLiteral("large_photo"));
  QDir().mkpath(large);
  cv::Mat big;
  cv::resize(street(0), big, cv::Size(6000, 4000), 0, 0, cv::INTER_CUBIC);
  cv::imwrite((large + QStringLiteral("/frame_000.jpg")).toStdString(), big);
  QFile::copy(folder + QStringLiteral("/classes.txt"), large + QStringLiteral("/classes.txt"));
  QFile::copy(folder + QStringLiteral("/frame_000.txt"), large + QStringLiteral("/frame_000.txt"));
  write(folder + QStringLiteral("/frame_001.txt"),
        "0 0.127778 0.561667 0.394444 0.561667 0.394444 0.823333 0.127778 0.823333\n");
  return folder;
}

// Stand-in models for frame_002 (the red car moved 50 px right): a detection
// model finding both cars and the person, a segmentation model outlining the
// tree and the sign.
QStringList write_models(const QString& folder) {
  const QString detect = QDir(folder).filePath(QStringLiteral("../street_detect.pt"));
  const QString segment = QDir(folder).filePath(QStringLiteral("../street_segment.pt"));
  write(detect, R"({"standin_model": 1, "names": {"0": "car", "1": "person"},
    "detections": [
      {"cls": 0, "conf": 0.93, "box": [0.156, 0.567, 0.422, 0.823]},
      {"cls": 0, "conf": 0.88, "box": [0.578, 0.667, 0.800, 0.830]},
      {"cls": 1, "conf": 0.71, "box": [0.462, 0.477, 0.493, 0.633]}]})");
  write(segment, R"({"standin_model": 1, "task": "segment", "names": {"0": "tree", "1": "sign"},
    "detections": [
      {"cls": 0, "conf": 0.9, "box": [0.83, 0.15, 0.98, 0.57], "outline": [
        [0.902, 0.150], [0.950, 0.175], [0.978, 0.250], [0.971, 0.320], [0.930, 0.365],
        [0.915, 0.567], [0.896, 0.567], [0.893, 0.365], [0.853, 0.320], [0.846, 0.250],
        [0.860, 0.180]]},
      {"cls": 1, "conf": 0.8, "box": [0.69, 0.31, 0.74, 0.56], "outline": [
        [0.714, 0.313], [0.734, 0.333], [0.738, 0.360], [0.718, 0.385], [0.718, 0.558],
        [0.710, 0.558], [0.710, 0.385], [0.690, 0.360], [0.694, 0.333]]}]})");
  return {detect, segment};
}

// Both models run on one frame in the dark theme: rectangles and polygons of
// the model's classes, listed as "AI Rectangle" and "AI Polygon".
void snapshot_ai_shapes(const SnapshotContext& context, const QString& folder) {
  const PythonEngineOptions options = standin_options();
  OrvaneStudio window(std::make_unique<PythonEngine>(options));
  window.set_dialogs(std::make_unique<AiDialogs>(folder, write_models(folder)));
  window.theme_toggle->setChecked(true);
  window.tabs->setCurrentWidget(window.tab_workspace);
  window.show();
  AnnotatorTab& tab = *window.tab_workspace;
  tab.load_directory();
  tab.jump_to_image(2);
  // Loading and labelling run off the GUI thread; each is waited for here.
  const auto settle = [&tab] {
    QElapsedTimer waited;
    waited.start();
    while (tab.work().running() && waited.elapsed() < 60000) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
      QThread::msleep(5);
    }
  };
  for (int model = 0; model < 2; ++model) {
    tab.load_ai_model();
    settle();
    tab.run_ai_autolabel();
    settle();
  }
  tab.fit_canvas_to_screen();
  tab.table_objects->selectRow(3);
  save_snapshot(context, &window, QStringLiteral("annotator_ai_shapes_dark"));
}

}  // namespace

void snapshot_annotator(const SnapshotContext& context) {
  const QString folder = prepare_folder(context.work_dir);
  for (bool dark : {true, false}) {
    const QString theme = dark ? QStringLiteral("dark") : QStringLiteral("light");
    OrvaneStudio window;
    auto dialogs = std::make_unique<FolderDialogs>(folder);
    FolderDialogs* folders = dialogs.get();
    window.set_dialogs(std::move(dialogs));
    window.theme_toggle->setChecked(dark);  // as the user switches it
    window.tabs->setCurrentWidget(window.tab_workspace);
    window.show();
    window.tab_workspace->load_directory();
    window.tab_workspace->fit_canvas_to_screen();
    window.tab_workspace->table_objects->selectRow(2);
    save_snapshot(context, &window, QStringLiteral("annotator_loaded_") + theme);
    snapshot_folder_chooser(context, &window, context.work_dir,
                            QStringLiteral("folder_chooser_") + theme);

    // The tree (a polygon) selected on the large photo, fitted to the view.
    folders->set_folder(QDir(context.work_dir).filePath(QStringLiteral("large_photo")));
    window.tab_workspace->load_directory();
    window.tab_workspace->table_objects->selectRow(3);
    save_snapshot(context, &window, QStringLiteral("annotator_large_selected_") + theme);

    LabelDialog dialog(window.tab_workspace->classes, QStringLiteral("person"));
    save_snapshot(context, &dialog, QStringLiteral("label_dialog_") + theme);
  }
  snapshot_ai_shapes(context, folder);
}
