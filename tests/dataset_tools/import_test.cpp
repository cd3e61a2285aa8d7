// The COCO and VOC import: conversions end to end through real files, and
// bad sources refused with nothing written.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <array>
#include <map>
#include <nlohmann/json.hpp>

#include "dataset_tools/coco_import.h"
#include "dataset_tools/coco_voc_export.h"
#include "dataset_tools/dataset_import.h"
#include "fileio/file_read.h"
#include "support/test_files.h"

using namespace orvane;

namespace {

struct Image {
  const char* name;
  int width;  // as stored
  int height;
  int orientation = 1;  // EXIF, for a JPEG
};

// The JPEG at `path` given an EXIF block that holds only the orientation tag.
void add_exif_orientation(const QString& path, int orientation) {
  const QByteArray plain = read_file(path);
  QByteArray tiff("II*\0\x08\0\0\0\x01\0\x12\x01\x03\0\x01\0\0\0", 18);
  tiff += char(orientation);
  tiff += QByteArray(7, '\0');
  const QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
  const QByteArray app1 = QByteArray("\xFF\xE1\0", 3) + char(payload.size() + 2);
  write_file(path, plain.left(2) + app1 + payload + plain.mid(2));
}

// A COCO file with one image "a.png" of `w` × `h` and the given annotations;
// categories dog (7) and cat (3), in that order.
std::string coco(const std::string& annotations, int w = 100, int h = 200,
                 const char* name = "a.png") {
  return R"({"images":[{"id":1,"file_name":")" + std::string(name) + R"(","width":)" +
         std::to_string(w) + R"(,"height":)" + std::to_string(h) +
         R"(}],"categories":[{"id":7,"name":"dog"},{"id":3,"name":"cat"}],"annotations":[)" +
         annotations + "]}";
}

std::string voc(const std::string& objects, const char* filename = "a.png") {
  return std::string("<annotation><filename>") + filename +
         "</filename><size><width>100</width><height>200</height></size>" + objects +
         "</annotation>";
}

std::string voc_object(const char* name, const char* box, int difficult = 0, int truncated = 0) {
  return std::string("<object><name>") + name + "</name><difficult>" + std::to_string(difficult) +
         "</difficult><truncated>" + std::to_string(truncated) + "</truncated><bndbox>" + box +
         "</bndbox></object>";
}

struct ImportRun {
  QTemporaryDir dir;
  ImportSettings settings;
  ImportReport report;
  QString images() const { return dir.filePath(QStringLiteral("images")); }
};

// Writes the images and the source (a COCO file, or VOC files by name), runs
// the import into the images folder.
void run_import(ImportRun& run, ImportSource kind, const std::map<std::string, std::string>& source,
                const std::vector<Image>& images) {
  for (const Image& image : images) {
    const QString path = QDir(run.images()).filePath(QString::fromUtf8(image.name));
    write_image(path, image.width, image.height);
    if (image.orientation != 1) add_exif_orientation(path, image.orientation);
  }
  const QString src = run.dir.filePath(QStringLiteral("source"));
  for (const auto& [name, text] : source) {
    write_file(QDir(src).filePath(QString::fromStdString(name)), QByteArray::fromStdString(text));
  }
  run.settings.source = kind;
  run.settings.source_path =
      kind == ImportSource::kCoco ? QDir(src).filePath(QStringLiteral("coco.json")) : src;
  run.settings.images_folder = run.images();
  if (run.settings.output_folder.isEmpty()) run.settings.output_folder = run.images();
  run.report = import_dataset(run.settings);
}

}  // namespace

TEST(DatasetImport, Conversions) {
  const std::string square_a = "[0,0,2,0,2,2,0,2]", square_b = "[4,0,6,0,6,2,4,2]";
  struct Case {
    const char* what;
    ImportSource kind;
    std::map<std::string, std::string> source;
    std::vector<Image> images;
    const char* label;          // a.txt
    std::array<int, 6> counts;  // shapes, merged, zero area, outside, excluded, unknown images
    const char* classes = "dog\ncat\n";  // written with the first label file
    bool join = true;
    bool difficult = true;
  };
  const Case cases[] = {
      {"box as four corners, class by name",
       ImportSource::kCoco,
       {{"coco.json", coco(R"({"image_id":1,"category_id":3,"bbox":[10,20,30,40]})")}},
       {{"a.png", 100, 200}},
       "1 0.100000 0.100000 0.400000 0.100000 0.400000 0.300000 0.100000 0.300000\n",
       {1, 0, 0, 0, 0, 0}},
      {"polygon wins over its box; clamped to the image",
       ImportSource::kCoco,
       {{"coco.json",
         coco(
             R"({"image_id":1,"category_id":7,"bbox":[1,1,1,1],"segmentation":[[50,100,150,100,50,300]]})")}},
       {{"a.png", 100, 200}},
       "0 0.500000 0.500000 1.000000 0.500000 0.500000 1.000000\n",
       {1, 0, 0, 0, 0, 0}},
      {"two polygons joined at their nearest points",
       ImportSource::kCoco,
       {{"coco.json", coco(R"({"image_id":1,"category_id":7,"segmentation":[)" + square_a + "," +
                               square_b + "]}",
                           10, 10)}},
       {{"a.png", 10, 10}},
       "0 0.200000 0.000000 0.200000 0.200000 0.000000 0.200000 0.000000 0.000000 0.200000 "
       "0.000000 0.400000 0.000000 0.600000 0.000000 0.600000 0.200000 0.400000 0.200000 "
       "0.400000 0.000000\n",
       {1, 1, 0, 0, 0, 0}},
      {"three polygons: the middle one walked there and back",
       ImportSource::kCoco,
       {{"coco.json", coco(R"({"image_id":1,"category_id":7,"segmentation":[[0,0,1,0,1,1,0,1],)"
                           R"([3,0,4,0,4,1,3,1],[6,0,7,0,7,1,6,1]]})",
                           10, 10)}},
       {{"a.png", 10, 10}},
       "0 0.100000 0.000000 0.100000 0.100000 0.000000 0.100000 0.000000 0.000000 0.100000 "
       "0.000000 0.300000 0.000000 0.400000 0.000000 0.600000 0.000000 0.700000 0.000000 "
       "0.700000 0.100000 0.600000 0.100000 0.600000 0.000000 0.400000 0.000000 0.400000 "
       "0.100000 0.300000 0.100000 0.300000 0.000000\n",
       {1, 1, 0, 0, 0, 0}},
      {"two polygons as separate lines by choice",
       ImportSource::kCoco,
       {{"coco.json", coco(R"({"image_id":1,"category_id":7,"segmentation":[)" + square_a + "," +
                               square_b + "]}",
                           10, 10)}},
       {{"a.png", 10, 10}},
       "0 0.000000 0.000000 0.200000 0.000000 0.200000 0.200000 0.000000 0.200000\n"
       "0 0.400000 0.000000 0.600000 0.000000 0.600000 0.200000 0.400000 0.200000\n",
       {2, 0, 0, 0, 0, 0},
       "dog\ncat\n",
       false,
       true},
      {"RLE counts: the mask's outer contour",
       ImportSource::kCoco,
       {{"coco.json", coco(R"({"image_id":1,"category_id":3,"iscrowd":1,)"
                           R"("segmentation":{"size":[4,4],"counts":[5,2,2,2,5]}})",
                           4, 4)}},
       {{"a.png", 4, 4}},
       "1 0.375000 0.375000 0.375000 0.625000 0.625000 0.625000 0.625000 0.375000\n",
       {1, 0, 0, 0, 0, 0}},
      {"compressed RLE string, same mask",
       ImportSource::kCoco,
       {{"coco.json", coco(R"({"image_id":1,"category_id":3,"iscrowd":1,)"
                           R"("segmentation":{"size":[4,4],"counts":"52203"}})",
                           4, 4)}},
       {{"a.png", 4, 4}},
       "1 0.375000 0.375000 0.375000 0.625000 0.625000 0.625000 0.625000 0.375000\n",
       {1, 0, 0, 0, 0, 0}},
      {"zero area and outside skipped",
       ImportSource::kCoco,
       {{"coco.json", coco(R"({"image_id":1,"category_id":3,"bbox":[10,20,0,40]},)"
                           R"({"image_id":1,"category_id":3,"bbox":[100,20,5,5]},)"
                           R"({"image_id":1,"category_id":3,"bbox":[0,0,50,100]})")}},
       {{"a.png", 100, 200}},
       "1 0.000000 0.000000 0.500000 0.000000 0.500000 0.500000 0.000000 0.500000\n",
       {1, 0, 1, 1, 0, 0}},
      {"a JPEG turned by EXIF is measured upright",
       ImportSource::kCoco,
       {{"coco.json",
         coco(R"({"image_id":1,"category_id":3,"bbox":[10,20,30,40]})", 100, 200, "a.jpg")}},
       {{"a.jpg", 200, 100, 6}},
       "1 0.100000 0.100000 0.400000 0.100000 0.400000 0.300000 0.100000 0.300000\n",
       {1, 0, 0, 0, 0, 0}},
      {"size in the JSON differs from the image: nothing guessed",
       ImportSource::kCoco,
       {{"coco.json", coco(R"({"image_id":1,"category_id":3,"bbox":[10,20,30,40]})")}},
       {{"a.png", 200, 100}},
       nullptr,
       {0, 0, 0, 0, 0, 0}},
      {"image missing from the folder",
       ImportSource::kCoco,
       {{"coco.json", coco(R"({"image_id":1,"category_id":3,"bbox":[10,20,30,40]})")}},
       {{"b.png", 100, 200}},
       nullptr,
       {0, 0, 0, 0, 0, 1}},
      {"VOC box: 1-based, as the engine reads it",
       ImportSource::kVoc,
       {{"a.xml",
         voc(voc_object("cat", "<xmin>11</xmin><ymin>21</ymin><xmax>41</xmax><ymax>61</ymax>"))}},
       {{"a.png", 100, 200}},
       "0 0.100000 0.100000 0.400000 0.100000 0.400000 0.300000 0.100000 0.300000\n",
       {1, 0, 0, 0, 0, 0},
       "cat\n"},
      {"VOC difficult left out by choice; image found by the XML's name",
       ImportSource::kVoc,
       {{"a.xml",
         voc(voc_object("cat", "<xmin>11</xmin><ymin>21</ymin><xmax>41</xmax><ymax>61</ymax>", 1) +
                 voc_object("dog", "<xmin>1</xmin><ymin>1</ymin><xmax>51</xmax><ymax>101</ymax>"),
             "")}},
       {{"a.png", 100, 200}},
       "1 0.000000 0.000000 0.500000 0.000000 0.500000 0.500000 0.000000 0.500000\n",
       {1, 0, 0, 0, 1, 0},
       "cat\ndog\n",
       true,
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ImportRun run;
    run.settings.shapes.join_polygons = c.join;
    run.settings.voc.difficult = c.difficult;
    run_import(run, c.kind, c.source, c.images);
    const ImportReport& r = run.report;
    ASSERT_TRUE(r.error.isEmpty()) << r.error.toStdString();
    EXPECT_TRUE(r.failures.isEmpty()) << r.failures.join('\n').toStdString();
    const QString label = QDir(run.images()).filePath(QStringLiteral("a.txt"));
    EXPECT_EQ(read_file(label).toStdString(), c.label ? c.label : "");
    EXPECT_EQ(r.labelled, c.label ? 1 : 0);
    EXPECT_EQ(
        (std::array{r.shapes, r.merged, r.zero_area, r.outside, r.excluded, r.unknown_images}),
        c.counts);
    EXPECT_EQ(r.size_differs.size(), c.images[0].width == 200 && c.images[0].orientation == 1);
    const QByteArray classes =
        read_file(QDir(run.images()).filePath(QStringLiteral("classes.txt")));
    EXPECT_EQ(classes.toStdString(), c.label ? c.classes : "");
  }
}

TEST(DatasetImport, BadSourcesWriteNothing) {
  const std::string box = R"({"image_id":1,"category_id":3,"bbox":[10,20,30,40]})";
  const std::string good_voc =
      voc(voc_object("cat", "<xmin>11</xmin><ymin>21</ymin><xmax>41</xmax><ymax>61</ymax>"));
  const auto image_named = [](const std::string& name) {
    return R"({"images":[{"id":1,"file_name":")" + name +
           R"(","width":100,"height":200}],"categories":[{"id":3,"name":"cat"}],"annotations":[)"
           R"({"image_id":1,"category_id":3,"bbox":[10,20,30,40]}]})";
  };
  const auto voc_box = [](const char* box) { return voc(voc_object("cat", box)); };
  struct Case {
    ImportSource kind;
    std::map<std::string, std::string> source;
    const char* error;  // a part of the message
  };
  const Case cases[] = {
      {ImportSource::kCoco, {{"coco.json", R"({"images":[)"}}, "not valid JSON"},
      {ImportSource::kCoco,
       {{"coco.json", coco(R"({"image_id":1,"category_id":3,"bbox":[NaN,0,1,1]})")}},
       "not valid JSON"},
      {ImportSource::kCoco, {{"coco.json", "[]"}}, "does not hold a JSON object"},
      {ImportSource::kCoco, {{"coco.json", R"({"images":[]})"}}, "\"categories\" is missing"},
      {ImportSource::kCoco,
       {{"coco.json", coco(R"({"image_id":9,"category_id":3,"bbox":[1,1,1,1]})")}},
       "no image has the id 9"},
      {ImportSource::kCoco,
       {{"coco.json", coco(R"({"image_id":1,"category_id":0,"bbox":[1,1,1,1]})")}},
       "no category has the id 0"},
      {ImportSource::kCoco,
       {{"coco.json", coco(box + R"(,{"image_id":1,"category_id":3,"bbox":[-1,0,2,2]})")}},
       "annotations[1]: \"bbox\" holds -1"},
      {ImportSource::kCoco,
       {{"coco.json", coco(R"({"image_id":1,"category_id":3,"bbox":[1e9,0,2,2]})")}},
       "outside 0"},
      {ImportSource::kCoco,
       {{"coco.json", coco(R"({"image_id":1,"category_id":3,"bbox":[1e999,0,2,2]})")}},
       "number overflow"},
      {ImportSource::kCoco,
       {{"coco.json", coco(R"({"image_id":1,"category_id":3,"segmentation":[[1,2,3]]})")}},
       "x, y pairs"},
      {ImportSource::kCoco,
       {{"coco.json",
         coco(
             R"({"image_id":1,"category_id":3,"segmentation":{"size":[200,100],"counts":[20000,1]}})")}},
       "run past its end"},
      {ImportSource::kCoco,
       {{"coco.json",
         coco(R"({"image_id":1,"category_id":3,"segmentation":{"size":[4,4],"counts":[1]}})")}},
       "the mask is 4 × 4"},
      {ImportSource::kCoco,
       {{"coco.json",
         coco(
             R"({"image_id":1,"category_id":3,"segmentation":{"size":[200,100],"counts":"5~"}})")}},
       "foreign character"},
      {ImportSource::kCoco, {{"coco.json", image_named("../a.png")}}, "leaves or skips a folder"},
      {ImportSource::kCoco, {{"coco.json", image_named("/tmp/a.png")}}, "absolute path"},
      {ImportSource::kCoco, {{"coco.json", image_named("\xff\xfe.png")}}, "UTF-8"},
      {ImportSource::kCoco,
       {{"coco.json",
         R"({"images":[{"id":1,"file_name":"a.png","width":100,"height":200},)"
         R"({"id":1,"file_name":"b.png","width":100,"height":200}],"categories":[]})"}},
       "images[1]: the image id 1 is used twice"},
      {ImportSource::kCoco,
       {{"coco.json", R"({"images":[],"categories":[{"id":1,"name":"a"},{"id":1,"name":"b"}]})"}},
       "category id 1 is used twice"},
      {ImportSource::kCoco,
       {{"coco.json", std::string(100, '[') + std::string(100, ']')}},
       "nested deeper"},
      {ImportSource::kVoc, {{"a.xml", "<annotation><object>"}}, "not valid XML"},
      {ImportSource::kVoc,
       {{"a.xml", good_voc},
        {"b.xml", voc_box("<xmin>-5</xmin><ymin>1</ymin><xmax>4</xmax><ymax>4</ymax>")}},
       "not a number in 0"},
      {ImportSource::kVoc,
       {{"a.xml", voc_box("<xmin>9</xmin><ymin>1</ymin><xmax>4</xmax><ymax>4</ymax>")}},
       "max lies below its min"},
      {ImportSource::kVoc,
       {{"a.xml", voc_box("<xmin>1</xmin><ymin>1</ymin><xmax>4</xmax>")}},
       "lacks one of"},
      {ImportSource::kVoc,
       {{"a.xml", voc("<object><name>cat</name></object>")}},
       "has no <bndbox>"},
      {ImportSource::kVoc, {{"a.xml", "<svg/>"}}, "not <annotation>"},
      {ImportSource::kVoc, {{"a.xml", voc("", "../a.png")}}, "leaves or skips a folder"},
      {ImportSource::kVoc, {{"a.xml", good_voc + "<annotation/>"}}, "not valid XML"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.error);
    ImportRun run;
    run_import(run, c.kind, c.source, {{"a.png", 100, 200}});
    EXPECT_TRUE(run.report.error.contains(QString::fromUtf8(c.error)))
        << run.report.error.toStdString();
    EXPECT_EQ(folder_entries(run.images()), QStringList{QStringLiteral("a.png")});
  }
}

TEST(DatasetImport, RefusesAJsonAboveTheLimitUnread) {
  ImportRun run;
  const QString json = run.dir.filePath(QStringLiteral("source/coco.json"));
  write_file(json, "{}");
  ASSERT_TRUE(QFile::resize(json, kMaxCocoJsonBytes + 1));  // sparse: nothing to read
  run.settings.source_path = json;
  run.settings.images_folder = run.settings.output_folder = run.dir.path();
  EXPECT_TRUE(import_dataset(run.settings).error.contains(too_large_reason(kMaxCocoJsonBytes)));
}

// A label file already there stays unless replacing was chosen; ids follow
// the folder's own class list, which only grows; a copy leaves the images
// folder alone.
TEST(DatasetImport, ExistingLabelsAndClassLists) {
  const std::string json = coco(R"({"image_id":1,"category_id":3,"bbox":[10,20,30,40]},)"
                                R"({"image_id":1,"category_id":7,"bbox":[0,0,50,100]})");
  const QByteArray own = "0 0.5 0.5 0.6 0.6\n";
  const std::string lines =
      "0 0.100000 0.100000 0.400000 0.100000 0.400000 0.300000 0.100000 0.300000\n"
      "1 0.000000 0.000000 0.500000 0.000000 0.500000 0.500000 0.000000 0.500000\n";
  struct Case {
    bool replace;
    bool copy;
    const char* label;    // a.txt where the labels go
    const char* classes;  // classes.txt there
  };
  const Case cases[] = {
      {false, false, "0 0.5 0.5 0.6 0.6\n", "cat\n"},
      {true, false, lines.c_str(), "cat\ndog\n"},
      {false, true,
       "1 0.100000 0.100000 0.400000 0.100000 0.400000 0.300000 0.100000 0.300000\n"
       "0 0.000000 0.000000 0.500000 0.000000 0.500000 0.500000 0.000000 0.500000\n",
       "dog\ncat\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.classes);
    ImportRun run;
    write_file(QDir(run.images()).filePath(QStringLiteral("a.txt")), own);
    write_file(QDir(run.images()).filePath(QStringLiteral("classes.txt")), "cat\n");
    run.settings.replace_existing = c.replace;
    if (c.copy) run.settings.output_folder = run.dir.filePath(QStringLiteral("copy"));
    run_import(run, ImportSource::kCoco, {{"coco.json", json}}, {{"a.png", 100, 200}});
    const QDir out(run.settings.output_folder);
    EXPECT_EQ(read_file(out.filePath(QStringLiteral("a.txt"))).toStdString(), c.label);
    EXPECT_EQ(read_file(out.filePath(QStringLiteral("classes.txt"))).toStdString(), c.classes);
    EXPECT_EQ(run.report.kept_existing, c.replace || c.copy ? 0 : 1);
    EXPECT_EQ(read_file(QDir(run.images()).filePath(QStringLiteral("a.txt"))),
              c.replace ? QByteArray::fromStdString(lines) : own);
    if (c.copy) {
      EXPECT_TRUE(QFileInfo::exists(out.filePath(QStringLiteral("a.png"))));
    }
  }
}

// COCO → YOLO → COCO: every box comes back within 0.01 px, under its category's name.
TEST(DatasetImport, CocoRoundTripKeepsBoxesAndCategories) {
  struct Box {
    std::string file, category;
    std::array<double, 4> bbox;
  };
  const std::vector<Box> boxes{{"a.png", "cat", {10.25, 20.5, 300.75, 100.125}},
                               {"a.png", "dog", {0, 0, 641, 479}},
                               {"b.png", "dog", {123.456, 78.9, 12.3, 45.6}}};
  nlohmann::json source = {
      {"images",
       {{{"id", 5}, {"file_name", "a.png"}, {"width", 641}, {"height", 479}},
        {{"id", 9}, {"file_name", "b.png"}, {"width", 1000}, {"height", 750}}}},
      {"categories", {{{"id", 7}, {"name", "dog"}}, {{"id", 3}, {"name", "cat"}}}},
      {"annotations", nlohmann::json::array()}};
  for (const Box& box : boxes) {
    source["annotations"].push_back({{"image_id", box.file == "a.png" ? 5 : 9},
                                     {"category_id", box.category == "dog" ? 7 : 3},
                                     {"bbox", box.bbox}});
  }
  ImportRun run;
  run_import(run, ImportSource::kCoco, {{"coco.json", source.dump()}},
             {{"a.png", 641, 479}, {"b.png", 1000, 750}});
  ASSERT_TRUE(run.report.error.isEmpty()) << run.report.error.toStdString();

  CocoWriter writer(run.report.classes);
  ConversionTally tally;
  for (const auto& [stem, size] : {std::pair{"a", QSize(641, 479)}, {"b", QSize(1000, 750)}}) {
    ImageShapes image;
    image.file_name = QString::fromLatin1(stem) + ".png";
    image.size = size;
    const QString label = QDir(run.images()).filePath(QString::fromLatin1(stem) + ".txt");
    writer.add(shapes_for_export(image, read_file(label), 2, label, tally));
  }
  const nlohmann::json out = nlohmann::json::parse(writer.json().toStdString());
  std::map<int, std::string> files, categories;
  for (const auto& image : out["images"]) files[image["id"]] = image["file_name"];
  for (const auto& category : out["categories"]) categories[category["id"]] = category["name"];
  ASSERT_EQ(out["annotations"].size(), boxes.size());
  for (const auto& annotation : out["annotations"]) {
    const std::string file = files[annotation["image_id"]];
    const std::string category = categories[annotation["category_id"]];
    const auto expected = std::find_if(boxes.begin(), boxes.end(), [&](const Box& box) {
      return box.file == file && box.category == category;
    });
    ASSERT_NE(expected, boxes.end()) << file << " " << category;
    for (int i = 0; i < 4; ++i) {
      EXPECT_NEAR(annotation["bbox"][i].get<double>(), expected->bbox[i], 0.01) << file << i;
    }
  }
}
