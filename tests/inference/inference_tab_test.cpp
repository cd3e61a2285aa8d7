// The inference tab driven through its widgets, with scripted dialogs and the stand-in engine.
#include "inference/inference_tab.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileInfo>
#include <QGraphicsPixmapItem>
#include <QGraphicsScene>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "engine/engine_watch.h"
#include "engine/standin.h"
#include "inference/inference_files.h"
#include "support/scripted_dialogs.h"

using namespace orvane;

namespace {

QImage shown_image(ZoomableView* view) {
  if (!view->scene()) return {};
  for (QGraphicsItem* item : view->scene()->items()) {
    if (auto* pixmap = dynamic_cast<QGraphicsPixmapItem*>(item)) {
      return pixmap->pixmap().toImage();
    }
  }
  return {};
}

class InferenceTabTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_dir = QDir::currentPath();
    QDir::setCurrent(dir.path());
    write_standin_model("best.pt");
    QDir().mkpath("images");
    write_image("images/A.JPG", 200, 100);
    write_image("images/b.Png", 120, 80);
    write_image("images/c.jpeg", 90, 60);
    write_file("images/scan.tiff", "x");
    write_file("images/icon.gif", "x");
    tab.entry_inf_weights->setText("best.pt");
    tab.entry_inf_folder->setText(" images ");
  }
  void TearDown() override {
    tab.work().stop(QDeadlineTimer(QDeadlineTimer::Forever));
    QDir::setCurrent(previous_dir);
  }
  QString counter() const { return tab.lbl_inf_counter->text(); }
  // Waits until no model load or prediction runs any more, and its result is shown.
  void settle() {
    ASSERT_TRUE(QTest::qWaitFor([&] { return tab.work().settled(); }, 60000));
  }
  void init() {
    tab.init_inference();
    settle();
  }
  // Runs an export and returns the message shown for it.
  DialogCall export_model(const QString& format) {
    tab.combo_export_format->setCurrentText(format);
    const size_t before = dialogs.calls.size();
    tab.run_model_export();
    if (dialogs.calls.size() == before) {
      QPointer<ExportThread> worker = tab.export_thread;
      QSignalSpy spy(worker.data(), &QThread::finished);
      if (!worker->isFinished()) {
        EXPECT_TRUE(spy.wait(60000));
      }
      QCoreApplication::sendPostedEvents();
      QCoreApplication::processEvents();
    }
    return dialogs.calls.size() > before ? dialogs.calls.back() : DialogCall{};
  }

  QTemporaryDir dir;
  QString previous_dir;
  ScriptedDialogs dialogs;
  std::unique_ptr<PythonEngine> engine = make_standin_engine();
  InferenceTab tab{dialogs, *engine};
};

TEST_F(InferenceTabTest, StepsThroughTheFoldersImagesWithWrapAround) {
  tab.btn_inf_next->click();  // nothing loaded yet
  EXPECT_EQ(counter(), "0 / 0");
  init();
  ASSERT_EQ(tab.inf_image_paths.size(), 3);
  for (const QString& path : tab.inf_image_paths)
    EXPECT_FALSE(path.endsWith(".tiff") || path.endsWith(".gif")) << path.toStdString();
  const QString first = QFileInfo(tab.inf_image_paths[0]).fileName();
  const QString last = QFileInfo(tab.inf_image_paths[2]).fileName();
  EXPECT_EQ(counter(), "1 / 3 - " + first);
  tab.btn_inf_prev->click();
  EXPECT_EQ(counter(), "3 / 3 - " + last);
  tab.btn_inf_next->click();
  EXPECT_EQ(counter(), "1 / 3 - " + first);
  settle();
  EXPECT_EQ(shown_image(tab.inf_view).size(), QImageReader(tab.inf_image_paths[0]).size());
  EXPECT_EQ(tab.lbl_inf_found->text(), "2 objects found: 1 person, 1 car");

  // A confidence above every detection predicts the same image again: no boxes drawn.
  const QImage with_boxes = shown_image(tab.inf_view);
  tab.spin_inf_conf->setValue(0.95);
  EXPECT_EQ(counter(), "1 / 3 - " + first);
  settle();
  EXPECT_NE(shown_image(tab.inf_view), with_boxes);
  EXPECT_EQ(tab.lbl_inf_found->text(), "No objects found");

  // A folder without images leaves the last prediction and the counter.
  QDir().mkpath("empty");
  tab.entry_inf_folder->setText("empty");
  init();
  EXPECT_EQ(counter(), "1 / 3 - " + first);
  EXPECT_TRUE(dialogs.messages().empty());
}

TEST_F(InferenceTabTest, AnImageTheEngineCannotReadIsNamedInTheView) {
  init();
  const QString second = tab.inf_image_paths[1];
  ASSERT_TRUE(QFile::remove(second));
  tab.inf_next_image();
  EXPECT_EQ(counter(), "2 / 3 - " + QFileInfo(second).fileName());
  settle();
  EXPECT_TRUE(
      tab.inf_view->toolTip().startsWith("Prediction failed for " + QFileInfo(second).fileName()));
  tab.inf_next_image();
  settle();
  EXPECT_TRUE(tab.inf_view->toolTip().isEmpty());
}

TEST_F(InferenceTabTest, RefusedStartsChangeNothing) {
  init();
  Model* model = tab.inf_model.get();
  const QStringList images = tab.inf_image_paths;
  write_file("broken.pt", "not a model");
  tab.entry_inf_weights->setText("broken.pt");
  init();
  write_standin_model("exits.pt", {{"exit_at_once", true}});
  tab.entry_inf_weights->setText("exits.pt");
  init();
  tab.entry_inf_weights->setText("missing.pt");
  init();
  ASSERT_EQ(dialogs.messages().size(), 3u);
  EXPECT_TRUE(dialogs.messages()[0].text.contains("invalid or corrupted model file"));
  EXPECT_TRUE(dialogs.messages()[1].text.contains("stopped unexpectedly (exit code 3)"));
  EXPECT_EQ(dialogs.messages()[2].text, "Ensure weights and inference folder paths are valid.");
  EXPECT_EQ(tab.inf_model.get(), model);
  EXPECT_EQ(tab.inf_image_paths, images);

  tab.browse_inf_weights();  // cancelled
  EXPECT_EQ(tab.entry_inf_weights->text(), "missing.pt");
}

TEST_F(InferenceTabTest, ExportsMoveIntoTheExportFolderAndReplaceEarlierOnes) {
  // Busy while it runs, one at a time.
  write_standin_model("slow.pt", {{"export_delay", 0.5}});
  tab.entry_inf_weights->setText("slow.pt");
  QPointer<ExportThread> first;
  tab.run_model_export();
  first = tab.export_thread;
  EXPECT_TRUE(tab.export_busy->isVisibleTo(&tab));
  EXPECT_EQ(tab.export_busy->format(), "Exporting...");
  EXPECT_FALSE(tab.btn_export->isEnabled());
  ASSERT_TRUE(QTest::qWaitFor([&] { return !dialogs.messages().empty(); }, 60000));
  EXPECT_FALSE(tab.export_busy->isVisibleTo(&tab));
  EXPECT_TRUE(tab.btn_export->isEnabled());
  tab.entry_inf_weights->setText("best.pt");

  DialogCall shown = export_model("onnx");
  EXPECT_EQ(shown.title, "Export Success");
  EXPECT_EQ(shown.text, "Model exported to:\nexports/best.onnx");
  EXPECT_TRUE(QFileInfo("exports/best.onnx").isFile());
  EXPECT_FALSE(QFileInfo::exists("best.onnx"));

  write_file("exports/best_openvino_model/stale.txt", "old");
  shown = export_model("openvino");
  EXPECT_EQ(shown.text, "Model exported to:\nexports/best_openvino_model");
  EXPECT_FALSE(QFileInfo::exists("exports/best_openvino_model/stale.txt"));
  EXPECT_TRUE(QFileInfo::exists("exports/best_openvino_model/model.bin"));

  // Weights inside the export folder: the engine already wrote there, nothing moves.
  write_standin_model("exports/inner.pt");
  tab.entry_inf_weights->setText("exports/inner.pt");
  EXPECT_EQ(export_model("torchscript").text, "Model exported to:\nexports/inner.torchscript");
  EXPECT_TRUE(QFileInfo("exports/inner.torchscript").isFile());

  write_file("not_a_folder", "x");
  tab.entry_export_dir->setText("not_a_folder/sub");
  shown = export_model("onnx");
  EXPECT_EQ(shown.title, "Export Error");
  EXPECT_TRUE(shown.text.startsWith("Cannot create the export folder")) << shown.text.toStdString();

  write_file("broken.pt", "not a model");
  tab.entry_inf_weights->setText("broken.pt");
  EXPECT_EQ(export_model("onnx").title, "Export Error");
  tab.entry_inf_weights->setText("missing.pt");
  EXPECT_EQ(export_model("onnx").text, "Select a valid weights file first.");
}

// Slow predictions: a step shows the next image at once, and the first image's result, which
// comes after it, never lands on it.
TEST_F(InferenceTabTest, AStaleResultNeverLandsOnTheNextImage) {
  write_standin_model("best.pt", {{"predict_delay", 1.0}});
  tab.init_inference();
  ASSERT_TRUE(QTest::qWaitFor([&] { return tab.inf_model != nullptr; }, 60000));
  ASSERT_TRUE(tab.work().running()) << "the first image's prediction runs";
  const QSize second = QImageReader(tab.inf_image_paths[1]).size();
  ASSERT_NE(QImageReader(tab.inf_image_paths[0]).size(), second);
  QStringList shown;  // the view's size each time a result came
  QObject::connect(&tab, &InferenceTab::prediction_finished, [&] {
    const QSize size = shown_image(tab.inf_view).size();
    shown << QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
  });
  tab.btn_inf_next->click();
  // Shown as soon as it is decoded (off the GUI thread), long before any result.
  EXPECT_TRUE(QTest::qWaitFor([&] { return shown_image(tab.inf_view).size() == second; }, 500))
      << "the next image shows at once";
  EXPECT_TRUE(shown.isEmpty());
  ASSERT_TRUE(QTest::qWaitFor([&] { return shown.size() == 2; }, 60000));
  const QString size = QStringLiteral("%1x%2").arg(second.width()).arg(second.height());
  EXPECT_EQ(shown, (QStringList{size, size}));
  // The second image's own prediction, its first box drawn in green.
  EXPECT_EQ(
      shown_image(tab.inf_view).pixelColor(int(0.1 * second.width()), int(0.1 * second.height())),
      QColor(0, 255, 0));
}

// Loading that hangs and predictions that never come: the window keeps running, says so,
// steps on at once, and closing ends every engine process promptly.
TEST_F(InferenceTabTest, HangingEnginesNeitherFreezeTheViewerNorOutliveClosing) {
  ASSERT_TRUE(engine->wait_for_probe({}));  // its process is not counted below
  for (const bool in_load : {true, false}) {
    SCOPED_TRACE(in_load ? "loading hangs" : "predictions never come");
    write_standin_model("best.pt", {{in_load ? "hang_in_load" : "never_answer", true}});
    engine_watch::EngineProcesses processes;
    const engine_watch::Ticks ticks;
    tab.init_inference();
    ASSERT_TRUE(processes.note_until(2));  // the bridge and the child it waits on
    if (in_load) tab.init_inference();     // ignored while a load runs
    QTest::qWait(300);
    EXPECT_GE(ticks.count, 10) << "the event loop stood still";
    if (in_load) {
      EXPECT_EQ(counter(), "Loading model...");
      EXPECT_EQ(processes.bridges(), 1) << "a second load started";
    } else {
      // Under load the blocked child may show before the loaded model does.
      ASSERT_TRUE(QTest::qWaitFor([&] { return counter().startsWith("1 / 3 - "); }));
      tab.btn_inf_next->click();
      EXPECT_TRUE(counter().startsWith("2 / 3 - "));
      // The photograph is decoded off the GUI thread and shown once it is read.
      const QSize second_size = QImageReader(tab.inf_image_paths[1]).size();
      EXPECT_TRUE(QTest::qWaitFor([&] { return shown_image(tab.inf_view).size() == second_size; }));
    }
    EXPECT_TRUE(engine_watch::returns_promptly(
        [&] { tab.work().stop(QDeadlineTimer(QDeadlineTimer::Forever)); }));
    EXPECT_EQ(processes.left_after(engine_watch::kPromptlyMs), std::vector<pid_t>{});
    EXPECT_FALSE(tab.work().running());
    if (in_load) {
      EXPECT_EQ(counter(), "0 / 0");
    }
  }
  EXPECT_TRUE(dialogs.messages().empty());
}

// A finished training run fills fields that still hold the defaults; fields the user changed
// stay, and the run is offered instead.
TEST(TrainedModelOffer, FillsDefaultsElseOffers) {
  ScriptedDialogs dialogs;
  std::unique_ptr<PythonEngine> engine = make_standin_engine();
  struct Case {
    QString weights;  // typed before the run ends; empty: the default
    int imgsz;
    bool filled;
  };
  for (const Case& c : {Case{"", 640, true}, Case{"mine.pt", 640, false}, Case{"", 320, false}}) {
    InferenceTab tab(dialogs, *engine);
    tab.set_default_weights("/p/run/weights/best.pt");
    if (!c.weights.isEmpty()) tab.entry_inf_weights->setText(c.weights);
    tab.spin_inf_imgsz->setValue(c.imgsz);
    const QString before = tab.entry_inf_weights->text();
    tab.offer_trained_model("/p/run2/weights/best.pt", 160);
    EXPECT_EQ(tab.entry_inf_weights->text(), c.filled ? "/p/run2/weights/best.pt" : before);
    EXPECT_EQ(tab.spin_inf_imgsz->value(), c.filled ? 160 : c.imgsz);
    EXPECT_EQ(tab.btn_use_trained->isVisibleTo(&tab), !c.filled);
    if (c.filled) continue;
    tab.btn_use_trained->click();
    EXPECT_EQ(tab.entry_inf_weights->text(), "/p/run2/weights/best.pt");
    EXPECT_EQ(tab.spin_inf_imgsz->value(), 160);
    EXPECT_FALSE(tab.btn_use_trained->isVisibleTo(&tab));
  }
}

TEST(FoundText, CountsByClassMostFrequentFirst) {
  const std::map<int, QString> names{{0, "person"}, {1, "car"}};
  EXPECT_EQ(found_text({}, names), "No objects found");
  EXPECT_EQ(found_text({1}, names), "1 object found: 1 car");
  EXPECT_EQ(found_text({0, 1, 1, 7}, names), "4 objects found: 2 car, 1 person, 1 7");
}

TEST(ExportDestination, NeverTheExportFolderOrAFolderHoldingIt) {
  const struct {
    QString exported, export_dir, destination;
    bool refused;
  } cases[] = {
      {"/w/best.onnx", "exports", "exports/best.onnx", false},
      {"/w/best_openvino_model/", "exports", "exports/best_openvino_model", false},
      {"/w/exports/", "/w/exports", "", true},  // the engine's result is the folder itself
      {"/w/exports", "/w/exports/sub", "", true},
      {"/w/model/..", "exports", "", true},
      {"/w/.", "/w", "", true},
      {"/", "exports", "", true},
  };
  for (const auto& c : cases) {
    const ExportDestination d = export_destination(c.exported, c.export_dir);
    EXPECT_EQ(d.path, c.destination) << c.exported.toStdString();
    EXPECT_EQ(!d.error.isEmpty(), c.refused) << c.exported.toStdString();
  }
}

TEST(InferenceWithoutEngine, SaysTheEngineIsNotInstalled) {
  QTemporaryDir empty;
  PythonEngineOptions options = standin_options();
  options.environment[0] = "PYTHONPATH=" + empty.path();
  PythonEngine engine(options);
  ScriptedDialogs dialogs;
  InferenceTab tab(dialogs, engine);
  tab.init_inference();  // waits for the look-up, off the GUI thread
  ASSERT_TRUE(QTest::qWaitFor([&] { return tab.work().settled(); }, 60000));
  write_file(empty.filePath("w.pt"), "{}");
  tab.entry_inf_weights->setText(empty.filePath("w.pt"));
  tab.run_model_export();
  // The export may fail before a spy could be connected: wait for its message.
  ASSERT_TRUE(QTest::qWaitFor([&] { return dialogs.messages().size() >= 2; }, 60000));
  ASSERT_EQ(dialogs.messages().size(), 2u);
  // The headline, then why: the import's own words.
  EXPECT_EQ(dialogs.messages()[0].text.section('\n', 0, 0), "Ultralytics is not installed.");
  EXPECT_TRUE(dialogs.messages()[0].text.contains("No module named 'ultralytics'"));
  EXPECT_EQ(dialogs.messages()[1].title, "Export Error");
  EXPECT_EQ(dialogs.messages()[1].text.section('\n', 0, 0),
            "Ultralytics library is not installed.");
  EXPECT_TRUE(dialogs.messages()[1].text.contains("No module named 'ultralytics'"));
}

}  // namespace
