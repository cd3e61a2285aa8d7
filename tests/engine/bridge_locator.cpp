// The program as a moved copy sees it: finds its bridge the way the program does and asks the
// engine whether it is there. Prints the bridge's path (empty when none), then 1 or 0.
#include <QCoreApplication>
#include <cstdio>

#include "engine/python_engine.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  orvane::PythonEngine engine;
  std::printf("%s\n%d\n", qPrintable(orvane::find_bridge_script()), engine.has_yolo() ? 1 : 0);
  return 0;
}
