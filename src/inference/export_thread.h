// The export worker: converts weights with the engine and moves the result into the export
// folder.
#pragma once

#include <QString>
#include <QThread>

#include "engine/engine.h"
#include "engine/engine_job.h"

namespace orvane {

class ExportThread : public QThread, public EngineJob {
  Q_OBJECT

 public:
  ExportThread(Engine& engine, QString model_path, QString format_str, QString export_dir,
               QObject* parent = nullptr);
  ~ExportThread() override;

  const QString mp;  // weights
  const QString fs;  // format
  const QString ed;  // export folder

 Q_SIGNALS:
  void finished_signal(const QString& path);
  void error_signal(const QString& text);

 protected:
  // Worker thread.
  void run() override;

 private:
  Engine& engine_;
};

}  // namespace orvane
