#include "dataset_tools/health.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "support/test_files.h"

using namespace orvane;

TEST(Health, DuplicatePairs) {
  struct Case {
    const char* name;
    std::string text;
    int pairs;
  };
  const std::string square = "0 0.1 0.1 0.5 0.1 0.5 0.5 0.1 0.5\n";
  const std::string point = "0 0.7 0.7 0.7 0.7 0.7 0.7\n";
  const Case cases[] = {
      {"two identical polygons", square + square, 1},
      {"three identical polygons", square + square + square, 3},
      {"CRLF lines", "0 0.1 0.1 0.5 0.1 0.5 0.5\r\n0 0.1 0.1 0.5 0.1 0.5 0.5\r\n", 1},
      {"boxes sharing an edge", "0 0 0 0.5 0 0.5 1\n0 0.5 0 1 0 1 1\n", 0},
      // [0,0,10,1] against [0,0,9,1]: IoU 9/10, exactly the double 0.9.
      {"IoU of 0.9 is not reported", "0 0 0 10 0 10 1\n0 0 0 9 0 9 1\n", 0},
      {"IoU above 0.9", "0 0 0 100 0 100 1\n0 0 0 91 0 91 1\n", 1},
      // Box lines (class cx cy w h); read as two points, the verdicts would flip.
      {"identical box lines", "0 0.5 0.5 0.2 0.2\n1 0.5 0.5 0.2 0.2\n", 1},
      {"box line equal to a polygon", "0 0.5 0.5 0.2 0.2\n0 0.4 0.4 0.6 0.4 0.6 0.6 0.4 0.6\n", 1},
      {"small boxes apart", "0 0.5 0.5 0.01 0.01\n0 0.52 0.52 0.01 0.01\n", 0},
      {"3 and 4 fields are ignored", "0 0.1 0.1\n0 0.1 0.1\n0 0.1 0.1 0.2\n0 0.1 0.1 0.2\n", 0},
      {"non-numeric field drops the file", square + square + "0 0.1 x 0.5 0.1 0.5 0.5\n", 0},
      // Two identical points have no union area: the file's check ends there.
      {"zero-area union after a pair", square + square + point + point, 1},
      {"zero-area union before a pair", point + point + square + square, 0},
      {"empty file", "", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(count_duplicate_pairs(c.text), c.pairs) << c.name;
}

// The pair test exactly as a pass over every pair in line order does it.
int duplicates_in_line_order(const std::vector<std::array<double, 4>>& boxes) {
  int pairs = 0;
  for (size_t i = 0; i < boxes.size(); ++i) {
    for (size_t j = i + 1; j < boxes.size(); ++j) {
      const auto& a = boxes[i];
      const auto& b = boxes[j];
      const double left = std::max(a[0], b[0]), top = std::max(a[1], b[1]);
      const double right = std::min(a[2], b[2]), bottom = std::min(a[3], b[3]);
      if (right < left || bottom < top) continue;
      const double inter = (right - left) * (bottom - top);
      const double uni = (a[2] - a[0]) * (a[3] - a[1]) + (b[2] - b[0]) * (b[3] - b[1]) - inter;
      if (uni == 0.0) return pairs;
      pairs += inter / uni > 0.9;
    }
  }
  return pairs;
}

TEST(Health, LargeFilesCountLikeThePassInLineOrder) {
  // Files large enough for the sweep: near-duplicates, exact copies, shapes
  // apart, and now and then zero-area boxes that end the check.
  std::mt19937 random(7);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  for (int round = 0; round < 40; ++round) {
    std::vector<std::array<double, 4>> boxes;
    std::string text;
    const int count = 65 + round * 7;
    for (int k = 0; k < count; ++k) {
      std::array<double, 4> box;
      const double kind = unit(random);
      if (kind < 0.3 && !boxes.empty()) {
        box = boxes[static_cast<size_t>(random() % boxes.size())];  // a copy
      } else if (kind < 0.32 + 0.01 * (round % 3)) {
        const double x = std::round(unit(random) * 4) / 4, y = std::round(unit(random) * 4) / 4;
        box = {x, y, x, y};  // a point
      } else {
        const double x = unit(random) * 0.9, y = unit(random) * 0.9;
        box = {x, y, x + 0.02 + unit(random) * 0.1, y + 0.02 + unit(random) * 0.1};
      }
      boxes.push_back(box);
      char line[160];
      std::snprintf(line, sizeof line, "0 %.17g %.17g %.17g %.17g %.17g %.17g\n", box[0], box[1],
                    box[2], box[3], box[0], box[3]);
      text += line;
    }
    EXPECT_EQ(count_duplicate_pairs(text), duplicates_in_line_order(boxes)) << "round " << round;
  }
}

// One file of 66,000 identical boxes holds more pairs than an int counts; the
// report keeps the count, not an entry per pair.
TEST(Health, ManyIdenticalBoxesCountIn64BitsWithLinearMemory) {
  QTemporaryDir dir;
  constexpr qint64 kBoxes = 66'000;
  QByteArray text;
  for (qint64 i = 0; i < kBoxes; ++i) text += "0 0.5 0.5 0.2 0.2\n";
  write_file(dir.filePath("crowd.txt"), text);
  write_file(dir.filePath("crowd.png"), "x");
  DatasetListing listing;
  QString error;
  ASSERT_TRUE(list_dataset_folder(dir.path(), listing, error));
  const HealthReport report = check_dataset_health(dir.path(), listing);
  EXPECT_EQ(report.overlap_count, kBoxes * (kBoxes - 1) / 2);
  EXPECT_EQ(report.overlap_samples, QStringList{"crowd.txt (IoU > 90%)"});
  EXPECT_TRUE(health_report_text(report).contains("(Duplicates): 2177967000\n"));
}

TEST(Health, PythonStyleLists) {
  const std::pair<QStringList, QString> cases[] = {
      {{"a.jpg", "b.jpg", "c.jpg"}, "['a.jpg', 'b.jpg', 'c.jpg']"},
      {{}, "[]"},
      {{"it's.jpg"}, "[\"it's.jpg\"]"},
      {{"a'b\"c.jpg"}, "['a\\'b\"c.jpg']"},
      {{"say \"hi\".png"}, "['say \"hi\".png']"},
      {{"back\\slash.png", "tab\there.png"}, "['back\\\\slash.png', 'tab\\there.png']"},
      {{"straße 猫.png"}, "['straße 猫.png']"},
  };
  for (const auto& [items, text] : cases) EXPECT_EQ(python_list(items), text);
}

TEST(Health, ReportText) {
  HealthReport report;
  EXPECT_EQ(health_report_text(report),
            "🩺 Dataset QA Health Report:\n\nUnannotated Images: 0\nOrphaned Label Files: 0\n"
            "Overlapping Polygons/Boxes (Duplicates): 0\n");
  report.missing = QStringList{"a.jpg", "b.jpg", "c.jpg", "d.jpg"};
  report.orphaned = 2;
  report.overlap_count = 5;
  report.overlap_samples =
      QStringList{"x.txt (IoU > 90%)", "y.txt (IoU > 90%)", "z.txt (IoU > 90%)"};
  EXPECT_EQ(
      health_report_text(report),
      "🩺 Dataset QA Health Report:\n\nUnannotated Images: 4\nOrphaned Label Files: 2\n"
      "Overlapping Polygons/Boxes (Duplicates): 5\n"
      "\nMissing Annotations (Sample):\n['a.jpg', 'b.jpg', 'c.jpg']\n"
      "\nHigh IoU Overlaps:\n['x.txt (IoU > 90%)', 'y.txt (IoU > 90%)', 'z.txt (IoU > 90%)']");
}
