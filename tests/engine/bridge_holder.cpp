// A program that runs one engine bridge and is then killed by the parent-death test: it loads
// the stand-in model given as its argument (one that hangs while loading, waiting on a child of
// its own) and waits there for ever.
#include <QCoreApplication>

#include "engine/python_engine.h"
#include "fixtures/standin_engine.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc < 2) return 2;
  orvane::PythonEngine engine(standin_options());
  try {
    engine.load(QString::fromLocal8Bit(argv[1]));
  } catch (const orvane::EngineError&) {
    return 1;
  }
  return 0;
}
