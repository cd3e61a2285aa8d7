#include "annotator/label_file.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "support/test_files.h"

namespace {

std::vector<QPointF> points_of(const LabelShape& shape) {
  return std::vector<QPointF>(shape.points.begin(), shape.points.end());
}

TEST(LabelPath, ReplacesOnlyTheLastExtension) {
  const struct {
    const char* image;
    const char* label;
  } cases[] = {
      {"/data/cats/img_01.jpg", "/data/cats/img_01.txt"},
      {"/data/cats/archive.tar.png", "/data/cats/archive.tar.txt"},
      {"/data/my.folder/a.JPEG", "/data/my.folder/a.txt"},
      {"/data/my.folder/noext", "/data/my.folder/noext.txt"},
      {"/data/.hidden", "/data/.hidden.txt"},
      {"/data/..two.webp", "/data/..two.txt"},
      {"/d/ümlaut bild 猫.png", "/d/ümlaut bild 猫.txt"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(label_path_for_image(QString::fromUtf8(c.image)), QString::fromUtf8(c.label))
        << c.image;
  }
}

TEST(LabelParse, RectangleLineOnA400By200Image) {
  const LabelFileContent content = parse_label_file(
      "0 0.250000 0.250000 0.750000 0.250000 0.750000 0.750000 0.250000 0.750000\n", 1, 400, 200);
  ASSERT_EQ(content.shapes.size(), 1u);
  EXPECT_TRUE(content.kept_lines.isEmpty());
  EXPECT_TRUE(content.error.isEmpty());
  EXPECT_EQ(content.shapes[0].class_id, 0);
  EXPECT_EQ(content.shapes[0].type, "Rectangle");
  EXPECT_EQ(points_of(content.shapes[0]),
            (std::vector<QPointF>{{100, 50}, {300, 50}, {300, 150}, {100, 150}}));
}

TEST(LabelParse, ShapeKindFollowsTheVertexCount) {
  const LabelFileContent content = parse_label_file(
      "1 0.1 0.1 0.2 0.1 0.2 0.2\n"                    // triangle
      "1 0.1 0.1 0.2 0.1 0.2 0.2 0.1 0.2\n"            // 4 vertices
      "1 0.1 0.1 0.2 0.1 0.2 0.2 0.1 0.2 0.15 0.25\n"  // pentagon
      "1 0.5 0.5\n",                                   // a single vertex
      2, 100, 100);
  ASSERT_EQ(content.shapes.size(), 4u);
  EXPECT_EQ(content.shapes[0].type, "Polygon");
  EXPECT_EQ(content.shapes[1].type, "Rectangle");
  EXPECT_EQ(content.shapes[2].type, "Polygon");
  EXPECT_EQ(content.shapes[3].type, "Polygon");
  EXPECT_EQ(content.shapes[3].points.size(), 1);
}

TEST(LabelParse, BoxLineBecomesItsFourCorners) {
  const LabelFileContent content = parse_label_file("0 0.5 0.5 0.2 0.4\n", 1, 400, 200);
  ASSERT_EQ(content.shapes.size(), 1u);
  EXPECT_EQ(content.shapes[0].type, "Rectangle");
  EXPECT_EQ(points_of(content.shapes[0]),
            (std::vector<QPointF>{{160, 60}, {240, 60}, {240, 140}, {160, 140}}));
  // Saved as that rectangle's corners.
  EXPECT_EQ(format_label_file(content.shapes, 400, 200),
            "0 0.400000 0.300000 0.600000 0.300000 0.600000 0.700000 0.400000 0.700000\n");
}

// Each odd line: what happens to it, and whether it is reported.
TEST(LabelParse, OddLinesAreKeptVerbatimAndNeverLoadedAsShapes) {
  const struct {
    const char* line;
    bool reported;
  } cases[] = {
      {"5 0.1 0.1 0.2 0.2 0.3 0.3", false},                // id beyond the class list
      {"-1 0.1 0.1 0.2 0.2 0.3 0.3", false},               // negative id
      {"99999999999999999999999 0.1 0.1 0.2 0.2", false},  // id overflowing
      {"0 0.5", false},                                    // too short to be a shape
      {"7", false},
      {"cat 0.1 0.1 0.2 0.2 0.3 0.3", true},  // letters as id
      {"1.0 0.1 0.1 0.2 0.2 0.3 0.3", true},  // non-integer id
      {"0 0.1 abc 0.2 0.2 0.3 0.3", true},    // letters as value
      {"2 0.1 0.2 0.3", true},                // odd number of values
      {"0 0.1 0.1 0.2 0.2 0.3", true},
      {"0 nan 0.1 0.2 0.2 0.3 0.3", true},    // NaN
      {"0 0.1 inf 0.2 0.2 0.3 0.3", true},    // infinity
      {"0 1e300 0.1 0.2 0.2 0.3 0.3", true},  // huge
      {"0 -1200 0.1 0.2 0.2 0.3 0.3", true},  // far outside the image
      {"0 0.1 0.1 0.2 0.2 0.3 +-0.3", true},
      {"\t0  0.1   0.1 0.2 0.2 zz 0.3  ", true},  // odd white space kept as is
  };
  for (const auto& c : cases) {
    const QByteArray bytes = QByteArray(c.line) + "\n";
    const LabelFileContent content = parse_label_file(bytes, 3, 640, 480);
    EXPECT_TRUE(content.shapes.empty()) << c.line;
    EXPECT_EQ(content.kept_lines, QByteArrayList{c.line}) << c.line;
    EXPECT_EQ(!content.error.isEmpty(), c.reported) << c.line << " " << content.error.toStdString();
  }
}

TEST(LabelParse, AnUnreadableLineEndsTheReadingAndKeepsTheRest) {
  const LabelFileContent content = parse_label_file(
      "0 0.1 0.1 0.2 0.1 0.2 0.2\n"
      "3 0.1 0.2 0.3\n"
      "\n"
      "1 0.5 0.5 0.6 0.5 0.6 0.6\n",
      4, 10, 10);
  ASSERT_EQ(content.shapes.size(), 1u);
  EXPECT_EQ(content.shapes[0].class_id, 0);
  EXPECT_EQ(content.kept_lines, (QByteArrayList{"3 0.1 0.2 0.3", "1 0.5 0.5 0.6 0.5 0.6 0.6"}));
  EXPECT_TRUE(content.error.startsWith("line 2 ")) << content.error.toStdString();
}

TEST(LabelParse, EveryLineIsKeptWithoutAClassList) {
  const QByteArray bytes = "0 0.1 0.1 0.2 0.1 0.2 0.2\n2 0.5 0.5 0.2 0.2\n";
  const LabelFileContent content = parse_label_file(bytes, 0, 100, 100);
  EXPECT_TRUE(content.shapes.empty());
  EXPECT_EQ(content.kept_lines, (QByteArrayList{"0 0.1 0.1 0.2 0.1 0.2 0.2", "2 0.5 0.5 0.2 0.2"}));
  EXPECT_TRUE(content.error.isEmpty());
}

TEST(LabelParse, LineEndsAndBlankLines) {
  const LabelFileContent content = parse_label_file(
      "\r\n0 0.1 0.1 0.2 0.1 0.2 0.2\r\n   \r\n\n9 1 2 3 4\r\n1 0.5 0.5 0.6 0.5 0.6 0.6", 2, 10,
      10);
  ASSERT_EQ(content.shapes.size(), 2u);
  EXPECT_EQ(points_of(content.shapes[1]), (std::vector<QPointF>{{5, 5}, {6, 5}, {6, 6}}));
  EXPECT_EQ(content.kept_lines, QByteArrayList{"9 1 2 3 4"});  // no carriage return left
  EXPECT_TRUE(content.error.isEmpty());
  // Old Mac line ends: every carriage return ends a line.
  const LabelFileContent cr = parse_label_file(
      "0 0.1 0.1 0.2 0.1 0.2 0.2\r1 0.5 0.5 0.6 0.5 0.6 0.6\r9 1 2 3 4\r", 2, 10, 10);
  EXPECT_EQ(cr.shapes.size(), 2u);
  EXPECT_EQ(cr.kept_lines, QByteArrayList{"9 1 2 3 4"});
}

TEST(LabelParse, ValuesAreNotClampedOnReading) {
  const LabelFileContent content = parse_label_file("0 -0.5 1.5 +0.5 .25 1e-1 2E0\n", 1, 100, 10);
  ASSERT_EQ(content.shapes.size(), 1u);
  EXPECT_EQ(points_of(content.shapes[0]), (std::vector<QPointF>{{-50, 15}, {50, 2.5}, {10, 20}}));
}

TEST(LabelParse, EmptyAndGarbageBytesDoNotCrash) {
  EXPECT_TRUE(parse_label_file("", 3, 10, 10).kept_lines.isEmpty());
  static const char kGarbage[] = "\x00\xff\xfe 0 1\n\x01\x02\x03";
  const QByteArray garbage(kGarbage, sizeof kGarbage - 1);
  const LabelFileContent content = parse_label_file(garbage, 3, 10, 10);
  EXPECT_TRUE(content.shapes.empty());
  EXPECT_EQ(content.kept_lines.size(), 2);
}

TEST(LabelFormat, ExampleLineAndClamping) {
  std::vector<LabelShape> shapes(2);
  shapes[0].class_id = 2;
  shapes[0].points = QPolygonF({{100, 50}, {300, 50}, {300, 150}});
  shapes[1].class_id = 11;
  shapes[1].points = QPolygonF({{-3, 250}, {400.4, -0.0}, {1.0 / 3.0, 1e300}});
  EXPECT_EQ(format_label_file(shapes, 400, 200, {"7 kept as is", "x"}),
            "2 0.250000 0.250000 0.750000 0.250000 0.750000 0.750000\n"
            "11 0.000000 1.000000 1.000000 0.000000 0.000833 1.000000\n"
            "7 kept as is\nx\n");
}

TEST(LabelFormat, SixDecimalsRoundTripThroughParsing) {
  const QByteArray line = "3 0.123457 0.999999 0.000001 0.500000 0.333333 0.666667\n";
  const LabelFileContent content = parse_label_file(line, 4, 1920, 1080);
  EXPECT_EQ(format_label_file(content.shapes, 1920, 1080), line);
}

TEST(LabelFormat, KeptLinesSurviveByteForByte) {
  // UTF-8 text and bytes that are no UTF-8 at all (a Latin-1 "é").
  const QByteArrayList kept = {"4 кот 0.1 0.2", "5 caf\xe9 0.1 0.2"};
  const LabelFileContent content = parse_label_file(format_label_file({}, 10, 10, kept), 1, 10, 10);
  EXPECT_EQ(content.kept_lines, kept);
}

TEST(LabelFileOnDisk, WriteReadAndDeleteWhenEmpty) {
  QTemporaryDir dir;
  const QString path = dir.filePath("a b ü.txt");
  EXPECT_EQ(write_label_file(path, "0 0.1 0.1 0.2 0.2 0.3 0.3\n"), QString());
  EXPECT_EQ(read_file(path), "0 0.1 0.1 0.2 0.2 0.3 0.3\n");
  EXPECT_EQ(read_label_file(path, 1, 10, 10).shapes.size(), 1u);
  // Only white space: no file at all rather than an empty one.
  EXPECT_EQ(write_label_file(path, " \n"), QString());
  EXPECT_FALSE(QFile::exists(path));
  EXPECT_EQ(write_label_file(path, ""), QString());  // nothing to delete is fine
  const LabelFileContent missing = read_label_file(path, 1, 10, 10);
  EXPECT_TRUE(missing.shapes.empty());
  EXPECT_TRUE(missing.error.isEmpty());
}

TEST(LabelFileOnDisk, FailuresAreReportedAndLeaveOldContent) {
  QTemporaryDir dir;
  // A folder squatting on the label name: neither replaced nor deleted.
  const QString squatted = dir.filePath("b.txt");
  ASSERT_TRUE(QDir().mkpath(squatted));
  EXPECT_FALSE(write_label_file(squatted, "0 0.1 0.1 0.2 0.2 0.3 0.3\n").isEmpty());
  EXPECT_FALSE(write_label_file(squatted, "").isEmpty());
  EXPECT_TRUE(QFileInfo(squatted).isDir());
  EXPECT_FALSE(read_label_file(squatted, 1, 10, 10).error.isEmpty());
  // A vanished folder.
  const QString gone = dir.filePath("gone/c.txt");
  EXPECT_FALSE(write_label_file(gone, "0 0.1 0.1 0.2 0.2 0.3 0.3\n").isEmpty());
  // No temporary files are left behind.
  EXPECT_EQ(folder_entries(dir.path()), QStringList{"b.txt"});
}

TEST(LabelFormat, LargeFileRoundTrip) {
  std::vector<LabelShape> shapes(500);
  for (int i = 0; i < 500; ++i) {
    shapes[i].class_id = i % 7;
    for (int k = 0; k < 32; ++k) shapes[i].points.append(QPointF((i + k) % 640, (i * k) % 480));
  }
  const QByteArray bytes = format_label_file(shapes, 640, 480);
  EXPECT_EQ(bytes.count('\n'), 500);
  const LabelFileContent content = parse_label_file(bytes, 7, 640, 480);
  ASSERT_EQ(content.shapes.size(), 500u);
  EXPECT_EQ(format_label_file(content.shapes, 640, 480), bytes);
}

}  // namespace
