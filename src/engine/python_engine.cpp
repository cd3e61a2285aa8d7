#include "engine/python_engine.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QStandardPaths>
#include <limits>

#include "engine/bridge_process.h"

namespace orvane {
namespace {

// The probe's output is kept for its report; this much of it, and no more than the limit in
// all (the engine's import prints a few notices; an interpreter that floods is ended).
constexpr qsizetype kProbeTailBytes = 16384;
constexpr qint64 kProbeOutputLimit = qint64(1) << 20;

QString require_string(const QJsonObject& reply, const char* key) {
  return reply.value(QLatin1String(key)).toString();
}

QVariantMap with_absolute_project(QVariantMap args) {
  if (args.contains(QStringLiteral("project"))) {
    const QString project = args.value(QStringLiteral("project")).toString();
    args[QStringLiteral("project")] = QDir::cleanPath(QDir::current().absoluteFilePath(project));
  }
  return args;
}

class PythonModel : public Model {
 public:
  explicit PythonModel(std::shared_ptr<BridgeProcess> process) : process_(std::move(process)) {}

  const std::map<int, QString>& names() const override { return names_; }
  QString task() const override { return task_; }

  void load(const QString& path) override {
    const QJsonObject reply = call({{"op", "load"}, {"path", path}});
    names_.clear();
    const QJsonObject names = reply.value(QLatin1String("names")).toObject();
    for (auto it = names.begin(); it != names.end(); ++it)
      names_[it.key().toInt()] = it.value().toString();
    task_ = require_string(reply, "task");
  }

  void add_callback(const QString& event, TrainerCallback callback) override {
    callbacks_[event].push_back(std::move(callback));
  }

  TrainResult train(const QVariantMap& args) override {
    QJsonArray events;
    for (const auto& [event, list] : callbacks_) events.append(event);
    const QJsonObject request{{"op", "train"},
                              {"args", QJsonObject::fromVariantMap(with_absolute_project(args))},
                              {"callbacks", events}};
    const QJsonObject reply = call(request, [this](const QJsonObject& event) {
      Trainer trainer;
      trainer.epoch = event.value(QLatin1String("epoch")).toInt();
      trainer.epochs = event.value(QLatin1String("epochs")).toInt();
      for (auto [key, value] : {std::pair{"fitness", &trainer.fitness},
                                std::pair{"best_fitness", &trainer.best_fitness}})
        if (event.value(QLatin1String(key)).isDouble())
          *value = event.value(QLatin1String(key)).toDouble();
      trainer.save_dir = event.value(QLatin1String("save_dir")).toString();
      const QJsonObject metrics = event.value(QLatin1String("metrics")).toObject();
      for (auto it = metrics.begin(); it != metrics.end(); ++it) {
        // null stands for a value that is not a finite number (JSON has none).
        if (it.value().isDouble() || it.value().isNull())
          trainer.metrics[it.key()] = it.value().isNull() ? std::numeric_limits<double>::quiet_NaN()
                                                          : it.value().toDouble();
      }
      for (auto& callback : callbacks_[event.value(QLatin1String("event")).toString()])
        callback(trainer);
      return QJsonObject{{"stop", trainer.stop}};
    });
    return {require_string(reply, "save_dir"),
            reply.value(QLatin1String("metrics")).toObject().toVariantMap()};
  }

  QVariantMap val(const QVariantMap& args) override {
    const QJsonObject reply =
        call({{"op", "val"}, {"args", QJsonObject::fromVariantMap(with_absolute_project(args))}});
    return reply.value(QLatin1String("metrics")).toObject().toVariantMap();
  }

  void tune(const QVariantMap& args) override {
    call({{"op", "tune"}, {"args", QJsonObject::fromVariantMap(with_absolute_project(args))}});
  }

  Prediction predict(const QString& source, double conf, std::optional<int> imgsz) override {
    QJsonObject request{{"op", "predict"}, {"source", source}, {"conf", conf}};
    if (imgsz) request[QLatin1String("imgsz")] = *imgsz;
    BridgeProcess::Reply reply = checked(process_->request(request));
    Prediction result;
    for (const QJsonValue& b : reply.json.value(QLatin1String("boxes")).toArray()) {
      const QJsonObject box = b.toObject();
      const QJsonArray xyxy = box.value(QLatin1String("xyxy")).toArray();
      result.boxes.push_back({box.value(QLatin1String("cls")).toInt(),
                              float(box.value(QLatin1String("conf")).toDouble()),
                              float(xyxy.at(0).toDouble()), float(xyxy.at(1).toDouble()),
                              float(xyxy.at(2).toDouble()), float(xyxy.at(3).toDouble())});
    }
    const QJsonValue masks = reply.json.value(QLatin1String("masks"));
    if (masks.isArray()) {
      result.masks.emplace();
      for (const QJsonValue& outline : masks.toArray()) {
        QPolygonF polygon;
        for (const QJsonValue& p : outline.toArray())
          polygon << QPointF(p.toArray().at(0).toDouble(), p.toArray().at(1).toDouble());
        result.masks->push_back(polygon);
      }
    }
    const QJsonArray shape = reply.json.value(QLatin1String("plot")).toArray();
    if (shape.isEmpty() && reply.binary.isEmpty()) return result;
    const qint64 h = shape.at(0).toInteger(), w = shape.at(1).toInteger(),
                 c = shape.at(2).toInteger();
    if (shape.size() != 3 || h <= 0 || w <= 0 || (c != 3 && c != 1) ||
        h > kMaxReplyImagePixels / w || reply.binary.size() != h * w * c)
      process_->refuse(QStringLiteral("a drawn image of %1 x %2 x %3 with %4 bytes")
                           .arg(h)
                           .arg(w)
                           .arg(c)
                           .arg(reply.binary.size()));
    result.plot = cv::Mat(int(h), int(w), c == 3 ? CV_8UC3 : CV_8UC1);
    std::memcpy(result.plot.data, reply.binary.constData(), reply.binary.size());
    return result;
  }

  QString export_model(const QString& format) override {
    return require_string(call({{"op", "export"}, {"format", format}}), "path");
  }

  void kill() override { process_->kill(); }

 private:
  static BridgeProcess::Reply checked(BridgeProcess::Reply reply) {
    if (!reply.json.value(QLatin1String("ok")).toBool())
      throw EngineError(reply.json.value(QLatin1String("error")).toString());
    return reply;
  }
  QJsonObject call(const QJsonObject& request, const BridgeProcess::EventHandler& on_event = {}) {
    return checked(process_->request(request, on_event)).json;
  }

  std::shared_ptr<BridgeProcess> process_;
  std::map<int, QString> names_;
  QString task_;
  std::map<QString, std::vector<TrainerCallback>> callbacks_;
};

}  // namespace

QString find_bridge_script() {
  const QString name = QStringLiteral("engine_bridge.py");
  if (QCoreApplication::instance()) {
    const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath(name);
    if (QFileInfo::exists(beside)) return beside;
  }
  return {};
}

PythonEngine::PythonEngine(PythonEngineOptions options) : options_(std::move(options)) {
  if (options_.python.isEmpty())
    options_.python = QStandardPaths::findExecutable(QStringLiteral("python3"));
  if (options_.bridge_script.isEmpty()) options_.bridge_script = find_bridge_script();
  // The child processes must write their output as they go, not when their buffers fill.
  options_.environment << QStringLiteral("PYTHONUNBUFFERED=1");
  probe_ = std::async(std::launch::async, [this] {
    EngineProbe answer = probe();
    {
      std::lock_guard lock(probe_mutex_);
      probe_result_ = std::move(answer);
    }
    probe_answered_.notify_all();
  });
}

PythonEngine::~PythonEngine() {
  {
    // A probe that has not started its process yet must not start one now:
    // the wait below would last a whole import of the engine.
    std::lock_guard lock(mutex_);
    closing_ = true;
  }
  end_all();
  probe_.wait();
}

EngineProbe PythonEngine::probe() {
  if (options_.python.isEmpty())
    return {false, false, QStringLiteral("python3 was not found on PATH.")};
  if (options_.bridge_script.isEmpty())
    return {false, false,
            QStringLiteral("The engine bridge script engine_bridge.py was not found beside the "
                           "program.")};
  const QString interpreter = QStringLiteral("Python interpreter: ") + options_.python;
  // The import's notices are not shown, but kept for the report; an interpreter that floods
  // without answering is ended.
  QByteArray output;
  qint64 printed = 0;
  std::shared_ptr<BridgeProcess> process;
  try {
    process = spawn();
    process->set_output([&output, &printed, raw = process.get()](const QByteArray& bytes) {
      printed += bytes.size();
      output.append(bytes);
      if (output.size() > 2 * kProbeTailBytes) output = output.right(kProbeTailBytes);
      if (printed > kProbeOutputLimit) raw->kill();
    });
    const QJsonObject reply = process->request({{"op", "probe"}}).json;
    if (reply.value(QLatin1String("has_yolo")).toBool())
      return {true, reply.value(QLatin1String("cuda")).toBool(), {}};
    return {false, false, interpreter + QStringLiteral("\nLast output:\n") + output_tail(output)};
  } catch (const EngineError& e) {
    if (printed > kProbeOutputLimit) {
      return {false, false,
              interpreter + QStringLiteral("\nIt printed more than %1 bytes without answering.\n"
                                           "Last output:\n%2")
                                .arg(kProbeOutputLimit)
                                .arg(output_tail(output))};
    }
    QString problem = interpreter + QLatin1Char('\n') + e.message();
    if (!e.message().contains(QStringLiteral("Last output:")) && !output.isEmpty())
      problem += QStringLiteral("\nLast output:\n") + output_tail(output);
    return {false, false, problem};
  }
}

std::shared_ptr<BridgeProcess> PythonEngine::spawn() {
  if (options_.python.isEmpty()) throw EngineError(QStringLiteral("python3 was not found."));
  if (options_.bridge_script.isEmpty())
    throw EngineError(QStringLiteral("The engine bridge script engine_bridge.py was not found."));
  std::lock_guard lock(mutex_);
  if (closing_) throw EngineError(QStringLiteral("The engine is shutting down."));
  auto process = std::make_shared<BridgeProcess>(
      options_.python, QStringList{QStringLiteral("-u"), options_.bridge_script},
      options_.environment);
  std::erase_if(processes_, [](const auto& p) { return p.expired(); });
  processes_.push_back(process);
  return process;
}

EngineProbe PythonEngine::answered_probe() {
  std::unique_lock lock(probe_mutex_);
  probe_answered_.wait(lock, [this] { return probe_result_.has_value(); });
  return *probe_result_;
}

bool PythonEngine::has_yolo() { return answered_probe().has_yolo; }

bool PythonEngine::cuda_available() { return answered_probe().cuda; }

QString PythonEngine::yolo_problem() { return answered_probe().problem; }

std::optional<EngineProbe> PythonEngine::probe_result() {
  std::lock_guard lock(probe_mutex_);
  return probe_result_;
}

bool PythonEngine::wait_for_probe(std::stop_token stop) {
  std::unique_lock lock(probe_mutex_);
  return probe_answered_.wait(lock, stop, [this] { return probe_result_.has_value(); });
}

std::unique_ptr<Model> PythonEngine::start_model(OutputSink output) {
  std::shared_ptr<BridgeProcess> process = spawn();
  process->set_output(std::move(output));
  return std::make_unique<PythonModel>(std::move(process));
}

void PythonEngine::end_all() {
  std::lock_guard lock(mutex_);
  for (const auto& weak : processes_)
    if (auto process = weak.lock()) process->kill();
}

}  // namespace orvane
