// Engine bridge benchmark, with the stand-in engine:
//  1. predict round trip for a 1-megapixel image, drawn image included, against the engine's
//     own time for the same call (measured inside Python);
//  2. 100,000 progress redraws from the engine into the console: total time and the longest
//     stall of the window's event loop meanwhile;
//  3. building the training tabs with and without an engine behind python3.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QProcess>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <opencv2/imgcodecs.hpp>
#include <vector>

#include "app/main_window.h"
#include "engine/python_engine.h"
#include "fixtures/standin_engine.h"
#include "training/config_tab.h"
#include "training/progress_tab.h"
#include "ui/dialogs.h"

using namespace orvane;

namespace {

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

void write_model(const QString& path, QJsonObject settings) {
  settings["standin_model"] = 1;
  QFile f(path);
  f.open(QIODevice::WriteOnly);
  f.write(QJsonDocument(settings).toJson());
}

void bench_predict(const QTemporaryDir& dir, int runs) {
  const QString image = dir.filePath("photo.jpg");
  cv::Mat pixels(866, 1155, CV_8UC3, cv::Scalar(40, 90, 160));  // 1.0 megapixel
  cv::imwrite(image.toStdString(), pixels);
  const QString model_path = dir.filePath("model.pt");
  write_model(model_path, {});

  PythonEngine engine(standin_options());
  auto model = engine.load(model_path);
  std::vector<double> round_trips;
  for (int i = 0; i < runs + 2; ++i) {
    QElapsedTimer t;
    t.start();
    const Prediction p = model->predict(image, 0.25);
    if (i >= 2) round_trips.push_back(t.nsecsElapsed() / 1e6);
    if (p.plot.cols != 1155) std::fprintf(stderr, "predict: wrong drawn image\n");
  }

  // The engine's own time: the same predict + plot + pixel bytes, inside one Python process.
  const QString script = QStringLiteral(
      "import sys, time\n"
      "from ultralytics import YOLO\n"
      "m = YOLO(sys.argv[1]); times = []\n"
      "for i in range(int(sys.argv[3]) + 2):\n"
      "    t = time.perf_counter(); r = m.predict(sys.argv[2], conf=0.25, verbose=False)[0]\n"
      "    r.plot().tobytes(); times.append((time.perf_counter() - t) * 1000)\n"
      "times = sorted(times[2:]); print(times[len(times) // 2])\n");
  QProcess python;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("PYTHONPATH", ORVANE_FIXTURES_DIR);
  python.setProcessEnvironment(env);
  python.start("python3", {"-c", script, model_path, image, QString::number(runs)});
  python.waitForFinished(120000);
  const double engine_ms = python.readAllStandardOutput().trimmed().toDouble();
  const double trip = median(round_trips);
  std::printf(
      "predict 1 MP: round trip median %.2f ms, engine's own %.2f ms, bridge adds %.2f ms"
      " (%d runs)\n",
      trip, engine_ms, trip - engine_ms, runs);
}

void bench_console(const QTemporaryDir& dir) {
  QDir::setCurrent(dir.path());
  QFile("data.yaml").open(QIODevice::WriteOnly);
  write_model("redraws.pt", {{"batches", 100}, {"redraws", 1000}});
  PythonEngine engine(standin_options());
  engine.has_yolo();
  Dialogs dialogs;
  ProgressTab progress(dialogs, engine);
  ConfigTab config(dialogs, engine);
  QTabWidget tabs;
  connect_training_tabs(tabs, config, progress);
  progress.resize(1200, 800);
  progress.show();
  config.model_combo->setEditText("redraws.pt");
  config.epochs_input->setValue(1);

  // A timer asks for the event loop every 5 ms; the longest gap between its ticks is the
  // longest time the window could not answer.
  QElapsedTimer clock;
  qint64 last = 0, longest = 0;
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, [&] {
    if (clock.elapsed() - last > 50 && qEnvironmentVariableIsSet("BENCH_DEBUG"))
      std::printf("  stall %lld ms at %lld ms\n", clock.elapsed() - last, clock.elapsed());
    longest = std::max(longest, clock.elapsed() - last);
    last = clock.elapsed();
  });
  clock.start();
  ticker.start(5);
  config.start_training();
  QEventLoop loop;
  QObject::connect(progress.trainer_thread, &QThread::finished, &loop, &QEventLoop::quit);
  if (!progress.trainer_thread->isFinished()) loop.exec();
  // The console may still be catching up with the flood, a slice per turn.
  QCoreApplication::processEvents();
  while (progress.pending_log_size() > 0)
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  const qint64 total = clock.elapsed();
  const QString text = progress.console_log->toPlainText();
  std::printf(
      "console: 100000 redraws shown in %lld ms (training, validation and display), longest "
      "event-loop stall %lld ms, console %lld characters, status '%s'\n",
      total, longest, static_cast<long long>(text.size()),
      qPrintable(progress.lbl_train_status->text()));
}

void bench_startup(int runs) {
  // Alternating, so both variants see the same machine load.
  QTemporaryDir empty;
  std::vector<double> times[2];
  for (int i = 0; i < 2 * runs; ++i) {
    const bool with_engine = i % 2 == 0;
    QElapsedTimer t;
    t.start();
    PythonEngine engine(with_engine ? standin_options() : standin_options(empty.path()));
    Dialogs dialogs;
    ProgressTab progress(dialogs, engine);
    ConfigTab config(dialogs, engine);
    QCoreApplication::processEvents();
    times[with_engine].push_back(t.nsecsElapsed() / 1e6);
    engine.has_yolo();  // let the probe end before the next run
  }
  std::printf(
      "start-up: engine and training tabs built in %.2f ms with the engine installed, "
      "%.2f ms without (medians of %d, alternating)\n",
      median(times[1]), median(times[0]), runs);
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int runs = argc > 1 ? std::max(3, std::atoi(argv[1])) : 31;
  QTemporaryDir dir;
  bench_predict(dir, runs);
  bench_startup(21);
  bench_console(dir);
  return 0;
}
