#include "labels/label_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <tuple>

#include "labels/class_list.h"
#include "support/test_files.h"

using namespace orvane;

namespace {

using Points = std::vector<QPointF>;

Points points_of(const LabelShape& shape) {
  return Points(shape.points.begin(), shape.points.end());
}

// Lines that load as one shape on a 400 x 200 image: its kind and its pixel points.
TEST(LabelParse, ShapeLines) {
  const std::tuple<const char*, const char*, Points> cases[] = {
      {"0 0.250000 0.250000 0.750000 0.250000 0.750000 0.750000 0.250000 0.750000",
       "Rectangle",
       {{100, 50}, {300, 50}, {300, 150}, {100, 150}}},
      // A box line (class cx cy w h) is the rectangle it describes, not two points.
      {"0 0.5 0.5 0.2 0.4", "Rectangle", {{160, 60}, {240, 60}, {240, 140}, {160, 140}}},
      {"1 0.1 0.1 0.2 0.1 0.2 0.2", "Polygon", {{40, 20}, {80, 20}, {80, 40}}},
      {"1 0.1 0.1 0.2 0.1 0.2 0.2 0.1 0.2 0.15 0.25",
       "Polygon",
       {{40, 20}, {80, 20}, {80, 40}, {40, 40}, {60, 50}}},
      {"1 0.5 0.5", "Polygon", {{200, 100}}},
      {"0 0 1 +0.5 .25 1e-1 1E0 -0 1.0", "Rectangle", {{0, 200}, {200, 50}, {40, 200}, {0, 200}}},
  };
  for (const auto& [line, type, points] : cases) {
    const LabelFileContent content = parse_label_file(QByteArray(line) + "\n", 2, 400, 200);
    ASSERT_EQ(content.shapes.size(), 1u) << line;
    EXPECT_EQ(content.shapes[0].class_id, line[0] - '0') << line;
    EXPECT_EQ(content.shapes[0].type, type) << line;
    EXPECT_EQ(points_of(content.shapes[0]), points) << line;
    EXPECT_TRUE(content.kept_lines.isEmpty() && content.error.isEmpty()) << line;
  }
  // A box line is saved as its rectangle's corners.
  EXPECT_EQ(
      format_label_file(parse_label_file("0 0.5 0.5 0.2 0.4\n", 1, 400, 200).shapes, 400, 200),
      "0 0.400000 0.300000 0.600000 0.300000 0.600000 0.700000 0.400000 0.700000\n");
}

// Each line that is not shown: kept byte for byte, counted by its reason, and
// reported when it is malformed.
TEST(LabelParse, UnshownLinesAreKeptVerbatimWithTheirReason) {
  using enum UnshownReason;
  const struct {
    const char* line;
    UnshownReason why;
    bool reported;
  } cases[] = {
      {"5 0.1 0.1 0.2 0.2 0.3 0.3", kUnknownClass, false},  // id beyond the class list
      {"-1 0.1 0.1 0.2 0.2 0.3 0.3", kUnknownClass, false},
      {"99999999999999999999999 0.1 0.1 0.2 0.2", kUnknownClass, false},
      {"0 0.5", kTooShort, false},
      {"7", kTooShort, false},
      {"cat 0.1 0.1 0.2 0.2 0.3 0.3", kNotClassId, true},
      {"1.0 0.1 0.1 0.2 0.2 0.3 0.3", kNotClassId, true},
      {"0 0.1 abc 0.2 0.2 0.3 0.3", kNotNumber, true},
      {"0 0.1 0.1 0.2 0.2 0.3 +-0.3", kNotNumber, true},
      {"\t0  0.1   0.1 0.2 0.2 zz 0.3  ", kNotNumber, true},  // odd white space kept as is
      {"2 0.1 0.2 0.3", kOddCount, true},
      {"0 0.1 0.1 0.2 0.2 0.3", kOddCount, true},
      // Values a save would clamp: pixel units, NaN, inf, huge, just outside.
      {"0 320 240 50 50", kOutsideImage, false},
      {"0 nan 0.1 0.2 0.2 0.3 0.3", kOutsideImage, false},
      {"0 0.1 -inf 0.2 0.2 0.3 0.3", kOutsideImage, false},
      {"0 1e300 0.1 0.2 0.2 0.3 0.3", kOutsideImage, false},
      {"0 0.1 0.1 0.2 1.0000001 0.3 0.3", kOutsideImage, false},
      {"0 -0.0001 0.1 0.2 0.2 0.3 0.3", kOutsideImage, false},
  };
  for (const auto& c : cases) {
    const LabelFileContent content = parse_label_file(QByteArray(c.line) + "\n", 3, 640, 480);
    EXPECT_TRUE(content.shapes.empty()) << c.line;
    EXPECT_EQ(content.kept_lines, QByteArrayList{c.line}) << c.line;
    UnshownCounts counts{};
    counts[static_cast<std::size_t>(c.why)] = 1;
    EXPECT_EQ(content.unshown, counts) << c.line;
    EXPECT_EQ(!content.error.isEmpty(), c.reported) << c.line << " " << content.error.toStdString();
    // Written back as they were, after any shape.
    EXPECT_EQ(format_label_file({}, 640, 480, content.kept_lines), QByteArray(c.line) + "\n");
  }
}

TEST(LabelParse, EveryLineIsReadPastAnUnreadableOneAndEveryLineIsKeptWithoutClasses) {
  const QByteArray bytes =
      "0 0.1 0.1 0.2 0.1 0.2 0.2\n3 0.1 0.2 0.3\n\n1 0.5 0.5 0.6 0.5 0.6 0.6\n0 x 1\n";
  const LabelFileContent content = parse_label_file(bytes, 4, 10, 10);
  ASSERT_EQ(content.shapes.size(), 2u);
  EXPECT_EQ(content.shapes[1].class_id, 1);
  EXPECT_EQ(content.kept_lines, (QByteArrayList{"3 0.1 0.2 0.3", "0 x 1"}));
  EXPECT_TRUE(content.error.startsWith("line 2 ")) << content.error.toStdString();
  EXPECT_EQ(describe_unshown_lines(content.unshown, 2),
            "2 of 4 lines not shown (kept as they are): 1 with an odd number of values, 1 with a "
            "value that is not a number");

  const LabelFileContent no_classes =
      parse_label_file("0 0.1 0.1 0.2 0.1 0.2 0.2\n2 0.5 0.5 0.2 0.2\n", 0, 100, 100);
  EXPECT_TRUE(no_classes.shapes.empty());
  EXPECT_EQ(no_classes.kept_lines,
            (QByteArrayList{"0 0.1 0.1 0.2 0.1 0.2 0.2", "2 0.5 0.5 0.2 0.2"}));
  EXPECT_TRUE(no_classes.error.isEmpty());
  EXPECT_EQ(describe_unshown_lines(no_classes.unshown, 0),
            "2 of 2 lines not shown (kept as they are): 2 with a class id not in classes.txt");
  EXPECT_EQ(describe_unshown_lines({}, 5), "");
}

TEST(LabelParse, LineEndsBlankLinesAndGarbage) {
  // CRLF, LF and old Mac CR line ends; no carriage return stays in a kept line.
  for (const QByteArray& bytes :
       {QByteArray(
            "\r\n0 0.1 0.1 0.2 0.1 0.2 0.2\r\n   \r\n\n9 1 2 3 4\r\n1 0.5 0.5 0.6 0.5 0.6 0.6"),
        QByteArray("0 0.1 0.1 0.2 0.1 0.2 0.2\r9 1 2 3 4\r1 0.5 0.5 0.6 0.5 0.6 0.6\r")}) {
    const LabelFileContent content = parse_label_file(bytes, 2, 10, 10);
    ASSERT_EQ(content.shapes.size(), 2u);
    EXPECT_EQ(points_of(content.shapes[1]), (Points{{5, 5}, {6, 5}, {6, 6}}));
    EXPECT_EQ(content.kept_lines, QByteArrayList{"9 1 2 3 4"});
    EXPECT_TRUE(content.error.isEmpty());
  }
  EXPECT_TRUE(parse_label_file("", 3, 10, 10).kept_lines.isEmpty());
  static const char kGarbage[] = "\x00\xff\xfe 0 1\n\x01\x02\x03";
  const LabelFileContent garbage =
      parse_label_file(QByteArray(kGarbage, sizeof kGarbage - 1), 3, 10, 10);
  EXPECT_TRUE(garbage.shapes.empty());
  EXPECT_EQ(garbage.kept_lines.size(), 2);
}

TEST(LabelFormat, ExampleLineClampingAndKeptLinesByteForByte) {
  std::vector<LabelShape> shapes(2);
  shapes[0].class_id = 2;
  shapes[0].points = QPolygonF({{100, 50}, {300, 50}, {300, 150}});
  shapes[1].class_id = 11;
  shapes[1].points = QPolygonF({{-3, 250}, {400.4, -0.0}, {1.0 / 3.0, 1e300}});
  EXPECT_EQ(format_label_file(shapes, 400, 200, {"7 kept as is", "x"}),
            "2 0.250000 0.250000 0.750000 0.250000 0.750000 0.750000\n"
            "11 0.000000 1.000000 1.000000 0.000000 0.000833 1.000000\n"
            "7 kept as is\nx\n");
  // UTF-8 text and bytes that are no UTF-8 at all (a Latin-1 "é").
  const QByteArrayList kept = {"4 кот 0.1 0.2", "5 caf\xe9 0.1 0.2"};
  EXPECT_EQ(parse_label_file(format_label_file({}, 10, 10, kept), 1, 10, 10).kept_lines, kept);
}

TEST(LabelFormat, SixDecimalsRoundTrip) {
  const QByteArray line = "3 0.123457 0.999999 0.000001 0.500000 0.333333 0.666667\n";
  EXPECT_EQ(format_label_file(parse_label_file(line, 4, 1920, 1080).shapes, 1920, 1080), line);
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

TEST(LabelFileOnDisk, WriteReadDeleteWhenEmptyAndReportFailures) {
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

  // A folder squatting on the label name: neither replaced nor deleted.
  const QString squatted = dir.filePath("b.txt");
  ASSERT_TRUE(QDir().mkpath(squatted));
  EXPECT_FALSE(write_label_file(squatted, "0 0.1 0.1 0.2 0.2 0.3 0.3\n").isEmpty());
  EXPECT_FALSE(write_label_file(squatted, "").isEmpty());
  EXPECT_TRUE(QFileInfo(squatted).isDir());
  EXPECT_FALSE(read_label_file(squatted, 1, 10, 10).error.isEmpty());
  // A vanished folder.
  EXPECT_FALSE(
      write_label_file(dir.filePath("gone/c.txt"), "0 0.1 0.1 0.2 0.2 0.3 0.3\n").isEmpty());
  // No temporary files are left behind.
  EXPECT_EQ(folder_entries(dir.path()), QStringList{"b.txt"});
}

// A label file or class list that is a link is written through to the file
// it finally names, which may not exist yet; the links stay links.
TEST(LabelFileOnDisk, LinksAreWrittenThroughToTheirTargets) {
  QTemporaryDir dir;
  ASSERT_TRUE(QDir().mkpath(dir.filePath("store")));
  const struct {
    const char* name;
    QStringList links;   // "link name|what it names", made in order
    const char* target;  // "": the write fails
  } cases[] = {
      {"relative", {"a.txt|store/a.txt"}, "store/a.txt"},
      {"absolute, through two links",
       {"mid.txt|" + dir.filePath("store/b.txt"), "b.txt|mid.txt"},
       "store/b.txt"},
      {"dangling", {"c.txt|store/new.txt"}, "store/new.txt"},
      {"loop", {"d.txt|e.txt", "e.txt|d.txt"}, ""},
  };
  for (const auto& c : cases) {
    QString link;
    for (const QString& made : c.links) {
      link = dir.filePath(made.section('|', 0, 0));
      ASSERT_EQ(::symlink(QFile::encodeName(made.section('|', 1)).constData(),
                          QFile::encodeName(link).constData()),
                0);
    }
    for (const bool class_list : {false, true}) {
      const QString error = class_list ? write_class_list_file(link, {"cat", "dog"})
                                       : write_label_file(link, "0 0.1 0.1 0.2 0.2 0.3 0.3\n");
      EXPECT_EQ(error.isEmpty(), *c.target != 0) << c.name << " " << error.toStdString();
      EXPECT_TRUE(QFileInfo(link).isSymLink()) << c.name;
      if (*c.target) {
        EXPECT_EQ(read_file(dir.filePath(c.target)),
                  class_list ? "cat\ndog\n" : "0 0.1 0.1 0.2 0.2 0.3 0.3\n")
            << c.name;
      }
    }
  }
  EXPECT_EQ(folder_entries(dir.filePath("store")), (QStringList{"a.txt", "b.txt", "new.txt"}));
}

}  // namespace
