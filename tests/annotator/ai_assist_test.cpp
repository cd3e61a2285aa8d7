// AI assistance through the real window with the stand-in engine: loading
// weights, labelling the shown image, and every way either can fail.
#include <QDoubleSpinBox>
#include <QJsonArray>
#include <QJsonObject>
#include <QSignalSpy>

#include "annotator/annotator_fixture.h"
#include "engine/engine.h"
#include "engine/engine_watch.h"
#include "engine/standin.h"

using namespace orvane;

namespace {

class AiAssistTest : public AnnotatorTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    std::unique_ptr<Engine> made = make_engine();
    engine = made.get();
    window = std::make_unique<OrvaneStudio>(std::move(made));
    auto scripted = std::make_unique<ScriptedDialogs>();
    dialogs = scripted.get();
    window->set_dialogs(std::move(scripted));
    tab = window->tab_workspace;
    window->tabs->setCurrentWidget(tab);
  }
  virtual std::unique_ptr<Engine> make_engine() { return make_standin_engine(); }
  Engine* engine = nullptr;  // the window's

  // Loads the stand-in model `name` with these settings through the chooser.
  void load_model(const QString& name, const QJsonObject& settings = {}) {
    write_standin_model(path(name), settings);
    dialogs->open_files.push_back(path(name));
    tab->load_ai_model();
    settle();
  }
  // Labels the shown image, as the button does, and waits for the result.
  void autolabel() {
    tab->btn_run_ai->click();
    settle();
  }
  // Waits until no model load or labelling runs any more, and its result is applied.
  void settle() {
    ASSERT_TRUE(QTest::qWaitFor([&] { return !tab->work().running(); }, 60000));
  }
  // The last message box as "title|text".
  QString last_message() const {
    const std::vector<DialogCall> shown = dialogs->messages();
    return shown.empty() ? QString() : shown.back().title + "|" + shown.back().text;
  }
};

// Two cars (a new class) and a person, found with confidence 0.9, 0.8 and 0.5.
const QJsonObject kStreetModel{
    {"names", QJsonObject{{"0", "person"}, {"1", "car"}}},
    {"detections",
     QJsonArray{QJsonObject{{"cls", 1}, {"conf", 0.9}, {"box", QJsonArray{0.1, 0.1, 0.4, 0.5}}},
                QJsonObject{{"cls", 1}, {"conf", 0.8}, {"box", QJsonArray{0.5, 0.5, 0.9, 0.9}}},
                QJsonObject{{"cls", 0}, {"conf", 0.5}, {"box", QJsonArray{0.2, 0.6, 0.3, 0.8}}}}}};

TEST_F(AiAssistTest, DetectionsBecomeRectanglesWrittenAtOnce) {
  images({"a.png", "b.png"});
  put("classes.txt", "person\n");
  load(dir.path());
  draw(kTriangle, "person");
  autolabel();  // no model yet: nothing happens
  EXPECT_FALSE(tab->btn_run_ai->isEnabled());

  load_model("street.pt", kStreetModel);
  EXPECT_EQ(last_message(), "AI Model Loaded|Loaded model: street.pt");
  EXPECT_EQ(dialogs->last("open_file")->title, "Load YOLO AI Model");
  ASSERT_TRUE(tab->btn_run_ai->isEnabled());

  // Above every confidence: nothing found, nothing changed.
  tab->spin_ai_conf->setValue(0.95);
  autolabel();
  EXPECT_EQ(last_message(), "AI Assist|No objects detected at current confidence threshold.");
  EXPECT_EQ(shapes(), QStringList{"person|Polygon"});

  tab->spin_ai_conf->setValue(0.6);
  autolabel();
  EXPECT_EQ(last_message(), "AI Success|Successfully auto-labeled 2 object(s).");
  EXPECT_EQ(shapes(), (QStringList{"person|Polygon", "car|AI Rectangle", "car|AI Rectangle"}));
  EXPECT_EQ(tab->classes, (QStringList{"person", "car"}));
  EXPECT_EQ(read_file(path("classes.txt")), "person\ncar\n");
  EXPECT_EQ(read_file(path("a.txt")),
            QByteArray(kTriangleLine) +
                "1 0.100000 0.100000 0.400000 0.100000 0.400000 0.500000 0.100000 0.500000\n"
                "1 0.500000 0.500000 0.900000 0.500000 0.900000 0.900000 0.500000 0.900000\n");

  // Running again adds the detections again; known classes are not appended.
  tab->spin_ai_conf->setValue(0.25);
  autolabel();
  EXPECT_EQ(last_message(), "AI Success|Successfully auto-labeled 3 object(s).");
  EXPECT_EQ(tab->annotations.size(), 6u);
  EXPECT_EQ(read_file(path("a.txt")).count('\n'), 6);
  EXPECT_EQ(read_file(path("classes.txt")), "person\ncar\n");

  // The model stays for the next image.
  tab->btn_next_img->click();
  autolabel();
  EXPECT_EQ(shapes(), (QStringList{"car|AI Rectangle", "car|AI Rectangle", "person|AI Rectangle"}));
  EXPECT_EQ(read_file(path("b.txt")).count('\n'), 3);
}

TEST_F(AiAssistTest, AutoLabellingIsOneStepToUndo) {
  images({"a.png"});
  load(dir.path());
  show_annotator();
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  draw(kTriangle, "person");
  load_model("street.pt", kStreetModel);
  autolabel();
  const QByteArray labelled = read_file(path("a.txt"));
  ASSERT_EQ(labelled.count('\n'), 4);
  QTest::keyClick(window.get(), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(read_file(path("a.txt")), kTriangleLine);
  EXPECT_EQ(shapes(), QStringList{"person|Polygon"});
  QTest::keyClick(window.get(), Qt::Key_Y, Qt::ControlModifier);
  EXPECT_EQ(read_file(path("a.txt")), labelled);
  EXPECT_EQ(shapes().size(), 4);
}

TEST_F(AiAssistTest, OutlinesBecomePolygonsOfTheirPoints) {
  images({"a.png"}, 200, 100);
  load(dir.path());
  const QJsonArray square{QJsonArray{0.1, 0.1}, QJsonArray{0.3, 0.1}, QJsonArray{0.3, 0.3},
                          QJsonArray{0.2, 0.4}, QJsonArray{0.1, 0.3}};
  load_model("seg.pt", {{"task", "segment"},
                        {"names", QJsonObject{{"0", "leaf"}}},
                        {"detections",
                         QJsonArray{QJsonObject{{"cls", 0},
                                                {"conf", 0.9},
                                                {"box", QJsonArray{0.1, 0.1, 0.3, 0.4}},
                                                {"outline", square}},
                                    QJsonObject{{"cls", 0},
                                                {"conf", 0.9},
                                                {"box", QJsonArray{0.5, 0.5, 0.6, 0.6}},
                                                {"outline", QJsonArray{QJsonArray{0.5, 0.5},
                                                                       QJsonArray{0.6, 0.6}}}}}}});
  autolabel();
  EXPECT_EQ(last_message(), "AI Success|Successfully auto-labeled 1 object(s).");
  ASSERT_EQ(shapes(), QStringList{"leaf|AI Polygon"});
  EXPECT_EQ(tab->annotations[0].item->polygon(),
            QPolygonF({{20, 10}, {60, 10}, {60, 30}, {40, 40}, {20, 30}}));
  EXPECT_EQ(read_file(path("a.txt")),
            "0 0.100000 0.100000 0.300000 0.100000 0.300000 0.300000 0.200000 0.400000 "
            "0.100000 0.300000\n");
  EXPECT_EQ(read_file(path("classes.txt")), "leaf\n");
}

TEST_F(AiAssistTest, FailuresKeepTheModelAndTheShapes) {
  load_model("good.pt", kStreetModel);
  Model* model = tab->ai_model.get();
  autolabel();  // no images: nothing shown
  EXPECT_EQ(dialogs->messages().size(), 1u);

  write_file(path("broken.pt"), "not a model");
  dialogs->open_files.push_back(path("broken.pt"));
  tab->load_ai_model();
  settle();
  EXPECT_TRUE(last_message().startsWith("Error|")) << last_message();
  EXPECT_TRUE(last_message().contains("invalid or corrupted model file")) << last_message();
  tab->load_ai_model();  // chooser cancelled
  EXPECT_EQ(tab->ai_model.get(), model);
  EXPECT_TRUE(tab->btn_run_ai->isEnabled());
  EXPECT_EQ(dialogs->messages().size(), 2u);

  // The picture is read, then the file goes: the engine cannot read it.
  images({"a.png"});
  load(dir.path());
  ASSERT_TRUE(QFile::remove(path("a.png")));
  autolabel();
  EXPECT_TRUE(last_message().startsWith("AI Error|An error occurred during auto-labeling:\n"))
      << last_message();
  EXPECT_EQ(shapes(), QStringList());
  EXPECT_FALSE(QFile::exists(path("classes.txt")));

  // classes.txt cannot be written: no shape of a class it does not hold.
  images({"a.png"});
  ASSERT_TRUE(QDir().mkpath(path("classes.txt")));
  autolabel();
  EXPECT_TRUE(last_message().startsWith("AI Error|")) << last_message();
  EXPECT_EQ(shapes(), QStringList());
  EXPECT_TRUE(tab->classes.isEmpty());
  EXPECT_FALSE(QFile::exists(path("a.txt")));
}

// A slow labelling: stepping on shows the next image at once, and the result, when it comes,
// lands on neither image.
TEST_F(AiAssistTest, AResultForAnImageNoLongerShownIsDropped) {
  images({"a.png", "b.png"});
  load(dir.path());
  load_model("slow.pt", {{"predict_delay", 1.0}});
  const size_t messages = dialogs->messages().size();
  QSignalSpy finished(tab, &AnnotatorTab::prediction_finished);
  tab->btn_run_ai->click();
  ASSERT_TRUE(tab->work().running());
  tab->btn_next_img->click();
  EXPECT_EQ(tab->current_idx, 1);
  ASSERT_TRUE(finished.wait(60000));
  EXPECT_EQ(shapes(), QStringList());
  EXPECT_FALSE(QFile::exists(path("a.txt")));
  EXPECT_FALSE(QFile::exists(path("b.txt")));
  EXPECT_EQ(dialogs->messages().size(), messages);
}

// Loading that hangs and labelling that never ends: the window keeps running and says so,
// stepping works, and closing ends every engine process promptly.
TEST_F(AiAssistTest, HangingEnginesNeitherFreezeTheAnnotatorNorOutliveClosing) {
  ASSERT_TRUE(engine->wait_for_probe({}));  // its process is not counted below
  images({"a.png", "b.png"});
  load(dir.path());
  for (const bool in_load : {true, false}) {
    SCOPED_TRACE(in_load ? "loading hangs" : "labelling never ends");
    write_standin_model(path("odd.pt"), {{in_load ? "hang_in_load" : "never_answer", true}});
    dialogs->open_files.push_back(path("odd.pt"));
    engine_watch::EngineProcesses processes;
    const engine_watch::Ticks ticks;
    tab->load_ai_model();
    if (!in_load) {
      settle();
      tab->btn_run_ai->click();
    }
    ASSERT_TRUE(processes.note_until(2));  // the bridge and the child it waits on
    QTest::qWait(300);
    EXPECT_GE(ticks.count, 10) << "the event loop stood still";
    EXPECT_TRUE(tab->work().running());
    EXPECT_EQ(tab->lbl_img_status->text() == "Loading model...", in_load);
    EXPECT_EQ(tab->btn_load_ai->isEnabled(), !in_load);
    tab->btn_next_img->click();
    EXPECT_EQ(tab->current_idx, 1);
    EXPECT_TRUE(engine_watch::returns_promptly(
        [&] { tab->work().stop(QDeadlineTimer(QDeadlineTimer::Forever)); }));
    EXPECT_EQ(processes.left_after(engine_watch::kPromptlyMs), std::vector<pid_t>{});
    EXPECT_FALSE(tab->work().running());
    EXPECT_TRUE(tab->btn_load_ai->isEnabled());
    tab->prev_image();
  }
}

class AiAssistWithoutEngineTest : public AiAssistTest {
 protected:
  std::unique_ptr<Engine> make_engine() override {
    PythonEngineOptions options = standin_options();
    options.environment[0] = "PYTHONPATH=" + empty.path();
    return std::make_unique<PythonEngine>(options);
  }
  QTemporaryDir empty;
};

TEST_F(AiAssistWithoutEngineTest, SaysTheEngineIsNotInstalled) {
  dialogs->open_files.push_back(path("any.pt"));
  tab->btn_load_ai->click();  // waits for the look-up, off the GUI thread
  settle();
  // The cause follows the headline, as everywhere the engine is missing.
  EXPECT_TRUE(last_message().startsWith("Error|Ultralytics is not installed.\n")) << last_message();
  EXPECT_EQ(dialogs->count("open_file"), 0);
  EXPECT_FALSE(tab->btn_run_ai->isEnabled());
}

}  // namespace
