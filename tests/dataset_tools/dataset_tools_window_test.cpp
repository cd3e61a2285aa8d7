// The dataset tools through the real window, with scripted dialogs and real
// files in a temporary folder.
#include <gtest/gtest.h>
#include <yaml-cpp/yaml.h>

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QScrollArea>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <functional>

#include "app/app_core.h"
#include "dataset_tools/analytics_dialog.h"
#include "dataset_tools/split_config_dialog.h"
#include "support/scripted_dialogs.h"
#include "support/test_files.h"

namespace {

const QByteArray kPolygon = "0 0.1 0.2 0.3 0.4 0.2 0.6\n";

// An exec answer for the split dialog: sets the percentages (and format) as a
// user would, then presses OK.
std::function<int(QDialog&)> split_answer(int train, int val, int test, int format = 0) {
  return [=](QDialog& dialog) {
    auto& config = dynamic_cast<SplitConfigDialog&>(dialog);
    config.ts->setValue(train);
    config.vs->setValue(val);
    config.tes->setValue(test);
    config.fc->setCurrentIndex(format);
    config.validate();
    return config.result();
  };
}

class DatasetToolsWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    auto scripted = std::make_unique<ScriptedDialogs>();
    dialogs = scripted.get();
    window.set_dialogs(std::move(scripted));
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
    window.image_paths.append(path);
    window.image_paths.sort();
    window.image_folder = data;
  }

  int count_in(const QString& part) const {
    return folder_entries(out + "/" + part + "/images").size();
  }

  OrvaneStudio window;
  ScriptedDialogs* dialogs = nullptr;
  QTemporaryDir dir;
  QString data, out;
};

}  // namespace

// --- health check ---

TEST_F(DatasetToolsWindow, HealthCheckNeedsAFolder) {
  window.run_health_check();
  ASSERT_EQ(dialogs->calls.size(), 1u);
  EXPECT_EQ(dialogs->calls[0].kind, "information");
  EXPECT_EQ(dialogs->calls[0].title, "Health Check");
  EXPECT_EQ(dialogs->calls[0].text, "Please load a dataset folder first.");
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

  window.run_health_check();
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
  ASSERT_EQ(dialogs->messages().size(), 1u);
  const DialogCall box = dialogs->messages()[0];
  EXPECT_EQ(box.kind, "information");
  EXPECT_EQ(box.title, "Health Check");
  EXPECT_EQ(box.text,
            "🩺 Dataset QA Health Report:\n\nUnannotated Images: 4\nOrphaned Label Files: 2\n"
            "Overlapping Polygons/Boxes (Duplicates): 3\n"
            "\nMissing Annotations (Sample):\n['b.png', 'img10.jpg', 'q.JPG']\n"
            "\nHigh IoU Overlaps:\n['a.txt (IoU > 90%)']");
}

TEST_F(DatasetToolsWindow, HealthCheckOfAVanishedFolder) {
  add_image("a.jpg", kPolygon);
  ASSERT_TRUE(QDir(data).removeRecursively());
  window.run_health_check();
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
  ASSERT_EQ(dialogs->messages().size(), 1u);
  EXPECT_EQ(dialogs->messages()[0].kind, "critical");
  EXPECT_EQ(dialogs->messages()[0].title, "Error");
  EXPECT_TRUE(dialogs->messages()[0].text.contains(data));
}

// --- analytics ---

TEST_F(DatasetToolsWindow, AnalyticsMessages) {
  window.show_dataset_analytics();
  add_image("a.jpg");
  add_image("b.jpg", "7 0.1 0.1\nx 0.1 0.1\n");
  window.classes = {"car"};
  window.show_dataset_analytics();
  const auto messages = dialogs->messages();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].title, "Analytics");
  EXPECT_EQ(messages[0].text, "Load a dataset first.");
  EXPECT_EQ(messages[1].title, "Analytics");
  EXPECT_EQ(messages[1].text, "No objects annotated yet.");
  EXPECT_EQ(dialogs->count("exec"), 0);
}

TEST_F(DatasetToolsWindow, AnalyticsBarsSortedByCountWithStableTies) {
  window.classes = {"a", "b", "c", "d"};
  add_image("1.jpg", "2 0 0\n0 0 0\n0 0 0\n7 0 0\n");
  add_image("2.jpg", QByteArray("1 0 0\n").repeated(12) + "0 0 0\n0 0 0\n0 0 0\n");
  add_image("3.jpg", "2 0 0\n2 0 0\n2 0 0\n2 0 0\n");
  add_image("4.jpg");

  struct Row {
    QString text;
    int value, maximum;
  };
  std::vector<Row> rows;
  dialogs->exec_answers.push_back([&](QDialog& dialog) {
    auto& bars = dynamic_cast<AnalyticsDialog&>(dialog);
    EXPECT_EQ(dialog.windowTitle(), "Dataset Class Distribution");
    EXPECT_EQ(dialog.minimumSize(), QSize(450, 300));
    EXPECT_TRUE(bars.scroll_area()->widgetResizable());
    QStringList captions;
    for (QLabel* label : dialog.findChildren<QLabel*>()) captions << label->text();
    EXPECT_TRUE(captions.contains("Current Annotation Totals:"));
    for (int i = 0; i < bars.row_count(); ++i) {
      EXPECT_EQ(bars.row_label(i)->width(), 120);
      EXPECT_EQ(bars.row_bar(i)->height(), 15);
      EXPECT_FALSE(bars.row_bar(i)->isTextVisible());
      EXPECT_EQ(bars.row_bar(i)->minimum(), 0);
      rows.push_back(
          {bars.row_label(i)->text(), bars.row_bar(i)->value(), bars.row_bar(i)->maximum()});
    }
    return int(QDialog::Accepted);
  });
  window.show_dataset_analytics();
  ASSERT_EQ(rows.size(), 3u);
  // a and c both have 5 objects: c (the higher id) was met first.
  EXPECT_EQ(rows[0].text, "b (12)");
  EXPECT_EQ(rows[1].text, "c (5)");
  EXPECT_EQ(rows[2].text, "a (5)");
  for (const Row& row : rows) EXPECT_EQ(row.maximum, 12);
  EXPECT_EQ(rows[0].value, 12);
  EXPECT_EQ(rows[2].value, 5);
}

// --- split dialog ---

TEST_F(DatasetToolsWindow, SplitDialogDefaultsAndRefusal) {
  SplitConfigDialog config(window.dialogs(), &window);
  EXPECT_EQ(config.windowTitle(), "Dataset Train/Val/Test Splitter");
  EXPECT_EQ(config.size(), QSize(320, 220));
  EXPECT_EQ((std::array{config.ts->value(), config.vs->value(), config.tes->value()}),
            (std::array{70, 20, 10}));
  for (QSpinBox* spin : {config.ts, config.vs, config.tes}) {
    EXPECT_EQ(spin->minimum(), 0);
    EXPECT_EQ(spin->maximum(), 100);
  }
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
  EXPECT_EQ(config.get_format(), "Detection");
  config.fc->setCurrentIndex(1);
  EXPECT_EQ(config.get_format(), "Segmentation");

  QSignalSpy finished(&config, &QDialog::finished);
  config.ts->setValue(50);
  config.vs->setValue(30);
  config.tes->setValue(30);
  config.validate();
  EXPECT_EQ(finished.count(), 0);
  ASSERT_NE(dialogs->last("warning"), nullptr);
  EXPECT_EQ(dialogs->last("warning")->title, "Invalid");
  EXPECT_EQ(dialogs->last("warning")->text, "Must total 100%.");

  config.ts->setValue(40);
  config.validate();
  EXPECT_EQ(finished.count(), 1);
  EXPECT_EQ(config.result(), QDialog::Accepted);
  EXPECT_EQ(config.get_ratios(), (std::array{0.4, 0.3, 0.3}));
}

// --- export ---

TEST_F(DatasetToolsWindow, ExportCancelPathsWriteNothing) {
  window.export_and_split_dataset();  // no images: silent
  EXPECT_TRUE(dialogs->calls.empty());

  add_image("a.jpg", kPolygon);
  window.export_and_split_dataset();  // dialog cancelled
  EXPECT_EQ(dialogs->count("directory"), 0);

  dialogs->exec_answers.push_back(split_answer(70, 20, 10));
  window.export_and_split_dataset();  // no folder chosen
  EXPECT_EQ(dialogs->count("directory"), 1);
  EXPECT_EQ(dialogs->last("directory")->title, "Select Output Directory");

  window.image_paths = {data + "/b.jpg"};
  write_file(data + "/b.jpg", "x");
  dialogs->exec_answers.push_back(split_answer(70, 20, 10));
  dialogs->directories.push_back(out);
  window.export_and_split_dataset();  // nothing annotated
  ASSERT_EQ(dialogs->messages().size(), 1u);
  EXPECT_EQ(dialogs->messages()[0].kind, "warning");
  EXPECT_EQ(dialogs->messages()[0].title, "No Annotations");
  EXPECT_EQ(dialogs->messages()[0].text, "No annotated files found to split.");
  EXPECT_FALSE(QFileInfo::exists(out));
}

TEST_F(DatasetToolsWindow, ExportWithDefaults) {
  for (int i = 0; i < 10; ++i) add_image(QStringLiteral("img%1.jpg").arg(i), kPolygon);
  add_image("plain.jpg");
  window.classes = {"car", "person"};
  dialogs->exec_answers.push_back(split_answer(70, 20, 10));
  dialogs->directories.push_back(out);
  window.export_and_split_dataset();

  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
  ASSERT_EQ(dialogs->messages().size(), 1u);
  EXPECT_EQ(dialogs->messages()[0].title, "Export Complete");
  EXPECT_EQ(dialogs->messages()[0].text, "Exported dataset successfully to:\n" + out);
  EXPECT_EQ((std::array{count_in("train"), count_in("val"), count_in("test")}),
            (std::array{7, 2, 1}));
  QStringList exported;
  for (const char* part : {"train", "val", "test"}) {
    for (const QString& name : folder_entries(out + "/" + part + "/labels")) {
      EXPECT_EQ(read_file(out + "/" + part + "/labels/" + name),
                "0 0.200000 0.400000 0.200000 0.400000\n");
    }
    exported += folder_entries(out + "/" + part + "/images");
  }
  exported.sort();
  EXPECT_EQ(exported.size(), 10);
  EXPECT_FALSE(exported.contains("plain.jpg"));
  EXPECT_EQ(read_file(out + "/data.yaml"),
            "path: " + out.toUtf8() +
                "\ntrain: train/images\nval: val/images\ntest: test/images\n\nnames:\n"
                "  0: car\n  1: person\n");
}

TEST_F(DatasetToolsWindow, ExportAfterARefusedTotalAndOtherPercentages) {
  for (int i = 0; i < 10; ++i) add_image(QStringLiteral("img%1.jpg").arg(i), kPolygon);
  dialogs->exec_answers.push_back([](QDialog& dialog) {
    auto& config = dynamic_cast<SplitConfigDialog&>(dialog);
    config.ts->setValue(50);
    config.vs->setValue(30);
    config.tes->setValue(30);
    config.validate();
    EXPECT_NE(config.result(), QDialog::Accepted);
    config.ts->setValue(34);
    config.vs->setValue(33);
    config.tes->setValue(33);
    config.fc->setCurrentIndex(1);
    config.validate();
    return config.result();
  });
  dialogs->directories.push_back(out);
  window.export_and_split_dataset();
  EXPECT_EQ(dialogs->calls[1].title, "Invalid");
  EXPECT_EQ(dialogs->calls[1].text, "Must total 100%.");
  EXPECT_EQ(dialogs->last("information")->title, "Export Complete");
  EXPECT_EQ((std::array{count_in("train"), count_in("val"), count_in("test")}),
            (std::array{3, 3, 4}));
  // Segmentation: labels copied as they are.
  const QString label = out + "/test/labels/" + folder_entries(out + "/test/labels").first();
  EXPECT_EQ(read_file(label), kPolygon);
}

TEST_F(DatasetToolsWindow, ReExportLeavesEachImageInOnePart) {
  for (int i = 0; i < 4; ++i) add_image(QStringLiteral("img%1.jpg").arg(i), kPolygon);
  write_file(out + "/val/images/unrelated.jpg", "keep");
  dialogs->exec_answers.push_back(split_answer(100, 0, 0));
  dialogs->exec_answers.push_back(split_answer(0, 0, 100));
  dialogs->directories = {out, out};
  window.export_and_split_dataset();
  EXPECT_EQ(count_in("train"), 4);
  window.export_and_split_dataset();
  EXPECT_EQ(folder_entries(out + "/train/images"), QStringList());
  EXPECT_EQ(folder_entries(out + "/train/labels"), QStringList());
  EXPECT_EQ(count_in("test"), 4);
  EXPECT_EQ(folder_entries(out + "/val/images"), QStringList{"unrelated.jpg"});
}

TEST_F(DatasetToolsWindow, ExportFailuresAreReported) {
  add_image("a.jpg", kPolygon);
  add_image("b.jpg", kPolygon);
  // Where an image must go there is a folder: not writable even for root.
  for (const char* part : {"train", "val", "test"})
    QDir().mkpath(out + "/" + part + "/images/b.jpg");
  dialogs->exec_answers.push_back(split_answer(50, 50, 0));
  dialogs->directories.push_back(out);
  window.export_and_split_dataset();
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
  ASSERT_EQ(dialogs->messages().size(), 1u);
  EXPECT_EQ(dialogs->messages()[0].kind, "critical");
  EXPECT_EQ(dialogs->messages()[0].title, "Error");
  EXPECT_TRUE(dialogs->messages()[0].text.contains("/images/b.jpg"));
  EXPECT_TRUE(dialogs->messages()[0].text.contains("Is a directory"));
  EXPECT_FALSE(QFileInfo::exists(out + "/data.yaml"));

  // An output folder below a regular file cannot be created.
  write_file(dir.path() + "/file", "x");
  dialogs->exec_answers.push_back(split_answer(50, 50, 0));
  dialogs->directories.push_back(dir.path() + "/file/out");
  window.export_and_split_dataset();
  ASSERT_EQ(dialogs->messages().size(), 2u);
  EXPECT_EQ(dialogs->messages()[1].title, "Error");
  EXPECT_TRUE(dialogs->messages()[1].text.contains(dir.path() + "/file/out"));
  EXPECT_EQ(dialogs->count("information"), 0);
}

TEST_F(DatasetToolsWindow, ExportInsideTheDatasetFolderCountsLeftOutLines) {
  add_image("a.jpg", kPolygon + "0 0.5\n\n1 x y\n");
  add_image("b.jpg", "1 0.5 0.5 0.2 0.2\n");
  window.classes = {"car: red", "  person", "yes", "Straße"};
  const QString inside = data + "/export";
  dialogs->exec_answers.push_back(split_answer(100, 0, 0));
  dialogs->directories.push_back(inside);
  window.export_and_split_dataset();
  ASSERT_EQ(dialogs->messages().size(), 1u);
  EXPECT_EQ(dialogs->messages()[0].text,
            "Exported dataset successfully to:\n" + inside +
                "\n\n2 label lines could not be converted and were left out.");
  EXPECT_EQ(read_file(inside + "/train/labels/a.txt"), "0 0.200000 0.400000 0.200000 0.400000\n");
  EXPECT_EQ(read_file(inside + "/train/labels/b.txt"), "1 0.500000 0.500000 0.200000 0.200000\n");
  EXPECT_EQ(read_file(data + "/a.jpg"), "image bytes of a.jpg");

  const YAML::Node manifest = YAML::LoadFile((inside + "/data.yaml").toStdString());
  EXPECT_EQ(manifest["path"].as<std::string>(), inside.toStdString());
  for (int i = 0; i < window.classes.size(); ++i) {
    EXPECT_EQ(QString::fromStdString(manifest["names"][i].as<std::string>()), window.classes[i]);
  }
  EXPECT_EQ(manifest["names"][2].Tag(), "!");  // read as text, not as true
}
