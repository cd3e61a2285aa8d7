// Inference viewer benchmark, with the stand-in engine: the cost of stepping to the next
// 1-megapixel image (prediction, transfer of the drawn image, conversion, display) against
// the engine's own prediction time, measured inside Python.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <opencv2/imgcodecs.hpp>
#include <vector>

#include "engine/python_engine.h"
#include "fixtures/standin_engine.h"
#include "inference/inference_tab.h"
#include "ui/dialogs.h"

using namespace orvane;

namespace {
double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}
}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int runs = argc > 1 ? std::max(3, std::atoi(argv[1])) : 31;
  QTemporaryDir dir;
  QDir(dir.path()).mkpath("images");
  cv::Mat pixels(866, 1155, CV_8UC3, cv::Scalar(40, 90, 160));  // 1.0 megapixel
  for (int i = 0; i < 4; ++i)
    cv::imwrite(dir.filePath(QStringLiteral("images/img_%1.jpg").arg(i)).toStdString(), pixels);
  QFile model(dir.filePath("best.pt"));
  model.open(QIODevice::WriteOnly);
  model.write(R"({"standin_model": 1})");
  model.close();

  PythonEngine engine(standin_options());
  Dialogs dialogs;
  InferenceTab tab(dialogs, engine);
  tab.resize(1200, 800);
  tab.show();
  tab.entry_inf_weights->setText(model.fileName());
  tab.entry_inf_folder->setText(dir.filePath("images"));
  // Loading and predicting run off the GUI thread: each measure waits for the shown result.
  QEventLoop shown;
  QObject::connect(&tab, &InferenceTab::prediction_finished, &shown, &QEventLoop::quit);
  QElapsedTimer first;
  first.start();
  tab.init_inference();
  shown.exec();
  const double first_ms = first.nsecsElapsed() / 1e6;
  std::vector<double> steps;
  for (int i = 0; i < runs + 2; ++i) {
    QElapsedTimer t;
    t.start();
    tab.inf_next_image();
    shown.exec();
    QCoreApplication::processEvents();  // the view repaints
    if (i >= 2) steps.push_back(t.nsecsElapsed() / 1e6);
  }

  const QString script = QStringLiteral(
      "import sys, time\n"
      "from ultralytics import YOLO\n"
      "m = YOLO(sys.argv[1]); times = []\n"
      "for i in range(int(sys.argv[3]) + 2):\n"
      "    t = time.perf_counter(); r = m.predict(sys.argv[2], conf=0.25, imgsz=640,"
      " verbose=False)[0]\n"
      "    r.plot(); times.append((time.perf_counter() - t) * 1000)\n"
      "times = sorted(times[2:]); print(times[len(times) // 2])\n");
  QProcess python;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("PYTHONPATH", ORVANE_FIXTURES_DIR);
  python.setProcessEnvironment(env);
  python.start("python3", {"-c", script, model.fileName(), dir.filePath("images/img_0.jpg"),
                           QString::number(runs)});
  python.waitForFinished(120000);
  const double engine_ms = python.readAllStandardOutput().trimmed().toDouble();
  const double step = median(steps);
  std::printf(
      "step to next 1 MP image: median %.2f ms, engine's own prediction %.2f ms, viewer "
      "adds %.2f ms (%d runs); load and first prediction %.1f ms\n",
      step, engine_ms, step - engine_ms, runs, first_ms);
  return 0;
}
