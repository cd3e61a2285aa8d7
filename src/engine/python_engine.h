// The engine face implemented by the Python bridge: engine_bridge.py run with the first
// python3 on PATH, one process per loaded model or job.
#pragma once

#include <QString>
#include <QStringList>
#include <future>
#include <memory>
#include <mutex>
#include <vector>

#include "engine/engine.h"

namespace orvane {

class BridgeProcess;

struct PythonEngineOptions {
  QString python;           // empty: the first python3 on PATH
  QString bridge_script;    // empty: find_bridge_script()
  QStringList environment;  // extra KEY=VALUE entries for the engine processes
};

class PythonEngine : public Engine {
 public:
  // Starts asking the interpreter for the engine in the background; returns at once.
  explicit PythonEngine(PythonEngineOptions options = {});
  ~PythonEngine() override;

  bool has_yolo() override;
  bool cuda_available() override;
  QString yolo_problem() override;
  std::unique_ptr<Model> load(const QString& path, OutputSink output = {}) override;
  void end_all() override;

 private:
  struct Probe {
    bool has_yolo = false;
    bool cuda = false;
    QString problem;  // when has_yolo is false
  };
  std::shared_ptr<BridgeProcess> spawn();
  Probe probe();

  PythonEngineOptions options_;
  std::mutex mutex_;
  std::vector<std::weak_ptr<BridgeProcess>> processes_;
  bool closing_ = false;  // no process is started once set (under mutex_)
  std::shared_future<Probe> probe_;
};

// The bridge script beside the executable (installed, or in the build folder); empty when
// there is none. Never the source tree's copy: a moved program uses the bridge moved with it.
QString find_bridge_script();

}  // namespace orvane
