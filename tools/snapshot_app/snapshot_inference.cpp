#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QMainWindow>
#include <QTabWidget>
#include <QTimer>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "engine/python_engine.h"
#include "fixtures/standin_engine.h"
#include "inference/inference_tab.h"
#include "snapshot.h"
#include "theme/stylesheet.h"
#include "ui/dialogs.h"

using namespace orvane;

// The inference tab in the dark theme showing a drawn prediction of the stand-in engine.
void snapshot_inference(const SnapshotContext& context) {
  const QString previous_style = qApp->styleSheet();
  qApp->setStyleSheet(get_stylesheet(true));
  const QDir work(context.work_dir);
  work.mkpath(QStringLiteral("inference_images"));
  cv::Mat scene(720, 1080, CV_8UC3, cv::Scalar(70, 60, 50));
  cv::circle(scene, {300, 250}, 120, cv::Scalar(60, 140, 200), cv::FILLED);
  cv::rectangle(scene, {600, 300}, {950, 620}, cv::Scalar(160, 120, 60), cv::FILLED);
  for (int i = 1; i <= 3; ++i)
    cv::imwrite(
        work.filePath(QStringLiteral("inference_images/img_%1.jpg").arg(i, 3, 10, QChar('0')))
            .toStdString(),
        scene);
  QFile model(work.filePath(QStringLiteral("snapshot_best.pt")));
  model.open(QIODevice::WriteOnly);
  model.write(R"({"standin_model": 1, "names": {"0": "person", "1": "car"}})");
  model.close();

  const PythonEngineOptions options = standin_options();
  PythonEngine engine(options);
  Dialogs dialogs;
  QMainWindow host;
  auto* tabs = new QTabWidget;
  host.setCentralWidget(tabs);
  host.resize(1300, 860);
  auto* tab = new InferenceTab(dialogs, engine);
  tabs->addTab(tab, QStringLiteral("Inference && Model Export"));
  save_snapshot(context, &host, QStringLiteral("inference_tab_empty_dark"));

  tab->entry_inf_weights->setText(model.fileName());
  tab->entry_inf_folder->setText(work.filePath(QStringLiteral("inference_images")));
  // The model loads and predicts off the GUI thread: the snapshot waits for the drawn image.
  QEventLoop loop;
  QObject::connect(tab, &InferenceTab::prediction_finished, &loop, &QEventLoop::quit);
  QTimer::singleShot(60000, &loop, &QEventLoop::quit);
  tab->init_inference();
  loop.exec();
  save_snapshot(context, &host, QStringLiteral("inference_tab_prediction_dark"));

  tab->work().stop(QDeadlineTimer(QDeadlineTimer::Forever));
  qApp->setStyleSheet(previous_style);
}
