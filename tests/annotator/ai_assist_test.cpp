// AI assistance through the real window with the stand-in engine: loading
// weights, labelling the shown image, and every way either can fail.
#include <QDoubleSpinBox>
#include <QJsonArray>
#include <QJsonObject>

#include "annotator/annotator_fixture.h"
#include "engine/engine.h"
#include "engine/standin.h"

using namespace orvane;

namespace {

class AiAssistTest : public AnnotatorTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    window = std::make_unique<OrvaneStudio>(make_engine());
    auto scripted = std::make_unique<ScriptedDialogs>();
    dialogs = scripted.get();
    window->set_dialogs(std::move(scripted));
    tab = window->tab_workspace;
  }
  virtual std::unique_ptr<Engine> make_engine() { return make_standin_engine(); }

  // Loads the stand-in model `name` with these settings through the chooser.
  void load_model(const QString& name, const QJsonObject& settings = {}) {
    write_standin_model(path(name), settings);
    dialogs->open_files.push_back(path(name));
    tab->load_ai_model();
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
  tab->btn_run_ai->click();  // no model yet: nothing happens
  EXPECT_FALSE(tab->btn_run_ai->isEnabled());

  load_model("street.pt", kStreetModel);
  EXPECT_EQ(last_message(), "AI Model Loaded|Loaded model: street.pt");
  EXPECT_EQ(dialogs->last("open_file")->title, "Load YOLO AI Model");
  ASSERT_TRUE(tab->btn_run_ai->isEnabled());

  // Above every confidence: nothing found, nothing changed.
  tab->spin_ai_conf->setValue(0.95);
  tab->btn_run_ai->click();
  EXPECT_EQ(last_message(), "AI Assist|No objects detected at current confidence threshold.");
  EXPECT_EQ(shapes(), QStringList{"person|Polygon"});

  tab->spin_ai_conf->setValue(0.6);
  tab->btn_run_ai->click();
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
  tab->btn_run_ai->click();
  EXPECT_EQ(last_message(), "AI Success|Successfully auto-labeled 3 object(s).");
  EXPECT_EQ(tab->annotations.size(), 6u);
  EXPECT_EQ(read_file(path("a.txt")).count('\n'), 6);
  EXPECT_EQ(read_file(path("classes.txt")), "person\ncar\n");

  // The model stays for the next image.
  tab->btn_next_img->click();
  tab->btn_run_ai->click();
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
  tab->run_ai_autolabel();
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
  tab->run_ai_autolabel();
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
  tab->run_ai_autolabel();  // no images: nothing shown
  EXPECT_EQ(dialogs->messages().size(), 1u);

  write_file(path("broken.pt"), "not a model");
  dialogs->open_files.push_back(path("broken.pt"));
  tab->load_ai_model();
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
  tab->run_ai_autolabel();
  EXPECT_TRUE(last_message().startsWith("AI Error|An error occurred during auto-labeling:\n"))
      << last_message();
  EXPECT_EQ(shapes(), QStringList());
  EXPECT_FALSE(QFile::exists(path("classes.txt")));

  // classes.txt cannot be written: no shape of a class it does not hold.
  images({"a.png"});
  ASSERT_TRUE(QDir().mkpath(path("classes.txt")));
  tab->run_ai_autolabel();
  EXPECT_TRUE(last_message().startsWith("AI Error|")) << last_message();
  EXPECT_EQ(shapes(), QStringList());
  EXPECT_TRUE(tab->classes.isEmpty());
  EXPECT_FALSE(QFile::exists(path("a.txt")));
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
  tab->btn_load_ai->click();
  EXPECT_EQ(last_message(), "Error|Ultralytics is not installed.");
  EXPECT_EQ(dialogs->count("open_file"), 0);
  EXPECT_FALSE(tab->btn_run_ai->isEnabled());
}

}  // namespace
