// Start-up benchmark: time from process start to the main window shown and its
// first events processed. Runs itself several times as a child process (so
// every run pays the full start-up) and prints the median.
#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "app/main_window.h"

using namespace orvane;

namespace {

int run_child(int argc, char** argv, const std::chrono::steady_clock::time_point start) {
  QApplication app(argc, argv);
  OrvaneStudio window;
  window.show();
  QCoreApplication::processEvents();
  while (!(window.windowHandle() && window.windowHandle()->isExposed())) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
  }
  QCoreApplication::processEvents();
  const double ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  std::printf("%.3f\n", ms);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const auto start = std::chrono::steady_clock::now();
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  if (argc > 1 && std::string_view(argv[1]) == "--child") return run_child(argc, argv, start);

  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
  QCoreApplication app(argc, argv);
  std::vector<double> times;
  std::vector<double> process_times;
  for (int i = 0; i < runs + 1; ++i) {
    QElapsedTimer wall;
    wall.start();
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child")});
    if (!child.waitForFinished(60000) || child.exitCode() != 0) {
      std::fprintf(stderr, "startup: child run failed\n");
      return 1;
    }
    const double process_ms = wall.nsecsElapsed() / 1e6;
    const double ms = child.readAllStandardOutput().trimmed().toDouble();
    if (i > 0) {  // the first run warms the file cache
      times.push_back(ms);
      process_times.push_back(process_ms);
    }
  }
  auto print = [](const char* what, std::vector<double> values) {
    std::sort(values.begin(), values.end());
    std::printf("  %-44s min %7.1f ms  median %7.1f ms  max %7.1f ms\n", what, values.front(),
                values[values.size() / 2], values.back());
  };
  std::printf("start-up, %d runs, %s platform:\n", runs, qgetenv("QT_QPA_PLATFORM").constData());
  print("main() to window shown + first events", times);
  print("whole process (exec to exit)", process_times);
  return 0;
}
