// The C++ face of the YOLO engine. Callers (annotator, training, inference) know only this
// header; python_engine implements it with one bridge process per loaded model or job.
// Every call blocks until the engine answers, so the GUI thread never makes one: it asks a
// worker thread (common/async_call.h) and reads only probe_result(), which never waits. An
// engine failure, or a bridge process that dies, is thrown as EngineError with a message for
// the user.
#pragma once

#include <QByteArray>
#include <QPolygonF>
#include <QString>
#include <QVariantMap>
#include <functional>
#include <map>
#include <memory>
#include <opencv2/core.hpp>
#include <optional>
#include <stdexcept>
#include <stop_token>
#include <vector>

namespace orvane {

class EngineError : public std::runtime_error {
 public:
  explicit EngineError(const QString& message)
      : std::runtime_error(message.toStdString()), message_(message) {}
  const QString& message() const { return message_; }

 private:
  QString message_;
};

// What a training callback sees of the engine's trainer: epoch counts from 0, epochs is the
// total; setting stop ends training early (train then returns normally).
struct Trainer {
  int epoch = 0;
  int epochs = 0;
  bool stop = false;
  // At "on_fit_epoch_end": what the trainer holds of the epoch just ended, under the engine's
  // own names ("train/box_loss", "metrics/mAP50(B)", "val/cls_loss", "lr/pg0", ...): its mean
  // training losses, its validation measures and losses, its learning rates. NaN for a value
  // that is not a finite number; a value the engine does not hold is absent. Empty for other
  // events.
  std::map<QString, double> metrics;
  // The trainer's own ranking of its last validated epoch, and the best so far: the epoch whose
  // fitness equals the best is the one its best.pt holds. At "on_fit_epoch_end" and the save
  // events, where the engine holds them.
  std::optional<double> fitness, best_fitness;
  // At the save events: the run folder.
  QString save_dir;
};
using TrainerCallback = std::function<void(Trainer&)>;

// Receives the engine's printed output and log, raw bytes as they arrive (colour codes and
// carriage returns included). Runs on the thread that made the engine call.
using OutputSink = std::function<void(const QByteArray&)>;

struct Box {
  int cls = 0;
  float conf = 0;
  float x1 = 0, y1 = 0, x2 = 0, y2 = 0;  // image pixels
};

struct Prediction {
  std::vector<Box> boxes;
  // One outline per box (image pixels) for segmentation models; empty optional when the
  // engine gives no masks (detection models, or nothing found).
  std::optional<std::vector<QPolygonF>> masks;
  cv::Mat plot;  // the image with the detections drawn, 8-bit BGR
};

struct TrainResult {
  QString save_dir;     // the run folder, as the engine reports it
  QVariantMap metrics;  // the final metrics, not interpreted here
};

// A loaded model. Not shared between threads, except kill().
class Model {
 public:
  virtual ~Model() = default;

  virtual const std::map<int, QString>& names() const = 0;
  virtual QString task() const = 0;
  // Replaces the model by the one at `path`, keeping the same engine process.
  virtual void load(const QString& path) = 0;

  // Events "on_train_batch_end" and "on_fit_epoch_end". The epoch-end event comes once per
  // epoch: the engine's report of its final validation of best.pt is not passed on. Besides the
  // engine's events, "save_start" and "save_end" come around every write of the checkpoints
  // (weights/last.pt, best.pt); the write begins only once the "save_start" callback has
  // returned, so a kill() decided before that never cuts a checkpoint.
  virtual void add_callback(const QString& event, TrainerCallback callback) = 0;
  // Named training arguments; a relative "project" is made absolute against the working
  // directory so the run lands where the program expects it.
  virtual TrainResult train(const QVariantMap& args) = 0;
  // Writes its plots below args["project"] (also made absolute) / args["name"]; without a
  // project the engine writes below the working directory.
  virtual QVariantMap val(const QVariantMap& args) = 0;
  // Relied on for the files it writes below args["project"] (also made absolute).
  virtual void tune(const QVariantMap& args) = 0;
  virtual Prediction predict(const QString& source, double conf,
                             std::optional<int> imgsz = std::nullopt) = 0;
  // Writes the converted model and returns the path of the file or folder made.
  virtual QString export_model(const QString& format) = 0;

  // Ends the model's engine process and everything it started (its process group) at once; a
  // call in progress on another thread, a load included, then fails with EngineError. Safe
  // from any thread.
  virtual void kill() = 0;
};

// What the background look-up of the engine found.
struct EngineProbe {
  bool has_yolo = false;
  bool cuda = false;  // a CUDA device is usable
  QString problem;    // when has_yolo is false: why, for the user to mend the installation
};

class Engine {
 public:
  virtual ~Engine() = default;

  // HAS_YOLO: whether the engine can be loaded. The answer is looked up in the background
  // from construction; this waits for it.
  virtual bool has_yolo() = 0;
  // Whether a CUDA device is usable ("cuda:0" rather than "cpu"); false without the engine.
  virtual bool cuda_available() = 0;
  // When has_yolo() is false: what happened while looking for the engine (the interpreter's
  // path and its last lines of output), so the user can mend the installation. Waits like
  // has_yolo(); empty when the engine was found.
  virtual QString yolo_problem() { return {}; }
  // The look-up's answer once it has come, empty before: never waits, so the GUI thread may ask.
  // The default asks the waiting functions above (an engine that answers at once).
  virtual std::optional<EngineProbe> probe_result() {
    return EngineProbe{has_yolo(), cuda_available(), yolo_problem()};
  }
  // Waits until the look-up has answered (true) or `stop` is requested first (false).
  virtual bool wait_for_probe(std::stop_token stop) {
    (void)stop;
    return true;
  }
  // Starts a new engine process for one model, with nothing loaded yet: Model::load loads the
  // weights, and kill() ends the process at once even while it is still importing the engine.
  // While the model works, the engine's output goes to `output`; without a sink it goes to the
  // program's standard error.
  virtual std::unique_ptr<Model> start_model(OutputSink output = {}) = 0;
  // start_model(output), then Model::load(path).
  std::unique_ptr<Model> load(const QString& path, OutputSink output = {}) {
    std::unique_ptr<Model> model = start_model(std::move(output));
    model->load(path);
    return model;
  }
  // Ends every engine process still running (closing the window).
  virtual void end_all() = 0;
};

// `model` shared, with its engine process ended at once when the last holder lets it go:
// letting go on the GUI thread never waits for the engine to leave by itself.
inline std::shared_ptr<Model> share_model(std::unique_ptr<Model> model) {
  return std::shared_ptr<Model>(model.release(), [](Model* m) {
    m->kill();
    delete m;
  });
}

struct SharedModelLoad {
  std::shared_ptr<Model> model;  // empty on failure
  QString error;
};

// Starts an engine process and loads the weights at `path` in it, as a shared
// model; stopping `stop` ends that process, so a load that hangs never holds
// its caller. Worker threads only: it waits for the engine.
inline SharedModelLoad load_shared_model(Engine& engine, const QString& path,
                                         std::stop_token stop) {
  SharedModelLoad loaded;
  try {
    loaded.model = share_model(engine.start_model());
    Model* model = loaded.model.get();
    const std::stop_callback end_process(stop, [model] { model->kill(); });
    model->load(path);
  } catch (const EngineError& e) {
    loaded = {nullptr, e.message()};
  }
  return loaded;
}

// `headline` (a caller's "not installed" text) with the reason below it, when one is known.
inline QString engine_missing_message(const EngineProbe& probe, const QString& headline) {
  return probe.problem.isEmpty() ? headline : headline + QLatin1Char('\n') + probe.problem;
}

// The device text for training: "cuda:0" when a CUDA device is usable, else "cpu".
inline QString engine_device(const EngineProbe& probe) {
  return probe.cuda ? QStringLiteral("cuda:0") : QStringLiteral("cpu");
}

}  // namespace orvane
