#include "dataset_tools/coco_voc_export.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <nlohmann/json.hpp>

#include "common/background_job.h"
#include "dataset_tools/split_export.h"
#include "support/test_files.h"

using namespace orvane;
using nlohmann::json;

namespace {

const QStringList kClasses = {"car", "person", "dog"};

QString fixed6(double v) { return QString::number(v, 'f', 6); }

// A label text as our writer prints it: every value at six decimals.
QStringList normalised_lines(const QString& text) {
  QStringList lines;
  for (const QString& line : text.split(u'\n', Qt::SkipEmptyParts)) {
    QStringList fields = line.split(u' ', Qt::SkipEmptyParts);
    for (qsizetype i = 1; i < fields.size(); ++i) fields[i] = fixed6(fields[i].toDouble());
    lines << fields.join(u' ');
  }
  return lines;
}

// COCO back to YOLO as the engine's converter does it (class = category_id - 1;
// an empty segmentation gives the box line), per image file name.
std::map<std::string, QStringList> coco_to_yolo(const json& coco) {
  std::map<int, json> images;
  for (const json& image : coco["images"]) images[image["id"].get<int>()] = image;
  std::map<std::string, QStringList> out;
  for (const json& ann : coco["annotations"]) {
    const json& image = images.at(ann["image_id"].get<int>());
    const double w = image["width"], h = image["height"];
    const std::vector<double> b = ann["bbox"];
    QStringList fields{QString::number(ann["category_id"].get<int>() - 1)};
    if (ann["segmentation"].empty()) {
      fields << fixed6((b[0] + b[2] / 2) / w) << fixed6((b[1] + b[3] / 2) / h) << fixed6(b[2] / w)
             << fixed6(b[3] / h);
    } else {
      const std::vector<double> ring = ann["segmentation"][0];
      for (size_t i = 0; i < ring.size(); ++i) fields << fixed6(ring[i] / (i % 2 ? h : w));
    }
    out[image["file_name"]] << fields.join(u' ');
  }
  return out;
}

// VOC back to YOLO box lines, class ids by name, pixels counted from 1 as the engine reads them.
QStringList voc_to_yolo(const QByteArray& xml_bytes) {
  QXmlStreamReader xml(xml_bytes);
  QStringList lines;
  double w = 0, h = 0, box[4] = {};
  QString name;
  while (!xml.atEnd()) {
    if (xml.readNext() != QXmlStreamReader::StartElement) continue;
    const QString tag = xml.name().toString();
    if (tag == "annotation" || tag == "size" || tag == "object" || tag == "bndbox") continue;
    const QString text = xml.readElementText();
    if (tag == "width") w = text.toDouble();
    if (tag == "height") h = text.toDouble();
    if (tag == "name") name = text;
    const int corner = QStringList{"xmin", "ymin", "xmax", "ymax"}.indexOf(tag);
    if (corner >= 0) box[corner] = text.toDouble();
    if (tag == "ymax") {
      lines << QStringLiteral("%1 %2 %3 %4 %5")
                   .arg(kClasses.indexOf(name))
                   .arg(fixed6((box[0] + box[2] - 2) / 2 / w),
                        fixed6((box[1] + box[3] - 2) / 2 / h), fixed6((box[2] - box[0]) / w),
                        fixed6((box[3] - box[1]) / h));
    }
  }
  EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
  return lines;
}

struct RoundTrip {
  const char* label;  // the label file
  int width, height;
  const char* kept;  // the lines that convert, in order ("" for none)
  int left_out;
  int polygons_as_boxes;
};

// Lines of every kind, image sizes odd and large, classes out of order, and the
// lines that cannot be converted. (A polygon's box centre exactly halfway
// between two six-decimal values rounds either way, by the path it took: none
// here.)
const RoundTrip kRoundTrips[] = {
    {"0 0.5 0.5 0.2 0.4\n", 640, 480, "0 0.5 0.5 0.2 0.4", 0, 0},
    {"1 0.1 0.2 0.3 0.2 0.3 0.4 0.1 0.4\n", 640, 480, "1 0.1 0.2 0.3 0.2 0.3 0.4 0.1 0.4", 0, 0},
    {"2 0.123456 0.654321 0.999998 0.000002 0.5 1\r\n0 0 0 1 1 0.333333 0.777777", 4000, 3000,
     "2 0.123456 0.654321 0.999998 0.000002 0.5 1\n0 0 0 1 1 0.333333 0.777777", 0, 2},
    {"2 0.25 0.75 0.5 0.5\n1 0.1 0.1 0.9 0.1 0.5 0.9\n0 0.3 0.3 0.1 0.1\n", 1, 1,
     "2 0.25 0.75 0.5 0.5\n1 0.1 0.1 0.9 0.1 0.5 0.9\n0 0.3 0.3 0.1 0.1", 0, 1},
    {"7 0.1 0.1 0.2 0.2\n0 12 40 50 60\n0 0.5 0.5\nx 0.1 0.2 0.3\n0 0.5 0.5 0 0.2\n"
     "1 0.1 0.1 0.2 0.2 0.3 0.3\n0 0.4 0.4 0.2 0.2\n",
     333, 777, "1 0.1 0.1 0.2 0.2 0.3 0.3\n0 0.4 0.4 0.2 0.2", 5, 1},
};

}  // namespace

TEST(CocoVocExport, RoundTripsKeepLinesAndClassOrder) {
  CocoWriter coco(kClasses);
  ConversionTally tally;
  std::map<std::string, QStringList> expected;
  for (size_t i = 0; i < std::size(kRoundTrips); ++i) {
    const RoundTrip& c = kRoundTrips[i];
    SCOPED_TRACE(c.label);
    ImageShapes image;
    image.file_name = QStringLiteral("img%1.jpg").arg(i);
    image.size = QSize(c.width, c.height);
    ConversionTally one;
    image = shapes_for_export(image, QByteArray(c.label), 3, QStringLiteral("img.txt"), one);
    EXPECT_EQ(one.lines_left_out, c.left_out);
    EXPECT_EQ(one.notes.size(), c.left_out > 0 ? 1 : 0);
    if (c.left_out > 0) {
      EXPECT_TRUE(one.notes[0].startsWith(QStringLiteral("img.txt: %1 of 7 lines").arg(c.left_out)))
          << one.notes[0].toStdString();
    }
    coco.add(image);
    expected[image.file_name.toStdString()] = normalised_lines(c.kept);

    int polygons_as_boxes = 0;
    const QByteArray voc = voc_xml(image, kClasses, "Annotations", polygons_as_boxes);
    EXPECT_EQ(polygons_as_boxes, c.polygons_as_boxes);
    const BoxConversion boxes = convert_label_to_boxes(c.kept);
    EXPECT_EQ(voc_to_yolo(voc).join(u'\n').toStdString(),
              normalised_lines(QString::fromStdString(boxes.text)).join(u'\n').toStdString());
  }
  const json file = json::parse(coco.json().toStdString());
  std::erase_if(expected, [](const auto& entry) { return entry.second.isEmpty(); });
  EXPECT_EQ(coco_to_yolo(file), expected);

  // Ids from 1, categories in classes.txt order, sizes of the upright images.
  ASSERT_EQ(file["categories"].size(), 3u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(file["categories"][i]["id"], i + 1);
    EXPECT_EQ(file["categories"][i]["name"], kClasses[i].toStdString());
  }
  EXPECT_EQ(file["images"][0]["id"], 1);
  EXPECT_EQ(file["images"][2]["width"], 4000);
  EXPECT_EQ(file["images"][2]["height"], 3000);
  EXPECT_EQ(file["annotations"][0]["id"], 1);
  for (const json& ann : file["annotations"]) EXPECT_EQ(ann["iscrowd"], 0);
  // Areas: the box 128 x 192 px, the triangle of the 1 x 1 image.
  EXPECT_DOUBLE_EQ(file["annotations"][0]["area"].get<double>(), 128.0 * 192.0);
  EXPECT_NEAR(file["annotations"][5]["area"].get<double>(), 0.5 * 0.8 * 0.8, 1e-12);
}

// The engine's own converter reads our file into our lines: the stand-in here,
// the real engine where one is installed. Images the files cannot describe
// are named; a cancelled job writes no COCO file.
TEST(CocoVocExport, EngineConverterReadsOurFile) {
  QTemporaryDir dir;
  const QString images = dir.filePath("images");
  QStringList label_texts = {"0 0.5 0.5 0.2 0.4\n2 0.05 0.1 0.3 0.1 0.2 0.6\n",
                             "1 0.1 0.2 0.3 0.2 0.3 0.4 0.1 0.4\n0 0.0123 0.5 0.0246 0.3\n"};
  std::vector<AnnotationSource> sources;
  for (int i = 0; i < label_texts.size(); ++i) {
    const QString stem = images + QStringLiteral("/p%1").arg(i);
    write_image(stem + ".png", 320 + i * 13, 200 + i * 7);
    write_file(stem + ".txt", label_texts[i].toUtf8());
    sources.push_back({stem + ".png", stem + ".txt"});
  }
  write_file(images + "/bad.png", "not an image");
  write_image(images + "/p0.jpg", 10, 10);
  for (const char* name : {"bad.png", "p0.jpg"})
    sources.push_back({images + "/" + name, images + "/p0.txt"});
  const AnnotationTargets targets{dir.filePath("annotations/instances_val.json"),
                                  dir.filePath("Annotations")};
  JobControl control;
  control.call_off();
  EXPECT_TRUE(write_annotation_files(sources, targets, kClasses, &control).cancelled);
  EXPECT_FALSE(QFileInfo::exists(targets.coco_file));

  const AnnotationOutcome outcome = write_annotation_files(sources, targets, kClasses);
  ASSERT_TRUE(outcome.ok) << outcome.error.toStdString();
  EXPECT_EQ(outcome.tally.images, 2);
  EXPECT_EQ(outcome.tally.shapes, 4);
  ASSERT_EQ(outcome.failures.size(), 2);
  EXPECT_TRUE(outcome.failures[0].startsWith("bad.png: "));
  EXPECT_EQ(outcome.failures[1], "p0.jpg: p0.xml is another image's VOC file");
  EXPECT_EQ(folder_entries(dir.filePath("Annotations")), (QStringList{"p0.xml", "p1.xml"}));

  for (const QString& pythonpath : {QString(ORVANE_FIXTURES_DIR), QString()}) {
    SCOPED_TRACE(pythonpath.isEmpty() ? "installed engine" : "stand-in");
    QProcess python;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("PYTHONPATH", pythonpath);
    python.setProcessEnvironment(env);
    const QString save = dir.filePath(pythonpath.isEmpty() ? "engine" : "standin");
    python.start("python3", {"-c",
                             "import sys\nfrom ultralytics.data.converter import convert_coco\n"
                             "convert_coco(sys.argv[1], sys.argv[2], use_segments=True, "
                             "cls91to80=False)",
                             dir.filePath("annotations"), save});
    ASSERT_TRUE(python.waitForFinished(120000));
    const QByteArray err = python.readAllStandardError();
    if (pythonpath.isEmpty() && err.contains("No module named")) continue;  // no engine here
    ASSERT_EQ(python.exitCode(), 0) << err.toStdString();
    for (int i = 0; i < label_texts.size(); ++i) {
      EXPECT_EQ(normalised_lines(read_file(save + QStringLiteral("/labels/val/p%1.txt").arg(i))),
                normalised_lines(label_texts[i]));
    }
  }
}
