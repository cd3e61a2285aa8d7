// The engine face implemented by the Python bridge: engine_bridge.py run with the first
// python3 on PATH, one process per loaded model or job.
#pragma once

#include <QString>
#include <QStringList>
#include <condition_variable>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
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
  std::optional<EngineProbe> probe_result() override;
  bool wait_for_probe(std::stop_token stop) override;
  std::unique_ptr<Model> start_model(OutputSink output = {}) override;
  void end_all() override;

 private:
  std::shared_ptr<BridgeProcess> spawn();
  EngineProbe probe();
  EngineProbe answered_probe();  // waits for the answer

  PythonEngineOptions options_;
  std::mutex mutex_;
  std::vector<std::weak_ptr<BridgeProcess>> processes_;
  bool closing_ = false;  // no process is started once set (under mutex_)
  std::mutex probe_mutex_;
  std::condition_variable_any probe_answered_;
  std::optional<EngineProbe> probe_result_;  // under probe_mutex_
  std::future<void> probe_;                  // the look-up's thread
};

// The bridge script beside the executable (installed, or in the build folder); empty when
// there is none. Never the source tree's copy: a moved program uses the bridge moved with it.
QString find_bridge_script();

}  // namespace orvane
