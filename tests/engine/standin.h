// The stand-in engine for tests: the real bridge and adapter, with the stand-in `ultralytics`
// package of tests/fixtures first on PYTHONPATH, fully offline.
#pragma once

#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <memory>

#include "engine/python_engine.h"
#include "fixtures/standin_engine.h"
#include "support/test_files.h"

inline std::unique_ptr<orvane::PythonEngine> make_standin_engine() {
  return std::make_unique<orvane::PythonEngine>(standin_options());
}

// Writes a stand-in model file with these settings (see the package's documentation).
inline void write_standin_model(const QString& path, QJsonObject settings = {}) {
  settings[QStringLiteral("standin_model")] = 1;
  write_file(path, QJsonDocument(settings).toJson(QJsonDocument::Compact));
}
