// The dataset tools through the real window, with scripted dialogs and real
// files in a temporary folder.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>
#include <yaml-cpp/yaml.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <nlohmann/json.hpp>

#include "annotator/annotator_tab.h"
#include "app/main_window.h"
#include "dataset_tools/analytics_dialog.h"
#include "dataset_tools/coco_voc_export_dialog.h"
#include "dataset_tools/split_config_dialog.h"
#include "dataset_tools/split_export.h"
#include "labels/label_file.h"
#include "splitter/splitter_tab.h"
#include "support/job_wait.h"
#include "support/scripted_dialogs.h"
#include "support/test_files.h"

using namespace orvane;

namespace {

const QByteArray kPolygon = "0 0.1 0.2 0.3 0.4 0.2 0.6\n";
const QByteArray kBox = "0 0.200000 0.400000 0.200000 0.400000\n";  // kPolygon's box

class DatasetToolsWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    auto scripted = std::make_unique<ScriptedDialogs>();
    dialogs = scripted.get();
    window.set_dialogs(std::move(scripted));
    window.tabs->setCurrentWidget(window.tab_workspace);  // the tools' page
    data = dir.path() + "/dataset ü";
    out = dir.path() + "/out";
    QDir().mkpath(data);
  }

  // Adds an image (and its label file when `label` is not null) to the
  // window's loaded folder.
  void add_image(const QString& name, const QByteArray& label = {}) {
    const QString path = data + "/" + name;
    write_file(path, "image bytes of " + name.toUtf8());
    if (!label.isNull())
      write_file(data + "/" + QFileInfo(name).completeBaseName() + ".txt", label);
    window.tab_workspace->image_paths.append(path);
    window.tab_workspace->image_paths.sort();
    window.tab_workspace->image_folder = data;
  }

  // Starts an export, answering the split dialog as a user would
  // (percentages and format, then OK) and the output folder ("" cancels it).
  void start_export(const QString& folder, int train, int val, int test, int format = 0,
                    bool coco = false, bool voc = false) {
    dialogs->exec_answers.push_back([=](QDialog& dialog) {
      auto& config = dynamic_cast<SplitConfigDialog&>(dialog);
      config.chk_coco->setChecked(coco);
      config.chk_voc->setChecked(voc);
      config.ts->setValue(train);
      config.vs->setValue(val);
      config.tes->setValue(test);
      config.fc->setCurrentIndex(format);
      config.validate();
      return config.result();
    });
    dialogs->directories.push_back(folder);
    window.tab_workspace->export_and_split_dataset();
  }

  // Exports (as start_export) and waits for the export's end.
  void export_to(const QString& folder, int train, int val, int test, int format = 0) {
    start_export(folder, train, val, test, format);
    EXPECT_TRUE(wait_for_job(*window.tab_workspace));
  }

  // Runs the health check (as its button does) to its end.
  void check_health() {
    window.tab_workspace->btn_health_check->click();
    EXPECT_TRUE(wait_for_job(*window.tab_workspace));
  }

  // Image counts of train, val and test.
  std::vector<qsizetype> counts() const {
    std::vector<qsizetype> n;
    for (const char* part : kSplitParts)
      n.push_back(folder_entries(out + "/" + part + "/images").size());
    return n;
  }

  // Names of the exported label files, each checked to hold `text`.
  QStringList labels_holding(const QByteArray& text) const {
    QStringList names;
    for (const char* part : kSplitParts) {
      for (const QString& name : folder_entries(out + "/" + part + "/labels")) {
        EXPECT_EQ(read_file(out + "/" + part + "/labels/" + name), text) << name.toStdString();
        names << name;
      }
    }
    return names;
  }

  // Message boxes so far, as "kind|title|text"; the wait cursor must be off.
  QStringList messages() const {
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    QStringList all;
    for (const DialogCall& call : dialogs->messages())
      all << call.kind + "|" + call.title + "|" + call.text;
    return all;
  }

  OrvaneStudio window;
  ScriptedDialogs* dialogs = nullptr;
  QTemporaryDir dir;
  QString data, out;
};

}  // namespace

TEST_F(DatasetToolsWindow, ToolsWithoutDataSayWhatIsMissing) {
  check_health();
  window.tab_workspace->show_dataset_analytics();
  window.tab_workspace->export_and_split_dataset();  // no images: silent
  add_image("a.jpg");
  add_image("b.jpg", "7 0.1 0.1\nx 0.1 0.1\n");
  window.tab_workspace->classes = {"car"};
  window.tab_workspace->show_dataset_analytics();
  EXPECT_EQ(messages(), (QStringList{"information|Health Check|Please load a dataset folder first.",
                                     "information|Analytics|Load a dataset first.",
                                     "information|Analytics|No objects annotated yet."}));
  EXPECT_EQ(dialogs->calls.size(), 3u);
}

TEST_F(DatasetToolsWindow, HealthReport) {
  add_image("a.jpg", kPolygon + kPolygon + kPolygon);
  add_image("b.png");
  write_file(data + "/c.txt", "0 0.5 0.5 0.2 0.2\n");
  write_file(data + "/classes.txt", "car\n");
  // Counted like the annotator: .bmp is an image, and img1.txt does not
  // belong to img10.jpg.
  add_image("img10.jpg");
  write_file(data + "/img1.txt", "");
  add_image("x.bmp");
  add_image("q.JPG");
  add_image("p.BMP", "0 0.1 0.1 0.2 bad\n0 0 0 1 1\n0 0 0 1 1\n");  // unreadable: no pairs
  write_file(data + "/r.gif", "");
  QDir().mkpath(data + "/folder.txt");
  check_health();
  EXPECT_EQ(messages(),
            QStringList{"information|Health Check|🩺 Dataset QA Health Report:\n\n"
                        "Unannotated Images: 4\nOrphaned Label Files: 2\n"
                        "Overlapping Polygons/Boxes (Duplicates): 3\n"
                        "\nMissing Annotations (Sample):\n['b.png', 'img10.jpg', 'q.JPG']\n"
                        "\nHigh IoU Overlaps:\n['a.txt (IoU > 90%)']"});

  ASSERT_TRUE(QDir(data).removeRecursively());  // the folder vanishes
  check_health();
  ASSERT_EQ(messages().size(), 2);
  EXPECT_TRUE(messages()[1].startsWith("critical|Error|")) << messages()[1].toStdString();
  EXPECT_TRUE(messages()[1].contains(data));
}

TEST_F(DatasetToolsWindow, AnalyticsBarsSortedByCountWithStableTies) {
  window.tab_workspace->classes = {"a", "b", "c", "d"};
  add_image("1.jpg", "2 0 0\n0 0 0\n0 0 0\n7 0 0\n");
  add_image("2.jpg", QByteArray("1 0 0\n").repeated(12) + "0 0 0\n0 0 0\n0 0 0\n");
  add_image("3.jpg", "2 0 0\n2 0 0\n2 0 0\n2 0 0\n");
  add_image("4.jpg");
  QStringList rows;  // "caption value/maximum"
  dialogs->exec_answers.push_back([&](QDialog& dialog) {
    auto& bars = dynamic_cast<AnalyticsDialog&>(dialog);
    EXPECT_EQ(dialog.windowTitle(), "Dataset Class Distribution");
    EXPECT_EQ(dialog.minimumSize(), QSize(450, 300));
    EXPECT_TRUE(bars.scroll_area()->widgetResizable());
    QStringList captions;
    for (QLabel* label : dialog.findChildren<QLabel*>()) captions << label->text();
    EXPECT_TRUE(captions.contains("Current Annotation Totals:"));
    for (int i = 0; i < bars.row_count(); ++i) {
      const QProgressBar* bar = bars.row_bar(i);
      EXPECT_EQ(bars.row_label(i)->width(), 120);
      EXPECT_EQ(bar->height(), 15);
      EXPECT_FALSE(bar->isTextVisible());
      EXPECT_EQ(bar->minimum(), 0);
      rows << bars.row_label(i)->text() + QString(" %1/%2").arg(bar->value()).arg(bar->maximum());
    }
    return int(QDialog::Accepted);
  });
  window.tab_workspace->show_dataset_analytics();
  // a and c both have 5 objects: c (the higher id) was met first.
  EXPECT_EQ(rows, (QStringList{"b (12) 12/12", "c (5) 5/12", "a (5) 5/12"}));
}

TEST_F(DatasetToolsWindow, SplitDialogDefaultsAndRefusal) {
  SplitConfigDialog config(window.dialogs(), &window);
  EXPECT_EQ(config.windowTitle(), "Dataset Train/Val/Test Splitter");
  EXPECT_EQ(config.size(), QSize(320, 220));
  EXPECT_EQ((std::array{config.ts->value(), config.vs->value(), config.tes->value()}),
            (std::array{70, 20, 10}));
  for (QSpinBox* spin : {config.ts, config.vs, config.tes})
    EXPECT_EQ((std::array{spin->minimum(), spin->maximum()}), (std::array{0, 100}));
  ASSERT_EQ(config.fc->count(), 2);
  EXPECT_EQ(config.fc->itemText(0), "Detection (Bounding Boxes)");
  EXPECT_EQ(config.fc->itemText(1), "Segmentation (Polygons)");
  auto* form = config.findChild<QFormLayout*>();
  ASSERT_NE(form, nullptr);
  QStringList captions;
  for (int row = 0; row < form->rowCount(); ++row) {
    auto* caption = qobject_cast<QLabel*>(form->itemAt(row, QFormLayout::LabelRole)->widget());
    captions << (caption ? caption->text() : QString());
  }
  EXPECT_EQ(captions, (QStringList{"Train %:", "Val %:", "Test %:", "Format:"}));
  // The row under the form: off at first, and the dialog keeps its size.
  EXPECT_FALSE(config.also_coco() || config.also_voc());
  EXPECT_LE(config.layout()->minimumSize().height(), 220);
  EXPECT_EQ(config.get_format(), "Detection");
  config.fc->setCurrentIndex(1);
  EXPECT_EQ(config.get_format(), "Segmentation");

  QSignalSpy finished(&config, &QDialog::finished);
  config.ts->setValue(50);
  config.vs->setValue(30);
  config.tes->setValue(30);
  config.validate();
  EXPECT_EQ(finished.count(), 0);  // refused: the dialog stays open
  EXPECT_EQ(messages(), QStringList{"warning|Invalid|Must total 100%."});
  config.ts->setValue(40);
  config.validate();
  EXPECT_EQ(finished.count(), 1);
  EXPECT_EQ(config.result(), QDialog::Accepted);
  EXPECT_EQ(config.get_ratios(), (std::array{0.4, 0.3, 0.3}));
}

TEST_F(DatasetToolsWindow, ExportCancelPathsWriteNothing) {
  add_image("a.jpg", kPolygon);
  window.tab_workspace->export_and_split_dataset();  // dialog cancelled
  EXPECT_EQ(dialogs->count("directory"), 0);
  export_to("", 70, 20, 10);  // no folder chosen
  EXPECT_EQ(dialogs->count("directory"), 1);
  EXPECT_EQ(dialogs->last("directory")->title, "Select Output Directory");

  window.tab_workspace->image_paths = {data + "/b.jpg"};
  write_file(data + "/b.jpg", "x");
  export_to(out, 70, 20, 10);  // nothing annotated
  EXPECT_EQ(messages(), QStringList{"warning|No Annotations|No annotated files found to split."});
  EXPECT_FALSE(QFileInfo::exists(out));
}

TEST_F(DatasetToolsWindow, ExportWithDefaults) {
  for (int i = 0; i < 10; ++i) add_image(QStringLiteral("img%1.jpg").arg(i), kPolygon);
  add_image("plain.jpg");
  window.tab_workspace->classes = {"car", "person"};
  export_to(out, 70, 20, 10);
  EXPECT_EQ(messages(),
            QStringList{"information|Export Complete|Exported dataset successfully to:\n" + out});
  EXPECT_EQ(counts(), (std::vector<qsizetype>{7, 2, 1}));
  // Only the labelled images, every label converted to a box.
  EXPECT_EQ(labels_holding(kBox).size(), 10);
  EXPECT_EQ(read_file(out + "/data.yaml"),
            "path: " + out.toUtf8() +
                "\ntrain: train/images\nval: val/images\ntest: test/images\n\nnames:\n"
                "  0: car\n  1: person\n");
}

TEST_F(DatasetToolsWindow, ReExportLeavesEachImageInOnePart) {
  for (int i = 0; i < 10; ++i) add_image(QStringLiteral("img%1.jpg").arg(i), kPolygon);
  write_file(out + "/val/images/unrelated.jpg", "keep");
  export_to(out, 100, 0, 0);
  EXPECT_EQ(counts(), (std::vector<qsizetype>{10, 1, 0}));
  export_to(out, 34, 33, 33, 1);
  EXPECT_EQ(dialogs->last("information")->title, "Export Complete");
  EXPECT_EQ(counts(), (std::vector<qsizetype>{3, 3 + 1, 4}));
  EXPECT_TRUE(folder_entries(out + "/val/images").contains("unrelated.jpg"));
  EXPECT_EQ(labels_holding(kPolygon).size(), 10);  // segmentation: copied as they are
}

TEST_F(DatasetToolsWindow, ExportFailuresAreReported) {
  add_image("a.jpg", kPolygon);
  add_image("b.jpg", kPolygon);
  // Where an image must go there is a folder: not writable even for root.
  for (const char* part : kSplitParts) QDir().mkpath(out + "/" + part + "/images/b.jpg");
  export_to(out, 50, 50, 0);
  ASSERT_EQ(messages().size(), 1);
  EXPECT_TRUE(messages()[0].startsWith("critical|Error|")) << messages()[0].toStdString();
  EXPECT_TRUE(messages()[0].contains("/images/b.jpg") && messages()[0].contains("Is a directory"));
  EXPECT_FALSE(QFileInfo::exists(out + "/data.yaml"));

  // An output folder below a regular file cannot be created.
  write_file(dir.path() + "/file", "x");
  export_to(dir.path() + "/file/out", 50, 50, 0);
  ASSERT_EQ(messages().size(), 2);
  EXPECT_TRUE(messages()[1].startsWith("critical|Error|")) << messages()[1].toStdString();
  EXPECT_TRUE(messages()[1].contains(dir.path() + "/file/out"));
}

TEST_F(DatasetToolsWindow, ExportInsideTheDatasetFolderCountsLeftOutLines) {
  add_image("a.jpg", kPolygon + "0 0.5\n\n1 x y\n");
  add_image("b.jpg", "1 0.5 0.5 0.2 0.2\n");
  window.tab_workspace->classes = {"car: red", "  person", "yes", "Straße"};
  const QString inside = data + "/export";
  export_to(inside, 100, 0, 0);
  EXPECT_EQ(messages(),
            QStringList{"information|Export Complete|Exported dataset successfully to:\n" + inside +
                        "\n\n2 label lines could not be converted and were left out."});
  EXPECT_EQ(read_file(inside + "/train/labels/a.txt"), kBox);
  EXPECT_EQ(read_file(inside + "/train/labels/b.txt"), "1 0.500000 0.500000 0.200000 0.200000\n");
  EXPECT_EQ(read_file(data + "/a.jpg"), "image bytes of a.jpg");

  const YAML::Node manifest = YAML::LoadFile((inside + "/data.yaml").toStdString());
  EXPECT_EQ(manifest["path"].as<std::string>(), inside.toStdString());
  for (int i = 0; i < window.tab_workspace->classes.size(); ++i)
    EXPECT_EQ(QString::fromStdString(manifest["names"][i].as<std::string>()),
              window.tab_workspace->classes[i]);
  EXPECT_EQ(manifest["names"][2].Tag(), "!");  // read as text, not as true
}

TEST_F(DatasetToolsWindow, ExportSaysWhenTrainOrValReceivedNothing) {
  struct Case {
    int images, train, val, test;
    QString note;  // empty: the plain success message
  } cases[] = {
      {1, 70, 20, 10,
       "The train and val parts are empty: 1 annotated image is too few for the chosen "
       "percentages."},
      {2, 70, 20, 10, "The val part is empty: 2 annotated images are too few"},
      {1, 100, 0, 0, ""},  // no share asked for val
      {10, 70, 20, 10, ""},
  };
  for (const Case& c : cases) {
    window.tab_workspace->image_paths.clear();
    for (int i = 0; i < c.images; ++i) add_image(QStringLiteral("img%1.jpg").arg(i), kPolygon);
    dialogs->calls.clear();
    export_to(out, c.train, c.val, c.test);
    ASSERT_EQ(messages().size(), 1);
    const DialogCall shown = dialogs->messages()[0];
    EXPECT_EQ(shown.title, "Export Complete");
    if (c.note.isEmpty()) {
      EXPECT_EQ(shown.kind + shown.text, "informationExported dataset successfully to:\n" + out);
    } else {
      EXPECT_EQ(shown.kind, "warning");
      EXPECT_TRUE(shown.text.startsWith("Exported dataset to:\n" + out + "\n\n" + c.note))
          << shown.text.toStdString();
    }
  }
}

TEST_F(DatasetToolsWindow, ExportRemovesOnlyAbandonedHalfWrittenFiles) {
  add_image("a.jpg", kPolygon);
  // The id of a process that has ended, as a killed export's would be.
  const pid_t child = fork();
  if (child == 0) _exit(0);
  ASSERT_GT(child, 0);
  waitpid(child, nullptr, 0);
  const QString dead = QStringLiteral(".orvane-%1-7.tmp").arg(child);
  const QString running = QStringLiteral(".orvane-%1-3.tmp").arg(getppid());
  for (const QString& where : {out, out + "/train/images", out + "/val/labels"}) {
    write_file(where + "/" + dead, "half a file");
    write_file(where + "/" + running, "being written");
    write_file(where + "/.orvane-notes.tmp", "the user's");
  }
  export_to(out, 100, 0, 0);
  for (const QString& where : {out, out + "/train/images", out + "/val/labels"}) {
    const QStringList names = folder_entries(where);
    EXPECT_FALSE(names.contains(dead)) << where.toStdString();
    EXPECT_TRUE(names.contains(running) && names.contains(".orvane-notes.tmp"));
  }
}

TEST_F(DatasetToolsWindow, ExportIntoTheDatasetAsksBeforeReplacingItsManifest) {
  add_image("a.jpg", kPolygon);
  window.tab_workspace->classes = {"car"};
  const QByteArray own = "path: .\ntrain: images\nval: images\nnames: [car, bus]\n";
  write_file(data + "/data.yaml", own);
  write_file(dir.path() + "/data.yaml", own);

  export_to(data, 100, 0, 0);  // answered No
  ASSERT_EQ(dialogs->count("question"), 1);
  EXPECT_EQ(dialogs->last("question")->title, "Replace data.yaml?");
  EXPECT_TRUE(dialogs->last("question")->text.contains(data + "/data.yaml"));
  EXPECT_EQ(read_file(data + "/data.yaml"), own);
  EXPECT_FALSE(QFileInfo::exists(data + "/train"));
  EXPECT_TRUE(messages().isEmpty());

  export_to(dir.path(), 100, 0, 0);  // the folder above the dataset: asked too
  EXPECT_EQ(dialogs->count("question"), 2);
  EXPECT_EQ(read_file(dir.path() + "/data.yaml"), own);

  dialogs->answers.push_back(true);
  export_to(data, 100, 0, 0);
  EXPECT_EQ(dialogs->count("question"), 3);
  EXPECT_EQ(read_file(data + "/data.yaml"), manifest_for(data, {"car"}));

  // Its own manifest again, or an export folder apart from the dataset: no question.
  export_to(data, 100, 0, 0);
  write_file(out + "/data.yaml", own);
  export_to(out, 100, 0, 0);
  EXPECT_EQ(dialogs->count("question"), 3);
  EXPECT_EQ(read_file(out + "/data.yaml"), manifest_for(out, {"car"}));
}

// Cancelled while reading, the health check says so and nothing else; the
// export button waits meanwhile, and both buttons are back afterwards.
TEST_F(DatasetToolsWindow, HealthCheckCanBeCancelled) {
  AnnotatorTab& tab = *window.tab_workspace;
  // Label files of thousands of overlapping boxes: seconds of work in all.
  QByteArray boxes;
  for (int i = 0; i < 3000; ++i) {
    boxes += QStringLiteral("0 0.5 0.5 %1 0.5\n").arg(0.3 + i * 1e-4, 0, 'f', 6).toUtf8();
  }
  for (int i = 0; i < 100; ++i) add_image(QStringLiteral("img%1.jpg").arg(i), boxes);
  tab.btn_health_check->click();
  EXPECT_EQ(tab.btn_health_check->text(), "Cancel");
  EXPECT_FALSE(tab.btn_split_export->isEnabled());
  ASSERT_TRUE(cancel_after_first_item(tab, tab.progress_dataset_job, tab.btn_health_check));
  EXPECT_EQ(messages(), QStringList{"information|Health Check|Health check cancelled."});
  EXPECT_EQ(tab.btn_health_check->text(), "🩺 Dataset Health Inspector");
  EXPECT_TRUE(tab.btn_split_export->isEnabled());
  EXPECT_TRUE(tab.progress_dataset_job->isHidden());
}

// Cancelled after its first pair, the export says how many images it
// exported: exactly those are in the tree, each with its label, both whole,
// and no data.yaml calls the tree complete.
TEST_F(DatasetToolsWindow, CancelledExportKeepsWholePairsAndWritesNoManifest) {
  AnnotatorTab& tab = *window.tab_workspace;
  for (int i = 0; i < 2000; ++i) {
    const QString name = QStringLiteral("img%1").arg(i, 4, 10, QChar('0'));
    write_file(data + "/" + name + ".jpg", "image bytes of " + name.toUtf8());
    write_file(data + "/" + name + ".txt", kPolygon);
    tab.image_paths << data + "/" + name + ".jpg";
  }
  tab.image_folder = data;
  start_export(out, 70, 20, 10);
  EXPECT_EQ(tab.btn_split_export->text(), "Cancel");
  ASSERT_TRUE(cancel_after_first_item(tab, tab.progress_dataset_job, tab.btn_split_export));
  ASSERT_EQ(messages().size(), 1);
  const QRegularExpressionMatch said =
      QRegularExpression(
          "^information\\|Export Cancelled\\|Cancelled: (\\d+) of 2000 images "
          "exported\\.$")
          .match(messages()[0]);
  ASSERT_TRUE(said.hasMatch()) << messages()[0].toStdString();
  const int exported = said.captured(1).toInt();
  EXPECT_GE(exported, 1);
  EXPECT_LT(exported, 2000);
  ASSERT_TRUE(tab.work().stop(QDeadlineTimer(QDeadlineTimer::Forever)));  // the dropped ones end
  const QStringList images = files_below(out).filter("/images/");
  EXPECT_EQ(images.size(), exported);
  EXPECT_EQ(labels_holding(kBox).size(), exported);
  EXPECT_EQ(files_below(out).size(), 2 * exported) << "no data.yaml, no half-written file";
  for (const QString& image : images) {
    EXPECT_EQ(read_file(out + "/" + image),
              "image bytes of " + QFileInfo(image).baseName().toUtf8());
  }
}

// A labelled picture cut into tiles by the splitter opens in the annotator
// with each tile's shapes under their class names, and the export takes every
// tile's label file as the splitter wrote it.
TEST_F(DatasetToolsWindow, ATiledTreeOpensInTheAnnotatorAndExportsUnchanged) {
  const QString field = dir.path() + "/field";
  const QString tiles = dir.path() + "/tiles";
  write_image(field + "/field.png", 300, 200);
  write_file(field + "/field.txt", "0 0.1 0.1 0.9 0.1 0.9 0.9 0.1 0.9\n1 0.25 0.25 0.2 0.2\n");
  write_file(field + "/classes.txt", "road\ncar\n");
  SplitterTab& splitter = *window.tab_splitter;
  splitter.entry_split_in->setText(field);
  splitter.entry_split_out->setText(tiles);
  splitter.chk_subfolders->setChecked(false);
  splitter.spin_split_parts->setValue(4);
  splitter.combo_grid_mode->setCurrentText("2 Rows x 2 Cols");
  splitter.btn_split->click();
  ASSERT_TRUE(wait_for_job(splitter));
  const QStringList names = {"road", "car"};
  std::map<QString, QByteArray> written;    // tile stem -> its label file
  std::map<QString, QStringList> expected;  // tile stem -> the class names of its lines
  for (int part = 1; part <= 4; ++part) {
    const QString stem = QString("field_part_%1").arg(part);
    written[stem] = read_file(tiles + "/" + stem + ".txt");
    for (const QByteArray& line : written[stem].split('\n')) {
      if (!line.isEmpty()) expected[stem] << names.value(line.split(' ')[0].toInt());
    }
  }
  EXPECT_EQ(expected["field_part_1"], QStringList({"road", "car"}));  // the car is in the first
  EXPECT_EQ(expected["field_part_4"], QStringList({"road"}));

  dialogs->directories.push_back(tiles);
  window.tab_workspace->load_directory();
  AnnotatorTab& annotator = *window.tab_workspace;
  ASSERT_EQ(annotator.image_paths.size(), 4);
  for (int i = 0; i < 4; ++i) {
    if (i > 0) annotator.next_image();
    QStringList shown;
    for (const AnnotationRecord& record : annotator.annotations) shown << record.label;
    const QString stem = QFileInfo(annotator.image_paths[annotator.current_idx]).completeBaseName();
    EXPECT_EQ(shown, expected[stem]) << stem.toStdString();
  }

  export_to(out, 100, 0, 0, 1);  // segmentation: label files as they are
  for (const auto& [stem, bytes] : written) {
    EXPECT_EQ(read_file(out + "/train/labels/" + stem + ".txt"), bytes) << stem.toStdString();
  }
}

TEST_F(DatasetToolsWindow, ExportAlsoWritesCocoAndVocPerPart) {
  add_image("a.png", kPolygon);
  add_image("b.png", kBox);
  add_image("c.png", "0 0.5 0.5 0.2 0.2\n9 0.1 0.1 0.2 0.2\n");
  add_image("d.png", kBox);  // not an image: its labels reach only YOLO
  for (const char* name : {"a.png", "b.png", "c.png"}) write_image(data + "/" + name, 64, 48);
  window.tab_workspace->classes = {"car"};
  start_export(out, 50, 25, 25, 0, true, true);
  ASSERT_TRUE(wait_for_job(*window.tab_workspace));
  ASSERT_EQ(messages().size(), 1);
  for (const char* said :
       {"information|Export Complete|Exported dataset successfully to:",
        "COCO: annotations/instances_train.json, instances_val.json and instances_test.json.",
        "VOC: one XML file per image in <part>/Annotations.",
        "1 label line(s) could not be converted and were left out:\nc.txt: 1 of 2 lines left out: "
        "1 with a class id not in classes.txt",
        "1 image(s) not described there:\nd.png: "}) {
    EXPECT_TRUE(messages()[0].contains(said)) << said << "\n" << messages()[0].toStdString();
  }
  // Each part's files describe that part's images.
  int described = 0;
  for (const char* part : kSplitParts) {
    QStringList images = folder_entries(out + "/" + part + "/images"), from_json, xml;
    images.removeAll("d.png");
    const auto coco = nlohmann::json::parse(
        read_file(out + "/annotations/instances_" + part + ".json").toStdString());
    for (const auto& image : coco["images"])
      from_json << QString::fromStdString(image["file_name"]);
    for (const QString& name : folder_entries(out + "/" + part + "/Annotations"))
      xml << QFileInfo(name).completeBaseName() + ".png";
    from_json.sort();
    EXPECT_EQ(from_json, images) << part;
    EXPECT_EQ(xml, images) << part;
    described += int(images.size());
  }
  EXPECT_EQ(described, 3);
}

TEST_F(DatasetToolsWindow, ExportCocoVocOfTheWholeFolderAsksBeforeReplacing) {
  add_image("a.png", kPolygon);
  add_image("b.png");
  write_image(data + "/a.png", 50, 20);
  window.tab_workspace->classes = {"car"};
  const auto export_both = [&] {
    dialogs->exec_answers.push_back([](QDialog& dialog) {
      auto& choice = dynamic_cast<CocoVocExportDialog&>(dialog);
      QPushButton* ok = choice.buttons->button(QDialogButtonBox::Ok);
      EXPECT_TRUE(choice.chk_coco->isChecked() && !choice.chk_voc->isChecked() && ok->isEnabled());
      choice.chk_coco->setChecked(false);
      EXPECT_FALSE(ok->isEnabled());
      choice.chk_coco->setChecked(true);
      choice.chk_voc->setChecked(true);
      ok->click();
      return choice.result();
    });
    dialogs->directories.push_back(out);
    window.tab_workspace->btn_export_coco_voc->click();
    EXPECT_TRUE(wait_for_job(*window.tab_workspace));
  };
  export_both();
  EXPECT_EQ(messages().join("#").toStdString(),
            ("information|Export COCO / VOC|Exported the annotations of 1 image(s) to:\n" + out +
             "\n\nCOCO: annotations/instances_default.json, 1 shape(s)."
             "\n\nVOC: one XML file per image in Annotations.\n\nVOC holds boxes only: 1 "
             "polygon(s) were written as their bounding boxes.")
                .toStdString());
  const auto coco =
      nlohmann::json::parse(read_file(out + "/annotations/instances_default.json").toStdString());
  EXPECT_EQ(coco["images"][0]["width"], 50);
  EXPECT_TRUE(read_file(out + "/Annotations/a.xml").contains("<name>car</name>"));

  // Files already there are replaced only when the user says so.
  write_file(out + "/Annotations/a.xml", "mine");
  export_both();
  EXPECT_EQ(dialogs->last("question")->title, "Replace annotation files?");
  EXPECT_TRUE(dialogs->last("question")->text.contains("holds 2 of the files"));
  EXPECT_EQ(read_file(out + "/Annotations/a.xml"), "mine");
  EXPECT_EQ(messages().size(), 1);
  dialogs->answers.push_back(true);
  export_both();
  EXPECT_TRUE(read_file(out + "/Annotations/a.xml").contains("<name>car</name>"));
}
