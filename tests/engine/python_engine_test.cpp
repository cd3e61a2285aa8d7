// The engine face through the real bridge process and the stand-in engine.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QProcess>
#include <QTemporaryDir>
#include <atomic>
#include <cmath>
#include <future>
#include <thread>

#include "engine/bridge_process.h"
#include "engine/checkpoint.h"
#include "engine/engine_watch.h"
#include "engine/standin.h"

using namespace orvane;

namespace {

class EngineBridge : public ::testing::Test {
 protected:
  void SetUp() override { model_path = dir.filePath("model.pt"); }
  std::unique_ptr<Model> load(QJsonObject settings = {}, OutputSink sink = {}) {
    write_standin_model(model_path, settings);
    return engine->load(
        model_path, sink ? sink : [this](const QByteArray& b) { output += b; });
  }
  QString data_yaml() {
    const QString path = dir.filePath("data.yaml");
    write_file(path, "names: [a]\n");
    return path;
  }

  QTemporaryDir dir;
  QString model_path;
  QByteArray output;
  std::unique_ptr<PythonEngine> engine = make_standin_engine();
};

TEST(EngineProbe, FindsTheEngineOnlyWhenPythonCanImportIt) {
  QTemporaryDir empty;
  PythonEngineOptions without_engine = standin_options();
  without_engine.environment[0] = "PYTHONPATH=" + empty.path();
  PythonEngineOptions without_python = standin_options();
  without_python.python = empty.filePath("python3");
  EXPECT_TRUE(PythonEngine(standin_options()).has_yolo());
  EXPECT_FALSE(PythonEngine(without_engine).has_yolo());
  EXPECT_FALSE(PythonEngine(without_python).has_yolo());
  EXPECT_FALSE(PythonEngine(without_python).cuda_available());
}

// Closing right after start-up does not wait for the probe's interpreter, even
// one that never answers: whether the probe had started its process or not.
TEST(EngineProbe, ClosingAtOnceDoesNotWaitForTheProbe) {
  QTemporaryDir dir;
  const QString silent = dir.filePath("python3");
  write_file(silent, "#!/bin/sh\nexec sleep 600\n");
  QFile::setPermissions(silent, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  PythonEngineOptions options = standin_options();
  options.python = silent;
  auto closed = std::make_shared<std::promise<void>>();
  std::thread([options, closed] {
    for (int i = 0; i < 20; ++i) PythonEngine engine(options);
    closed->set_value();
  }).detach();
  EXPECT_EQ(closed->get_future().wait_for(std::chrono::seconds(30)), std::future_status::ready);
}

// When the program dies without a word (SIGKILL), its bridge ends too, with everything the
// engine started: here a bridge stuck in loading a model, waiting on a child of its own.
TEST(EngineProcessesEnd, WhenTheProgramDies) {
  QTemporaryDir dir;
  write_standin_model(dir.filePath("stuck.pt"), {{"hang_in_load", true}});
  QProcess program;
  program.start(ORVANE_HOLDER, {dir.filePath("stuck.pt")});
  ASSERT_TRUE(program.waitForStarted());
  engine_watch::EngineProcesses processes;
  ASSERT_TRUE(processes.note_until(2, pid_t(program.processId())))
      << "the bridge and its child never ran";
  program.kill();
  ASSERT_TRUE(program.waitForFinished());
  EXPECT_EQ(processes.left_after(engine_watch::kPromptlyMs), std::vector<pid_t>{});
}

// Descriptors open in this process.
int open_descriptors() {
  return static_cast<int>(QDir("/proc/self/fd").entryList(QDir::Files | QDir::System).size());
}

// The bridge needs four pipes. When the system runs out of descriptors at
// any of them, the ones already made are closed again.
TEST(BridgeStart, AFailedPipeLeaksNoDescriptor) {
#ifdef __SANITIZE_ADDRESS__
  // The sanitizers' runtime opens descriptors of its own while it checks the
  // thrown error, and fails when there are none left.
  GTEST_SKIP() << "needs every descriptor to itself";
#endif
  struct rlimit saved {};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
  for (int pipes_that_fit : {0, 1, 2, 3}) {
    // The lowest free numbers, which the pipes take in turn.
    std::vector<int> free_numbers;
    for (int fd = 0; free_numbers.size() < 8; ++fd) {
      if (fcntl(fd, F_GETFD) == -1) free_numbers.push_back(fd);
    }
    const int before = open_descriptors();
    struct rlimit limited = saved;
    limited.rlim_cur =
        static_cast<rlim_t>(free_numbers[static_cast<size_t>(2 * pipes_that_fit) + 1]);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &limited), 0);
    bool refused = false;
    try {
      BridgeProcess process("/bin/true", {}, {});
    } catch (const EngineError&) {
      refused = true;
    }
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &saved), 0);
    EXPECT_TRUE(refused) << pipes_that_fit;
    EXPECT_EQ(open_descriptors(), before) << pipes_that_fit;
  }
}

TEST_F(EngineBridge, LoadsNamesAndPredictsBoxesMasksAndTheDrawnImage) {
  const QString image = dir.filePath("scene ü.png");
  write_image(image, 1000, 800);
  auto model = load({{"names", QJsonObject{{"0", "cat"}, {"5", "dog"}}}, {"task", "segment"}});
  EXPECT_EQ(model->names(), (std::map<int, QString>{{0, "cat"}, {5, "dog"}}));
  EXPECT_EQ(model->task(), "segment");

  const Prediction p = model->predict(image, 0.25);
  ASSERT_EQ(p.boxes.size(), 2u);
  EXPECT_EQ(p.boxes[1].cls, 1);
  EXPECT_FLOAT_EQ(p.boxes[0].x1, 100);
  EXPECT_FLOAT_EQ(p.boxes[0].y2, 400);
  ASSERT_TRUE(p.masks.has_value());
  ASSERT_EQ(p.masks->size(), 2u);
  EXPECT_EQ(p.masks->at(1).size(), 3);
  EXPECT_EQ(p.masks->at(1).at(1), QPointF(900, 480));
  ASSERT_EQ(p.plot.type(), CV_8UC3);
  EXPECT_EQ(p.plot.cols, 1000);
  EXPECT_EQ(p.plot.rows, 800);
  EXPECT_EQ(p.plot.at<cv::Vec3b>(80, 100), cv::Vec3b(0, 255, 0));  // a drawn box edge

  const Prediction none = model->predict(image, 0.95);
  EXPECT_TRUE(none.boxes.empty());
  EXPECT_FALSE(none.masks.has_value());
  EXPECT_THROW(model->predict(dir.filePath("missing.jpg"), 0.25), EngineError);
  EXPECT_EQ(model->predict(image, 0.25).boxes.size(), 2u);  // the process is still usable
}

TEST_F(EngineBridge, ReportsModelFilesTheEngineCannotLoad) {
  write_file(model_path, "not a model");
  try {
    engine->load(model_path);
    FAIL() << "a text file loaded as a model";
  } catch (const EngineError& e) {
    EXPECT_TRUE(e.message().contains("invalid or corrupted model file"))
        << e.message().toStdString();
  }
  try {
    engine->load("yolov8s.pt");
    FAIL() << "an absent release asset loaded offline";
  } catch (const EngineError& e) {
    EXPECT_TRUE(e.message().contains("offline")) << e.message().toStdString();
  }
}

TEST_F(EngineBridge, ExportsFilesAndFoldersAndRejectsUnknownFormats) {
  auto model = load();
  EXPECT_EQ(model->export_model("onnx"), dir.filePath("model.onnx"));
  EXPECT_TRUE(QFileInfo(dir.filePath("model.onnx")).isFile());
  EXPECT_TRUE(QFileInfo(model->export_model("openvino")).isDir());
  try {
    model->export_model("pickle");
    FAIL() << "an unknown format was accepted";
  } catch (const EngineError& e) {
    EXPECT_TRUE(e.message().startsWith("Invalid export format='pickle'"));
  }
}

// Each release line: the epoch-end callback comes once per epoch, a stop set in a batch-end
// callback ends training early, and train returns normally with the run folder.
TEST_F(EngineBridge, TrainingCallbacksAndStopAcrossReleases) {
  const struct {
    const char* release;
    bool stop;
    int batch_calls;
    std::vector<int> epochs_seen;
  } cases[] = {
      {"8.4.51", false, 9, {0, 1, 2}},
      {"8.4.52", false, 9, {0, 1, 2}},
      {"8.4.13", true, 3, {0}},  // stop read only at the epoch's end
      {"8.4.14", true, 1, {0}},  // stop cuts the epoch short
  };
  const QString data = data_yaml();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.release);
    auto model = load({{"release", c.release}, {"batches", 3}});
    int batch_calls = 0;
    std::vector<int> epochs_seen;
    model->add_callback("on_train_batch_end", [&](Trainer& t) {
      ++batch_calls;
      t.stop = c.stop;
    });
    model->add_callback("on_fit_epoch_end", [&](Trainer& t) {
      EXPECT_EQ(t.epochs, 3);
      epochs_seen.push_back(t.epoch);
    });
    const TrainResult result = model->train({{"data", data},
                                             {"epochs", 3},
                                             {"project", dir.filePath("runs")},
                                             {"name", c.release},
                                             {"exist_ok", true}});
    EXPECT_EQ(batch_calls, c.batch_calls);
    EXPECT_EQ(epochs_seen, c.epochs_seen);
    EXPECT_TRUE(QFileInfo::exists(result.save_dir + "/weights/best.pt"));
  }
}

// Both release lines, ended early by the engine's patience after epoch 2 of 5: the final
// validation of best.pt (which 8.4.52 reports as epoch 3) is no epoch; every checkpoint write
// (save_model, then strip_optimizer's rewrite of last.pt and best.pt) is announced before it
// begins and after it ends; the engine's own fitness marks the epoch in best.pt, which the
// lines rank differently (0.1 mAP50 + 0.9 mAP50-95 picks epoch 1 here, mAP50-95 alone epoch 2).
TEST_F(EngineBridge, FinalValidationIsNoEpochAndCheckpointWritesAreAnnounced) {
  const QJsonArray values{QJsonObject{{"metrics/mAP50(B)", 0.9}, {"metrics/mAP50-95(B)", 0.3}},
                          QJsonObject{{"metrics/mAP50(B)", 0.3}, {"metrics/mAP50-95(B)", 0.32}}};
  const QString data = data_yaml();
  for (const auto& [release, best] : {std::pair{"8.3.186", 1}, std::pair{"8.4.52", 2}}) {
    SCOPED_TRACE(release);
    auto model = load({{"release", release}, {"early_stop_at", 2}, {"epoch_values", values}});
    std::vector<int> epochs_seen;
    std::optional<int> marked;
    QStringList saves;
    model->add_callback("on_fit_epoch_end", [&](Trainer& t) {
      epochs_seen.push_back(t.epoch);
      if (t.fitness && t.fitness == t.best_fitness) marked = t.epoch + 1;
    });
    model->add_callback("save_start", [&](Trainer& t) {
      saves << QStringLiteral("start %1").arg(t.epoch + 1);
      EXPECT_TRUE(QFileInfo(t.save_dir + "/results.csv").isFile());
    });
    model->add_callback("save_end", [&](Trainer&) { saves << "end"; });
    const TrainResult result = model->train(
        {{"data", data}, {"epochs", 5}, {"project", dir.filePath("runs")}, {"name", release}});
    EXPECT_EQ(epochs_seen, (std::vector<int>{0, 1}));
    EXPECT_EQ(marked, best);
    EXPECT_TRUE(read_file(result.save_dir + "/weights/best.pt")
                    .contains(QStringLiteral("\"epoch\": %1").arg(best).toUtf8()));
    EXPECT_EQ(saves.join(", "), "start 1, end, start 2, end, start 2, end, start 2, end");
  }
}

// A checkpoint is whole when it is a whole zip archive; one cut anywhere, or with bytes after
// its end, is damaged.
TEST_F(EngineBridge, CutCheckpointsAreToldApart) {
  const TrainResult result =
      load()->train({{"data", data_yaml()}, {"epochs", 1}, {"project", dir.filePath("runs")}});
  const QString last = result.save_dir + "/weights/last.pt";
  const QByteArray whole = read_file(last);
  EXPECT_TRUE(is_whole_checkpoint(last));
  EXPECT_TRUE(damaged_checkpoints(result.save_dir).isEmpty());
  for (const QByteArray& bytes :
       {whole.left(0), whole.left(4), whole.left(whole.size() / 2), whole.left(whole.size() - 22),
        whole.left(whole.size() - 1), whole + "tail", QByteArray("{\"standin_model\": 1}")}) {
    write_file(last, bytes);
    EXPECT_EQ(damaged_checkpoints(result.save_dir), QStringList{last}) << bytes.size();
  }
}

// The run folder's results.csv: the stand-in writes there, as the engine does, the row of what
// its trainer holds at each epoch's end. Rows of {column: text}.
std::vector<std::map<QString, QString>> results_rows(const QString& save_dir) {
  const QList<QByteArray> lines = read_file(save_dir + "/results.csv").trimmed().split('\n');
  std::vector<std::map<QString, QString>> rows;
  const QList<QByteArray> header = lines.value(0).split(',');
  for (qsizetype i = 1; i < lines.size(); ++i) {
    std::map<QString, QString> row;
    const QList<QByteArray> fields = lines[i].split(',');
    for (qsizetype c = 0; c < header.size(); ++c) row[header[c]] = fields.value(c);
    rows.push_back(row);
  }
  return rows;
}

// At each epoch's end the callback gets what the trainer holds, under the engine's names, for
// either release line, either task and the older forms of the trainer's loss labelling: the
// same values as the run's results.csv (written with %.6g), non-finite values as NaN, a missing
// measure absent; the final validation's repeat adds no epoch, and batch ends carry nothing.
TEST_F(EngineBridge, TheEpochEndCarriesWhatTheTrainerHolds) {
  const QString data = data_yaml();
  const struct {
    const char* what;
    QJsonObject settings;
    int names;  // how many values each epoch carries
  } cases[] = {
      {"8.3, detection", {{"release", "8.3.100"}}, 3 + 4 + 3 + 3},
      {"8.4.52, segmentation", {{"release", "8.4.52"}, {"task", "segment"}}, 4 + 8 + 4 + 3},
      {"labels without a prefix argument", {{"loss_items_signature", "no_prefix"}}, 13},
      {"no labelling, loss names only",
       {{"release", "8.4.51"}, {"loss_items_signature", "none"}},
       13},
      {"a measure missing, losses not finite",
       {{"epoch_metrics", QJsonObject{{"metrics/recall(B)", QJsonValue::Null},
                                      {"train/cls_loss", "nan"},
                                      {"val/box_loss", "inf"}}}},
       12},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto model = load(c.settings);
    std::vector<Trainer> seen;
    bool batch_metrics = false;
    model->add_callback("on_train_batch_end",
                        [&](Trainer& t) { batch_metrics = batch_metrics || !t.metrics.empty(); });
    model->add_callback("on_fit_epoch_end", [&](Trainer& t) { seen.push_back(t); });
    const TrainResult result = model->train({{"data", data},
                                             {"epochs", 3},
                                             {"project", dir.filePath("runs")},
                                             {"name", c.what},
                                             {"exist_ok", true}});
    EXPECT_FALSE(batch_metrics);
    const auto rows = results_rows(result.save_dir);
    ASSERT_EQ(seen.size(), 3u);
    ASSERT_EQ(rows.size(), 3u);
    for (size_t e = 0; e < seen.size(); ++e) {
      SCOPED_TRACE(e);
      EXPECT_EQ(seen[e].epoch, int(e));
      EXPECT_EQ(seen[e].metrics.size(), size_t(c.names));
      EXPECT_EQ(rows[e].size(), size_t(c.names) + 2) << "epoch and time besides";
      for (const auto& [column, text] : rows[e]) {
        if (column == "epoch" || column == "time") continue;
        SCOPED_TRACE(column.toStdString());
        ASSERT_TRUE(seen[e].metrics.count(column));
        const double sent = seen[e].metrics.at(column);
        const double written = text.toDouble();
        if (text == "nan" || text == "inf") {
          EXPECT_TRUE(std::isnan(sent));
        } else {
          EXPECT_NEAR(sent, written, 1e-5 * std::max(1.0, std::abs(written)));
        }
      }
    }
  }
}

TEST_F(EngineBridge, RelativeProjectLandsBelowTheWorkingDirectory) {
  const QString data = data_yaml();
  const QString before = QDir::currentPath();
  QDir::setCurrent(dir.path());
  auto model = load();
  const TrainResult result =
      model->train({{"data", data}, {"epochs", 1}, {"project", "runs/detect"}, {"name", "r"}});
  QDir::setCurrent(before);
  EXPECT_EQ(result.save_dir, QDir(dir.path()).filePath("runs/detect/r"));
  EXPECT_TRUE(output.contains("\x1b[1m")) << "the engine's colour codes reach the sink raw";
}

TEST_F(EngineBridge, ADeadBridgeBecomesAnErrorWithItsLastOutput) {
  const QString data = data_yaml();
  auto crashing = load({{"crash_at_epoch", 2}});
  try {
    crashing->train({{"data", data}, {"epochs", 3}, {"project", dir.filePath("runs")}});
    FAIL() << "training survived its engine process";
  } catch (const EngineError& e) {
    EXPECT_TRUE(e.message().contains("stopped unexpectedly (exit code 139)"));
    EXPECT_TRUE(e.message().contains("2/3 crashing now")) << e.message().toStdString();
  }

  auto killed = load({{"batch_delay", 0.01}});
  killed->add_callback("on_train_batch_end", [&](Trainer&) { killed->kill(); });
  EXPECT_THROW(killed->train({{"data", data}, {"epochs", 50}, {"project", dir.filePath("runs")}}),
               EngineError);

  auto failing = load({{"fail_at_epoch", 2}, {"fail_message", "boom in epoch two"}});
  try {
    failing->train({{"data", data}, {"epochs", 3}, {"project", dir.filePath("runs")}});
    FAIL() << "the engine's exception was lost";
  } catch (const EngineError& e) {
    EXPECT_EQ(e.message(), "boom in epoch two");
  }
}

TEST_F(EngineBridge, EndAllStopsAModelThatIsStillWorking) {
  const QString image = dir.filePath("a.png");
  write_image(image, 64, 48);
  auto model = load({{"predict_delay", 60}});
  std::atomic<bool> done = false;
  std::thread ender([&] {
    while (!done) engine->end_all();
  });
  EXPECT_THROW(model->predict(image, 0.25), EngineError);
  done = true;
  ender.join();
}

// A bridge that answers the probe and the load, then sends `reply` for any prediction.
QString write_fake_bridge(const QTemporaryDir& dir, const QByteArray& reply) {
  const QString path = dir.filePath("fake_bridge.py");
  write_file(path,
             "import os, sys\n"
             "out = os.fdopen(os.dup(1), 'wb', buffering=0)\n"
             "os.dup2(2, 1)\n"
             "REPLY = " +
                 reply +
                 "\n"
                 "for line in sys.stdin:\n"
                 "    if 'predict' in line:\n"
                 "        out.write(REPLY)\n"
                 "        continue\n"
                 "    out.write(b'{\"ok\": true, \"has_yolo\": true, \"names\": {}, \"task\": "
                 "\"detect\"}\\n')\n");
  return path;
}

// A reply or image beyond any sane size is refused before memory is set aside for it, and the
// engine process that sent it is ended.
TEST(BridgeReplies, OversizedOrMalformedRepliesEndTheProcessWithAClearError) {
  const struct {
    const char* reply;  // a Python bytes expression
    const char* said;
  } cases[] = {
      {"b'{\"ok\": true, \"binary\": 1000000000000000}\\n'", "announcing 1000000000000000 bytes"},
      {"b'{\"ok\": true, \"binary\": -7}\\n'", "announcing -7 bytes"},
      {"b'{\"ok\": true, \"plot\": [100000, 100000, 3], \"binary\": 12}\\n' + bytes(12)",
       "100000 x 100000 x 3 with 12 bytes"},
      {"b'x' * (65 << 20) + b'\\n'", "without ending its reply"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.said);
    QTemporaryDir dir;
    const QString image = dir.filePath("a.png");
    write_image(image, 8, 8);
    PythonEngineOptions options = standin_options();
    options.bridge_script = write_fake_bridge(dir, c.reply);
    PythonEngine engine(options);
    std::unique_ptr<Model> model = engine.load(image);
    try {
      model->predict(image, 0.25);
      FAIL() << "the reply was accepted";
    } catch (const EngineError& e) {
      EXPECT_TRUE(e.message().contains(c.said)) << e.message().toStdString();
      EXPECT_TRUE(e.message().contains("its process was ended")) << e.message().toStdString();
    }
    EXPECT_THROW(model->predict(image, 0.25), EngineError) << "the process still answers";
  }
}

}  // namespace
